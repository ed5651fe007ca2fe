// The lap tracker: laps of a circular track driven kinematically in both directions with the
// commands of each lap, the last lap and the finish; the step rule across the start of the
// point list; the finish line's reach; finishing places of several cars; the slot packing of
// the computer cars.
#include "RaceFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using RaceFixture::RaceTest;

class LapProgressTest : public RaceTest {
protected:
    int32_t Count() const { return static_cast<int32_t>(Level->PathPoints.size()); }

    // Moves every (car, units per frame) along the race direction for `frames` updates.
    void Drive(const std::vector<std::pair<CPPlayer*, float>>& movers, int frames, bool reversed = false) {
        std::vector<float> angles;
        for (const auto& mover : movers) {
            const D3DXVECTOR3& p = mover.first->GetPosition();
            angles.push_back(std::atan2(p.y, p.x));
        }
        // Race direction runs along Prev: clockwise, or counter-clockwise when reversed.
        const float sign = reversed ? 1.0f : -1.0f;
        for (int frame = 0; frame < frames; ++frame) {
            for (size_t i = 0; i < movers.size(); ++i) {
                angles[i] += sign * movers[i].second / Radius;
                Place(movers[i].first, angles[i]);
            }
            Frame();
        }
    }

    // Frames to drive `laps` laps at `speed` units per frame.
    static int FramesFor(float laps, float speed) {
        return static_cast<int>(laps * 2.0f * D3DX_PI * Radius / speed) + 1;
    }

    void SetUp() override {
        RaceTest::SetUp();
        Level->LevelTime = 600.0f;
        Game.Rounds = 3;
        Game.CurrentRound = 1;
        Game.PlayerProgress = 0;
    }
};

TEST_F(LapProgressTest, ThreeLapsInEitherDirectionSendLapLastLapAndFinishInOrder) {
    for (const bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "forward");
        Prepare(reversed);
        Game.CurrentRound = 1;
        Game.PlayerProgress = 0;
        Place(Player, StartAngle());
        TakeCommands();

        Drive({{Player, 1.0f}}, FramesFor(1.02f, 1.0f), reversed);
        EXPECT_EQ(Game.CurrentRound, 2);
        EXPECT_EQ(TakeCommands(), std::vector<std::string>{"show_message:krug_proiden!"});
        // The whole race's points: one lap, and the little driven since.
        EXPECT_GE(Game.PlayerProgress, Count() - 1);
        EXPECT_LT(Game.PlayerProgress, Count() + 5);

        Drive({{Player, 1.0f}}, FramesFor(1.0f, 1.0f), reversed);
        EXPECT_EQ(Game.CurrentRound, 3);
        EXPECT_EQ(TakeCommands(), std::vector<std::string>{"show_message:posledniy_krug!"});

        Drive({{Player, 1.0f}}, FramesFor(1.0f, 1.0f), reversed);
        EXPECT_EQ(Game.CurrentRound, 4);
        const std::vector<std::string> finish{"place:1st", "show_message:finish!", "game_over:"};
        EXPECT_EQ(TakeCommands(), finish);
        EXPECT_EQ(Level->FinishSlots[0], CPLevel::PlayerSlotId);
        EXPECT_TRUE(Level->RaceOver);
        EXPECT_TRUE(Level->GameOverSent);

        // Another lap after the finish takes no second slot and sends nothing more.
        Drive({{Player, 1.0f}}, FramesFor(1.0f, 1.0f), reversed);
        EXPECT_EQ(Level->FinishSlots[1], -1);
        EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
    }
}

TEST_F(LapProgressTest, DrivingAgainstTheRaceDirectionCountsNoLap) {
    Place(Player, StartAngle());
    Drive({{Player, 1.0f}}, FramesFor(1.1f, 1.0f), /*reversed=*/true);  // counter-clockwise
    EXPECT_EQ(Game.CurrentRound, 1);
    EXPECT_LT(Level->PlayerLapProgress, 0);
    EXPECT_EQ(TakeCommands(), std::vector<std::string>{});
}

