// The per-step car logic from states the tests set up: the wreck (with and without the lock,
// traffic cars), the player's defeat and its delayed "defeat", drift points, the turn arrows,
// the engine temperature, the gloom and its screen effect, the slow-down, the timed lock, and
// the commands each step sends.
#include "CarLogicFixture.h"

#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPCar.h"
#include "game/CPSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using CarLogicFixture::CarLogicTest;
using Commands = std::vector<std::string>;

class PlayerLogicTest : public CarLogicTest {};

// Steps of one car from a state set up by the case; the commands and the state after them.
struct LogicCase {
    const char* Name;
    uint32_t Sides;
    std::function<void(CPPlayer&, CPCar&)> Setup;
    float Dt;
    int Steps;
    Commands Expected;
    std::function<void(const CPPlayer&, const CPCar&)> Check;
};

TEST_F(PlayerLogicTest, StepsSendTheirCommandsAndLeaveTheirState) {
    const std::vector<LogicCase> cases = {
        {"a locked car at 100 is a wreck: lights on, flares off, shown, smoking every 0.5 s", 2,
         [](CPPlayer& p, CPCar&) {
             p.DamageLevel = 100.0f;
             p.SetLocked(true);
             p.Visible = false;
             p.EngineTemperature = 0.5f;
             p.Throttle = 1.0f;
             p.EngineRecord.Values[3] = 1.0f;
         },
         0.3f, 2, {},
         [this](const CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Dead);
             EXPECT_TRUE(p.Visible);
             EXPECT_TRUE(car.Braking);
             EXPECT_FALSE(p.FindChild("lflarerear")->Visible);
             EXPECT_FALSE(p.FindChild("rflarerear")->Visible);
             EXPECT_FLOAT_EQ(p.SmokeTimer, 0.0f);
             ASSERT_EQ(Recorded("smoke3car").Requests.size(), 1u);
             const CPParticleDesc& smoke = Recorded("smoke3car").Requests[0];
             EXPECT_EQ(smoke.Position, p.Position);
             EXPECT_EQ(smoke.Acceleration, D3DXVECTOR3(0.0f, 0.0f, -1.0f));
             EXPECT_GE(smoke.Velocity.z, 3.0f);
             EXPECT_LE(smoke.Velocity.z, 3.4f);
             EXPECT_FLOAT_EQ(smoke.Param1, 1000.0f);
             EXPECT_FLOAT_EQ(smoke.Param3, 2.5f);
             EXPECT_EQ(smoke.Flag1, 1);
             // Nothing after the wreck's part: the engine kept its temperature.
             EXPECT_FLOAT_EQ(p.EngineTemperature, 0.5f);
         }},
        {"a wrecked traffic car does not smoke", 4,
         [](CPPlayer& p, CPCar&) {
             p.DamageLevel = 150.0f;
             p.SetLocked(true);
         },
         0.3f, 3, {},
         [this](const CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.Dead);
             EXPECT_TRUE(Recorded("smoke3car").Requests.empty());
             EXPECT_FLOAT_EQ(p.SmokeTimer, 0.0f);
         }},
        {"at 100 without the lock the car is no wreck and drives on", 2,
         [](CPPlayer& p, CPCar&) {
             p.DamageLevel = 100.0f;
             p.Throttle = 1.0f;
             p.EngineRecord.Values[3] = 1.0f;
         },
         0.25f, 1, {},
         [this](const CPPlayer& p, const CPCar&) {
             EXPECT_FALSE(p.Dead);
             EXPECT_FLOAT_EQ(p.EngineTemperature, 0.25f);
             EXPECT_TRUE(Recorded("smoke3car").Requests.empty());
         }},
        {"the player's wreck: the loss once, \"defeat\" in the step that passes 3 s, never again", 9,
         [](CPPlayer& p, CPCar&) {
             p.DamageLevel = 100.0f;
             p.SetLocked(true);
         },
         1.0f, 5,
         {"game_interface:show_message(proigrish!)", "jeep:game_over()", "main:defeat()"},
         [](const CPPlayer& p, const CPCar&) {
             EXPECT_TRUE(p.LossShown);
             EXPECT_FLOAT_EQ(p.DefeatTime, 668.0f);
         }},
        {"the player's car damaged to 100 but not locked loses all the same", 10,
         [](CPPlayer& p, CPCar&) { p.DamageLevel = 100.0f; },
         1.0f, 2, {"game_interface:show_message(proigrish!)", "jeep:game_over()"},
         [](const CPPlayer& p, const CPCar&) {
             EXPECT_FALSE(p.Dead);
             EXPECT_FLOAT_EQ(p.DefeatTime, 2.0f);
         }},
        {"a game that ends before 3 s after the wreck sends no \"defeat\"", 9,
         [](CPPlayer& p, CPCar&) {
             p.DamageLevel = 100.0f;
             p.SetLocked(true);
         },
         0.5f, 5, {"game_interface:show_message(proigrish!)", "jeep:game_over()"},
         [](const CPPlayer& p, const CPCar&) { EXPECT_FLOAT_EQ(p.DefeatTime, 2.5f); }},
        {"the engine heats to 0.8 from below: \"1\" once, capped at 1", 2,
         [](CPPlayer& p, CPCar&) {
             p.EngineTemperature = 0.5f;
             p.Throttle = -1.0f;  // reversing heats as well
             p.EngineRecord.Values[3] = 1.5f;
         },
         0.25f, 3, {"gamemenu:engine_temp(1)"},
         [](const CPPlayer& p, const CPCar&) { EXPECT_FLOAT_EQ(p.EngineTemperature, 1.0f); }},
        {"the engine cools below 0.8: \"0\" once, not below 0", 2,
         [](CPPlayer& p, CPCar&) {
             p.EngineTemperature = 0.875f;
             p.EngineRecord.Values[4] = 0.5f;
         },
         0.5f, 4, {"gamemenu:engine_temp(0)"},
         [](const CPPlayer& p, const CPCar&) { EXPECT_FLOAT_EQ(p.EngineTemperature, 0.0f); }},
        {"a timed lock from 2.0 holds at exactly 4.0", 2,
         [](CPPlayer& p, CPCar&) {
             p.SetLocked(true);
             p.ThrottleCut = true;
             p.TimedLock = true;
             p.TimedLockTime = 2.0f;
         },
         0.5f, 4, {},
         [](const CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Locked);
             EXPECT_TRUE(car.Locked);
             EXPECT_TRUE(p.TimedLock);
             EXPECT_FLOAT_EQ(p.TimedLockTime, 4.0f);
         }},
        {"a timed lock ends in the step its time passes 4.0: unlocked, throttle free, brake off", 2,
         [](CPPlayer& p, CPCar&) {
             p.SetLocked(true);
             p.ThrottleCut = true;
             p.TimedLock = true;
             p.TimedLockTime = 2.0f;
         },
         0.5f, 5, {},
         [](const CPPlayer& p, const CPCar& car) {
             EXPECT_FALSE(p.Locked);
             EXPECT_FALSE(car.Locked);
             EXPECT_FALSE(p.ThrottleCut);
             EXPECT_FALSE(p.TimedLock);
             EXPECT_FLOAT_EQ(p.TimedLockTime, 0.0f);
             EXPECT_FALSE(car.Braking);
         }},
        {"the timers run down, the collision flag is cleared, the inputs reach the car", 2,
         [](CPPlayer& p, CPCar&) {
             p.TimeBonusTimer = 0.3f;
             p.RespawnCooldown = 1.0f;
             p.CollisionFlag = true;
             p.SetControls(1.0f, 0.4f);
         },
         0.25f, 2, {},
         [](const CPPlayer& p, const CPCar& car) {
             EXPECT_FLOAT_EQ(p.TimeBonusTimer, -0.2f);
             EXPECT_FLOAT_EQ(p.RespawnCooldown, 0.5f);
             EXPECT_FALSE(p.CollisionFlag);
             EXPECT_FLOAT_EQ(car.SteerInput, 0.4f);
             EXPECT_GT(car.DriveForce, 0.0f);
         }},
        {"a slow-down keeps the brake on while the car is fast, for 4 s", 2,
         [](CPPlayer& p, CPCar& car) {
             p.Slowed = true;
             p.FindChild("lflarerear")->Visible = false;
             car.Velocity = RbVec(0.0f, 20.0f, 0.0f);
         },
         1.0f, 3, {},
         [](const CPPlayer& p, const CPCar& car) {
             EXPECT_TRUE(p.Slowed);
             EXPECT_TRUE(car.Braking);
             EXPECT_FALSE(p.FindChild("rflarerear")->Visible);
         }},
        {"a slow-down ends after 4 s with the brake released", 2,
         [](CPPlayer& p, CPCar& car) {
             p.Slowed = true;
             p.FindChild("lflarerear")->Visible = false;
             car.Velocity = RbVec(0.0f, 20.0f, 0.0f);
         },
         1.0f, 4, {},
         [](const CPPlayer& p, const CPCar& car) {
             EXPECT_FALSE(p.Slowed);
             EXPECT_FALSE(car.Braking);
         }},
        {"a slow-down ends at once below speed 10", 2,
         [](CPPlayer& p, CPCar& car) {
             p.Slowed = true;
             car.Velocity = RbVec(0.0f, 9.0f, 0.0f);
         },
         0.1f, 1, {}, [](const CPPlayer& p, const CPCar&) { EXPECT_FALSE(p.Slowed); }},
    };
    for (const LogicCase& c : cases) {
        SCOPED_TRACE(c.Name);
        CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), c.Sides);
        CPCar& car = *player->GetCar();
        for (CarLogicFixture::ParticleRecorder& recorder : Recorders) {
            recorder.Requests.clear();
        }
        c.Setup(*player, car);
        for (int i = 0; i < c.Steps; ++i) {
            player->UpdateLogic(c.Dt);
        }
        EXPECT_EQ(Sent(), c.Expected);
        c.Check(*player, car);
    }
}

