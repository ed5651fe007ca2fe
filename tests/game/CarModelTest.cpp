// The vehicle model on a flat ground: physical outcomes against what its springs, drive,
// brakes and grip predict, with tolerances.
#include "CarFixture.h"

#include "Sound/PSoundManager.h"
#include "core/CPLog.h"
#include "interface/CPGameData.h"
#include "physics/RbSensor.h"
#include "platform/audio/DirectSound.h"
#include "platform/win32/Com.h"
#include "tests/Sound/WavFixtures.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using CarFixture::CarTest;
using CarFixture::Description;
using CarFixture::Dt;
using CarFixture::G;

// The speed along a direction, m/s.
float SpeedAlong(const RbRigidBody& body, const RbVector& direction) { return RbDot(body.GetVelocity(), direction); }

TEST_F(CarTest, SettlesAtTheSpringsRideHeightAndStaysThere) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(3.0f, -2.0f, 0.7f), 0.4f);
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    ASSERT_NE(rigid, nullptr);
    Run(4.0f);
    // Symmetric wheels: each front spring carries a quarter of the weight, likewise each rear
    // one, so the depths are m·g/(4k) and the sensors (starting at the body's centre) leave
    // the body at Length minus their mean.
    const float frontDepth = Mass * G / (4.0f * car->Spring1);
    const float rearDepth = Mass * G / (4.0f * car->Spring2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(car->Sensors[i]->GetDetectDepth(), i < 2 ? frontDepth : rearDepth, 0.01f) << "wheel " << i;
        EXPECT_TRUE(car->WheelContact[i]);
    }
    const float rideHeight = car->Length - 0.5f * (frontDepth + rearDepth);
    EXPECT_NEAR(rigid->GetPosition().z, rideHeight, 0.01f);

    const RbVector settled = rigid->GetPosition();
    Run(10.0f);
    const RbVector later = rigid->GetPosition();
    EXPECT_NEAR(later.z, settled.z, 1e-3f);
    EXPECT_LT(std::hypot(later.x - settled.x, later.y - settled.y), 0.01f) << "creeps on flat ground";
    EXPECT_LT(RbLength(rigid->GetVelocity()), 0.01f);
    EXPECT_NEAR(rigid->Motion.Rotation.Rows[2].z, 1.0f, 1e-3f) << "stays level";
}

TEST_F(CarTest, FullThrottleAcceleratesAlongTheNose) {
    const float yaw = 0.6f;
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f), yaw);
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(3.0f);
    const RbVector forward = Forward(*rigid);
    const RbVector start = rigid->GetPosition();
    car->SetControls(1.0f, 0.0f);
    const float seconds = 1.0f;
    Run(seconds);
    // Four wheels drive with AccelFront each against a drag of 0.5 N per m/s.
    const float drive = 4.0f * car->AccelFront;
    const float rate = 0.5f / Mass;
    const float expectedSpeed = drive / 0.5f * (1.0f - std::exp(-rate * seconds));
    EXPECT_NEAR(SpeedAlong(*rigid, forward), expectedSpeed, 0.05f * expectedSpeed);
    const RbVector moved = RbSub(rigid->GetPosition(), start);
    const float along = RbDot(moved, forward);
    EXPECT_NEAR(along, 0.5f * drive / Mass * seconds * seconds, 0.07f * along);
    const float across = RbLength(RbSub(RbVec(moved.x, moved.y, 0.0f), RbScale(forward, along)));
    EXPECT_LT(across, 0.01f * along) << "drifts off its axis";
    EXPECT_GT(car->Speed, 0.0f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(car->WheelSpeeds[i], car->Speed, 0.05f * car->Speed) << "wheel " << i;
    }
}