TEST_F(LapProgressTest, StepsAcrossTheStartOfTheListWrap) {
    const int32_t n = Count() - 1;
    struct Case {
        int32_t last;
        int32_t now;
        int32_t step;
    };
    const Case cases[] = {
        {n - 1, 2, 2 - (n - 1) + n},  // ahead across the start: 3 points
        {10, 25, 15 - n},             // 15 ahead reads as backwards across the start
        {10, 24, 14},
        {25, 10, -15},                // wrapped forward, then back again: the rule is not symmetric
        {5, 4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.last) + " -> " + std::to_string(c.now));
        Level->PlayerLastPoint = c.last;
        Level->PlayerPointKnown = true;
        Level->PlayerLapProgress = 0;
        Game.PlayerProgress = 100;
        Player->SetPosition(Level->PathPoints[static_cast<size_t>(c.now)]->Centre);
        Level->UpdateLapProgress();
        EXPECT_EQ(Level->PlayerLapProgress, c.step);
        EXPECT_EQ(Game.PlayerProgress, 100 + c.step);
        EXPECT_EQ(Level->PlayerLastPoint, c.now);
    }
}

TEST_F(LapProgressTest, FirstStepRecordsThePointAndFarCarsMakeNoProgress) {
    Level->ResetLapSlots();
    Player->SetPosition(Level->PathPoints[30]->Centre);
    Level->UpdateLapProgress();
    EXPECT_EQ(Level->PlayerLastPoint, 30);
    EXPECT_EQ(Level->PlayerLapProgress, 0);

    Player->SetPosition(D3DXVECTOR3(1000.0f, 1000.0f, 0.0f));
    Level->UpdateLapProgress();
    EXPECT_EQ(Level->PlayerLastPoint, 30);
    EXPECT_EQ(Level->PlayerLapProgress, 0);
}

TEST_F(LapProgressTest, NearestPointPrefersTheLaterOfEquallyNearOnes) {
    CPLine a;
    CPLine b;
    a.Centre = D3DXVECTOR3(-1.0f, 0.0f, 0.0f);
    b.Centre = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    Level->PathPoints = {&a, &b};
    EXPECT_EQ(Level->FindNearestPathPoint(D3DXVECTOR3(0.0f, 5.0f, 9.0f)), 1);
    EXPECT_EQ(Level->FindNearestPathPoint(D3DXVECTOR3(-0.5f, 0.0f, 0.0f)), 0);
    EXPECT_EQ(Level->FindNearestPathPoint(D3DXVECTOR3(0.0f, 317.0f, 0.0f)), -1);
    EXPECT_EQ(Level->FindNearestPathPoint(D3DXVECTOR3(0.0f, 316.0f, 0.0f)), 1);
    Level->PathPoints.clear();
}

TEST_F(LapProgressTest, TheLapEndsOnlyWithinTwoUnitsOfTheFinishLine) {
    D3DXVECTOR3 along = Level->PathPoints[0]->End - Level->PathPoints[0]->Start;
    D3DXVec3Normalize(&along, &along);
    for (const float away : {2.5f, 2.0f}) {
        SCOPED_TRACE(away);
        Game.CurrentRound = 1;
        Level->PlayerLastPoint = Level->FinishPoint;
        Level->PlayerPointKnown = true;
        Level->PlayerLapProgress = Count() - 20;
        Player->SetPosition(Level->FinishPosition + along * away);
        ASSERT_EQ(Level->FindNearestPathPoint(Player->GetPosition()), Level->FinishPoint);
        Level->UpdateLapProgress();
        EXPECT_EQ(Game.CurrentRound, away <= 2.0f ? 2 : 1);
    }
}