TEST_F(PlayerLogicTest, ACarWithoutRearFlaresEndsASlowDownUntouched) {
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 2, false);
    player->GetCar()->Velocity = RbVec(0.0f, 20.0f, 0.0f);
    player->Slowed = true;
    player->UpdateLogic(0.1f);
    EXPECT_FALSE(player->Slowed);
    EXPECT_FALSE(player->GetCar()->Braking);
}

// Drift points of the human driver: the drift counts the frame time, and the end of a drift
// longer than 0.5 s is reported in whole tenths.
TEST_F(PlayerLogicTest, DriftsLongerThanHalfASecondScorePoints) {
    struct DriftCase {
        const char* Name;
        float FrameTime;
        int Frames;
        Commands Expected;
    };
    const std::vector<DriftCase> cases = {
        {"1.26 s", 0.42f, 3, {"game_interface:bonus_points2(time,Drift,1.200000)"}},
        {"exactly 0.5 s", 0.25f, 2, {}},
    };
    for (const DriftCase& c : cases) {
        SCOPED_TRACE(c.Name);
        CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
        player->HumanDriven = true;
        CPCar& car = *player->GetCar();
        car.SlideAmount = 0.5f;
        player->SetControls(0.0f, 0.3f);
        car.SetControls(0.0f, 0.3f);
        for (int i = 0; i < c.Frames; ++i) {
            // One step per frame here, each taking its frame's time.
            player->DriftFrameTime += c.FrameTime;
            player->UpdateLogic(1.0f / 60.0f);
        }
        EXPECT_FLOAT_EQ(player->DriftTime, c.FrameTime * static_cast<float>(c.Frames));
        EXPECT_TRUE(Sent().empty());
        car.SlideAmount = 0.0f;
        player->UpdateLogic(1.0f / 60.0f);
        EXPECT_EQ(player->DriftTime, 0.0f);
        EXPECT_EQ(Sent(), c.Expected);
    }
    // A step takes the frame time it was handed once: the next step of the frame adds none.
    CPPlayer* twice = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
    twice->HumanDriven = true;
    twice->GetCar()->SlideAmount = 0.5f;
    twice->SetControls(0.0f, 0.3f);
    twice->GetCar()->SetControls(0.0f, 0.3f);
    twice->DriftFrameTime = 0.25f;
    twice->UpdateLogic(1.0f / 60.0f);
    twice->UpdateLogic(1.0f / 60.0f);
    EXPECT_EQ(twice->DriftTime, 0.25f);
    EXPECT_EQ(twice->DriftFrameTime, 0.0f);
    // Without the text "drift_time" the text is empty.
    Game.TextTable.clear();
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
    player->HumanDriven = true;
    player->DriftTime = 0.75f;
    player->UpdateLogic(1.0f / 60.0f);
    EXPECT_EQ(Sent(), Commands{"game_interface:bonus_points2(time,,0.700000)"});
}