TEST_F(CarTest, ReverseThrottleBrakesToAStopWithinItsDriveDistance) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 100.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(2.0f);
    car->SetControls(1.0f, 0.0f);
    while (car->Speed < 15.0f) {
        Frame();
    }
    const RbVector forward = Forward(*rigid);
    const float v0 = SpeedAlong(*rigid, forward);
    const RbVector start = rigid->GetPosition();
    // The brake: reverse drive on every wheel, the rear sliding.
    car->SetControls(-1.0f, 0.0f);
    car->SetLights(true);
    int steps = 0;
    while (SpeedAlong(*rigid, forward) > 0.0f && steps < 600) {
        Frame();
        ++steps;
    }
    const float distance = RbDot(RbSub(rigid->GetPosition(), start), forward);
    const float deceleration = (4.0f * car->AccelBack) / Mass;
    const float expected = v0 * v0 / (2.0f * deceleration);
    EXPECT_NEAR(distance, expected, 0.08f * expected);
    EXPECT_NEAR(car->SlideAmount, car->Slide, 1e-6f);
    // Released, the rear grip comes back at 3 per second.
    car->SetLights(false);
    car->SetControls(0.0f, 0.0f);
    Run(0.15f);
    EXPECT_NEAR(car->SlideAmount, car->Slide - 0.45f, 0.02f);
}

TEST_F(CarTest, LockedWheelsBrakeInProportionToSpeed) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 100.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(2.0f);
    car->SetControls(1.0f, 0.0f);
    while (car->Speed < 10.0f) {
        Frame();
    }
    const RbVector forward = Forward(*rigid);
    const float v0 = SpeedAlong(*rigid, forward);
    car->Locked = true;
    const float seconds = 3.0f;
    Run(seconds);
    // Each wheel brakes with 2 N per m/s, the drag adds 0.5: v = v0·exp(-8.5·t/m). The
    // throttle still held drives nothing.
    const float expected = v0 * std::exp(-(4.0f * 2.0f + 0.5f) * seconds / Mass);
    EXPECT_NEAR(SpeedAlong(*rigid, forward), expected, 0.08f * v0);
    EXPECT_LT(SpeedAlong(*rigid, forward), v0);
}

TEST_F(CarTest, SteeringTurnsOnACircleOfTheWheelbasesRadius) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(2.0f);
    car->SetControls(1.0f, 0.0f);
    while (car->Speed < 8.0f) {
        Frame();
    }
    const float steer = 0.3f;
    car->SetControls(0.0f, steer);
    Run(1.0f);
    // Yaw rate over one second against the speed gives the radius; the front wheels steer
    // by the input faded with speed (1 - 0.025·v), the rear wheels follow: R = base / tan δ.
    const RbVector before = Forward(*rigid);
    const float speed = car->Speed;
    const int steps = 60;
    float turned = 0.0f;
    RbVector previous = before;
    for (int i = 0; i < steps; ++i) {
        Frame();
        const RbVector now = Forward(*rigid);
        turned += std::atan2(previous.x * now.y - previous.y * now.x, RbDot(previous, now));
        previous = now;
    }
    const float yawRate = turned / (steps * Dt);
    const float radius = 0.5f * (speed + car->Speed) / std::fabs(yawRate);
    const float angle = (1.0f - 0.025f * 0.5f * (speed + car->Speed)) * steer;
    const float expected = 2.0f * CarFixture::HalfBase / std::tan(angle);
    EXPECT_NEAR(radius, expected, 0.15f * expected);
    // A positive steering input turns the nose to the right (clockwise seen from above).
    EXPECT_LT(turned, 0.0f);
    EXPECT_NEAR(rigid->Motion.Rotation.Rows[2].z, 1.0f, 0.02f) << "stays on its wheels";
}

TEST_F(CarTest, NeverSinksThroughTheGroundAtLongFrames) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 4.0f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    const float frame = 1.0f / 20.0f;
    float lowest = 1e9f;
    for (int i = 0; i < 200; ++i) {
        // Full throttle with the steering swinging, then hard braking.
        if (i < 140) {
            car->SetControls(1.0f, 0.7f * std::sin(0.1f * static_cast<float>(i)));
        } else {
            car->SetControls(-1.0f, 0.0f);
            car->SetLights(true);
        }
        Frame(frame);
        lowest = std::min(lowest, rigid->GetPosition().z);
        for (int w = 0; w < 4; ++w) {
            if (car->WheelContact[w]) {
                EXPECT_NEAR(car->ContactPoints[w].z, 0.0f, 1e-3f);
            }
        }
    }
    // The box's underside (half its height below the centre) never goes below the ground.
    EXPECT_GT(lowest, 0.5f * CarFixture::BodyHeight - 0.02f);
    EXPECT_TRUE(std::isfinite(rigid->GetPosition().x));
}

