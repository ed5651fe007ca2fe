// A scratch folder of one's own for the running test: ctest runs cases as parallel processes, and
// several builds may run the same suite at once, so the name carries the process id, the suite
// and the case.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path TestTempDir(const std::string& prefix) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = prefix + "_" + std::to_string(getpid());
    if (info) name += std::string("_") + info->test_suite_name() + "_" + info->name();
    return std::filesystem::temp_directory_path() / name;
}
