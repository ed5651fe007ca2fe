// The race camera feed: the followed car's pitch, look target and distances by camera kind and
// mode, the view from inside the car, the velocity that counts as standing still, and the demo
// director's decisions replayed against the game generator's own sequence.
#include "RaceFixture.h"

#include "game/CPCar.h"
#include "game/CPRaceCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using RaceFixture::RaceTest;

void ExpectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& expected) {
    EXPECT_NEAR(got.x, expected.x, 1e-4f);
    EXPECT_NEAR(got.y, expected.y, 1e-4f);
    EXPECT_NEAR(got.z, expected.z, 1e-4f);
}

class CameraFeedTest : public RaceTest {
protected:
    void SetUp() override {
        RaceTest::SetUp();
        Level->LevelTime = 600.0f;
        camera = std::make_unique<CPCamera>();
        Level->Camera = camera.get();
        model = std::make_unique<CPCar>(Player);
        Player->Car = model.get();
        Player->SetPosition(D3DXVECTOR3(10.0f, 20.0f, 1.0f));
    }
    void TearDown() override {
        Player->Car = nullptr;
        Level->Camera = nullptr;
        RaceTest::TearDown();
        model.reset();
        camera.reset();
    }
    // The car turned by angle (radians) about the axis.
    void Turn(const D3DXVECTOR3& axis, float angle) {
        D3DXQUATERNION q;
        D3DXQuaternionRotationAxis(&q, &axis, angle);
        Player->SetOrientation(q);
    }

    std::unique_ptr<CPCamera> camera;
    std::unique_ptr<CPCar> model;
};

TEST_F(CameraFeedTest, PitchIsNegativeWhenTheNoseIsUp) {
    Frame();
    EXPECT_NEAR(camera->CarPitch, 0.0f, 1e-6f);
    // About x by -10 degrees lifts the nose (forward is -y).
    const float ten = 10.0f * static_cast<float>(D3DX_PI) / 180.0f;
    Turn(D3DXVECTOR3(1, 0, 0), -ten);
    Frame();
    EXPECT_NEAR(camera->CarPitch, -ten, 1e-5f);
    Level->CameraAngle = 0.3f;
    Frame();
    EXPECT_FLOAT_EQ(camera->Elevation, 0.3f);
}

TEST_F(CameraFeedTest, DistancesAndLookTargetFollowTheCameraKind) {
    Level->CameraDistance = 7.0f;
    Level->CameraDistanceDiv = 20.0f;
    Level->CameraHeight = 1.5f;
    model->Speed = 30.0f;
    struct Case {
        int kind;
        int mode;
        float divisor;
        float target;
        float lookHeight;
    };
    const Case cases[] = {
        {1, 0, 20.0f, 8.5f, 1.0f},  // orbit: backs off with speed, looks lower
        {0, 0, 20.0f, 7.0f, 1.5f},  // chase: whatever the speed
        {3, 1, 20.0f, 7.0f, 1.5f},
        {1, 0, 0.0f, 7.0f, 1.0f},  // a divisor of 0 adds no speed term
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        Level->CameraKind = c.kind;
        Level->CameraMode = c.mode;
        Level->CameraDistanceDiv = c.divisor;
        camera->Distance = 0.0f;
        Frame();
        EXPECT_FLOAT_EQ(camera->TargetDistance, c.target);
        EXPECT_FLOAT_EQ(camera->Distance, c.target);  // it was 0
        ExpectNear(camera->LookTarget, D3DXVECTOR3(10.0f, 20.0f, 1.0f + c.lookHeight));
        EXPECT_FLOAT_EQ(Level->FollowedSpeed, 30.0f);
        EXPECT_TRUE(std::isfinite(camera->TargetDistance));
    }
    // A distance already under way is left to the camera's easing.
    Level->CameraKind = 0;
    Level->CameraDistanceDiv = 20.0f;
    camera->Distance = 4.0f;
    Frame();
    EXPECT_FLOAT_EQ(camera->TargetDistance, 7.0f);
    EXPECT_LT(camera->Distance, 7.0f);
    EXPECT_FLOAT_EQ(camera->DistanceDivisor, 20.0f);
}

