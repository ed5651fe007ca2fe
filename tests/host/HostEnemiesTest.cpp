// The host's computer-car manager and enemy types: made with the host and gone with it; the
// shipped enemy file reads whole, a missing one is reported with its name.
#include "host/Host.h"
#include "tests/host/ShippedDataFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs each test in a fresh game folder holding a copy of the shipped enemy file.
class HostEnemies : public ShippedDataTest {
protected:
    HostEnemies() : ShippedDataTest("enemies.txt") {}
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
