// What the race update hands the renderer: the cars the camera sees (the player's car not in
// demo mode), the terrain, the ghost, the visible scenery of the level's tree, and the lens
// flare placed at the sun.
#include "DynamicSky/Skyscape.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPLevelBranch.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "interface/CPLensFlare.h"
#include "platform/win32/Clock.h"
#include "tests/Render/BatchFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using RenderFixtures::BatchTest;

class RaceDrawTest : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        PlatformClock::UseManual();
        level = std::make_unique<CPLevel>();
        level->DemoMode = false;
        level->SingleMode = true;
        level->LevelTime = 600.0f;
        camera = std::make_unique<CPCamera>();
        level->Camera = camera.get();
        // Eye at the origin, looking along +y, kept there as a free view the feed leaves alone
        // in camera mode 0.
        Aim(*camera->View1, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
        camera->FreeView = true;
        camera->FreeEye = D3DXVECTOR3(0, 0, 0);
        camera->FreeLookAt = D3DXVECTOR3(0, 1, 0);
        camera->FreeUp = D3DXVECTOR3(0, 0, 1);
        MainView = camera->View1.Get();
    }
    void TearDown() override {
        // The cars, camera, flare and nodes are the test's.
        level->Player = nullptr;
        level->FollowedCar = nullptr;
        level->Cars.clear();
        level->Camera = nullptr;
        level->LensFlare = nullptr;
        level->Terrain = nullptr;
        level->GhostCar = nullptr;
        level.reset();
        Skyscape::SunPosition = D3DXVECTOR3(0, 0, 0);
        BatchTest::TearDown();
        cars.clear();
        camera.reset();
        flareOwner.reset();
        PlatformClock::UseReal();
    }

    // A car at position with a small mesh child.
    CPPlayer* Car(const D3DXVECTOR3& position) {
        cars.push_back(std::make_unique<CPPlayer>());
        CPPlayer* car = cars.back().get();
        car->SetBounds(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1)));
        car->SetPosition(position);
        Mesh("body", stone, 3, 0.0f, car);
        car->UpdateTransform();
        return car;
    }
    void Frame() {
        frameBatcher->EndFrame();
        FrameTime = 1.0f / 60.0f;
        level->Update();
    }

    std::unique_ptr<CPLevel> level;
    std::unique_ptr<CPCamera> camera;
    std::vector<std::unique_ptr<CPPlayer>> cars;
    std::unique_ptr<CPLensFlare> flareOwner;
};

TEST_F(RaceDrawTest, TheCarsTerrainGhostAndVisibleSceneryAreBatched) {
    CPPlayer* player = Car(D3DXVECTOR3(0, 20, 0));
    CPPlayer* ahead = Car(D3DXVECTOR3(5, 40, 0));
    CPPlayer* behind = Car(D3DXVECTOR3(0, -40, 0));
    level->Player = player;
    level->FollowedCar = player;
    level->Cars = {ahead, behind};
    CPGameObject* terrain = Placed("terrain", glow, D3DXVECTOR3(0, 30, -2));
    level->Terrain = terrain;
    CPGameObject* seen = Placed("seen", stone, D3DXVECTOR3(-5, 60, 0));
    CPGameObject* unseen = Placed("unseen", stone, D3DXVECTOR3(-5, -60, 0));
    auto* root = new CPLevelBranch();
    root->Build({seen, unseen});
    root->Split();
    level->BranchRoot = root;

    Frame();
    EXPECT_EQ(Drawn(stone, player), 1u);
    EXPECT_EQ(Drawn(stone, ahead), 1u);
    EXPECT_EQ(Drawn(stone, behind), 0u);
    EXPECT_EQ(Drawn(glow, terrain), 1u);
    EXPECT_EQ(Drawn(stone, seen), 1u);
    EXPECT_EQ(Drawn(stone, unseen), 0u);

    // No terrain without "plane"; the quadtree configuration draws no scenery of the tree;
    // demo mode draws no player's car.
    Cfg::plane = 0.0f;
    Cfg::quadlevels = 2;
    level->DemoMode = true;
    Frame();
    EXPECT_EQ(Drawn(glow, terrain), 0u);
    EXPECT_EQ(Drawn(stone, seen), 0u);
    EXPECT_EQ(Drawn(stone, player), 0u);
    EXPECT_EQ(Drawn(stone, ahead), 1u);

    // Time mode: the ghost is batched whether or not it moved.
    level->DemoMode = false;
    level->TimeMode = true;
    level->LevelNumber = 1;
    CPGameObject* ghost = Placed("ghost", glow, D3DXVECTOR3(0, 50, 0));
    level->GhostCar = ghost;
    Frame();
    EXPECT_EQ(Drawn(glow, ghost), 1u);
}

TEST_F(RaceDrawTest, TheLensFlareShowsOnlyForASunAheadAndAboveTheHorizon) {
    flareOwner = std::make_unique<CPLensFlare>();
    CPLensFlare& flare = *flareOwner;
    level->LensFlare = &flare;
    render->ViewProjection = camera->View1->ViewProjection;
    struct Case {
        D3DXVECTOR3 sun;
        bool positioned;
        bool visible;
    };
    const Case cases[] = {
        {{0.0f, 100.0f, 10.0f}, true, true},     // ahead, above
        {{0.0f, -100.0f, 10.0f}, true, false},   // behind: projects onto the screen mirrored
        {{0.0f, 100.0f, -10.0f}, false, false},  // below the horizon
        {{500.0f, 100.0f, 10.0f}, false, false}, // off the screen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sun.y);
        flare.LightX = -1;
        flare.LightY = -1;
        flare.SetLightVisible(!c.visible);
        Skyscape::SunPosition = c.sun;
        Frame();
        EXPECT_EQ(flare.LightVisible, c.visible);
        EXPECT_EQ(flare.LightX != -1, c.positioned);
        if (c.positioned) {
            D3DXVECTOR3 screen;
            render->ProjectToScreen(screen, c.sun);
            EXPECT_EQ(flare.LightX, static_cast<int32_t>(screen.x));
            EXPECT_EQ(flare.LightY, static_cast<int32_t>(screen.y));
        }
    }
    // Without "lensflare" the flare is left alone.
    Cfg::lensflare = 0;
    flare.SetLightVisible(false);
    Skyscape::SunPosition = cases[0].sun;
    Frame();
    EXPECT_FALSE(flare.LightVisible);
}

}  // namespace