TEST_F(CarTest, WheelMeshesFollowTheSuspensionAndRoll) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description("count=\"4\" y=\"0\" length=\"1.5\" radius=\"0.5\" "
                                           "front_min_radius=\"10\" back_min_radius=\"10\""));
    Run(3.0f);
    for (int i = 0; i < 4; ++i) {
        // The mesh hangs radius - (length - depth) below the sensor's start.
        const float expected = car->Radius - (car->Length - car->Sensors[i]->GetDetectDepth());
        EXPECT_NEAR(car->Wheels[i]->Position.z, expected, 1e-4f);
    }
    car->SetControls(1.0f, 0.0f);
    Run(1.0f);
    // Rolling forward turns the wheels about x; the spin matches the distance rolled over
    // half the radius, as the model counts it.
    EXPECT_GT(car->WheelSpin[2], 0.0f);
    EXPECT_NEAR(car->WheelSpin[2], car->WheelSpin[3], 0.01f * car->WheelSpin[2]);
}

TEST_F(CarTest, ControlsClampSteeringAndSwitchTheLights) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f), 0.0f, 4, true, true);
    CPCar* car = MakeCar(body, Description());
    CPGameObject* back = body->GetChild("backlights").Get();
    CPGameObject* back2 = body->GetChild("backlights2").Get();
    CPGameObject* stop = body->GetChild("stoplights").Get();
    CPGameObject* stop2 = body->GetChild("stoplights2").Get();
    EXPECT_TRUE(back->Visible);
    EXPECT_FALSE(back2->Visible);
    EXPECT_TRUE(stop->Visible);
    EXPECT_FALSE(stop2->Visible);

    struct Case {
        float Steering;
        float Stored;
    };
    for (const Case& c : {Case{2.0f, 0.7f}, Case{-0.3f, -0.3f}, Case{-5.0f, -0.7f}, Case{NAN, 0.0f}}) {
        car->SetControls(0.5f, c.Steering);
        EXPECT_FLOAT_EQ(car->SteerInput, c.Stored) << c.Steering;
    }
    EXPECT_FLOAT_EQ(car->DriveForce, 0.5f * car->AccelFront);

    // Before any step the car stands still (zero velocity, identity inverse): reversing
    // does not light up yet.
    car->SetControls(-1.0f, 0.0f);
    EXPECT_FLOAT_EQ(car->DriveForce, -car->AccelBack);
    EXPECT_TRUE(back->Visible);
    // Once it rolls backwards it does.
    Run(2.0f);
    car->SetControls(-1.0f, 0.0f);
    EXPECT_FALSE(back->Visible);
    EXPECT_TRUE(back2->Visible);
    car->SetControls(1.0f, 0.0f);
    EXPECT_TRUE(back->Visible);
    EXPECT_FALSE(back2->Visible);

    car->SetLights(true);
    EXPECT_FALSE(stop->Visible);
    EXPECT_TRUE(stop2->Visible);
    car->SetLights(true);
    EXPECT_FALSE(stop->Visible);
    car->SetLights(false);
    EXPECT_TRUE(stop->Visible);
    EXPECT_FALSE(stop2->Visible);
}

TEST_F(CarTest, MissingWheelMeshIsLeftOutWithALogLine) {
    std::vector<std::string> lines;
    CPLog::GetInstance().SetSink([&](const CPLogReport& report) { lines.push_back(report.Text); });
    // Six wheels asked for, four meshes present.
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description("count=\"6\" length=\"1.5\""));
    CPLog::GetInstance().SetSink({});
    EXPECT_EQ(car->WheelCount, 6);
    EXPECT_EQ(car->Sensors[4], nullptr);
    EXPECT_EQ(car->Sensors[5], nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"w4\""), std::string::npos);
    // The four wheels that are there carry the car.
    Run(3.0f);
    EXPECT_NEAR(car->GetRigidBody()->GetPosition().z,
                car->Length - Mass * G / (2.0f * (car->Spring1 + car->Spring2)), 0.01f);
}

