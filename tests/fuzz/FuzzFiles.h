// What the fuzz targets share: a scratch folder of their own and a way to put the input there
// as a file, so the readers are driven through the same path layer and file reader as in the
// game. The working directory is left alone (libFuzzer reads and writes its corpus there).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace Fuzz {

// Made on first use; an absolute path, which the path layer takes as a host path.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/tarnwick-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr) {
            std::perror("scratch folder");
            std::abort();
        }
        return std::string(name);
    }();
    return folder;
}

// Replaces the file of that name in the scratch folder with the bytes and returns its path.
// The name stays the same from one input to the next, so the path layer finds it in its
// cached listing.
inline std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

// Stops the run with a message when a property of the reader does not hold.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

}  // namespace Fuzz
