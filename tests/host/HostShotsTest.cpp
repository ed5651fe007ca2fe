// The host's shot manager: the shipped shot descriptions give a pool to every shot the weapons,
// enemies and bonuses launch; a damaged file is refused with its line; RunFrame flies the shots
// and takes the ended ones back.
#include "host/Host.h"
#include "tests/host/ShippedDataFixture.h"

#include "core/CPLog.h"
#include "core/Singletons.h"
#include "game/CPWeapon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class HostShots : public ShippedDataTest {
protected:
    HostShots() : ShippedDataTest("shots.txt") {}
};

TEST_F(HostShots, TheShippedDescriptionsCoverEveryShotTheGameLaunches) {
    Host host;
    EXPECT_EQ(GetShotManager(), &host.ShotManager());
    std::string error;
    ASSERT_TRUE(host.LoadShotDescriptions(error)) << error;
    std::vector<std::string> names = {"rocket_exp2", "sparks4", "sparks4red", "sparks4_remont", "sparks4_gloom", "super"};
    for (int32_t type = 0; type < CPWeapon::None; ++type) {
        if (const char* shot = CPWeapon::ShotOf(type)) names.push_back(shot);
    }
    for (const std::string& name : names) {
        EXPECT_EQ(host.ShotManager().PoolSize(name), 1u) << name;
    }
    // Loading again would give two prototypes to a name: refused.
    EXPECT_FALSE(host.LoadShotDescriptions(error));
    EXPECT_NE(error.find("already has a pool"), std::string::npos) << error;

    // A launched tracer flies frame by frame (120 units/s, 20 at most) and returns to its pool.
    host.ShotManager().LaunchShot("trasser11", D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0), -1.0f, nullptr, 0);
    ASSERT_EQ(host.ShotManager().Launched.size(), 1u);
    for (int frame = 0; frame < 10; ++frame) host.RunFrame(1.0f / 60.0f);
    EXPECT_EQ(host.ShotManager().Launched.size(), 1u);
    EXPECT_NEAR(host.ShotManager().Launched[0]->Position.x, 20.0f, 1e-3f);
    host.RunFrame(1.0f / 60.0f);
    EXPECT_TRUE(host.ShotManager().Launched.empty());
    EXPECT_EQ(host.ShotManager().PoolSize("trasser11"), 2u);
}

TEST_F(HostShots, ADamagedFileIsRefusedWithItsLineAndAddsNothing) {
    scratch.Write("Data/shots.txt",
                  "a effect none 0 none\n"
                  "b lightning any 0 0 0.1 t.tga e.fx 0 a 0 none\n");
    Host host;
    std::string error;
    EXPECT_FALSE(host.LoadShotDescriptions(error));
    EXPECT_EQ(error, "Data\\shots.txt:2: speed \"0\" must be above 0");
    EXPECT_EQ(host.ShotManager().PoolSize("a"), 0u);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Data\\shots.txt:2:"), std::string::npos);
}

}  // namespace