TEST_F(CarTest, BodyWithoutRigidBodyMakesAnInertCar) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f), 0.0f, 4, false, true);
    CPCar* car = MakeCar(body, Description());
    EXPECT_EQ(car->GetRigidBody(), nullptr);
    for (RbSensor* sensor : car->Sensors) {
        EXPECT_EQ(sensor, nullptr);
    }
    car->SetControls(1.0f, 0.3f);
    car->SetLights(true);
    car->ApplyImpulse(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    Run(0.5f);
    EXPECT_EQ(car->Speed, 0.0f);
    EXPECT_EQ(body->Car.Get(), car);
}

TEST_F(CarTest, WheelCountAboveEightIsEight) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f), 0.0f, 8);
    CPCar* car = MakeCar(body, Description("count=\"12\" length=\"1.5\""));
    EXPECT_EQ(car->WheelCount, 8);
    for (RbSensor* sensor : car->Sensors) {
        EXPECT_NE(sensor, nullptr);
    }
    Run(1.0f);
}

TEST_F(CarTest, WheelOrientationTurnsAboutXThenZ) {
    const D3DXQUATERNION spin = CPCar::WheelOrientation(0.5f, 0.0f);
    EXPECT_NEAR(spin.x, std::sin(0.25f), 1e-6f);
    EXPECT_NEAR(spin.w, std::cos(0.25f), 1e-6f);
    // Spin then steer: the wheel's axle (local x) ends along the steered direction.
    const D3DXQUATERNION q = CPCar::WheelOrientation(1.0f, 0.3f);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    D3DXVECTOR3 axle(1.0f, 0.0f, 0.0f);
    D3DXVECTOR3 turned;
    D3DXVec3TransformCoord(&turned, &axle, &m);
    EXPECT_NEAR(turned.x, std::cos(0.3f), 1e-5f);
    EXPECT_NEAR(turned.y, std::sin(0.3f), 1e-5f);
    EXPECT_NEAR(turned.z, 0.0f, 1e-5f);
}

// The wheel's pose is drawn and dumped: it must be, bit for bit, that of RotationX(spin)
// times RotationZ(steer) turned into a quaternion, zero signs included.
TEST_F(CarTest, WheelOrientationIsThatOfTheTwoMatricesBitForBit) {
    auto reference = [](float spin, float steer) {
        D3DXMATRIX rotation;
        D3DXMatrixRotationX(&rotation, spin);
        if (steer != 0.0f) {
            D3DXMATRIX turn;
            D3DXMatrixRotationZ(&turn, steer);
            D3DXMatrixMultiply(&rotation, &rotation, &turn);
        }
        D3DXQUATERNION q;
        D3DXQuaternionRotationMatrix(&q, &rotation);
        return q;
    };
    auto bits = [](float v) {
        uint32_t b = 0;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    std::vector<float> spins = {0.0f, -0.0f, 1e-30f, -1e-30f, 3.14159265f, -3.14159265f, 1.57079633f,
                                -1.57079633f, 6.28318531f, 1e4f, -1e4f, 123456.7f};
    for (int i = -2000; i <= 2000; ++i) {
        spins.push_back(static_cast<float>(i) * 0.0123f);
    }
    std::vector<float> steers = {0.0f, -0.0f, CPCar::MaxSteer, -CPCar::MaxSteer, 1e-30f, -1e-30f};
    for (int i = -70; i <= 70; ++i) {
        steers.push_back(static_cast<float>(i) * 0.01f);
    }
    for (float steer : steers) {
        for (float spin : spins) {
            const D3DXQUATERNION expected = reference(spin, steer);
            const D3DXQUATERNION q = CPCar::WheelOrientation(spin, steer);
            ASSERT_EQ(bits(q.x), bits(expected.x)) << spin << " " << steer;
            ASSERT_EQ(bits(q.y), bits(expected.y)) << spin << " " << steer;
            ASSERT_EQ(bits(q.z), bits(expected.z)) << spin << " " << steer;
            ASSERT_EQ(bits(q.w), bits(expected.w)) << spin << " " << steer;
        }
    }
}

}  // namespace

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

