// The computer driver on a closed track of flat ground, on the real car model: laps within a
// time set by the track's length and the car's top speed, the road kept, a car started facing
// backwards finds its way, and two cars do not drive through each other. Frames run as the
// race update runs them: each car's record refreshed, the manager's step, then physics.
#include "CarFixture.h"

#include "game/CPAIDriver.h"
#include "game/CPAIManager.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"
#include "game/LevelFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

constexpr float Pi = 3.14159265f;

// A stadium: straights of 2·Half along x joined by half circles of radius r about (±Half, 0),
// anticlockwise from (-Half, -r); the race runs clockwise (along Prev).
constexpr float Half = 60.0f;
constexpr float Radius = 40.0f;
constexpr float HalfWidth = 8.0f;  // road: the borders are stadiums of Radius ± HalfWidth

LevelSegmentRecord Straight(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return LevelSegmentRecord{a, b, a + (b - a) / 3.0f, a + (b - a) * (2.0f / 3.0f)};
}

// The quarter arc about c from angle a0 to a0 + π/2.
LevelSegmentRecord Quarter(const D3DXVECTOR3& c, float r, float a0) {
    const float k = 0.55228475f * r;
    const float a1 = a0 + 0.5f * Pi;
    const D3DXVECTOR3 p0 = c + D3DXVECTOR3(std::cos(a0), std::sin(a0), 0.0f) * r;
    const D3DXVECTOR3 p1 = c + D3DXVECTOR3(std::cos(a1), std::sin(a1), 0.0f) * r;
    const D3DXVECTOR3 t0(-std::sin(a0), std::cos(a0), 0.0f);
    const D3DXVECTOR3 t1(-std::sin(a1), std::cos(a1), 0.0f);
    return LevelSegmentRecord{p0, p1, p0 + t0 * k, p1 - t1 * k};
}

LevelPathRecord Stadium(const std::string& name, float r) {
    const D3DXVECTOR3 right(Half, 0.0f, 0.0f);
    const D3DXVECTOR3 left(-Half, 0.0f, 0.0f);
    return LevelPathRecord{name,
                           true,
                           {Straight({-Half, -r, 0.0f}, {Half, -r, 0.0f}), Quarter(right, r, -0.5f * Pi),
                            Quarter(right, r, 0.0f), Straight({Half, r, 0.0f}, {-Half, r, 0.0f}),
                            Quarter(left, r, 0.5f * Pi), Quarter(left, r, Pi)}};
}

class AIDriverTest : public CarTest {
protected:
    void SetUp() override {
        CarTest::SetUp();
        Level = std::make_unique<CPLevel>();
        BuildTrack(Radius, HalfWidth);
        Manager.TrafficCount = 0;
        Manager.CreateRecords();
        CPAIManager::Instance = &Manager;
    }
    void TearDown() override {
        Manager.Reset();  // lets go of the cars first
        CPAIManager::Instance = nullptr;
        Level.reset();
        CarTest::TearDown();
    }

    // The three paths of a stadium whose half circles have radius r, the road 2·halfWidth wide.
    void BuildTrack(float r, float halfWidth) {
        TrackRadius = r;
        Level->CentrePath = BuildPath(Stadium("c_path", r));
        Level->LeftPath = BuildPath(Stadium("left", r + halfWidth));
        Level->RightPath = BuildPath(Stadium("right", r - halfWidth));
    }
    static CPSpline* BuildPath(const LevelPathRecord& record) {
        auto* spline = new CPSpline();
        EXPECT_TRUE(spline->Build(record));
        return spline;
    }

    // A computer car with index i on the centre line at distance s (m, in race direction from
    // the start of the bottom straight), turned by extra (radians) from the race direction.
    CPPlayer* AddCar(int index, float s, float extra, int lower, int upper) {
        const float x = -s;  // the race runs along -x on the bottom straight
        const float yaw = -Pi / 2.0f + extra;  // the nose (-y) along -x
        auto* player = SetUpBody(new CPPlayer(), D3DXVECTOR3(x, -TrackRadius, 0.6f), yaw);
        MakeCar(player, Description());
        player->AiLowerLimit = lower;
        player->AiUpperLimit = upper;
        Players.push_back(player);
        EXPECT_EQ(static_cast<int>(Players.size()) - 1, index);
        Manager.SetTarget(index, AI_Vehicle::SlotCentre, Level->CentrePath->FirstLine);
        Manager.SetTarget(index, AI_Vehicle::SlotLeft, Level->LeftPath->FirstLine);
        Manager.SetTarget(index, AI_Vehicle::SlotRight, Level->RightPath->FirstLine);
        return player;
    }