// A drift of two seconds reads two seconds at any frame rate: the race update runs the player's
// car in fixed steps of 1/60 s, two a frame at 30 frames a second and one every other frame at
// 120, and each frame's time counts once.
TEST_F(PlayerLogicTest, ADriftLastsAsLongAtEveryFrameRate) {
    for (const int rate : {30, 60, 120}) {
        SCOPED_TRACE(rate);
        CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
        player->HumanDriven = true;
        CPCar& car = *player->GetCar();
        player->SetControls(0.0f, 0.3f);
        car.SetControls(0.0f, 0.3f);
        Level->Player = CPtr<CPPlayer>(player);
        Level->DemoMode = false;
        Level->LevelTime = 600.0f;
        Level->StepAccumulator = 0.0f;
        FrameTime = 1.0f / static_cast<float>(rate);
        car.SlideAmount = 0.5f;
        for (int frame = 0; frame < 2 * rate; ++frame) {
            Level->Update();
        }
        EXPECT_NEAR(player->DriftTime, 2.0f, 1e-4f);
        EXPECT_TRUE(Sent().empty());
        // The drift ends; the next step reports it, in whole tenths.
        car.SlideAmount = 0.0f;
        for (int frame = 0; frame < 2; ++frame) {
            Level->Update();
        }
        EXPECT_EQ(player->DriftTime, 0.0f);
        const Commands sent = Sent();
        ASSERT_EQ(sent.size(), 1u);
        const std::string prefix = "game_interface:bonus_points2(time,Drift,";
        ASSERT_EQ(sent[0].rfind(prefix, 0), 0u) << sent[0];
        const double shown = std::stod(sent[0].substr(prefix.size()));
        EXPECT_GE(shown, 1.9 - 1e-6);
        EXPECT_LE(shown, 2.0 + 1e-6);
        Level->Player = nullptr;
    }
    FrameTime = 0.0f;
}

