// The host's computer-car manager and enemy types: made with the host and gone with it; the
// shipped enemy file reads whole, a missing one is reported with its name.
#include "host/Host.h"

#include "core/CPLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class HostEnemies : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "host-enemies-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
        fs::create_directories(directory / "Data");
        fs::copy_file(fs::path(TEST_DATA_DIR) / "../../gamedir/Data/enemies.txt", directory / "Data/enemies.txt");
        fs::current_path(directory);
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { log.push_back(report.Text); });
    }
    void TearDown() override {
        CPLog::GetInstance().SetSink(nullptr);
        fs::current_path(previous);
        fs::remove_all(directory);
    }

    fs::path previous;
    fs::path directory;
    std::vector<std::string> log;
};

TEST_F(HostEnemies, TheManagerLivesWithTheHost) {
    {
        Host host;
        EXPECT_EQ(GetAIManager(), &host.AIManager());
        EXPECT_TRUE(host.AIManager().Opponents.empty());
    }
    EXPECT_EQ(GetAIManager(), nullptr);
}

TEST_F(HostEnemies, TheShippedEnemiesReadAndAMissingFileIsNamed) {
    Host host;
    std::string error;
    ASSERT_TRUE(host.LoadEnemyDescriptions(error)) << error;
    EXPECT_NE(host.Enemies().Find("soldier"), nullptr);
    const size_t count = host.Enemies().Enemies.size();

    EXPECT_FALSE(host.LoadEnemyDescriptions(error, "Data\\none.txt"));
    EXPECT_NE(error.find("Data\\none.txt"), std::string::npos) << error;
    EXPECT_EQ(host.Enemies().Enemies.size(), count) << "unchanged";
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("none.txt"), std::string::npos);
}

}  // namespace
