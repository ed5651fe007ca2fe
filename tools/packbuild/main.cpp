// packbuild <output.pak> <game folder> [<folder inside it> ...]
// Builds a pack file of the data files under the game folder (see docs/PackFormat.md).
#include "core/CPLog.h"
#include "tools/PackBuilder.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

void Usage(std::FILE* to, const char* program) {
    std::fprintf(to,
                 "usage: %s <output.pak> <game folder> [<folder inside it> ...]\n"
                 "Packs the files under the folders (the whole game folder when none is given);\n"
                 "member names are their paths relative to the game folder.\n",
                 program);
}

}  // namespace

int main(int argc, char** argv) {
    CPLog::GetInstance().SetSink(CPLog::StreamSink(stderr));  // what the engine reports, readable
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout, argv[0]);
        return 0;
    }
    if (argc < 3) {
        Usage(stderr, argv[0]);
        return 2;
    }
    std::vector<std::string> folders(argv + 3, argv + argc);
    std::string error;
    size_t count = 0;
    std::vector<std::string> skipped;
    const bool built = BuildPack(argv[1], argv[2], folders, error, &count, &skipped);
    for (const std::string& link : skipped) {
        // A link that leads somewhere was skipped because it leads back to a folder above it.
        std::error_code code;
        std::fprintf(stderr, "packbuild: skipped a link that leads %s: %s\n",
                     std::filesystem::exists(link, code) ? "back to a folder above it" : "nowhere", link.c_str());
    }
    if (!built) {
        std::fprintf(stderr, "packbuild: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu files\n", argv[1], count);
    return 0;
}
