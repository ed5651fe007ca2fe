// The race update: the result of every finishing order, time attack against the track record,
// the fixed steps of the player's car, checkpoints with their bonus and their time-out, the
// level time-out, nitro zones, the ghost replaying a recorded lap, and the wall clock that
// wraps.
#include "RaceFixture.h"

#include "game/CPCar.h"
#include "scene/CPGameObject.h"
#include "tests/game/SpecialSoundFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using RaceFixture::RaceTest;

// A node with a collision box of half size `half` at position; the level deletes it.
CPGameObject* BoxAt(const D3DXVECTOR3& position, float half) {
    auto* node = new CPGameObject("box");
    node->CollisionBoxes.emplace_back(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(half, half, half));
    node->SetPosition(position);
    node->UpdateTransform();
    return node;
}

class RaceUpdateTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        Level->LevelTime = 600.0f;
        // At the circle's centre the lap tracker sees no progress.
        Player->SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        Player->UpdateTransform();
    }
};

TEST_F(RaceUpdateTest, EveryFinishingOrderGivesItsResultOnce) {
    struct Case {
        std::array<int32_t, 3> slots;
        int32_t placeToFinish;
        std::vector<std::string> commands;
        bool gameOver;
    };
    const Case cases[] = {
        {{10, -1, -1}, 0, {"place:1st", "show_message:finish!", "game_over:"}, true},
        {{10, -1, -1}, -1, {"place:1st"}, false},
        {{0, 10, -1}, 0, {"place:2nd", "show_message:lost!", "game_over:"}, true},
        {{0, 10, -1}, 1, {"place:2nd", "show_message:finish!", "game_over:"}, true},
        {{3, 1, 10}, 1, {"place:3rd", "show_message:lost!", "game_over:"}, true},
        {{3, 1, 10}, 2, {"place:3rd", "show_message:finish!", "game_over:"}, true},
        {{0, 1, 2}, 2, {"show_message:lost!", "game_over:"}, true},
        {{0, 1, -1}, 0, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.slots) + " place to finish " + std::to_string(c.placeToFinish));
        Level->FinishSlots = c.slots;
        Level->PlaceToFinish = c.placeToFinish;
        Level->RaceOver = false;
        Level->GameOverSent = false;
        Frame();
        EXPECT_EQ(TakeCommands(), c.commands);
        EXPECT_EQ(Level->RaceOver, !c.commands.empty());
        EXPECT_EQ(Level->GameOverSent, c.gameOver);
        Frame();
        EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    }
}

TEST_F(RaceUpdateTest, TimeAttackKeepsOnlyAFasterRun) {
    struct Case {
        float best;
        float run;
        int32_t level;
        const char* message;
        float bestAfter;
    };
    const Case cases[] = {
        {0.0f, 70.0f, 1, "show_message:finish!", 70.0f},   // no record yet
        {60.0f, 55.5f, 2, "show_message:finish!", 55.5f},  // faster
        {60.0f, 60.0f, 3, "show_message:lost!", 60.0f},    // as fast is not a record
        {60.0f, 61.0f, 10, "show_message:lost!", 60.0f},
        {60.0f, 10.0f, 0, "show_message:finish!", 60.0f},  // no record slot for this level
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        Level->TimeMode = true;
        Level->LevelNumber = c.level;
        Level->RecordName = "racer_";
        Level->GhostSamples = {GhostSample{{1, 2, 3}, {0, 0, 0, 1}, 0.05f}};
        Level->FinishSlots = {10, -1, -1};
        Level->RaceOver = false;
        TrackRecord& record = Game.Records[c.level >= 1 ? static_cast<size_t>(c.level - 1) : 4];
        record = TrackRecord{};
        record.BestTime = c.best;
        Game.CurrentRound = 2;
        Game.LapTimes.assign(20, 0.0f);
        Game.LapTimes[0] = c.run;
        Frame();
        EXPECT_EQ(TakeCommands(), (std::vector<std::string>{c.message, "game_over:"}));
        EXPECT_TRUE(Level->RaceOver);
        EXPECT_TRUE(Level->GameOverSent);
        EXPECT_FLOAT_EQ(record.BestTime, c.bestAfter);
        const bool stored = c.level >= 1 && std::string(c.message) == "show_message:finish!";
        EXPECT_EQ(record.Name, stored ? "racer_" : "");
        EXPECT_EQ(record.Samples.size(), stored ? 1u : 0u);
    }
}