TEST_F(CarTest, SlidingWheelsRaiseDustWithinTheFramesBudget) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 100.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    Run(2.0f);
    car->SetControls(1.0f, 0.0f);
    while (car->Speed < 12.0f) {
        Frame();
    }
    // Rolling without sliding raises none.
    Frame();
    EXPECT_EQ(SparkCount, 0);
    // Braking slides the rear: puffs, a few per frame, spaced along the way.
    car->SetLights(true);
    car->SetControls(-1.0f, 0.0f);
    Frame();
    EXPECT_GT(SparkCount, 0);
    EXPECT_LE(SparkCount, 4);
    const D3DXVECTOR3 puff = car->DustPositions[2];
    EXPECT_NEAR(puff.z, 0.25f, 1e-3f);
    // The next puff of that wheel waits until the car has left the last one behind.
    int frames = 0;
    while (car->DustPositions[2] == puff && frames < 30) {
        Frame();
        ++frames;
    }
    const D3DXVECTOR3 moved = car->DustPositions[2] - puff;
    EXPECT_GT(frames, 1);
    EXPECT_GT(D3DXVec3Length(&moved), 0.5f);
    // A spent budget spawns nothing more in the frame.
    SparkCount = CPPhysicWorld::MaxSparks;
    const D3DXVECTOR3 before = car->DustPositions[2];
    World->Simulator->Step(CarFixture::Dt);
    EXPECT_EQ(SparkCount, CPPhysicWorld::MaxSparks);
    EXPECT_EQ(car->DustPositions[2], before);
    // The "dust" setting turns it off.
    Cfg::dust = 0;
    Frame();
    EXPECT_EQ(SparkCount, 0);
}

TEST_F(CarTest, TheWorldHandsTheDriversInputsToTheCar) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    World->SetCarControls(CPtr<CPGameObject>(body), 1.0f, 2.0f);
    EXPECT_FLOAT_EQ(car->DriveForce, car->AccelFront);
    EXPECT_FLOAT_EQ(car->SteerInput, CPCar::MaxSteer);
    // A node without a car, or none at all, changes nothing.
    CPGameObject* other = MakeBody(D3DXVECTOR3(10.0f, 0.0f, 0.6f));
    World->SetCarControls(CPtr<CPGameObject>(other), -1.0f, 0.0f);
    World->SetCarControls(CPtr<CPGameObject>(), -1.0f, 0.0f);
    EXPECT_FLOAT_EQ(car->DriveForce, car->AccelFront);
}

}  // namespace

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

TEST_F(CarTest, NitroPushesAndBurnsOncePerFrameFromTheRacesStart) {
    CPGameData game;
    CPGameData::Instance = &game;
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    Run(2.0f);
    car->Nitro = 1.0f;
    car->NitroFuel = 10.0f;
    // Before the start the reserve stays, though the push acts.
    const float frame = 1.0f / 20.0f;
    Frame(frame);
    EXPECT_FLOAT_EQ(car->NitroFuel, 10.0f);
    const RbVector forward = Forward(*car->GetRigidBody());
    EXPECT_GT(RbDot(car->GetRigidBody()->GetVelocity(), forward), 0.0f);

    // From the start it burns 25 per second of frame time, once per frame (three slices
    // here), and runs dry after 0.4 s with the request falling to 0.
    game.LevelStarted = true;
    Frame(frame);
    EXPECT_FLOAT_EQ(car->NitroFuel, 10.0f - 25.0f * frame);
    for (int i = 0; i < 7; ++i) {
        Frame(frame);
    }
    EXPECT_FLOAT_EQ(car->NitroFuel, 0.0f);
    EXPECT_FLOAT_EQ(car->Nitro, 0.0f);
    EXPECT_EQ(car->LastFrame, FrameNumber);

    // The push: 80·AccelFront·dt per slice along the nose, 8000 N·s/s over a second.
    const float before = RbDot(car->GetRigidBody()->GetVelocity(), forward);
    car->NitroFuel = 100.0f;
    car->Nitro = 1.0f;
    Run(0.5f);
    const float gained = RbDot(car->GetRigidBody()->GetVelocity(), forward) - before;
    const float expected = 80.0f * car->AccelFront * CarFixture::Dt / Mass * 0.5f;
    EXPECT_NEAR(gained, expected, 0.1f * expected);
    CPGameData::Instance = nullptr;
}

}  // namespace

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

