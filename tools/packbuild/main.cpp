// packbuild <output.pak> <game folder> [<folder inside it> ...]
// Builds a pack file of the data files under the game folder (see docs/PackFormat.md).
#include "tools/PackBuilder.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output.pak> <game folder> [<folder inside it> ...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> folders(argv + 3, argv + argc);
    std::string error;
    size_t count = 0;
    if (!BuildPack(argv[1], argv[2], folders, error, &count)) {
        std::fprintf(stderr, "packbuild: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu files\n", argv[1], count);
    return 0;
}