TEST_F(CameraFeedTest, TheInsideViewLooksAlongTheCar) {
    Level->CameraKind = 0;
    Level->CameraSets[2].Distance = 0.5f;
    Level->CameraSets[2].Height = 1.2f;
    Level->SetCameraMode(2);
    camera->TargetDistance = 3.0f;
    camera->LookTarget = D3DXVECTOR3(1, 2, 3);
    Frame();
    ExpectNear(camera->FreeEye, D3DXVECTOR3(10.0f, 19.5f, 2.2f));
    ExpectNear(camera->FreeLookAt, D3DXVECTOR3(10.0f, 18.5f, 2.2f));
    ExpectNear(camera->FreeUp, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(camera->Yaw, -static_cast<float>(D3DX_PI) / 2.0f, 1e-6f);
    // A chase kind in the inside view leaves distances and look target alone.
    EXPECT_FLOAT_EQ(camera->TargetDistance, 3.0f);
    EXPECT_EQ(camera->LookTarget, D3DXVECTOR3(1, 2, 3));
    ExpectNear(Level->FollowedForward, D3DXVECTOR3(0.0f, -1.0f, 0.0f));
    EXPECT_NEAR(Level->FollowedHeading, -static_cast<float>(D3DX_PI) / 2.0f, 1e-6f);

    // The chase modes write no free view.
    Level->SetCameraMode(0);
    camera->FreeEye = D3DXVECTOR3(0, 0, 0);
    Turn(D3DXVECTOR3(0, 0, 1), 1.0f);
    Frame();
    EXPECT_EQ(camera->FreeEye, D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(Level->FollowedHeading, -static_cast<float>(D3DX_PI) / 2.0f + 1.0f, 1e-5f);
}

TEST_F(CameraFeedTest, AnAlmostStillCarHasNoVelocity) {
    model->Velocity = RbVec(0.0005f, 0.0f, 0.0f);
    Frame();
    EXPECT_EQ(camera->CarVelocity, 0.0f);
    model->Velocity = RbVec(3.0f, 4.0f, 0.0f);
    Frame();
    EXPECT_FLOAT_EQ(camera->CarVelocity, 5.0f);
}

// The game generator's sequence, computed here on its own.
class Generator {
public:
    explicit Generator(uint32_t seed) : state(seed) {}
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }

private:
    uint32_t state;
};

TEST_F(CameraFeedTest, TheDemoDirectorDecidesEveryOneAndAHalfSecondsFromTheGameGenerator) {
    Level->DemoMode = true;
    Level->CameraKind = 0;
    Level->CameraMode = 0;

    // No decision until more than 1.5 s have passed.
    CrtSrand(99);
    Frame(0.75f);
    Frame(0.75f);
    EXPECT_FLOAT_EQ(Level->DemoTimer, 1.5f);
    EXPECT_EQ(CrtRand(), Generator(99).Next());

    CrtSrand(12345);
    Generator oracle(12345);
    Level->DemoTimer = 0.0f;
    int kind = 0;
    int mode = 0;
    float orbit = Level->OrbitTime;
    int kindChanges = 0;
    int sameKind = 0;
    int modeChanges = 0;
    for (int decision = 0; decision < 60; ++decision) {
        SCOPED_TRACE(decision);
        // The rule: an odd draw picks a kind (the same kind again ends the decision), an even
        // one a mode.
        bool done = false;
        if (oracle.Next() % 2 == 1) {
            const int k = oracle.Next() % 3;
            if (k == kind) {
                done = true;
                ++sameKind;
            } else {
                kind = k;
                orbit = 0.0f;
                ++kindChanges;
            }
        }
        if (!done && oracle.Next() % 2 == 0) {
            mode = oracle.Next() % 2;
            ++modeChanges;
        }
        orbit += 1.6f;
        Frame(1.6f);
        EXPECT_EQ(Level->CameraKind, kind);
        EXPECT_EQ(Level->CameraMode, mode);
        EXPECT_EQ(Level->DemoTimer, 0.0f);
        EXPECT_NEAR(Level->OrbitTime, orbit, 1e-3f);
    }
    EXPECT_GT(kindChanges, 3);
    EXPECT_GT(sameKind, 0);
    EXPECT_GT(modeChanges, 3);
    // A mode change makes the player the followed car.
    EXPECT_EQ(Level->FollowedCar, Player);
}

}  // namespace