TEST_F(CarTest, ABodyThatOutlivesItsCarStopsBeingDriven) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(1.0f);
    car->SetControls(1.0f, 0.0f);
    Run(0.5f);
    body->Car = nullptr;
    Cars.clear();
    delete car;
    // No call into the freed car; without its springs the hull settles onto the ground.
    Run(3.0f);
    EXPECT_NEAR(rigid->GetPosition().z, 0.5f * CarFixture::BodyHeight, 0.02f);
    EXPECT_LT(RbLength(rigid->GetVelocity()), 0.05f);
}

}  // namespace

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

TEST_F(CarTest, WheelMeshOffsetsFollowTheFixedModes) {
    struct Case {
        const char* Wheels;
        // Expected offset below WheelY from the car and the sensor's depth.
        float (*Offset)(const CPCar& car, float depth, bool front);
    };
    const Case cases[] = {
        {"length=\"0.5\" radius=\"0.3\" front_min_radius=\"10\" back_min_radius=\"10\"",
         [](const CPCar& car, float depth, bool) { return car.Radius - (car.Length - depth); }},
        {"length=\"0.5\" radius=\"0.3\" front_min_radius=\"-0.1\" back_min_radius=\"-0.12\"",
         [](const CPCar&, float, bool front) { return front ? -0.1f : -0.12f; }},
        {"length=\"0.5\" radius=\"0.3\" front_min_radius=\"10\" back_min_radius=\"10\" fixed=\"max\"",
         [](const CPCar& car, float, bool) { return car.Radius - car.Length; }},
        {"length=\"0.5\" radius=\"0.3\" front_min_radius=\"0.05\" back_min_radius=\"0.07\" fixed=\"MIN\"",
         [](const CPCar&, float, bool front) { return front ? 0.05f : 0.07f; }},
    };
    float x = -60.0f;
    for (const Case& c : cases) {
        CPGameObject* body = MakeBody(D3DXVECTOR3(x, 0.0f, 0.6f));
        x += 30.0f;
        CPCar* car = MakeCar(body, Description(std::string("count=\"4\" ") + c.Wheels));
        Run(3.0f);
        for (int i = 0; i < 4; ++i) {
            const float depth = car->Sensors[i]->GetDetectDepth();
            EXPECT_NEAR(car->WheelOffsets[i], c.Offset(*car, depth, i < 2), 1e-4f) << c.Wheels << " wheel " << i;
            EXPECT_NEAR(car->Wheels[i]->Position.z, car->WheelOffsets[i] + car->WheelY, 1e-4f);
        }
    }
    // Thrown into the air, the wheels keep the offsets of their last contact.
    CPCar* car = Cars.front();
    car->ApplyImpulse(D3DXVECTOR3(-60.0f, 0.0f, 0.35f), D3DXVECTOR3(0.0f, 0.0f, 6.0f * Mass));
    int frames = 0;
    while (std::count(car->WheelContact, car->WheelContact + 4, true) > 0 && frames < 60) {
        Frame();
        ++frames;
    }
    float before[4];
    std::copy(car->WheelOffsets, car->WheelOffsets + 4, before);
    Run(0.3f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(car->WheelContact[i]);
        EXPECT_FLOAT_EQ(car->WheelOffsets[i], before[i]);
    }
}

}  // namespace

