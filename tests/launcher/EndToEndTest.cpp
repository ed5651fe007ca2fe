// The built program, run as a person would run it: in a game folder, keys on its input, a
// fake game that leaves a marker and a fake xdg-open that logs what it was asked to open.
#include "launcher/PublisherSite.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;


void WriteScript(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// The started programs are detached: wait a while for what they leave behind.
bool WaitFor(const fs::path& path, const std::string& text = "") {
    for (int i = 0; i < 500; ++i) {
        if (fs::exists(path) && ReadWholeFile(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin);
        WriteScript(bin / "xdg-open", "echo \"$@\" >> '" + (root / "opened.log").string() + "'");
        scratch.Write("game/README.txt", "Read me.\n");
        scratch.Write("game/config.cfg", "screenWidth=800\n");
    }

    void AddGame() { WriteScript(game / "_Tarnwick.exe", "echo started \"$@\" > '" + Marker().string() + "'"); }

    int Run(const std::string& keys) {
        scratch.Write("keys", keys);
        const std::string command = "cd '" + game.string() + "' && PATH='" + bin.string() + "':\"$PATH\" '" +
                                    TARNWICK_EXE + "' < '" + (root / "keys").string() + "' > '" +
                                    (root / "out").string() + "' 2> '" + (root / "err").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path Marker() const { return root / "marker"; }
    fs::path Log() const { return root / "opened.log"; }
    std::string Out() const { return ReadWholeFile(root / "out"); }
    std::string Err() const { return ReadWholeFile(root / "err"); }

    ScratchFolder scratch{"tarnwick_e2e", ScratchFolder::Stay};
    const fs::path& root = scratch.Path();
    const fs::path game = root / "game";
    const fs::path bin = root / "bin";
};

TEST_F(EndToEnd, StartGameRunsTheGameFromTheGameFolder) {
    AddGame();
    ASSERT_EQ(Run("1\n"), 0);
    ASSERT_TRUE(WaitFor(Marker(), "started")) << Err();
    EXPECT_FALSE(fs::exists(Log()));  // no page was opened
    // The terminal shows the window, its page and its buttons.
    const std::string out = Out();
    EXPECT_NE(out.find("Tarnwick"), std::string::npos);
    EXPECT_NE(out.find(PublisherSite::StartPage()), std::string::npos);
    EXPECT_NE(out.find("[1 Start Game] [2 Game Settings] [3 Exit] [4 Readme.txt]"), std::string::npos);
    EXPECT_EQ(Err(), "");
}

TEST_F(EndToEnd, ReadmeThenExitOpensTheReadmeAndTheStatisticsPage) {
    AddGame();
    ASSERT_EQ(Run("4\n\x1b\n4\n3\n"), 0);
    ASSERT_TRUE(WaitFor(Log(), PublisherSite::StatisticsPage())) << Err();
    // Readme twice and the page; the order between detached openers is not fixed.
    std::string log;
    for (int i = 0; i < 500 && std::count(log.begin(), log.end(), '\n') < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = ReadWholeFile(Log());
    }
    EXPECT_NE(log.find("README.txt\n"), std::string::npos) << log;
    EXPECT_NE(log.find("README.txt\n", log.find("README.txt\n") + 1), std::string::npos) << log;
    EXPECT_NE(log.find(PublisherSite::StatisticsPage() + "\n"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(Marker()));
}

TEST_F(EndToEnd, EndOfInputClosesTheWindowLikeExit) {
    ASSERT_EQ(Run(""), 0);
    ASSERT_TRUE(WaitFor(Log(), PublisherSite::StatisticsPage())) << Err();
}

TEST_F(EndToEnd, FailedHandOffsPrintOneLineAndStillExitWithZero) {
    // No settings program and no game in the folder.
    ASSERT_EQ(Run("2\n1\n"), 0);
    const std::string err = Err();
    EXPECT_NE(err.find("\"settings.exe\""), std::string::npos) << err;
    EXPECT_NE(err.find("\"_Tarnwick.exe\""), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
}

TEST_F(EndToEnd, GameWithoutExecutePermissionIsReportedNotOpened) {
    AddGame();
    fs::permissions(game / "_Tarnwick.exe", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run("1\n"), 0);
    const std::string err = Err();
    EXPECT_NE(err.find("\"_Tarnwick.exe\": the program is not executable"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(Log()));  // not handed to xdg-open
    EXPECT_FALSE(fs::exists(Marker()));
}

TEST_F(EndToEnd, GameBehindALinkLoopIsReportedNotOpened) {
    fs::create_symlink("_Tarnwick.exe", game / "_Tarnwick.exe");
    ASSERT_EQ(Run("1\n"), 0);
    const std::string err = Err();
    EXPECT_NE(err.find("\"_Tarnwick.exe\": the file cannot be reached: Too many levels of symbolic links"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(Log()));
}

TEST_F(EndToEnd, StartGameStartsTheBuiltGameProgramInTheGameFolder) {
    // The built program with the shipped data; its main script says it ran and ends the game.
    fs::copy_file(GAME_EXE, game / "_Tarnwick.exe");
    fs::copy(fs::path(GAME_DIR) / "Data", game / "Data", fs::copy_options::recursive);
    scratch.Write("game/Data/Scripts/main.lua", "print('the game ran in ' .. GetCurrentResolution())\n");
    ASSERT_EQ(Run("1\n"), 0);
    // The detached game writes to the output the launcher was given.
    ASSERT_TRUE(WaitFor(root / "out", "the game ran in 800\n")) << Err();  // it read "config.cfg"
    EXPECT_FALSE(fs::exists(Log()));
}

TEST_F(EndToEnd, MissingOrUnreadableConfigIsSaidInOneLine) {
    fs::remove(game / "config.cfg");
    ASSERT_EQ(Run("3\n"), 0);
    EXPECT_EQ(Err(), "tarnwick: \"config.cfg\" is missing or unreadable; using the defaults\n");
    // A FIFO is skipped, not waited on.
    ASSERT_EQ(mkfifo((game / "config.cfg").c_str(), 0600), 0);
    ASSERT_EQ(Run("3\n"), 0);
    EXPECT_EQ(Err(), "tarnwick: \"config.cfg\" is missing or unreadable; using the defaults\n");
}

}  // namespace