TEST_F(RaceUpdateTest, ThePlayersCarRunsWholeFixedStepsAndKeepsTheRest) {
    CPPlayer* opponent = AddCar(1.0f, CPPlayer::SideSolmar);
    Level->Cars = {opponent};
    struct Case {
        float dt;
        int steps;
    };
    for (const Case c : {Case{0.04f, 2}, Case{0.01f, 0}, Case{0.05f, 2}, Case{1.0f / 60.0f, 1}}) {
        SCOPED_TRACE(c.dt);
        Level->StepAccumulator = 0.0f;
        // The time bonus timer runs down with each logic step of a car.
        Player->SetTimeBonusTimer(10.0f);
        opponent->SetTimeBonusTimer(10.0f);
        Frame(c.dt);
        float expected = c.dt;
        float timer = 10.0f;
        for (int i = 0; i < c.steps; ++i) {
            expected -= CPLevel::FixedStep;
            timer -= CPLevel::FixedStep;
        }
        EXPECT_FLOAT_EQ(Level->StepAccumulator, expected);
        EXPECT_FLOAT_EQ(Player->TimeBonusTimer, timer);
        EXPECT_FLOAT_EQ(opponent->TimeBonusTimer, 10.0f - c.dt);  // one step of the frame time
        EXPECT_LT(Level->StepAccumulator, CPLevel::FixedStep);
        EXPECT_GE(Level->StepAccumulator, 0.0f);
    }
    // Demo mode steps no player car.
    Level->DemoMode = true;
    Level->StepAccumulator = 0.0f;
    Frame(0.04f);
    EXPECT_FLOAT_EQ(Level->StepAccumulator, 0.0f);
}

TEST_F(RaceUpdateTest, CheckpointsGrantTimeAndTheCountdownEndsTheRace) {
    Level->SingleMode = false;
    Game.LevelStarted = true;
    Game.CurrentRound = 1;
    Game.TextTable["bonus_time"] = "Time bonus";
    const D3DXVECTOR3 first(50.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 second(-50.0f, 0.0f, 0.0f);
    Level->Checkpoints.push_back({BoxAt(first, 3.0f), 5.0f});
    Level->Checkpoints.push_back({BoxAt(second, 3.0f), 8.0f});

    // No countdown before the first checkpoint.
    Level->CheckpointTimeLeft = 1.0f;
    Frame(0.5f);
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 1.0f);
    Level->CheckpointTimeLeft = 0.0f;

    Player->SetPosition(first);
    Frame(0.0f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"checkpoint:checkpoint!,0"});
    EXPECT_EQ(Level->LastCheckpoint, 0);
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 5.0f);

    // Staying inside the checkpoint just reached does nothing more.
    Frame(0.1f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 4.9f);

    Level->CheckpointTimeLeft = 3.47f;
    Player->SetPosition(second);
    Frame(0.0f);
    const std::vector<std::string> reached{"bonus_points:time,Time bonus,3.400000", "checkpoint:checkpoint!,1"};
    EXPECT_EQ(TakeCommands(), reached);
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 8.0f);
    EXPECT_EQ(Level->CheckpointCount, 2);

    // Out of every box the countdown runs out.
    Player->SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    for (int i = 0; i < 20; ++i) Frame(0.5f);
    const std::vector<std::string> timeout{"checkpoint:timeout!,1", "show_message:lost!", "game_over:"};
    EXPECT_EQ(TakeCommands(), timeout);
    EXPECT_TRUE(Level->RaceOver);
    EXPECT_TRUE(Level->GameOverSent);
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 0.0f);

    // After the result no checkpoint counts.
    Player->SetPosition(first);
    Frame(0.1f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
}

// A damaged level file may grant a checkpoint more seconds than whole tenths fit an int.
TEST_F(RaceUpdateTest, ATimeLeftBeyondTheIntRangeIsShownAsItIs) {
    Level->SingleMode = false;
    Game.LevelStarted = true;
    Game.CurrentRound = 1;
    const D3DXVECTOR3 first(50.0f, 0.0f, 0.0f);
    Level->Checkpoints.push_back({BoxAt(first, 3.0f), 1e12f});
    Level->CheckpointTimeLeft = 3e9f;
    Player->SetPosition(first);
    Frame(0.0f);
    const std::vector<std::string> sent = TakeCommands();
    ASSERT_FALSE(sent.empty());
    const std::string prefix = "bonus_points:time,,";
    ASSERT_EQ(sent[0].compare(0, prefix.size(), prefix), 0) << sent[0];
    const double shown = std::strtod(sent[0].c_str() + prefix.size(), nullptr);
    EXPECT_NEAR(shown, 3e9, 3e9 * 1e-6) << sent[0];
}