namespace {

using CarFixture::CarTest;
using CarFixture::Description;

// The angle of the front wheels' ground direction from the car's axis, radians.
float SteerAngle(const CPCar& car, const RbRigidBody& body) {
    const RbVector& r0 = body.Motion.Rotation.Rows[0];
    const RbVector& r1 = body.Motion.Rotation.Rows[1];
    return std::atan2(RbDot(car.SteerDirection, r0), RbDot(car.SteerDirection, r1));
}

TEST_F(CarTest, SteeringFadesWithSpeedUnlessTheRearSlides) {
    CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 150.0f, 0.6f));
    CPCar* car = MakeCar(body, Description());
    RbRigidBody* rigid = car->GetRigidBody();
    Run(2.0f);
    car->SetControls(0.0f, 0.4f);
    Frame();
    EXPECT_NEAR(SteerAngle(*car, *rigid), 0.4f, 1e-3f) << "full input at rest";
    car->SetControls(1.0f, 0.0f);
    while (car->Speed < 20.0f) {
        Frame();
    }
    car->SetControls(0.0f, 0.4f);
    Frame();
    EXPECT_NEAR(SteerAngle(*car, *rigid), (1.0f - 0.025f * car->Speed) * 0.4f, 2e-3f) << "about half at 20 m/s";
    car->SetLights(true);
    Frame();
    EXPECT_NEAR(SteerAngle(*car, *rigid), 0.4f, 2e-3f) << "full input while the rear slides";
}

TEST_F(CarTest, OnlyTheThrottlesSignDrives) {
    CPCar* gentle = MakeCar(MakeBody(D3DXVECTOR3(-20.0f, 0.0f, 0.6f)), Description());
    CPCar* full = MakeCar(MakeBody(D3DXVECTOR3(20.0f, 0.0f, 0.6f)), Description());
    Run(2.0f);
    gentle->SetControls(0.2f, 0.0f);
    full->SetControls(1.0f, 0.0f);
    Run(1.0f);
    EXPECT_GT(full->Speed, 5.0f);
    EXPECT_NEAR(gentle->Speed, full->Speed, 0.01f * full->Speed);
}

// The player's car loads its engine and squeal sounds for itself and its nitro from the
// cache: deleting the car deletes its own two, and a cache that shares by name reads the
// nitro once for car after car.
TEST_F(CarTest, ThePlayersCarDeletesTheSoundsItMadeAndSharesTheNitro) {
    ScratchFolder folder("car_sounds");
    const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(2205));
    for (const char* name : {"main.wav", "vizg.wav", "nitro.wav"}) {
        folder.Write(std::string("Data/Sounds/") + name, std::string(wav.begin(), wav.end()));
    }
    IDirectSound8* device = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    const size_t soundsBefore = CNSound::AllSounds.size();
    {
        CPSoundCache cache;
        cache.Device = device;
        cache.Share = true;
        CPSoundManager manager;
        manager.Cache = &cache;
        CPSoundManager::Instance = &manager;
        CNSound* nitro = nullptr;
        for (int race = 0; race < 3; ++race) {
            SCOPED_TRACE(race);
            CPGameObject* body = MakeBody(D3DXVECTOR3(0.0f, 0.0f, 1.0f));
            CPCar* car = MakeCar(body, Description(), true);
            ASSERT_NE(car->Sounds[CPCar::EngineSound], nullptr);
            ASSERT_NE(car->Sounds[CPCar::SqueakSound], nullptr);
            ASSERT_NE(car->Sounds[CPCar::NitroSound], nullptr);
            if (nitro == nullptr) nitro = car->Sounds[CPCar::NitroSound].Get();
            EXPECT_EQ(car->Sounds[CPCar::NitroSound].Get(), nitro);
            EXPECT_EQ(CNSound::AllSounds.size(), soundsBefore + 3);
            CNSound* engine = car->Sounds[CPCar::EngineSound].Get();
            body->Car = nullptr;
            Cars.erase(std::find(Cars.begin(), Cars.end(), car));
            delete car;
            EXPECT_EQ(CPObject::FindLive(engine), nullptr);
            EXPECT_EQ(CNSound::AllSounds.size(), soundsBefore + 1);  // the cache's nitro stays
        }
        EXPECT_EQ(cache.Entries.size(), 1u);
        CPSoundManager::Instance = nullptr;
    }
    EXPECT_EQ(CNSound::AllSounds.size(), soundsBefore);
    SafeRelease(device);
}

}  // namespace
