// The host loads the fonts the screens name: every font file of "Data\Interface", on disk or
// in a pack, under its file name; the first that does not load stops it, named with the reason.
#include "core/PackFiles.h"
#include "host/Host.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string Font = "font.tga,256,32,16\n48,0,0,14\n";

class HostFonts : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "Data/Interface");
        PackFiles.clear();
    }
    void TearDown() override { PackFiles.clear(); }
    void Put(const std::string& name, const std::string& text) { scratch.Write("Data/Interface/" + name, text); }

    ScratchFolder scratch{"host_fonts"};
    const fs::path& root = scratch.Path();
};

TEST_F(HostFonts, EveryFontOnDiskAndInPacksUnderItsFileName) {
    Put("hud.fnt", Font);
    Put("Menu.FNT", "big.tga,512,64,32\n65,0,0,20\n");
    Put("game_interface1024.int", "not a font");
    fs::create_directories(root / "Data/Interface/old.fnt");  // a folder, not a font
    std::vector<uint8_t> pack;
    ASSERT_TRUE(PackFormat::Encode({{"data\\interface\\packed.fnt", std::vector<uint8_t>(Font.begin(), Font.end())},
                                    {"data\\interface\\sub\\deep.fnt", {}},
                                    {"data\\hud.fnt", {}}},
                                   pack));
    scratch.Write("data.pak", std::string(pack.begin(), pack.end()));

    Host host;
    ASSERT_EQ(host.AddPackFiles(), 1);
    std::string error;
    ASSERT_TRUE(host.LoadFonts(error)) << error;
    EXPECT_NE(host.FontManager().FindFont("hud"), nullptr);
    ASSERT_NE(host.FontManager().FindFont("Menu"), nullptr);
    EXPECT_EQ(host.FontManager().FindFont("Menu")->Metrics.LineHeight, 32.0f);
    EXPECT_NE(host.FontManager().FindFont("packed"), nullptr);
    EXPECT_EQ(host.FontManager().FindFont("old"), nullptr);
    EXPECT_EQ(host.FontManager().FindFont("deep"), nullptr);
    EXPECT_EQ(host.FontManager().FindFont("game_interface1024"), nullptr);
}

TEST_F(HostFonts, NoFontsIsNoFault) {
    fs::remove_all(root / "Data/Interface");
    Host host;
    std::string error;
    EXPECT_TRUE(host.LoadFonts(error)) << error;
}

TEST_F(HostFonts, ADamagedFontStopsTheLoadNamingTheFileAndWhy) {
    Put("a.fnt", Font);
    Put("b.fnt", "b.tga,256,32,0\n");
    Host host;
    std::string error;
    EXPECT_FALSE(host.LoadFonts(error));
    EXPECT_NE(error.find("\"Data\\Interface\\b.fnt\""), std::string::npos) << error;
    EXPECT_NE(error.find("line height"), std::string::npos) << error;
    EXPECT_NE(host.FontManager().FindFont("a"), nullptr);
    EXPECT_EQ(host.FontManager().FindFont("b"), nullptr);
}

}  // namespace