TEST_F(RaceUpdateTest, TheLastCheckpointOfTheFinalLapSendsNoCheckpointCommand) {
    Level->SingleMode = false;
    const D3DXVECTOR3 first(50.0f, 0.0f, 0.0f);
    Level->Checkpoints.push_back({BoxAt(first, 3.0f), 5.0f});
    Level->LastCheckpoint = 3;  // reached before, in another sweep
    Level->CheckpointCount = 1;
    Game.CurrentRound = 3;
    Player->SetPosition(first);
    Frame(0.0f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    EXPECT_EQ(Level->LastCheckpoint, 0);
    EXPECT_EQ(Level->CheckpointCount, 1);  // past the number of checkpoints: back to 1
}

TEST_F(RaceUpdateTest, SingleModeHasNoCheckpoints) {
    Level->SingleMode = true;
    Game.LevelStarted = true;
    const D3DXVECTOR3 first(50.0f, 0.0f, 0.0f);
    Level->Checkpoints.push_back({BoxAt(first, 3.0f), 5.0f});
    Level->LastCheckpoint = 0;
    Level->CheckpointTimeLeft = 0.1f;
    Player->SetPosition(first);
    Frame(0.5f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    EXPECT_FLOAT_EQ(Level->CheckpointTimeLeft, 0.1f);
}

TEST_F(RaceUpdateTest, TheLevelTimeRunsOutOnce) {
    Level->LevelTime = 0.3f;
    Frame(0.2f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    Frame(0.2f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{"level_failed:"});
    EXPECT_FLOAT_EQ(Level->LevelTime, 0.0f);
    EXPECT_FALSE(Level->RaceOver);
    Frame(0.2f);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
}

TEST_F(RaceUpdateTest, TheOrbitTurnFollowsTheWallClockAcrossItsWrap) {
    Level->LastClockMs = 0xFFFFFF00u;
    PlatformClock::UseManual(static_cast<uint64_t>(0xFFFFFF00u) * 1000u);
    Level->OrbitTime = 0.0f;
    FrameTime = 0.0f;
    PlatformClock::AdvanceMilliseconds(0x100 + 44);  // past the wrap
    Level->Update();
    EXPECT_NEAR(Level->OrbitTime, 0.3f, 1e-4f);
    EXPECT_EQ(Level->LastClockMs, 44u);
}

TEST_F(RaceUpdateTest, NitroZonesRefillWithTheSoundAtMostEveryTwoSeconds) {
    SpecialSoundFixture fast({"fast"}, "race_fast", SpecialSoundFixture::RealClock);
    const D3DXVECTOR3 zone(30.0f, 30.0f, 0.0f);
    Level->Zones.push_back(BoxAt(zone, 4.0f));
    CPCar playerCar(Player);
    Player->Car = &playerCar;
    CPPlayer* other = AddCar(0.0f, CPPlayer::SideSolmar);
    CPCar otherCar(other);
    other->Car = &otherCar;
    Level->Cars = {other};
    other->SetPosition(zone + D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    otherCar.NitroFuel = 10.0f;

    // Full nitro: no sound, no cooldown; the other car fills whether or not the player is in.
    Player->SetPosition(zone);
    Frame(0.1f);
    EXPECT_EQ(fast.Plays("fast"), 0);
    EXPECT_FLOAT_EQ(Level->FastCooldown, 0.0f);
    EXPECT_FLOAT_EQ(otherCar.NitroFuel, 100.0f);

    playerCar.NitroFuel = 99.0f;
    Frame(0.1f);
    EXPECT_EQ(fast.Plays("fast"), 1);
    EXPECT_FLOAT_EQ(playerCar.NitroFuel, 100.0f);
    EXPECT_FLOAT_EQ(Level->FastCooldown, 2.0f);

    // Out and back in within two seconds: filled silently.
    Player->SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    playerCar.NitroFuel = 40.0f;
    Frame(0.5f);
    EXPECT_FLOAT_EQ(playerCar.NitroFuel, 40.0f);
    Player->SetPosition(zone);
    Frame(0.5f);
    EXPECT_EQ(fast.Plays("fast"), 1);
    EXPECT_FLOAT_EQ(playerCar.NitroFuel, 100.0f);

    // Once the cooldown is over the sound plays again.
    playerCar.NitroFuel = 50.0f;
    Player->SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Frame(1.0f);
    Player->SetPosition(zone);
    Frame(0.1f);
    EXPECT_EQ(fast.Plays("fast"), 2);

    Player->Car = nullptr;
    other->Car = nullptr;
}

TEST_F(RaceUpdateTest, TheGhostReplaysTheRecordedLap) {
    Level->TimeMode = true;
    Level->LevelNumber = 4;
    // Record a lap: the player drives along x at 10 units per second.
    for (int frame = 0; frame < 60; ++frame) {
        Player->SetPosition(D3DXVECTOR3(10.0f * static_cast<float>(frame) / 60.0f, 0.0f, 0.0f));
        Frame(1.0f / 60.0f);
    }
    const std::vector<GhostSample> recorded = Level->GhostSamples;
    ASSERT_GE(recorded.size(), 15u);
    for (size_t i = 1; i < recorded.size(); ++i) {
        EXPECT_GT(recorded[i].Time, recorded[i - 1].Time + 0.05f - 1e-5f);
    }

    // A new run against that record.
    Game.Records[3].Name = "racer_";
    Game.Records[3].Samples = recorded;
    auto* ghost = new CPGameObject("ghost");
    Level->GhostCar = ghost;
    Level->GhostSamples.clear();
    Level->RaceClock = 0.0f;
    Level->LastGhostSampleTime = 0.0f;
    Level->GhostReplayIndex = 0;
    for (int frame = 0; frame < 45; ++frame) {
        Frame(1.0f / 60.0f);
        const float t = Level->RaceClock;
        if (t > recorded.front().Time && t <= recorded.back().Time) {
            // The samples lie on the line x = 10 t (up to a frame's lag of the recording).
            EXPECT_NEAR(ghost->GetPosition().x, 10.0f * t, 10.0f / 60.0f + 1e-3f) << t;
            const GhostSample& b = recorded[static_cast<size_t>(Level->GhostReplayIndex)];
            EXPECT_GE(b.Time, t);
        }
    }
    // Past the last sample the ghost stays where it was.
    const D3DXVECTOR3 last = ghost->GetPosition();
    Level->RaceClock = recorded.back().Time + 5.0f;
    Frame(1.0f / 60.0f);
    EXPECT_EQ(ghost->GetPosition(), last);
    EXPECT_EQ(Level->GhostReplayIndex, static_cast<int32_t>(recorded.size()) - 1);
}

TEST_F(RaceUpdateTest, AGhostRecordWithoutSamplesOrWithEqualTimesIsSafe) {
    Level->TimeMode = true;
    Level->LevelNumber = 2;
    auto* ghost = new CPGameObject("ghost");
    Level->GhostCar = ghost;
    Game.Records[1].Samples.clear();
    Frame(0.1f);
    EXPECT_EQ(ghost->GetPosition(), D3DXVECTOR3(0, 0, 0));

    Game.Records[1].Samples = {GhostSample{{0, 0, 0}, {0, 0, 0, 1}, 1.0f}, GhostSample{{4, 0, 0}, {0, 0, 0, 1}, 1.0f},
                               GhostSample{{8, 0, 0}, {0, 0, 0, 1}, 2.0f}};
    // Standing on the second of two samples of one time: its place, not a division by 0.
    Level->GhostReplayIndex = 1;
    Level->RaceClock = 0.49f;
    Frame(0.01f);
    EXPECT_EQ(Level->GhostReplayIndex, 1);
    EXPECT_EQ(ghost->GetPosition(), D3DXVECTOR3(4, 0, 0));

    // An index beyond the record is brought back to its last sample.
    Level->GhostReplayIndex = 7;
    Level->RaceClock = 2.5f;
    Frame(0.01f);
    EXPECT_EQ(Level->GhostReplayIndex, 2);
    EXPECT_EQ(ghost->GetPosition(), D3DXVECTOR3(4, 0, 0));
}

TEST_F(RaceUpdateTest, ComputerCarsReportTheirGroundPositionAndTheStoppedTrafficStands) {
    std::vector<CPPlayer*> added;
    for (int i = 0; i < 7; ++i) {
        added.push_back(AddCar(0.1f * static_cast<float>(i), i < 5 ? CPPlayer::SideSolmar : CPPlayer::SideTraffic));
        Level->Cars.emplace_back(added.back());
    }
    Level->StopTraffic();
    EXPECT_FALSE(Level->TrafficActive);
    Frame();
    EXPECT_EQ(Game.AiPositions.size(), 5u);
    EXPECT_FLOAT_EQ(Game.AiPositions["3"].X, added[3]->GetPosition().x);
    EXPECT_FLOAT_EQ(Game.AiPositions["3"].Y, added[3]->GetPosition().y);
    EXPECT_EQ(Game.AiPositions.count("5"), 0u);
}

TEST_F(RaceUpdateTest, ThePathHeadingAheadOfThePlayerIsFound) {
    // On the circle at the finish line; the path heading points along the race direction
    // (clockwise), one piece ahead.
    const float angle = StartAngle();
    Place(Player, angle);
    Frame();
    const float clockwise = angle - static_cast<float>(D3DX_PI) / 2.0f + 2.0f * static_cast<float>(D3DX_PI);
    EXPECT_NEAR(Level->PathHeading, clockwise, 0.1f);
}

}  // namespace