TEST_F(LapProgressTest, FinishingPlacesFollowTheOrderOfFinishing) {
    struct Case {
        const char* name;
        float playerSpeed;
        std::array<int32_t, 3> slots;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"three opponents first", 1.0f, {0, 1, 2}, {"show_message:lost!", "game_over:"}},
        {"player second", 2.8f, {0, 10, 1}, {"place:2nd", "show_message:lost!", "game_over:"}},
        {"player first", 3.5f, {10, 0, 1}, {"place:1st", "show_message:finish!", "game_over:"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(false);
        Level->Cars.clear();
        Game.LapRecords.clear();
        Game.CurrentRound = 1;
        Game.PlayerProgress = 0;
        CPPlayer* a = AddCar(StartAngle(), CPPlayer::SideSolmar);
        CPPlayer* b = AddCar(StartAngle(), CPPlayer::SideDrevik);
        CPPlayer* slow = AddCar(StartAngle(), CPPlayer::SideSolmar);
        Level->Cars = {a, b, slow};
        Place(Player, StartAngle());
        Drive({{a, 3.0f}, {b, 2.5f}, {slow, 2.0f}, {Player, c.playerSpeed}}, FramesFor(3.05f, 1.0f));
        EXPECT_EQ(Level->FinishSlots, c.slots);
        // Laps and the last lap come first; the result is the end of the list.
        std::vector<std::string> got = TakeCommands();
        std::vector<std::string> tail;
        for (const std::string& text : got) {
            if (text != "show_message:krug_proiden!" && text != "show_message:posledniy_krug!") {
                tail.push_back(text);
            }
        }
        EXPECT_EQ(tail, c.commands);
        EXPECT_GE(Game.LapRecords["0"].Round, 4);
    }
}

TEST_F(LapProgressTest, ComputerCarsOfThePlayersSideTakeNoProgressSlot) {
    CPPlayer* first = AddCar(StartAngle(), 0);
    CPPlayer* skipped = AddCar(StartAngle(), CPPlayer::SidePlayer | CPPlayer::SideSolmar);
    CPPlayer* third = AddCar(StartAngle(), 0);
    Level->Cars = {first, skipped, third};
    Place(first, StartAngle() - 30.0f / Radius);
    Place(third, StartAngle() - 60.0f / Radius);
    Level->UpdateLapProgress();
    EXPECT_EQ(Level->AiLastPoint[0], Level->FindNearestPathPoint(first->GetPosition()));
    EXPECT_EQ(Level->AiLastPoint[1], Level->FindNearestPathPoint(third->GetPosition()));
    EXPECT_EQ(Level->AiLastPoint[2], 0);
    // A first step only records the point: no progress from the slot's initial 0.
    EXPECT_EQ(Level->AiLapProgress[0], 0);
    EXPECT_EQ(Level->AiLapProgress[1], 0);

    Place(third, StartAngle() - 80.0f / Radius);
    Level->UpdateLapProgress();
    EXPECT_GT(Level->AiLapProgress[1], 0);
    EXPECT_EQ(Game.LapRecords.count("1"), 0u);
    ASSERT_EQ(Game.LapRecords.count("2"), 1u);
    // A new record starts at -1 and takes the step.
    EXPECT_EQ(Game.LapRecords["2"].Progress, -1 + Level->AiLapProgress[1]);
}

TEST_F(LapProgressTest, InDemoModeThePlayersCarAmongTheComputerCarsTakesNoSlot) {
    // Demo mode appends the player's car (side flags 9) behind the opponents.
    Level->DemoMode = true;
    Player->SetSideFlags(CPPlayer::SidePlayer | CPPlayer::SideSolmar);
    CPPlayer* opponent = AddCar(StartAngle(), CPPlayer::SideDrevik);
    Level->Cars = {opponent, Player};
    Place(Player, StartAngle());
    Drive({{opponent, 2.0f}, {Player, 3.0f}}, FramesFor(3.05f, 2.0f));
    EXPECT_EQ(Game.LapRecords.count("1"), 0u);
    EXPECT_EQ(Game.LapRecords["0"].Round, 4);
    // The followed car is still the player's, tracked as such.
    EXPECT_EQ(Level->FinishSlots, (std::array<int32_t, 3>{10, 0, -1}));
    EXPECT_EQ(Game.AiPositions.size(), 2u);
    EXPECT_FLOAT_EQ(Game.AiPositions["1"].X, Player->GetPosition().x);
}

TEST_F(LapProgressTest, LapTimeAndRaceTimerRunOnlyWhileTheRaceHasStarted) {
    FrameTime = 0.5f;
    Game.LapTimes.assign(1, 0.0f);
    Game.RaceTimer = 0.0f;
    Level->Step();
    EXPECT_FLOAT_EQ(Game.LapTimes[0], 0.0f);
    Level->RaceStarted = true;
    Game.CurrentRound = 3;
    Level->Step();
    ASSERT_EQ(Game.LapTimes.size(), 3u);
    EXPECT_FLOAT_EQ(Game.LapTimes[2], 0.5f);
    EXPECT_FLOAT_EQ(Game.RaceTimer, 0.5f);
}

}  // namespace