    // One race frame for every car, then physics.
    void RaceFrame() {
        for (size_t i = 0; i < Players.size(); ++i) {
            CPPlayer* player = Players[i];
            const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
            D3DXMATRIX rotation;
            D3DXMatrixRotationQuaternion(&rotation, &player->Orientation);
            D3DXVECTOR3 forward;
            D3DXVec3TransformCoord(&forward, &nose, &rotation);
            const float s = player->GetCar()->Speed;
            Manager.UpdateVehicle(static_cast<int>(i), CPtr<CPGameObject>(player), &forward,
                                  player->Throttle < 0.0f ? s : -s, CPtr<CPGameObject>(player), player->AiLowerLimit,
                                  player->AiUpperLimit);
        }
        Manager.Update();
        Frame();
    }

    // Progress along the race direction in pieces, unwrapped, from the car's nearest piece.
    struct Progress {
        CPLine* Hint = nullptr;
        int Last = -1;
        int Pieces = 0;  // net pieces driven in race direction
    };
    int PieceIndex(const CPLine* line) const {
        const auto& lines = Level->CentrePath->Lines;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].get() == line) return static_cast<int>(i);
        }
        return -1;
    }
    void Track(Progress& p, const CPPlayer* car) {
        const CPLine* line = CPAIDriver::NearestLine(*Level->CentrePath, car->Position, p.Hint);
        const int n = static_cast<int>(Level->CentrePath->Lines.size());
        const int index = PieceIndex(line);
        if (p.Last >= 0) {
            int step = p.Last - index;  // race direction runs to lower indices
            if (step > n / 2) step -= n;
            if (step < -n / 2) step += n;
            p.Pieces += step;
        }
        p.Last = index;
    }
    // Distance of the car from the centre line, m (x and y).
    float OffCentre(const CPPlayer* car) {
        const D3DXVECTOR3& p = car->Position;
        const float fromCentre = std::hypot(std::max(std::fabs(p.x) - Half, 0.0f), p.y);
        return std::fabs(fromCentre - TrackRadius);
    }
    int Laps(const Progress& p) const {
        return p.Pieces / static_cast<int>(Level->CentrePath->Lines.size());
    }

    std::unique_ptr<CPLevel> Level;
    float TrackRadius = Radius;
    CPAIManager Manager;
    std::vector<CPPlayer*> Players;
};

// Three laps, each way round, on wide and on tight turns: within a time set by the track's
// length and the car's top speed, on the road, never above the top speed.
struct TrackCase {
    float Radius;
    float HalfWidth;
    bool Reversed;
};

class AIDriverLapTest : public AIDriverTest, public testing::WithParamInterface<TrackCase> {};

TEST_P(AIDriverLapTest, ThreeLapsWithinTheTimeTheTrackAllowsOnTheRoad) {
    const TrackCase track = GetParam();
    Level.reset();
    Level = std::make_unique<CPLevel>();
    Level->Reversed = track.Reversed;
    BuildTrack(track.Radius, track.HalfWidth);
    const int top = 20;
    CPPlayer* car = AddCar(0, 0.0f, track.Reversed ? Pi : 0.0f, 6, top);
    const float length = Level->CentrePath->TotalLength;
    // Half the top speed on average is a plausible pace with two half circles to slow for.
    const float bound = 3.0f * length / (0.5f * static_cast<float>(top));
    Progress progress;
    float worst = 0.0f;
    float fastest = 0.0f;
    for (float t = 0.0f; t < bound && std::abs(Laps(progress)) < 3; t += CarFixture::Dt) {
        RaceFrame();
        Track(progress, car);
        worst = std::max(worst, OffCentre(car));
        fastest = std::max(fastest, car->GetCar()->Speed);
    }
    EXPECT_EQ(Laps(progress), track.Reversed ? -3 : 3) << "in " << bound << " s";
    EXPECT_LT(worst, track.HalfWidth + 1.0f) << "left the road";
    EXPECT_LE(fastest, top + 2.0f) << "over its upper limit";
    EXPECT_GT(fastest, 0.8f * top) << "never reached its pace";
    EXPECT_EQ(Manager.GetRecord(0)->Respawns, 0);
}

INSTANTIATE_TEST_SUITE_P(Tracks, AIDriverLapTest,
                         testing::Values(TrackCase{Radius, HalfWidth, false}, TrackCase{Radius, HalfWidth, true},
                                         TrackCase{15.0f, 6.0f, false}),
                         [](const testing::TestParamInfo<TrackCase>& info) {
                             return std::string(info.param.Radius < Radius ? "Tight" : "Wide") +
                                    (info.param.Reversed ? "Reversed" : "");
                         });