// The arrows: the road's heading here against that of the piece four ahead (behind when the
// race runs reversed).
TEST_F(PlayerLogicTest, ArrowsShowTheTurnFourPiecesAhead) {
    auto* path = new CPSpline();
    Level->CentrePath = path;
    for (int i = 0; i < 9; ++i) {
        path->Lines.push_back(std::make_unique<CPLine>());
    }
    for (int i = 0; i < 9; ++i) {
        path->Lines[i]->Next = path->Lines[(i + 1) % 9].get();
        path->Lines[i]->Prev = path->Lines[(i + 8) % 9].get();
    }
    path->Lines[4]->Heading = 0.0f;
    Level->PathLineHint = path->Lines[0].get();
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
    player->HumanDriven = true;
    struct ArrowCase {
        float Here;
        float Ahead;      // heading of the piece four ahead
        float Behind;     // heading of the piece four behind
        bool Reversed;
        const char* Arrow;
    };
    const std::vector<ArrowCase> cases = {
        {0.0f, 0.0f, 0.0f, false, "0"},
        {0.3f, 0.0f, 0.0f, false, "0"},        // 17 degrees
        {0.0f, 0.7854f, 0.0f, false, "1"},     // 45 degrees left
        {0.0f, -0.7854f, 0.0f, false, "-1"},   // 45 degrees right
        {6.0f, 0.5f, 0.0f, false, "1"},        // across the wrap of the angle
        {0.0f, 0.0f, 0.7854f, true, "1"},
        {0.0f, 0.7854f, -0.7854f, true, "-1"},
    };
    for (const ArrowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Here << " " << c.Ahead << " " << c.Behind << " " << c.Reversed);
        Level->PathHeading = c.Here;
        path->Lines[4]->Heading = c.Ahead;
        path->Lines[5]->Heading = c.Behind;
        Level->Reversed = c.Reversed;
        player->UpdateLogic(1.0f / 60.0f);
        EXPECT_EQ(Sent(), Commands{std::string("game_interface:update_arrows(") + c.Arrow + ")"});
    }
    // Only the human driver is shown arrows; no path hint, no arrows.
    player->HumanDriven = false;
    player->UpdateLogic(1.0f / 60.0f);
    player->HumanDriven = true;
    Level->PathLineHint = nullptr;
    player->UpdateLogic(1.0f / 60.0f);
    EXPECT_TRUE(Sent().empty());
}

