// Loading, starting and stopping a level from the test level's files: what a load builds, the
// race's tasks in the scheduler, a few hundred frames of a running race, the stop that leaves
// nothing behind, a second load, and each kind of missing data failing the load or being
// passed over with a log line.
#include "tests/game/LevelFixture.h"

#include "Render/CPRenderObject.h"
#include "core/CPBoundingBox.h"
#include "core/CPObjUpdater.h"
#include "game/CPAIManager.h"
#include "game/CPCar.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "interface/CPGameData.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace {

using LevelFixture::LevelTest;

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-4f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool IsLoadShadow(const D3DXMATRIX& m);

D3DXMATRIX LoadShadow() {
    const D3DXVECTOR4 sun(0, 0, -1, 0);
    const D3DXPLANE ground(0, 0, -1, 0.5f);
    D3DXMATRIX m;
    D3DXMatrixShadow(&m, &sun, &ground);
    return m;
}

bool IsLoadShadow(const D3DXMATRIX& m) {
    const D3DXMATRIX expected = LoadShadow();
    return std::memcmp(&m, &expected, sizeof(D3DXMATRIX)) == 0;
}

TEST_F(LevelTest, LoadBuildsTheWholeRace) {
    // Before any load the shadow projection is already the one a load makes.
    EXPECT_TRUE(IsLoadShadow(ShadowMatrix));
    host->GameData().PlayerType = CPPlayer::SideDrevik;
    host->GameData().LevelTransportCount = 0;
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(level->IsLoaded());
    EXPECT_EQ(level->LevelNumber, 1);
    EXPECT_TRUE(IsLoadShadow(ShadowMatrix));

    // Placed objects, zone, checkpoint, beacon, source, paths and the start line.
    EXPECT_EQ(level->Objects.size(), TestLevelFiles::PlacedObjects);
    ASSERT_EQ(level->Zones.size(), 1u);
    ASSERT_EQ(level->Checkpoints.size(), 1u);
    EXPECT_FLOAT_EQ(level->Checkpoints[0].Time, 24.0f);
    ASSERT_EQ(level->Beacons.size(), 1u);
    EXPECT_FALSE(level->Beacons.front().Object->Visible);
    ASSERT_TRUE(level->Sources.contains("tank"));
    ASSERT_NE(level->CentrePath, nullptr);
    ASSERT_NE(level->LeftPath, nullptr);
    ASSERT_NE(level->RightPath, nullptr);
    EXPECT_EQ(level->PathLineHint, level->CentrePath->FirstLine);
    ExpectVec(level->FinishDirection, 0, 20, 0);
    ExpectVec(level->FinishPosition, 0, 0, 0);
    for (const CPtr<CPGameObject>& object : level->Objects) {
        EXPECT_TRUE(object->Active);
        EXPECT_TRUE(object->Static);
        EXPECT_FALSE(object->CastShadow);
    }
    ASSERT_NE(level->BranchRoot, nullptr);

    // The level's object, the ground quad and the road under the physics world.
    EXPECT_NE(level->LevelObject, nullptr);
    ASSERT_NE(level->Terrain, nullptr);
    auto* ground = dynamic_cast<CPRenderObject*>(level->Terrain->RenderObject.Get());
    ASSERT_NE(ground, nullptr);
    ASSERT_EQ(ground->Vertices.size(), 4u);
    ExpectVec(ground->Vertices[2].Position, 1500, 1500, -0.6f);
    EXPECT_FLOAT_EQ(ground->Vertices[2].U2, 600.0f);
    EXPECT_EQ(ground->Indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    ASSERT_NE(level->RoadPhysics, nullptr);
    EXPECT_NEAR(host->PhysicWorld().GetHeight(D3DXVECTOR3(100, 50, 10)), 0.0f, 1e-3f);

    // The computer cars: named by the level's brand, lifted 2 m, with bodies and models.
    ASSERT_EQ(level->Cars.size(), TestLevelFiles::ComputerCars);
    EXPECT_EQ(level->Cars[0]->CarName, "kestrel1");
    EXPECT_EQ(level->Cars[1]->CarName, "kestrel2");
    ExpectVec(level->Cars[1]->GetPosition(), 5, 8, 2);
    for (const CPtr<CPPlayer>& car : level->Cars) {
        ASSERT_NE(car->GetCar(), nullptr);
        EXPECT_NE(car->Physics->RigidBody, nullptr);
        EXPECT_FALSE(car->GetCar()->HasSound);
        EXPECT_EQ(car->AiLowerLimit, 3);
        EXPECT_EQ(car->AiUpperLimit, 9);
        EXPECT_EQ(car->GetSideFlags(), 0u);  // "kestrel" is no model of the car-name table
    }
    EXPECT_EQ(host->AIManager().Opponents.size(), 5u);
    EXPECT_TRUE(host->AIManager().Traffic.empty());
    EXPECT_EQ(host->AIManager().Opponents[1]->CentreLine, level->CentrePath->FirstLine);
    EXPECT_EQ(host->AIManager().Opponents[1]->LeftLine, level->LeftPath->FirstLine);

    // The player's car, followed by the camera, with the description's camera sets.
    ASSERT_NE(level->Player, nullptr);
    EXPECT_EQ(level->FollowedCar, level->Player.Get());
    EXPECT_EQ(level->Player->CarName, TestLevelFiles::PlayerModel);
    EXPECT_EQ(level->RecordName, TestLevelFiles::PlayerModel);
    ExpectVec(level->Player->GetPosition(), 5, 0, 2.5f);
    EXPECT_TRUE(level->Player->HumanDriven);
    EXPECT_TRUE(level->Player->GetCar()->HasSound);
    EXPECT_EQ(level->Player->GetSideFlags(), static_cast<uint32_t>(CPPlayer::SideDrevik));
    EXPECT_FLOAT_EQ(level->CameraDistance, TestLevelFiles::CameraDistance);
    EXPECT_FLOAT_EQ(level->CameraHeight, TestLevelFiles::CameraHeight);
    EXPECT_FLOAT_EQ(level->CameraDistanceDiv, TestLevelFiles::CameraDistanceDiv);
    EXPECT_FLOAT_EQ(level->CameraSets[1].Distance, TestLevelFiles::Camera2Distance);
    EXPECT_FLOAT_EQ(level->Fov1, TestLevelFiles::Fov1);
    ASSERT_NE(level->Camera, nullptr);
    EXPECT_FLOAT_EQ(level->Camera->TargetDistance, TestLevelFiles::CameraDistance);
    EXPECT_EQ(MainView, level->Camera->GetView1());
    EXPECT_EQ(host->GameData().CurrentRound, 1);

    // Loading schedules nothing.
    EXPECT_FALSE(Listed(&host->PhysicWorld()));
    EXPECT_EQ(level->UpdateTask, nullptr);
}

TEST_F(LevelTest, ARaceStartsRunsAndStopsWithNoTaskLeft) {
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    level->LevelTime = 5.0f;
    level->Start();
    ASSERT_NE(level->UpdateTask, nullptr);
    EXPECT_FALSE(level->Stopped);
    EXPECT_FLOAT_EQ(level->LevelTime, 600.0f);
    EXPECT_EQ(level->NextBeacon, level->Beacons.begin());
    EXPECT_EQ(level->FinishSlots, (std::array<int32_t, 3>{-1, -1, -1}));
    // The AI manager, the physics world and the level's update, in this order.
    std::vector<const CPTask*> order;
    for (const CPtr<CPTask>& task : host->Scheduler().Tasks) {
        if (task.Get() == &host->AIManager() || task.Get() == &host->PhysicWorld() || task.Get() == level->UpdateTask.Get()) {
            order.push_back(task.Get());
        }
    }
    EXPECT_EQ(order, (std::vector<const CPTask*>{&host->AIManager(), &host->PhysicWorld(), level->UpdateTask.Get()}));
    EXPECT_EQ(host->Render().Layers.at(CPCamera::SceneLayer).Camera.Get(), static_cast<CPBaseCamera*>(level->Camera->GetView1()));
    EXPECT_EQ(host->Render().Layers.at(CPCamera::FarLayer).Camera.Get(), static_cast<CPBaseCamera*>(level->Camera->GetView2()));
    // The lap tracker starts on the centre path's ring.
    EXPECT_EQ(level->PathPoints.size(), level->CentrePath->Lines.size());
    EXPECT_GE(level->PlayerLastPoint, 0);
    EXPECT_GE(level->FinishPoint, 0);
    EXPECT_GE(level->AiLastPoint[1], 0);
    // StartRace again begins the list afresh.
    level->StartRace();
    EXPECT_EQ(level->PathPoints.size(), level->CentrePath->Lines.size());
    // A second Start while it runs changes nothing.
    CPObjUpdater* task = level->UpdateTask.Get();
    level->Start();
    EXPECT_EQ(level->UpdateTask.Get(), task);

    Run(300);
    // The cars fell onto the road and stand on it.
    EXPECT_GT(host->PhysicWorld().LastStepCount, 0);
    for (const CPtr<CPPlayer>& car : level->Cars) {
        const D3DXVECTOR3 p = car->GetPosition();
        EXPECT_TRUE(std::isfinite(p.z));
        EXPECT_GT(p.z, -0.5f);
        EXPECT_LT(p.z, 2.0f);
    }

    host->SoundManager().SpecialSounds["never_loaded"];  // a special sound asked for, never loaded
    level->Stop();
    EXPECT_TRUE(level->Stopped);
    EXPECT_EQ(level->Player, nullptr);
    EXPECT_EQ(level->FollowedCar, nullptr);
    EXPECT_TRUE(level->Cars.empty());
    EXPECT_TRUE(level->Objects.empty());
    EXPECT_TRUE(level->PathPoints.empty());
    EXPECT_EQ(level->UpdateTask, nullptr);
    EXPECT_FALSE(host->PhysicWorld().Running);
    EXPECT_TRUE(host->AIManager().Opponents.empty());
    // It keeps its camera, paths, zones, checkpoints, beacons and ground.
    EXPECT_NE(level->Camera, nullptr);
    EXPECT_NE(level->CentrePath, nullptr);
    EXPECT_EQ(level->Zones.size(), 1u);
    EXPECT_NE(level->Terrain, nullptr);
    level->Stop();  // twice is harmless
    Run(1);
    for (const CPtr<CPTask>& listed : host->Scheduler().Tasks) {
        EXPECT_TRUE(listed.Get() == &host->Music()) << listed->GetTypeName() << " is still listed";
    }
    // A stopped level is not started again.
    level->Start();
    EXPECT_EQ(level->UpdateTask, nullptr);
    EXPECT_EQ(Reports("it was stopped"), 1);
}

TEST_F(LevelTest, LoadingAgainAfterAStopBuildsTheRaceAnewAndLeavesNothing) {
    // One whole cycle first: the managers keep the resources it loaded.
    auto cycle = [&](CPLevel* level) {
        ASSERT_TRUE(loaded);
        level->Start();
        Run(20);
        level->Stop();
        Run(1);
    };
    cycle(LoadLevel());
    delete CPLevel::Current;
    Run(1);
    const size_t live = CPObject::LiveCount();

    cycle(LoadLevel());
    // The same level loaded again.
    CPLevel* level = CPLevel::Current;
    ASSERT_TRUE(level->Load(TestLevelFiles::LevelName, false, false));
    EXPECT_EQ(level->Cars.size(), TestLevelFiles::ComputerCars);
    EXPECT_EQ(level->Objects.size(), TestLevelFiles::PlacedObjects);
    cycle(level);
    delete CPLevel::Current;
    Run(1);
    EXPECT_EQ(CPObject::LiveCount(), live);
}

TEST_F(LevelTest, ALevelDeletedWhileItRunsIsStoppedFirst) {
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    level->Start();
    Run(5);
    delete level;
    EXPECT_EQ(CPLevel::Current, nullptr);
    EXPECT_EQ(MainView, nullptr);
    EXPECT_EQ(host->Render().Layers.at(CPCamera::SceneLayer).Camera, nullptr);
    Run(2);
    for (const CPtr<CPTask>& listed : host->Scheduler().Tasks) {
        EXPECT_TRUE(listed.Get() == &host->Music()) << listed->GetTypeName() << " is still listed";
    }
}

TEST_F(LevelTest, StartAfterAFailedLoadDoesNothing) {
    CPLevel* level = LoadLevel("missing");
    EXPECT_FALSE(loaded);
    EXPECT_EQ(level->Camera, nullptr);
    EXPECT_EQ(level->Player, nullptr);
    level->Start();
    EXPECT_EQ(level->UpdateTask, nullptr);
    EXPECT_FALSE(Listed(&host->PhysicWorld()));
    EXPECT_EQ(Reports("did not load"), 1);
    level->Stop();  // and a stop of it is harmless
}

TEST_F(LevelTest, TimeModeHasAGhostOnlyOnATrackWithARecord) {
    host->GameData().Records[0].Name = "hauler_";
    TestLevelFiles::WriteLevel(dir, TestLevelFiles::Objects(), TestLevelFiles::Paths(), "desert");
    TestLevelFiles::WriteText(dir, "Data/Meshes/road_phys0.rdf", "mesh = road_phys1.msh\n");
    CPLevel* level = LoadLevel("desert", false, true);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(level->LevelNumber, 0);
    EXPECT_EQ(level->GhostCar, nullptr);  // no track record belongs to it
    EXPECT_TRUE(level->Cars.empty());    // time mode races alone

    level = LoadLevel(TestLevelFiles::LevelName, false, true);
    ASSERT_TRUE(loaded);
    EXPECT_NE(level->GhostCar, nullptr);  // "hauler__.rdf" (the loader's stand-in here)
    level->Start();
    level->Stop();
    EXPECT_EQ(level->GhostCar, nullptr);
}

TEST_F(LevelTest, ComputerCarsTakeTheSideOfTheirModel) {
    struct Case {
        const char* name;
        uint32_t side;
    };
    for (const Case& c : {Case{"saloon1", 2}, Case{"hauler_12", 1}, Case{"rover3", 1}, Case{"kestrel1", 0},
                          Case{"coupe_r", 2}, Case{"", 0}}) {
        EXPECT_EQ(CPLevel::ComputerCarSide(c.name), c.side) << c.name;
    }
    // In single mode the cars are the player's model.
    host->GameData().PlayerName = "saloon";
    TestLevelFiles::WriteCar(dir, "saloon.rdf");
    TestLevelFiles::WriteCar(dir, "saloon1_enemy.rdf");
    TestLevelFiles::WriteCar(dir, "saloon2_enemy.rdf");
    CPLevel* level = LoadLevel(TestLevelFiles::LevelName, true, false);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(level->Cars.size(), 2u);
    EXPECT_EQ(level->Cars[0]->CarName, "saloon1");
    EXPECT_EQ(level->Cars[0]->GetSideFlags(), static_cast<uint32_t>(CPPlayer::SideDrevik));
    EXPECT_TRUE(level->Checkpoints.empty());  // single mode leaves checkpoints out
}

TEST_F(LevelTest, TheConfigurationChoosesGroundTreeAndDemoMode) {
    struct Case {
        const char* what;
        std::function<void()> configure;
        std::function<void(CPLevel&)> check;
    };
    const std::vector<Case> cases = {
        {"no ground", [] { Cfg::plane = 0.0f; }, [](CPLevel& level) { EXPECT_EQ(level.Terrain, nullptr); }},
        {"the quadtree",
         [] { Cfg::quadlevels = 2; },
         [](CPLevel& level) {
             EXPECT_NE(level.QuadTree, nullptr);
             EXPECT_EQ(level.BranchRoot, nullptr);
         }},
        {"static meshes written once",
         [] { Cfg::staticGeometry = 1; },
         [](CPLevel& level) { EXPECT_NE(level.BranchRoot, nullptr); }},
        {"static meshes with the quadtree",
         [] {
             Cfg::staticGeometry = 1;
             Cfg::quadlevels = 1;
         },
         [](CPLevel& level) { EXPECT_NE(level.QuadTree, nullptr); }},
        {"demo mode",
         [] { Cfg::rolling = 1; },
         [](CPLevel& level) {
             EXPECT_TRUE(level.DemoMode);
             ASSERT_EQ(level.Cars.size(), 3u);
             EXPECT_EQ(level.Cars.back(), level.Player);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        c.configure();
        CPLevel* level = LoadLevel();
        ASSERT_TRUE(loaded);
        c.check(*level);
        level->Start();
        Run(3);
        level->Stop();
        delete level;
        Run(1);
    }
}

TEST_F(LevelTest, ResetCarsPutsTheTrafficBackOnTheGroundAtRest) {
    // Seven computer cars: the five opponents, then two traffic cars.
    std::vector<LevelBytes::Object> objects = TestLevelFiles::Objects();
    for (int i = 3; i <= 7; ++i) {
        objects.push_back({"enemy" + std::to_string(i), {20.0f + 8.0f * static_cast<float>(i), 4, 0}});
        TestLevelFiles::WriteCar(dir, "kestrel" + std::to_string(i) + "_enemy.rdf");
    }
    TestLevelFiles::WriteLevel(dir, objects, TestLevelFiles::Paths());
    host->GameData().LevelTransportCount = 2;
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    ASSERT_EQ(level->Cars.size(), 7u);
    EXPECT_EQ(host->AIManager().Traffic.size(), 2u);
    level->Start();
    Run(60);
    CPPlayer* traffic = level->Cars[6].Get();
    traffic->SetVisible(false);
    traffic->Collision = false;
    traffic->SetPosition(D3DXVECTOR3(80, 30, 12));
    traffic->Physics->RigidBody->SetVelocity(RbVector{5, 0, 0, 0});
    const D3DXVECTOR3 opponent = level->Cars[4]->GetPosition();
    level->TrafficActive = false;
    host->AIManager().TrafficEnabled = false;
    level->ResetCars();
    EXPECT_TRUE(level->TrafficActive);
    EXPECT_TRUE(host->AIManager().TrafficEnabled);
    EXPECT_TRUE(traffic->Visible);
    EXPECT_TRUE(traffic->Collision);
    ExpectVec(traffic->GetPosition(), 80, 30, 3);
    const RbVector velocity = traffic->Physics->RigidBody->GetVelocity();
    EXPECT_EQ(velocity.x, 0.0f);
    ExpectVec(level->Cars[4]->GetPosition(), opponent.x, opponent.y, opponent.z);  // opponents stay
    level->Stop();
}

TEST_F(LevelTest, TheLapTrackerFindsNoLineForACarFarFromThePath) {
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    level->Start();
    EXPECT_GE(level->PlayerLastPoint, 0);
    level->Player->SetPosition(D3DXVECTOR3(-400, -400, 2));  // over 316 m from every line
    level->StartRace();
    EXPECT_EQ(level->PlayerLastPoint, -1);
    EXPECT_EQ(level->FinishDirection.z, 0.0f);
    // With no beacons the next beacon is none.
    level->Stop();
    std::vector<LevelBytes::Object> objects;
    for (const LevelBytes::Object& object : TestLevelFiles::Objects()) {
        if (object.Name.rfind("chk", 0) != 0) objects.push_back(object);
    }
    TestLevelFiles::WriteLevel(dir, objects, TestLevelFiles::Paths());
    HostFiles::ClearCache();
    ASSERT_TRUE(level->Load(TestLevelFiles::LevelName, false, false));
    EXPECT_TRUE(level->Beacons.empty());
    level->Start();
    EXPECT_EQ(level->NextBeacon, level->Beacons.end());
    level->Stop();
}

// The three cars share one description: one that cannot be read or parsed would race them on
// default values, so the level is refused naming the file and TinyXML's reason.
TEST_F(LevelTest, ACarDescriptionThatDoesNotLoadRefusesTheLevel) {
    const std::filesystem::path file = dir / "Data/Descriptions/testcar.xml";
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> damage;  // the shipped text -> the damaged one
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty", [](const std::string&) { return std::string(); }, "holds no XML"},
        {"a zero byte first", [](const std::string&) { return std::string("\0\1<physics", 11); }, "holds no XML"},
        {"cut off mid-element", [](const std::string& text) { return text.substr(0, text.size() / 2); },
         "not well-formed XML at row "},
        {"a stray byte in a name",
         [](const std::string& text) {
             std::string damaged = text;
             damaged.insert(damaged.find("physics") + 3, "\xFF");
             return damaged;
         },
         "not well-formed XML at row "},
        {"deleted", nullptr, "cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestLevelFiles::Write(dir);
        host->GameData().PlayerName.clear();
        if (c.damage) {
            TestLevelFiles::WriteText(dir, "Data/Descriptions/testcar.xml", c.damage(scratch.Read(file)));
        } else {
            std::filesystem::remove(file);
        }
        reports.clear();
        CPLevel* level = LoadLevel();
        EXPECT_FALSE(loaded);
        EXPECT_EQ(Reports(std::string("Level level1 refused: car ")), 1);
        EXPECT_GE(Reports(std::string("description Data\\Descriptions\\testcar.xml: ") + c.reason), 1);
        EXPECT_EQ(level->Player, nullptr);
        EXPECT_EQ(level->Camera, nullptr);
        EXPECT_TRUE(level->Cars.empty());
        delete level;
    }
}

TEST_F(LevelTest, MissingDataFailsTheLoadOrIsPassedOverWithALogLine) {
    using LevelBytes::Object;
    auto without = [](const std::string& prefix) {
        std::vector<Object> objects;
        for (const Object& object : TestLevelFiles::Objects()) {
            if (object.Name.rfind(prefix, 0) != 0) objects.push_back(object);
        }
        return objects;
    };
    struct Case {
        const char* what;
        std::function<void()> change;
        bool loads;
        const char* report;
        std::function<void(CPLevel&)> check;
    };
    const std::vector<Case> cases = {
        {"no level file", [&] { std::filesystem::remove(dir / "Data/Levels/level1.lvl"); }, false, "cannot be read",
         nullptr},
        {"no c_path",
         [&] {
             TestLevelFiles::WriteLevel(dir, TestLevelFiles::Objects(),
                                        {LevelBytes::Square("left", 200), LevelBytes::Square("right", 220)});
         },
         false, "c_path", nullptr},
        {"no start posts", [&] { TestLevelFiles::WriteLevel(dir, without("stolb"), TestLevelFiles::Paths()); }, true,
         "no start post",
         [](CPLevel& level) {
             ExpectVec(level.FinishDirection, 0, 0, 0);
             ExpectVec(level.FinishPosition, 0, 0, 0);
         }},
        {"rover without its light",
         [&] {
             host->GameData().PlayerName = "rover";
             TestLevelFiles::WriteCar(dir, "rover.rdf");
         },
         true, "no child \"light\"", [](CPLevel& level) { EXPECT_EQ(level.Player->CarName, "rover"); }},
        {"rover with its light",
         [&] {
             host->GameData().PlayerName = "rover";
             TestLevelFiles::WriteCar(dir, "rover.rdf", {"light"});
         },
         true, nullptr, [](CPLevel& level) { EXPECT_FALSE(level.Player->FindChild("light")->Visible); }},
        {"touring wagon without its halos",
         [&] {
             host->GameData().PlayerName = "touring_wagon";
             TestLevelFiles::WriteCar(dir, "touring_wagon.rdf", {"halo"});
         },
         true, "no child \"halo_blend\"", [](CPLevel& level) { EXPECT_FALSE(level.Player->FindChild("halo")->Visible); }},
        {"a car root without a mesh",
         [&] { TestLevelFiles::WriteText(dir, "Data/Meshes/kestrel1_enemy.rdf", "mesh = empty\n"); }, true,
         "no mesh at its root", [](CPLevel& level) { EXPECT_EQ(level.Cars.size(), 2u); }},
        {"road physics without a render object",
         [&] { TestLevelFiles::WriteText(dir, "Data/Meshes/road_phys1.rdf", "mesh = empty\n"); }, true,
         "has no render object", nullptr},
        {"no objects at all (the loader's stand-in neither)",
         [&] {
             for (const char* file : {"wrong.rdf", "crate.rdf", "flag.rdf", "land.rdf", "kestrel2_enemy.rdf"}) {
                 std::filesystem::remove(dir / "Data/Meshes" / file);
             }
         },
         true, "did not load",
         [](CPLevel& level) {
             EXPECT_EQ(level.Objects.size(), 2u);
             EXPECT_TRUE(level.Beacons.empty());
             EXPECT_EQ(level.Terrain, nullptr);
             EXPECT_EQ(level.Cars.size(), 1u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestLevelFiles::Write(dir);
        host->GameData().PlayerName.clear();
        c.change();
        reports.clear();
        CPLevel* level = LoadLevel();
        EXPECT_EQ(loaded, c.loads);
        if (c.report != nullptr) {
            EXPECT_GE(Reports(c.report), 1);
        }
        if (loaded) {
            if (c.check) c.check(*level);
            level->Start();
            Run(3);
            level->Stop();
        } else {
            EXPECT_EQ(level->Player, nullptr);
            EXPECT_EQ(level->Camera, nullptr);
        }
        delete level;
    }
}

}  // namespace
