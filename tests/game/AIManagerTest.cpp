// The AI records and their manager: construction values, the car-index mapping, what a frame's
// state and a target change store, and the reset.
#include "game/CPAIManager.h"

#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(AI_Vehicle, StartsAtItsConstructionValues) {
    FullTime = 12.5;
    const AI_Vehicle record;
    EXPECT_EQ(record.GetObjectSize(), 160u);
    EXPECT_EQ(record.GetTypeName(), "AI_Vehicle");
    EXPECT_EQ(record.Lane, 0);
    EXPECT_EQ(record.Recovery, 0);
    EXPECT_FLOAT_EQ(record.Pace, 1.0f);
    EXPECT_FLOAT_EQ(record.LookAheadMax, 30.0f);
    EXPECT_FLOAT_EQ(record.CreationTime, 12.5f);
    EXPECT_EQ(record.Car, nullptr);
    EXPECT_FALSE(record.Reversed);
    EXPECT_EQ(record.CentreLine, nullptr);
    FullTime = 0.0;
}

class AIManagerTest : public testing::Test {
protected:
    void SetUp() override {
        Manager.TrafficCount = 2;
        Manager.CreateRecords();
        Car = std::make_unique<CPPlayer>();
        Car->Position = D3DXVECTOR3(1.0f, 2.0f, 3.0f);
    }
    void TearDown() override {
        Manager.Reset();
        Car->Physics = nullptr;
    }

    CPAIManager Manager;
    std::unique_ptr<CPPlayer> Car;
};

TEST_F(AIManagerTest, CarIndicesMapOntoOpponentsThenTrafficAndBeyondIsIgnored) {
    ASSERT_EQ(Manager.Opponents.size(), 5u);
    ASSERT_EQ(Manager.Traffic.size(), 2u);
    const struct {
        int Index;
        AI_Vehicle* Expected;
    } cases[] = {{0, Manager.Opponents[0].Get()}, {4, Manager.Opponents[4].Get()}, {5, Manager.Traffic[0].Get()},
                 {6, Manager.Traffic[1].Get()},   {7, nullptr},                    {-1, nullptr}};
    const D3DXVECTOR3 forward(0.0f, -2.0f, 0.0f);
    for (const auto& c : cases) {
        EXPECT_EQ(Manager.GetRecord(c.Index), c.Expected) << c.Index;
        // Past the records, nothing happens (and nothing breaks).
        Manager.UpdateVehicle(c.Index, CPtr<CPGameObject>(Car.get()), &forward, -4.0f, CPtr<CPGameObject>(Car.get()), 3,
                              9);
        Manager.SetTarget(c.Index, 0, nullptr);
    }
    const AI_Vehicle& r = *Manager.Traffic[1];
    EXPECT_FLOAT_EQ(r.Speed, 4.0f) << "the absolute value of the signed speed";
    EXPECT_EQ(r.Position, Car->Position);
    EXPECT_FLOAT_EQ(r.Direction.y, -1.0f) << "normalised";
    EXPECT_EQ(r.Car.Get(), Car.get());
    EXPECT_EQ(r.LowerLimit, 3);
    EXPECT_EQ(r.UpperLimit, 9);
    EXPECT_FLOAT_EQ(r.Mass, 0.0f) << "a car without physics data has mass 0";
}

TEST_F(AIManagerTest, MassComesFromThePhysicsData) {
    CPPhysicData physics(Car.get());
    physics.SetShape(1.0f, 1.0f, 1.0f, 40.0f);
    Car->Physics = &physics;
    const D3DXVECTOR3 forward(1.0f, 0.0f, 0.0f);
    Manager.UpdateVehicle(0, CPtr<CPGameObject>(Car.get()), &forward, 1.0f, CPtr<CPGameObject>(Car.get()), 0, 0);
    EXPECT_FLOAT_EQ(Manager.Opponents[0]->Mass, physics.MainShape.Mass);
    Car->Physics = nullptr;  // before the data goes
}