// The gloom: a car in it is seen only while the followed car is in it too, gives off blue
// sparks by the particle density, and leaves it after 15 s.
TEST_F(PlayerLogicTest, GloomHidesAndSparksForFifteenSeconds) {
    CPPlayer* followed = MakePlayer(D3DXVECTOR3(10.0f, 0.0f, 1.0f), 9);
    CPPlayer* other = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 2);
    Level->FollowedCar = followed;
    other->InGloom = true;
    other->UpdateLogic(0.5f);
    EXPECT_FALSE(other->Visible);
    EXPECT_TRUE(Recorded("iskra3blue").Requests.empty());

    struct SparkCase {
        int Density;
        int CameraMode;
        CPPlayer* Car;
        size_t Sparks;
    };
    const std::vector<SparkCase> cases = {
        {25, 0, other, 60}, {10, 0, other, 24}, {0, 0, other, 0},
        {25, 1, other, 60}, {25, 1, followed, 0}, {25, 0, followed, 60},
    };
    followed->InGloom = true;
    for (const SparkCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Density << " " << c.CameraMode << " " << (c.Car == followed));
        Cfg::psystems = c.Density;
        Level->CameraMode = c.CameraMode;
        Recorded("iskra3blue").Requests.clear();
        c.Car->GloomTime = 0.0f;
        c.Car->UpdateLogic(0.5f);
        EXPECT_TRUE(c.Car->Visible);
        EXPECT_EQ(Recorded("iskra3blue").Requests.size(), c.Sparks);
    }
    // Each spark starts inside the car's box.
    Cfg::psystems = 25;
    Level->CameraMode = 0;
    Recorded("iskra3blue").Requests.clear();
    other->UpdateLogic(0.5f);
    for (const CPParticleDesc& spark : Recorded("iskra3blue").Requests) {
        EXPECT_TRUE(other->Bounds.IntersectSphere(spark.Position, 1e-3f));
        EXPECT_FLOAT_EQ(spark.Param1, 0.2f);
        EXPECT_FLOAT_EQ(spark.Param2, 0.5f);
        EXPECT_GE(spark.Param3, 0.1f);
        EXPECT_LE(spark.Param3, 0.6f);
    }

    // Out of the gloom after 15 s: a computer car is shown again, the player's car is left as
    // it is (no car followed: both are hidden in the gloom).
    Level->FollowedCar = nullptr;
    for (CPPlayer* car : {other, followed}) {
        car->InGloom = true;
        car->GloomTime = 14.8f;
        car->UpdateLogic(0.25f);
        EXPECT_FALSE(car->InGloom);
    }
    EXPECT_TRUE(other->Visible);
    EXPECT_FALSE(followed->Visible);
}

TEST_F(PlayerLogicTest, GloomScreenEffectEndsAfterFifteenSeconds) {
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
    Render.MotionBlur = 1;
    Render.MotionBlurAmount = 0.3f;
    Render.BlurAlpha = 150;
    player->GloomVisual = true;
    player->GloomVisualTime = 14.5f;
    player->UpdateLogic(0.25f);
    EXPECT_TRUE(player->GloomVisual);
    EXPECT_EQ(Render.MotionBlur, 1);
    player->UpdateLogic(0.25f);
    EXPECT_FALSE(player->GloomVisual);
    EXPECT_EQ(Render.MotionBlur, 0);
    EXPECT_EQ(Render.MotionBlurAmount, 0.0f);
    EXPECT_EQ(Render.BlurAlpha, 255);
}

}  // namespace

namespace {

// The human driver's impact sound "slam" is stopped and rewound every half second, so the
// next impact can play it again; other cars leave it alone.
TEST_F(PlayerLogicTest, TheImpactSoundIsResetEveryHalfSecond) {
    SpecialSoundFixture sounds({"slam"}, "player_slam");
    CNSound& slam = sounds.Sound("slam");
    auto& buffer = SpecialSoundFixture::Buffer(slam);
    CPPlayer* player = MakePlayer(D3DXVECTOR3(0.0f, 0.0f, 1.0f), 9);
    slam.Play(0, 0);
    PlatformClock::AdvanceMilliseconds(100);
    player->UpdateLogic(0.3f);
    EXPECT_TRUE(buffer.IsPlaying());
    EXPECT_FLOAT_EQ(player->SlamSoundTimer, 0.3f);
    player->UpdateLogic(0.3f);
    EXPECT_TRUE(buffer.IsPlaying());  // not the human driver

    player->HumanDriven = true;
    player->UpdateLogic(0.3f);
    EXPECT_FALSE(buffer.IsPlaying());
    EXPECT_EQ(buffer.PlayCursor(), 0u);
    EXPECT_EQ(player->SlamSoundTimer, 0.0f);
}

}  // namespace
