// System functions through scripts: files tested through the path layer, links handed to a
// stand-in xdg-open as one argument, the screen width, and picture sizes read from headers.
#include "ScriptFixture.h"

#include "script/ImageSize.h"
#include "tests/TestBytes.h"

#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using TestBytes::Bytes;
using TestBytes::DdsHeader;
using TestBytes::Put16;
using TestBytes::Put32;

Bytes Bmp(int32_t w, int32_t h, uint16_t bits) {
    const uint32_t stride = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
    const uint32_t pixels = stride * static_cast<uint32_t>(std::abs(h));
    Bytes b = {'B', 'M'};
    Put32(b, 54 + pixels);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(w));
    Put32(b, static_cast<uint32_t>(h));
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; ++i) {
        Put32(b, 0);
    }
    b.resize(b.size() + pixels, 0x55);
    return b;
}

Bytes Tga(uint16_t w, uint16_t h, bool rle) {
    Bytes b = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, w);
    Put16(b, h);
    b.push_back(24);
    b.push_back(0);
    if (rle) {
        for (uint32_t left = uint32_t{w} * h; left > 0; left -= std::min<uint32_t>(left, 128)) {
            b.push_back(static_cast<uint8_t>(0x80 | (std::min<uint32_t>(left, 128) - 1)));
            b.insert(b.end(), {1, 2, 3});
        }
    } else {
        b.resize(b.size() + size_t{w} * h * 3, 7);
    }
    return b;
}

Bytes Dds(uint32_t w, uint32_t h) {
    Bytes b = DdsHeader(w, h);
    b.resize(b.size() + size_t{w} * h * 4, 9);
    return b;
}

Bytes Jpeg(unsigned w, unsigned h) {
    return TestBytes::Jpeg(w, h, 75, [](unsigned, unsigned, JSAMPLE* rgb) { rgb[0] = rgb[1] = rgb[2] = 128; });
}

Bytes Png(unsigned w, unsigned h) { return TestBytes::Png(w, h, PNG_FORMAT_RGB, Bytes(size_t{w} * h * 3, 60)); }

Bytes Cut(Bytes b, size_t keep) {
    b.resize(std::min(keep, b.size()));
    return b;
}

class ScriptSystem : public ScriptTest {
protected:
    void WriteBytes(const std::string& name, const Bytes& bytes) { WriteFile(name, std::string(bytes.begin(), bytes.end())); }
};