TEST_F(AIDriverTest, ACarFacingBackwardsTurnsRoundAndDrivesOn) {
    CPPlayer* car = AddCar(0, 0.0f, Pi, 6, 20);
    Progress progress;
    float worst = 0.0f;
    for (float t = 0.0f; t < 40.0f; t += CarFixture::Dt) {
        RaceFrame();
        Track(progress, car);
        worst = std::max(worst, OffCentre(car));
    }
    // A lap is 49 pieces; after turning round it must be well on its way.
    EXPECT_GT(progress.Pieces, 30);
    EXPECT_LT(worst, HalfWidth + 1.0f);
    EXPECT_EQ(Manager.GetRecord(0)->Respawns, 0);
}

// The two cars' boxes on the ground, each widened by a little: they must never meet.
bool BoxesMeet(const CPPlayer* a, const CPPlayer* b, float margin) {
    const auto corners = [margin](const CPPlayer* car) {
        D3DXMATRIX rotation;
        D3DXMatrixRotationQuaternion(&rotation, &car->Orientation);
        std::array<D3DXVECTOR2, 4> out;
        const float hx = 0.5f * CarFixture::BodyWidth + margin;
        const float hy = 0.5f * CarFixture::BodyLength + margin;
        const float sx[4] = {-1, 1, 1, -1};
        const float sy[4] = {-1, -1, 1, 1};
        for (int i = 0; i < 4; ++i) {
            const D3DXVECTOR3 local(sx[i] * hx, sy[i] * hy, 0.0f);
            D3DXVECTOR3 world;
            D3DXVec3TransformCoord(&world, &local, &rotation);
            out[i] = D3DXVECTOR2(world.x + car->Position.x, world.y + car->Position.y);
        }
        return out;
    };
    const auto ca = corners(a);
    const auto cb = corners(b);
    // Separating axes: the edge normals of both rectangles.
    for (const auto* poly : {&ca, &cb}) {
        for (int i = 0; i < 4; ++i) {
            const D3DXVECTOR2 e = (*poly)[(i + 1) % 4] - (*poly)[i];
            const D3DXVECTOR2 n(-e.y, e.x);
            float minA = 1e30f, maxA = -1e30f, minB = 1e30f, maxB = -1e30f;
            for (int k = 0; k < 4; ++k) {
                const float pa = n.x * ca[k].x + n.y * ca[k].y;
                const float pb = n.x * cb[k].x + n.y * cb[k].y;
                minA = std::min(minA, pa);
                maxA = std::max(maxA, pa);
                minB = std::min(minB, pb);
                maxB = std::max(maxB, pb);
            }
            if (maxA < minB || maxB < minA) {
                return false;
            }
        }
    }
    return true;
}

TEST_F(AIDriverTest, AFastCarBehindASlowOneNeverRunsIntoIt) {
    CPPlayer* slow = AddCar(0, 25.0f, 0.0f, 4, 8);
    CPPlayer* fast = AddCar(1, 0.0f, 0.0f, 6, 20);
    Progress slowProgress;
    Progress fastProgress;
    int contacts = 0;
    for (float t = 0.0f; t < 60.0f; t += CarFixture::Dt) {
        RaceFrame();
        Track(slowProgress, slow);
        Track(fastProgress, fast);
        contacts += BoxesMeet(slow, fast, 0.1f) ? 1 : 0;
    }
    EXPECT_EQ(contacts, 0);
    // The fast car got by: it started 25 m (between two and three pieces) behind.
    EXPECT_GT(fastProgress.Pieces, slowProgress.Pieces);
    EXPECT_LT(OffCentre(fast), HalfWidth + 1.0f);
}

TEST_F(AIDriverTest, ThePlayersCarParkedOnTheLineIsDrivenRound) {
    CPPlayer* fast = AddCar(0, 0.0f, 0.0f, 6, 20);
    // The followed car, not driven by any record, stands on the centre line 40 m ahead.
    auto* parked = SetUpBody(new CPPlayer(), D3DXVECTOR3(-40.0f, -Radius, 0.6f), -Pi / 2.0f);
    MakeCar(parked, Description());
    Level->FollowedCar = parked;
    Progress progress;
    int contacts = 0;
    for (float t = 0.0f; t < 20.0f; t += CarFixture::Dt) {
        RaceFrame();
        Track(progress, fast);
        contacts += BoxesMeet(parked, fast, 0.1f) ? 1 : 0;
    }
    Level->FollowedCar = nullptr;
    EXPECT_EQ(contacts, 0);
    EXPECT_GT(progress.Pieces, 6);
    EXPECT_LT(OffCentre(fast), HalfWidth + 1.0f);
}

