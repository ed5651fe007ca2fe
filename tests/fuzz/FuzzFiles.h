// What the fuzz targets share: a scratch folder of their own and a way to put the input there
// as a file, so the readers are driven through the same path layer and file reader as in the
// game. The working directory is left alone (libFuzzer reads and writes its corpus there).
#pragma once

#include <sanitizer/allocator_interface.h>

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

// The memory an input may hold while it is in use: a file a user hands us must not cost more
// than this, whatever its header claims. Targets check it at the points where what the input
// built is alive, instead of skipping inputs that claim large sizes, so a file that asks for
// far more than it holds is found. (A single allocation beyond the RSS limit of run.sh stops
// the run by itself.)
constexpr size_t MemoryBudget = size_t{256} << 20;

// Heap bytes (as AddressSanitizer counts them) taken since it was made, checked against the
// budget plus `allowance`: what the input may rightly cost beyond it, for instance in
// proportion to the pixels a picture really holds.
class MemoryMark {
public:
    MemoryMark() : Start(__sanitizer_get_current_allocated_bytes()) {}
    void Check(const char* what, uint64_t allowance = 0) const {
        const size_t now = __sanitizer_get_current_allocated_bytes();
        if (now > Start && now - Start > MemoryBudget + allowance) {
            std::fprintf(stderr, "memory budget exceeded: %s holds %zu MB\n", what, (now - Start) >> 20);
            std::abort();
        }
    }

private:
    size_t Start;
};

}  // namespace Fuzz