TEST_F(ScriptSystem, IsFileExistsIsTrueForReadableFilesOnly) {
    WriteFile("Data/Scripts/Menu.lua", "-- menu");
    std::filesystem::create_directories(dir / "Data" / "Folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    Run(R"(
        assert(IsFileExists("Data\\Scripts\\Menu.lua") == true)
        assert(IsFileExists("DATA\\scripts\\MENU.LUA") == true)   -- any letter case
        assert(IsFileExists("Data\\Folder") == false)
        assert(IsFileExists("Data") == false)
        assert(IsFileExists("pipe") == false)
        assert(IsFileExists("Data\\Scripts\\absent.lua") == false)
        assert(IsFileExists("") == false)
        assert(not pcall(IsFileExists, nil))
    )");
}

TEST_F(ScriptSystem, GetCurrentResolutionGivesTheWidthAlone) {
    Cfg::screenWidth = 1024;
    Run("assert(select('#', GetCurrentResolution()) == 1 and GetCurrentResolution() == 1024)");
}

TEST_F(ScriptSystem, GetTextureSizeReadsTheHeaderOfEveryKind) {
    struct Row {
        const char* name;
        Bytes bytes;
        int width, height;
    };
    const Bytes jpeg = Jpeg(300, 200);
    const Bytes png = Png(300, 200);
    const Row rows[] = {
        {"photo.jpg", jpeg, 300, 200},
        {"shot.png", png, 300, 200},
        {"plain.tga", Tga(300, 200, false), 300, 200},
        {"packed.tga", Tga(300, 200, true), 300, 200},
        {"map.dds", Dds(300, 200), 300, 200},
        {"down.bmp", Bmp(300, -200, 24), 300, 200},
        {"up.bmp", Bmp(3, 2, 8), 3, 2},
        // damaged or not a picture
        {"cut.png", Cut(png, 20), 0, 0},
        {"cut.jpg", Cut(jpeg, 4), 0, 0},
        {"cut.tga", Cut(Tga(300, 200, false), 1000), 0, 0},
        {"cutrle.tga", Cut(Tga(300, 200, true), 30), 0, 0},
        {"cut.dds", Cut(Dds(300, 200), 500), 0, 0},
        {"cut.bmp", Cut(Bmp(300, 200, 24), 4000), 0, 0},
        {"zero.bmp", Bmp(0, 5, 24), 0, 0},
        {"text.txt", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!', '!', '!', '!'}, 0, 0},
        {"empty.tga", Bytes{}, 0, 0},
    };
    for (const Row& row : rows) {
        WriteBytes(std::string("Data/Textures/") + row.name, row.bytes);
        Run(std::string("local w, h = GetTextureSize('Data\\\\Textures\\\\") + row.name + "') assert(w == " +
            std::to_string(row.width) + " and h == " + std::to_string(row.height) + ", '" + row.name + " ' .. w .. ' ' .. h)");
    }
    Run("local w, h = GetTextureSize('Data\\\\Textures\\\\absent.png') assert(w == 0 and h == 0)");
}

// A stand-in xdg-open on PATH that writes its argument count and arguments to a file.
class ScriptLinks : public ScriptSystem {
protected:
    void SetUp() override {
        ScriptSystem::SetUp();
        const std::filesystem::path bin = dir / "bin";
        WriteFile("bin/xdg-open", "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$SCRIPT_TEST_OPENED.tmp\"\n"
                                  "mv \"$SCRIPT_TEST_OPENED.tmp\" \"$SCRIPT_TEST_OPENED\"\n");
        std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        previousPath = path != nullptr ? path : "";
        setenv("PATH", (bin.string() + ":" + previousPath).c_str(), 1);
        opened = (dir / "opened").string();
        setenv("SCRIPT_TEST_OPENED", opened.c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", previousPath.c_str(), 1);
        unsetenv("SCRIPT_TEST_OPENED");
        ScriptSystem::TearDown();
    }
    // What the stand-in received; it runs detached, so this waits for its file to appear.
    std::string WaitForOpened() {
        for (int i = 0; i < 1000 && !std::filesystem::exists(opened); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::string text = ReadFile("opened");
        std::filesystem::remove(opened);
        return text;
    }
    std::string previousPath;
    std::string opened;
};

TEST_F(ScriptLinks, GoURLlinkHandsTheAddressOverAsOneArgument) {
    const std::string address = "https://example.com/a b\"c';d&e|f $(g)";
    lua_pushstring(L(), address.c_str());
    lua_setglobal(L(), "address");
    Run("GoURLlink(address)");
    EXPECT_EQ(WaitForOpened(), "1\n" + address + "\n");
    EXPECT_TRUE(reports.empty());
}

TEST_F(ScriptLinks, GoURLOpensOnlyFilesThatExist) {
    WriteFile("Docs/Read Me.txt", "hello");
    Run(R"(GoURL("docs\\read me.txt"))");
    EXPECT_EQ(WaitForOpened(), "1\nDocs/Read Me.txt\n");
    Run(R"(GoURL("docs\\absent.txt") GoURL("Docs"))");
    // Nothing was started for either: a link opened after them is the next thing the stand-in sees.
    Run(R"(GoURLlink("https://example.com/next"))");
    EXPECT_EQ(WaitForOpened(), "1\nhttps://example.com/next\n");
}

TEST_F(ScriptLinks, AFailedHandOffIsReported) {
    setenv("PATH", (dir / "empty").c_str(), 1);  // no xdg-open anywhere
    Run(R"(GoURLlink("https://example.com/"))");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].Text.find("GoURLlink: cannot open \"https://example.com/\""), std::string::npos) << reports[0].Text;
}

TEST(ImageSize, RefusesNullAndTinyInput) {
    ImageSize size;
    EXPECT_FALSE(ReadImageSize(nullptr, 10, size));
    const uint8_t bm[] = {'B', 'M', 0};
    EXPECT_FALSE(ReadImageSize(bm, sizeof bm, size));
}

}  // namespace
