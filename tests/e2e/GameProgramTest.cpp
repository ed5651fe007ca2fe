// The built game program in game folders of the test's own: the shipped data copied, then
// damaged or changed one file at a time.
#include "tests/TestTempDir.h"
#include "tests/game/TestLevelFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

class GameProgram : public ::testing::Test {
public:
    // A fresh game folder on every call: the test of damaged data runs each case in its own.
    void SetUp() override {
        scratch.emplace("game_program", ScratchFolder::Stay);
        root = scratch->Path();
        game = root / "game";
        fs::create_directories(game);
        fs::copy(fs::path(GAME_DIR) / "Data", game / "Data", fs::copy_options::recursive);
        fs::copy_file(fs::path(GAME_DIR) / "config.cfg", game / "config.cfg");
        TestLevelFiles::Write(game);  // the sample track, as trackmake writes it
    }
    void TearDown() override { scratch.reset(); }

    int Run(const std::string& arguments) {
        const std::string command = "cd '" + game.string() + "' && '" + GAME_EXE + "' " + arguments + " > '" +
                                    (root / "out").string() + "' 2> '" + (root / "err").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Write(const fs::path& file, const std::string& text) { scratch->Write(fs::path("game") / file, text); }

    // The shipped file with one text replaced.
    void Damage(const fs::path& file, const std::string& from, const std::string& to) {
        std::string text = scratch->Read(fs::path("game") / file);
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        Write(file, text);
    }

    std::string Out() const { return scratch->Read("out"); }
    std::string Err() const { return scratch->Read("err"); }

    std::optional<ScratchFolder> scratch;
    fs::path root, game;
};

TEST_F(GameProgram, HelpAndBadOptions) {
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(Out().find("usage: _Tarnwick.exe"), std::string::npos);
    EXPECT_EQ(Run("--laps 0"), 2);
    EXPECT_NE(Err().find("--laps takes"), std::string::npos) << Err();
    EXPECT_NE(Err().find("usage: _Tarnwick.exe"), std::string::npos);
    EXPECT_EQ(Out(), "");
    // A frame time that is 0 as a float would mean the wall clock.
    EXPECT_EQ(Run("--race level1 --frame-time 1e-50 --frames 2"), 2);
    EXPECT_NE(Err().find("--frame-time takes"), std::string::npos) << Err();
    EXPECT_EQ(Out(), "");
}

TEST_F(GameProgram, NobodyDrivingThePlayersCarIsSaidOnceAndDemoLetsTheComputerDriveWithoutTouchingTheConfig) {
    const std::string config = scratch->Read("game/config.cfg");
    ASSERT_NE(config.find("rolling=0"), std::string::npos);
    ASSERT_EQ(Run("--race level1 --frame-time 0.02 --frames 20"), 0) << Err();
    const std::string err = Err();
    const size_t said = err.find("nobody drives the player's car");
    ASSERT_NE(said, std::string::npos) << err;
    EXPECT_EQ(err.find("nobody drives", said + 1), std::string::npos) << err;
    EXPECT_NE(err.find("--demo", said), std::string::npos) << err;

    ASSERT_EQ(Run("--race level1 --demo --frame-time 0.02 --frames 20"), 0) << Err();
    EXPECT_EQ(Err().find("nobody drives"), std::string::npos) << Err();
    EXPECT_EQ(Out(), "race on level1: 3 laps\nstopped after 20 frames\n");
    EXPECT_EQ(scratch->Read("game/config.cfg"), config);
}

TEST_F(GameProgram, TheRaceIsToldWithTheLapsItRuns) {
    // The main script races two laps whatever it is asked.
    Damage("Data/Scripts/main.lua", "startRace(level, tonumber(laps) or 3)", "startRace(level, 2)");
    ASSERT_EQ(Run("--race level1 --laps 3 --demo --frame-time 0.02 --frames 5"), 0) << Err();
    EXPECT_EQ(Out(), "race on level1: 2 laps\nstopped after 5 frames\n");
}

TEST_F(GameProgram, RacesWithTheShippedScriptsToTheFrameLimitAndDumpsTheChosenFrames) {
    fs::create_directories(root / "dumps");
    ASSERT_EQ(Run("--race level1 --frame-time 0.02 --frames 20 --dump 1,20 --dump-folder '" +
                  (root / "dumps").string() + "'"),
              0)
        << Err();
    EXPECT_EQ(Out(), "race on level1: 3 laps\nstopped after 20 frames\n");
    EXPECT_EQ(Err().find("Script error"), std::string::npos) << Err();
    for (const char* name : {"frame1.txt", "frame20.txt"}) {
        EXPECT_NE(scratch->Read(fs::path("dumps") / name).find("Present"), std::string::npos) << name;
    }
    // The race display is drawn: its screen and its labels in the font "hud".
    EXPECT_NE(scratch->Read("dumps/frame20.txt").find("block \"interface.fx\""), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "dumps" / "frame2.txt"));
    // A folder that cannot take the dump is a failure, said once.
    EXPECT_EQ(Run("--race level1 --frames 3 --dump 2 --dump-folder '" + (root / "none").string() + "'"), 1);
    EXPECT_NE(Err().find("cannot write the frame dump"), std::string::npos) << Err();
}

