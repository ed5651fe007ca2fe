// A scratch folder of one's own for the running test: ctest runs cases as parallel processes, and
// several builds may run the same suite at once, so the name carries the process id, the suite
// and the case.
#pragma once

#include "tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

inline std::filesystem::path TestTempDir(const std::string& prefix) {
    std::filesystem::path path = TempFolder::ForProcess(prefix);
    if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        // Parameterized cases are named "Prefix/Suite" and "Case/0": one folder, not a nest.
        std::string name = path.filename().string() + "_" + info->test_suite_name() + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        path.replace_filename(name);
    }
    return path;
}

// The running test's TempFolder.
class ScratchFolder : public TempFolder {
public:
    explicit ScratchFolder(const std::string& prefix, Mode mode = Enter) : TempFolder(TestTempDir(prefix), mode) {}
};