TEST_F(AIDriverTest, AStuckCarReversesOutThenAsksForARespawn) {
    // A car held in place (a wall in front): its record keeps speed 0 while it drives.
    AI_Vehicle& record = *Manager.GetRecord(0);
    record.SetTarget(AI_Vehicle::SlotCentre, Level->CentrePath->FirstLine);
    record.Position = D3DXVECTOR3(0.0f, -Radius, 0.6f);
    record.Direction = D3DXVECTOR3(-1.0f, 0.0f, 0.0f);
    record.Speed = 0.0f;
    const float dt = CarFixture::Dt;
    std::vector<int> phases;  // recovery phase whenever it changes
    int respawns = 0;
    float firstReverse = -1.0f;
    for (float t = 0.0f; t < 20.0f; t += dt) {
        const AIDriverOutput out = CPAIDriver::Drive(record, {}, dt);
        if (phases.empty() || phases.back() != record.Recovery) {
            phases.push_back(record.Recovery);
        }
        if (record.Recovery == AI_Vehicle::Reversing) {
            EXPECT_LT(out.Throttle, 0.0f);
            if (firstReverse < 0.0f) firstReverse = t;
        }
        respawns += out.Respawn ? 1 : 0;
        if (respawns > 0) break;
    }
    // Stuck for 1.5 s, then three reversals of 1.5 s each with 1.5 s of trying in between,
    // then the respawn.
    EXPECT_NEAR(firstReverse, 1.5f, 3 * dt);
    const std::vector<int> expected{0, 1, 0, 1, 0, 1, 0};
    EXPECT_EQ(phases, expected);
    EXPECT_EQ(respawns, 1);
    EXPECT_EQ(record.Respawns, 1);
    EXPECT_EQ(record.Recoveries, 0);
}

TEST_F(AIDriverTest, HeldUpBehindACarThatDoesNotMoveItBacksOut) {
    AI_Vehicle& record = *Manager.GetRecord(0);
    record.SetTarget(AI_Vehicle::SlotCentre, Level->CentrePath->FirstLine);
    record.Position = D3DXVECTOR3(0.0f, -Radius, 0.6f);
    record.Direction = D3DXVECTOR3(-1.0f, 0.0f, 0.0f);
    // A wreck 5 m ahead across the whole lane band.
    const std::vector<AIObstacle> wreck{AIObstacle{nullptr, D3DXVECTOR3(-5.0f, -Radius, 0.6f), D3DXVECTOR3(0, 1, 0), 0.0f}};
    bool reversed = false;
    for (float t = 0.0f; t < 3.0f && !reversed; t += CarFixture::Dt) {
        const AIDriverOutput out = CPAIDriver::Drive(record, wreck, CarFixture::Dt);
        EXPECT_TRUE(record.Blocked);
        EXPECT_LE(out.Throttle, 0.0f) << "never into it";
        reversed = record.Recovery == AI_Vehicle::Reversing;
    }
    EXPECT_TRUE(reversed);
}

TEST_F(AIDriverTest, TheManagerPutsACarThatCannotGetFreeBackOnTheTrack) {
    // A car 20 m off the road, about to give up its last reversal.
    CPPlayer* car = AddCar(0, 0.0f, 0.0f, 6, 20);
    car->SetPosition(D3DXVECTOR3(-10.0f, -Radius - 20.0f, 0.6f));
    Frame();
    AI_Vehicle& record = *Manager.GetRecord(0);
    record.Recoveries = CPAIDriver::MaxRecoveries;
    record.StuckMs = CPAIDriver::StuckTimeMs;
    RaceFrame();
    EXPECT_EQ(record.Respawns, 1);
    EXPECT_GT(car->RespawnCooldown, 0.0f);
    // Back on the centre line, two units up, facing the race direction (-x here).
    EXPECT_LT(OffCentre(car), 1.0f);
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, &car->Orientation);
    const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
    D3DXVECTOR3 forward;
    D3DXVec3TransformCoord(&forward, &nose, &rotation);
    EXPECT_LT(forward.x, -0.99f);
}

TEST_F(AIDriverTest, NoPathMeansNoControls) {
    AI_Vehicle record;
    record.Speed = 3.0f;
    const AIDriverOutput out = CPAIDriver::Drive(record, {}, CarFixture::Dt);
    EXPECT_EQ(out.Throttle, 0.0f);
    EXPECT_EQ(out.Steering, 0.0f);
    EXPECT_FALSE(out.Respawn);
}

TEST(AIDriverTurnSpeed, FallsWithCurvatureAndIsFreeOnStraights) {
    EXPECT_GT(CPAIDriver::TurnSpeed(0.0f), 1e6f);
    // R = 40 m: the grip bound √(6·40).
    EXPECT_NEAR(CPAIDriver::TurnSpeed(1.0f / 40.0f), std::sqrt(CPAIDriver::TurnAcceleration * 40.0f), 0.01f);
    EXPECT_LT(CPAIDriver::TurnSpeed(1.0f / 10.0f), CPAIDriver::TurnSpeed(1.0f / 20.0f));
    // Tighter than the wheels reach at any speed: 0.
    EXPECT_EQ(CPAIDriver::TurnSpeed(2.0f), 0.0f);
}

}  // namespace
