// A folder made empty for the object's life and, unless told to stay, made the current folder;
// the previous current folder comes back and the folder goes at the end, however the owner ends
// (a failed ASSERT returns early). Tests name theirs by case (TestTempDir.h); benches by process.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

// A file whole; empty when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempFolder {
public:
    enum Mode { Enter, Stay };

    // "<temp>/<prefix>_<pid>": the process's own, since several builds may run at once.
    static std::filesystem::path ForProcess(const std::string& prefix) {
        return std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(getpid()));
    }

    explicit TempFolder(std::filesystem::path path, Mode mode = Enter)
        : path_(std::move(path)), previous_(std::filesystem::current_path()) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        if (mode == Enter) {
            std::filesystem::current_path(path_);
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

    // Writes a file below the folder whole, making the folders on its way.
    void Write(const std::filesystem::path& relative, const std::string& bytes) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // A file below the folder, whole; empty when it cannot be read.
    std::string Read(const std::filesystem::path& relative) const { return ReadWholeFile(path_ / relative); }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