TEST_F(GameProgram, WithoutARaceTheShippedMainScriptSaysWhatToRunAndEndsTheGame) {
    ASSERT_EQ(Run(""), 0) << Err();  // the wall clock: one frame
    EXPECT_NE(Out().find("--race level1"), std::string::npos) << Out();
}

TEST_F(GameProgram, TheGameEndsWhenTheMainScriptReturns) {
    Write("Data/Scripts/main.lua", "print('main ran')\n");
    ASSERT_EQ(Run("--frame-time 0.02 --frames 100"), 0) << Err();
    EXPECT_EQ(Out(), "main ran\n");
}

TEST_F(GameProgram, MissingConfigIsSaidAndTheDefaultsUsed) {
    fs::remove(game / "config.cfg");
    ASSERT_EQ(Run("--race level1 --frames 2"), 0);
    EXPECT_NE(Err().find("\"config.cfg\" is missing or unreadable; using the defaults"), std::string::npos);
}

TEST_F(GameProgram, DamagedDataOrScriptsExitWithTheFileAndLine) {
    struct Case {
        const char* Name;
        std::function<void(GameProgram&)> Damage;
        std::vector<std::string> Says;
        std::string Arguments = "";  // beside the frame options
    };
    const Case cases[] = {
        {"campaign data not XML", [](GameProgram& t) { t.Damage("Data/campaign.xml", "<campaign>", "<campaign"); },
         {"Data\\campaign.xml:6: not well-formed XML"}},
        {"campaign data with a bad value",
         [](GameProgram& t) { t.Damage("Data/campaign.xml", "price=\"900\"", "price=\"-900\""); },
         {"Data\\campaign.xml:", "-900 is negative"}},
        {"campaign data gone", [](GameProgram& t) { fs::remove(t.game / "Data/campaign.xml"); },
         {"campaign.xml"}},
        {"shots damaged", [](GameProgram& t) { t.Write("Data/shots.txt", "[shot\n"); }, {"Data\\shots.txt:1:"}},
        {"enemies damaged", [](GameProgram& t) { t.Write("Data/enemies.txt", "health 5\n"); },
         {"Data\\enemies.txt:1:"}},
        {"font damaged", [](GameProgram& t) { t.Write("Data/Interface/hud.fnt", "hud_font.tga,256,32,0\n"); },
         {"\"Data\\Interface\\hud.fnt\"", "line height"}},
        {"script does not compile",
         [](GameProgram& t) { t.Write("Data/Scripts/gamemenu.lua", "local task = ...\n\nwhile true do\n"); },
         {"Data\\Scripts\\gamemenu.lua", "line 3", "the script \"gamemenu\" failed"}},
        {"script fails while running",
         [](GameProgram& t) {
             t.Write("Data/Scripts/jeep.lua", "local task = ...\ncoroutine.yield()\nlocal x = nil + 1\n");
         },
         {"Data\\Scripts\\jeep.lua", "line 3", "the script \"jeep\" failed"}, "--race level1"},
        {"script missing", [](GameProgram& t) { fs::remove(t.game / "Data/Scripts/main.lua"); },
         {"Data\\Scripts\\main.lua", "the script \"main\" failed"}},
        {"no such level", [](GameProgram&) {}, {"Level level9 cannot be read", "the level \"level9\" cannot be raced"},
         "--race level9"},
        {"level file cut short",
         [](GameProgram& t) { fs::resize_file(t.game / "Data/Levels/level1.lvl", 100); },
         {"Level level1 refused", "at offset", "(Data\\Levels\\level1.lvl)"}, "--race level1"},
        {"car description empty", [](GameProgram& t) { t.Write("Data/Descriptions/testcar.xml", ""); },
         {"description Data\\Descriptions\\testcar.xml: holds no XML", "the level \"level1\" cannot be raced"},
         "--race level1"},
        {"car description not text",
         [](GameProgram& t) { t.Write("Data/Descriptions/testcar.xml", std::string("\0\1<physics", 11)); },
         {"description Data\\Descriptions\\testcar.xml: holds no XML"}, "--race level1"},
        {"car description cut off",
         [](GameProgram& t) {
             fs::resize_file(t.game / "Data/Descriptions/testcar.xml",
                             fs::file_size(t.game / "Data/Descriptions/testcar.xml") / 2);
         },
         {"description Data\\Descriptions\\testcar.xml: not well-formed XML"}, "--race level1"},
        {"car description with a stray byte", [](GameProgram& t) { t.Damage("Data/Descriptions/testcar.xml", "<physics>", "<phy\xFFsics>"); },
         {"description Data\\Descriptions\\testcar.xml: not well-formed XML"}, "--race level1"},
        {"car description gone", [](GameProgram& t) { fs::remove(t.game / "Data/Descriptions/testcar.xml"); },
         {"description Data\\Descriptions\\testcar.xml: cannot be read", "the level \"level1\" cannot be raced"},
         "--race level1"},
        {"key bindings unreadable", [](GameProgram& t) { fs::create_directory(t.game / "Actions.cfg"); },
         {"\"Actions.cfg\" cannot be read"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        c.Damage(*this);
        EXPECT_EQ(Run("--frame-time 0.02 --frames 10 " + c.Arguments), 1);
        const std::string err = Err();
        for (const std::string& part : c.Says) {
            EXPECT_NE(err.find(part), std::string::npos) << part << " in:\n" << err;
        }
        EXPECT_EQ(err.find("AddressSanitizer"), std::string::npos) << err;
    }
}

}  // namespace
