// Loading the fonts of a game folder at start-up: Host::LoadFonts on 16 font files of 256
// glyph lines each (listed, read through the file layer, parsed, a material looked up per font)
// against the same job in plain code: the folder listed with opendir/readdir (the ".fnt"
// names taken without regard to case and ordered by their lower-cased name), each file read
// whole with open/read, its head and glyph lines parsed by hand into a new font record of
// texture-space rectangles and advances that replaces the font of that name, and the font's
// material found in a table keyed by its texture.
#include "BaselineRatio.h"

#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/TempFolder.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>
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

// The plain loader's font and its state kept between loads: the fonts by name and the
// materials by texture.
struct PlainFont {
    std::string texture;
    float rects[256][4] = {};  // left, top, right, bottom in texture space
    float advances[256] = {};
    float lineHeight = 0.0f;
    int material = 0;
};

// A decimal number at p (sign, digits, a fraction), p moved past it.
float PlainNumber(const char*& p, const char* end) {
    while (p < end && *p == ' ') ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    double value = 0.0;
    while (p < end && *p >= '0' && *p <= '9') value = value * 10.0 + (*p++ - '0');
    if (p < end && *p == '.') {
        double scale = 0.1;
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p, scale *= 0.1) value += (*p - '0') * scale;
    }
    while (p < end && *p == ' ') ++p;
    return static_cast<float>(negative ? -value : value);
}

struct PlainFonts {
    std::map<std::string, std::unique_ptr<PlainFont>> fonts;
    std::unordered_map<std::string, int> materials;
    std::vector<char> buffer;

    bool Parse(const char* p, const char* end, PlainFont& font) {
        const char* line = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = line != nullptr ? line : end;
        const char* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<size_t>(lineEnd - p)));
        if (comma == nullptr) return false;
        font.texture.assign(p, comma);
        p = comma + 1;
        const float width = PlainNumber(p, lineEnd);
        p += p < lineEnd;
        const float height = PlainNumber(p, lineEnd);
        p += p < lineEnd;
        font.lineHeight = PlainNumber(p, lineEnd);
        if (font.texture.empty() || !(font.lineHeight > 0.0f && font.lineHeight < 4096.0f)) return false;
        const float sx = width != 0.0f ? 1.0f / width : 0.0f;
        const float sy = height != 0.0f ? 1.0f / height : 0.0f;
        for (p = lineEnd; p < end;) {
            ++p;  // the line's end
            line = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            lineEnd = line != nullptr ? line : end;
            const char* q = p;
            int code = 0;
            bool digits = false;
            for (; q < lineEnd && *q >= '0' && *q <= '9'; ++q, digits = true) code = code * 10 + (*q - '0');
            if (digits && q < lineEnd && *q == ',' && code <= 255) {
                ++q;
                const float x = PlainNumber(q, lineEnd);
                q += q < lineEnd;
                const float y = PlainNumber(q, lineEnd);
                q += q < lineEnd;
                const float w = PlainNumber(q, lineEnd);
                float* r = font.rects[code];
                r[0] = x * sx;
                r[1] = y * sy;
                r[2] = (x + w) * sx;
                r[3] = (y + font.lineHeight) * sy;
                font.advances[code] = q < lineEnd && *q == ',' && q + 1 < lineEnd && q[1] != '\r' ? PlainNumber(++q, lineEnd) : w;
            }
            p = lineEnd;
        }
        return true;
    }

    bool Load() {
        std::map<std::string, std::string> names;  // lower-cased, as found
        DIR* dir = opendir("Data/Interface");
        if (dir == nullptr) return false;
        while (const dirent* entry = readdir(dir)) {
            const size_t length = std::strlen(entry->d_name);
            if (length > 4 && strcasecmp(entry->d_name + length - 4, ".fnt") == 0) {
                std::string lower(entry->d_name, length - 4);
                for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                names.emplace(std::move(lower), std::string(entry->d_name, length - 4));
            }
        }
        closedir(dir);
        for (const auto& [key, name] : names) {
            const std::string path = "Data/Interface/" + name + ".fnt";
            const int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0) return false;
            struct stat info {};
            fstat(fd, &info);
            buffer.resize(static_cast<size_t>(info.st_size));
            const ssize_t size = read(fd, buffer.data(), buffer.size());
            close(fd);
            if (size != info.st_size) return false;
            auto font = std::make_unique<PlainFont>();
            if (!Parse(buffer.data(), buffer.data() + size, *font)) return false;
            font->material = materials.try_emplace(font->texture, static_cast<int>(materials.size())).first->second;
            fonts[name] = std::move(font);
        }
        return true;
    }
};

void BM_LoadFontsAgainstReadAndParse(benchmark::State& state) {
    FontFolder folder;
    Host host;
    std::string error;
    if (!host.LoadFonts(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    PlainFonts plain;
    if (!plain.Load() || plain.fonts.size() != static_cast<size_t>(Fonts)) {
        state.SkipWithError("the plain loader did not load every font");
        return;
    }
    RunAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(host.LoadFonts(error)); },
        [&] { benchmark::DoNotOptimize(plain.Load()); });
}
BENCHMARK(BM_LoadFontsAgainstReadAndParse)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
