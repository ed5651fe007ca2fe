// A scratch folder of one's own for the running test: ctest runs cases as parallel processes, and
// several builds may run the same suite at once, so the name carries the process id, the suite
// and the case.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

inline std::filesystem::path TestTempDir(const std::string& prefix) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = prefix + "_" + std::to_string(getpid());
    if (info) name += std::string("_") + info->test_suite_name() + "_" + info->name();
    // Parameterised suites and cases carry a '/' ("Scripts/LuaScript", "Runs/0"): one folder,
    // not a chain of them that removing the last would leave behind.
    std::replace(name.begin(), name.end(), '/', '_');
    return std::filesystem::temp_directory_path() / name;
}

// A TestTempDir made empty for the object's life and, unless told to stay, made the current
// folder; the previous current folder comes back and the scratch one goes at the end, however
// the test ends (a failed ASSERT returns early).
class ScratchFolder {
public:
    enum Mode { Enter, Stay };

    explicit ScratchFolder(const std::string& prefix, Mode mode = Enter)
        : path_(TestTempDir(prefix)), previous_(std::filesystem::current_path()) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        if (mode == Enter) {
            std::filesystem::current_path(path_);
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

    // Writes a file below the folder whole, making the folders on its way.
    void Write(const std::filesystem::path& relative, const std::string& bytes) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // A file below the folder, whole; empty when it cannot be read.
    std::string Read(const std::filesystem::path& relative) const {
        std::ifstream in(path_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