TEST_F(AIManagerTest, TargetsSetOneLineAndAlwaysRefreshThePaths) {
    CPLevel level;
    level.CentrePath = new CPSpline();
    level.LeftPath = new CPSpline();
    level.RightPath = new CPSpline();
    CPLine a, b, c;
    AI_Vehicle& r = *Manager.Opponents[2];
    const struct {
        int Slot;
        CPLine* Line;
        CPLine* Centre;
        CPLine* Right;
        CPLine* Left;
    } cases[] = {{0, &a, &a, nullptr, nullptr}, {1, &b, &a, &b, nullptr}, {2, &c, &a, &b, &c}, {3, &a, &a, &b, &c}};
    for (const auto& k : cases) {
        r.CentrePath = r.LeftPath = r.RightPath = nullptr;
        Manager.SetTarget(2, k.Slot, k.Line);
        EXPECT_EQ(r.CentreLine, k.Centre) << k.Slot;
        EXPECT_EQ(r.RightLine, k.Right) << k.Slot;
        EXPECT_EQ(r.LeftLine, k.Left) << k.Slot;
        EXPECT_EQ(r.CentrePath, level.CentrePath.Get());
        EXPECT_EQ(r.LeftPath, level.LeftPath.Get());
        EXPECT_EQ(r.RightPath, level.RightPath.Get());
    }
}

TEST_F(AIManagerTest, ReversedStaysSetUntilANewRecord) {
    CPLevel level;
    const D3DXVECTOR3 forward(1.0f, 0.0f, 0.0f);
    const CPtr<CPGameObject> car(Car.get());
    Manager.UpdateVehicle(1, car, &forward, 1.0f, car, 0, 0);
    EXPECT_FALSE(Manager.Opponents[1]->Reversed);
    level.Reversed = true;
    Manager.UpdateVehicle(1, car, &forward, 1.0f, car, 0, 0);
    EXPECT_TRUE(Manager.Opponents[1]->Reversed);
    level.Reversed = false;
    Manager.UpdateVehicle(1, car, &forward, 1.0f, car, 0, 0);
    EXPECT_TRUE(Manager.Opponents[1]->Reversed);
}

TEST_F(AIManagerTest, ResetLetsGoOfTheCarsAndEmptiesBothLists) {
    const D3DXVECTOR3 forward(1.0f, 0.0f, 0.0f);
    const CPtr<CPGameObject> car(Car.get());
    Manager.UpdateVehicle(5, car, &forward, 1.0f, car, 0, 0);
    Manager.Reset();
    EXPECT_TRUE(Manager.Opponents.empty());
    EXPECT_TRUE(Manager.Traffic.empty());
    EXPECT_EQ(Manager.GetRecord(0), nullptr);
}

TEST_F(AIManagerTest, ACarDeletedBeforeTheResetIsForgottenNotTouched) {
    const D3DXVECTOR3 forward(1.0f, 0.0f, 0.0f);
    auto* gone = new CPPlayer();
    Manager.UpdateVehicle(0, CPtr<CPGameObject>(gone), &forward, 0.0f, CPtr<CPGameObject>(gone), 0, 0);
    delete gone;
    Manager.Reset();  // AddressSanitizer sees any touch of the freed car
    EXPECT_TRUE(Manager.Opponents.empty());
}

TEST_F(AIManagerTest, WithoutALevelTheStepDrivesNothing) {
    ASSERT_EQ(CPLevel::Current, nullptr);
    const D3DXVECTOR3 forward(1.0f, 0.0f, 0.0f);
    const CPtr<CPGameObject> car(Car.get());
    Manager.UpdateVehicle(0, car, &forward, 0.0f, car, 0, 0);
    Car->Throttle = 0.25f;
    FrameTime = 1.0f / 60.0f;
    Manager.Update();
    EXPECT_FLOAT_EQ(Car->Throttle, 0.25f);
    FrameTime = 0.0f;
}

}  // namespace
