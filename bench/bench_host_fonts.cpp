// Loading the fonts of a game folder at start-up: Host::LoadFonts on 16 font files of 256
// glyph lines each (listed, read through the file layer, parsed, a material looked up per font)
// against reading the same files with open/read and parsing their numbers by hand.
#include "BaselineRatio.h"

#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/TempFolder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int Fonts = 16;

class FontFolder {
public:
    FontFolder() {
        for (int f = 0; f < Fonts; ++f) {
            std::string text = "font" + std::to_string(f) + ".tga,256,256,16\n";
            for (int c = 0; c < 256; ++c) {
                text += std::to_string(c) + "," + std::to_string(c % 16 * 16) + "," + std::to_string(c / 16 * 16) +
                        ",12\n";
            }
            const fs::path file = fs::path("Data/Interface") / ("font" + std::to_string(f) + ".fnt");
            folder.Write(file, text);
            paths.push_back((folder / file).string());
        }
        HostFiles::ClearCache();
    }
    ~FontFolder() { HostFiles::ClearCache(); }

    std::vector<std::string> paths;

private:
    TempFolder folder{TempFolder::ForProcess("bench_host_fonts")};
};

// Every number of the file summed: the glyph rectangles as the plain code would take them.
long PlainParse(const char* text, ssize_t size) {
    long sum = 0;
    long value = 0;
    for (ssize_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
        } else {
            sum += value;
            value = 0;
        }
    }
    return sum;
}

void BM_LoadFontsAgainstReadAndParse(benchmark::State& state) {
    FontFolder folder;
    Host host;
    std::string error;
    if (!host.LoadFonts(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<char> buffer(1 << 16);
    RunAgainstBaseline(
        state,
        [&] { benchmark::DoNotOptimize(host.LoadFonts(error)); },
        [&] {
            long sum = 0;
            for (const std::string& path : folder.paths) {
                const int fd = open(path.c_str(), O_RDONLY);
                const ssize_t size = read(fd, buffer.data(), buffer.size());
                close(fd);
                sum += PlainParse(buffer.data(), size);
            }
            benchmark::DoNotOptimize(sum);
        });
}
BENCHMARK(BM_LoadFontsAgainstReadAndParse)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
