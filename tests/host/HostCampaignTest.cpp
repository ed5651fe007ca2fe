#include "host/Host.h"
#include "tests/host/ShippedDataFixture.h"

#include "core/CPLog.h"
#include "game/CPWeapon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Runs each test in a fresh game folder holding a copy of the shipped campaign data.
class HostCampaign : public ShippedDataTest {
protected:
    HostCampaign() : ShippedDataTest("campaign.xml") {}

    // The shipped file with one text replaced.
    void Damage(const std::string& from, const std::string& to) {
        std::string text = scratch.Read("Data/campaign.xml");
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, from.size(), to);
        scratch.Write("Data/campaign.xml", text);
    }
};

TEST_F(HostCampaign, StartsOnTheShippedCampaignWithTheSavedScores) {
    std::vector<std::vector<ScoreRecord>> saved;
    {
        Host host;
        std::string error;
        ASSERT_TRUE(host.LoadCampaignData(error)) << error;
        CPGameData& data = host.GameData();
        EXPECT_TRUE(data.Weapons.Contains("mgun"));
        // Every weapon the shop sells is one the cars can mount.
        for (const auto& [id, weapon] : data.Weapons.InOrder) {
            EXPECT_NE(CPWeapon::TypeOf(id), CPWeapon::None) << id;
        }
        EXPECT_FALSE(data.CarPresets.empty());
        ASSERT_GE(data.ScoreTables.size(), 2u);
        EXPECT_TRUE(data.AddRecord(2, {"Quick", 0, 58, 1}));
        ASSERT_TRUE(data.SaveScores());
        saved = data.ScoreTables;
    }
    Host host;
    std::string error;
    ASSERT_TRUE(host.LoadCampaignData(error)) << error;
    EXPECT_EQ(host.GameData().ScoreTables, saved);
    EXPECT_TRUE(log.empty());
}

TEST_F(HostCampaign, ADamagedCampaignDoesNotStart) {
    Damage("price=\"900\"", "price=\"-900\"");
    Host host;
    std::string error;
    EXPECT_FALSE(host.LoadCampaignData(error));
    EXPECT_EQ(error.rfind("Data\\campaign.xml:", 0), 0u) << error;
    EXPECT_NE(error.find("<item> \"rlauncher\" in <weapons>: attribute \"price\": -900 is negative"), std::string::npos)
        << error;
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], error + "\n");
    EXPECT_EQ(host.GameData().Weapons.Size(), 0u);
    EXPECT_TRUE(host.GameData().TextTable.empty());
    EXPECT_FALSE(host.LoadCampaignData(error, "Data\\other.xml"));
    EXPECT_EQ(error, "Data\\other.xml: cannot be read");
}

}  // namespace
