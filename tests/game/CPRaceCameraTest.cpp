// The race camera: easing clamped to a tenth of a second, the short way round for the yaw,
// placement behind the car pulled in at speed, sound values for a zero divisor, a degenerate
// roll axis and the first field of view, the three camera modes of the level, and the chase
// following a car driving a circle.
#include "game/CPRaceCamera.h"

#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr float Pi = 3.14159265f;
const D3DXVECTOR3 ZAxis(0, 0, 1);

float Length(const D3DXVECTOR3& v) { return D3DXVec3Length(&v); }

class RaceCameraTest : public ::testing::Test {
protected:
    void TearDown() override {
        FrameTime = 0.0f;
        RenderTemp = 1.0f;
    }
    // One update of frame time seconds.
    static void Step(CPCamera& camera, float seconds) {
        FrameTime = seconds;
        camera.Update();
    }
};

TEST_F(RaceCameraTest, StartsWithTwoViewsAndASoundFieldOfView) {
    auto camera = std::make_unique<CPCamera>();
    EXPECT_EQ(MainView, camera->GetView1());
    EXPECT_FLOAT_EQ(camera->GetView2()->Far, CPCamera::FarLayerDistance);
    EXPECT_FLOAT_EQ(camera->GetView1()->Near, 1.0f);
    EXPECT_FLOAT_EQ(camera->Fov, CPCamera::DefaultFov);
    EXPECT_NEAR(camera->GetView1()->Fov, CPCamera::DefaultFov * Pi / 180.0f, 1e-5f);
    EXPECT_FLOAT_EQ(camera->Yaw, -Pi / 2.0f);
    EXPECT_TRUE(camera->Changed);
    // A first target distance is taken at once, later ones are eased to.
    camera->SetTargetDistance(7.0f);
    EXPECT_FLOAT_EQ(camera->Distance, 7.0f);
    camera->SetTargetDistance(9.0f);
    EXPECT_FLOAT_EQ(camera->Distance, 7.0f);
    camera.reset();
    EXPECT_EQ(MainView, nullptr);
}

TEST_F(RaceCameraTest, EasingIsClampedToATenthOfASecond) {
    CPCamera camera;
    camera.Distance = 5.0f;
    camera.TargetDistance = 10.0f;
    camera.CarPitch = 1.0f;
    camera.Yaw = 1.0f;
    camera.TargetFov = 70.0f;
    Step(camera, 0.5f);
    EXPECT_NEAR(camera.Distance, 6.0f, 1e-5f);
    EXPECT_NEAR(camera.Tilt, 0.5f, 1e-5f);
    EXPECT_NEAR(camera.SmoothedYaw, 0.4f, 1e-5f);
    EXPECT_NEAR(camera.Fov, 54.0f, 1e-4f);

    // The short way round: from 0.1 to 6.2 goes down through 0.
    CPCamera wrap;
    wrap.SmoothedYaw = 0.1f;
    wrap.Yaw = 6.2f;
    Step(wrap, 0.3f);
    const float from = 0.1f + 2.0f * Pi;
    EXPECT_NEAR(wrap.SmoothedYaw, from + (6.2f - from) * 0.4f, 1e-4f);
}

TEST_F(RaceCameraTest, SitsBehindTheCarAndComesInAtSpeed) {
    struct Case {
        const char* what;
        float velocity;
        float divisor;
        float behind;  // horizontal distance of the eye behind the target
        float below;   // eye below the target
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"at rest", 0.0f, 10.0f, 7.0f, 0.0f},
        {"pulled in", 30.0f, 10.0f, 4.0f, 0.0f},
        {"at half distance and lowered", 50.0f, 10.0f, 3.5f, 1.5f},
        {"divisor 0 pulls nothing in", 50.0f, 0.0f, 7.0f, 0.0f},
        {"an infinite divisor neither", 50.0f, inf, 7.0f, 0.0f},
        {"nor one that is no number", 50.0f, std::nanf(""), 7.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPCamera camera;
        camera.SetTargetDistance(7.0f);
        camera.CarVelocity = c.velocity;
        camera.DistanceDivisor = c.divisor;
        camera.LookTarget = D3DXVECTOR3(10.0f, 20.0f, 3.0f);
        camera.Yaw = Pi / 2.0f;  // heading +y: the eye is at -y
        camera.SmoothedYaw = Pi / 2.0f;
        Step(camera, 0.0f);
        const CPPerspectiveCamera& view = *camera.GetView1();
        EXPECT_NEAR(view.Position.x, 10.0f, 1e-4f);
        EXPECT_NEAR(view.Position.y, 20.0f - c.behind, 1e-4f);
        EXPECT_NEAR(view.Position.z, 3.0f - c.below, 1e-4f);
        // It looks level along the heading, up along +z.
        EXPECT_NEAR(view.Target.y - view.Position.y, 1.0f, 1e-4f);
        EXPECT_NEAR(view.Target.z, view.Position.z, 1e-4f);
        EXPECT_NEAR(view.Up.z, 1.0f, 1e-4f);
        EXPECT_EQ(camera.GetView2()->Position, view.Position);
    }
}

TEST_F(RaceCameraTest, ALookStraightDownSkipsTheRollAndStaysFinite) {
    CPCamera camera;
    camera.SetTargetDistance(7.0f);
    camera.SetElevation(Pi / 2.0f);  // overhead: the view direction has no length
    camera.CarPitch = 0.3f;
    camera.Tilt = 0.3f;
    Step(camera, 1.0f / 60.0f);
    for (const D3DXVECTOR3& v : {camera.GetView1()->Position, camera.GetView1()->Target, camera.GetView1()->Up}) {
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    }
}

TEST_F(RaceCameraTest, TheOrbitTimeTurnsTheCameraOnlyAtRenderTempZero) {
    CPLevel level;
    level.Camera = new CPCamera();
    CPCamera& camera = *level.Camera;
    level.FollowedForward = D3DXVECTOR3(1, 0, 0);
    level.OrbitTime = Pi / 2.0f;
    camera.SetTargetDistance(7.0f);
    camera.SmoothedYaw = 0.0f;
    Step(camera, 0.0f);
    EXPECT_NEAR(camera.GetView1()->Position.x, -7.0f, 1e-4f);
    RenderTemp = 0.0f;
    Step(camera, 0.0f);
    EXPECT_NEAR(camera.GetView1()->Position.y, -7.0f, 1e-4f);
}

TEST_F(RaceCameraTest, CameraModesTakeTheirSetsAndOtherModesAreOnlyStored) {
    CPLevel level;
    level.Camera = new CPCamera();
    level.Player = new CPPlayer();
    // Heading +x: the nose (0, -1, 0) turned a quarter about z.
    D3DXQuaternionRotationAxis(&level.Player->Orientation, &ZAxis, Pi / 2.0f);
    level.SetCameraValue(0, CPLevel::CameraValue::Distance, 8.0f);
    level.SetCameraValue(1, CPLevel::CameraValue::Distance, 10.0f);
    level.SetCameraValue(1, CPLevel::CameraValue::DistanceDiv, 15.0f);
    level.SetCameraValue(2, CPLevel::CameraValue::Distance, 0.5f);

    level.SetCameraMode(1);
    EXPECT_EQ(level.CameraMode, 1);
    EXPECT_EQ(level.FollowedCar, level.Player.Get());
    EXPECT_FLOAT_EQ(level.CameraDistance, 10.0f);
    EXPECT_FLOAT_EQ(level.CameraDistanceDiv, 15.0f);
    EXPECT_FALSE(level.Camera->FreeView);
    EXPECT_NEAR(level.Camera->Yaw, 0.0f, 1e-3f);

    level.Camera->Yaw = 2.0f;
    level.SetCameraMode(2);  // the free view keeps the first set's values and the yaw
    EXPECT_TRUE(level.Camera->FreeView);
    EXPECT_FLOAT_EQ(level.CameraDistance, 8.0f);
    EXPECT_FLOAT_EQ(level.Camera->Yaw, 2.0f);

    level.SetCameraMode(5);
    EXPECT_EQ(level.CameraMode, 5);
    EXPECT_TRUE(level.Camera->FreeView);
    EXPECT_FLOAT_EQ(level.CameraDistance, 8.0f);
}

// The race feed's part, as the race update gives it: the followed car's forward axis, speed
// and the raised look target, the active set's distance and divisor, the inside view.
void Feed(CPLevel& level, const D3DXVECTOR3& position, const D3DXVECTOR3& forward, float speed) {
    CPCamera& camera = *level.Camera;
    level.FollowedForward = forward;
    camera.LookTarget = position + D3DXVECTOR3(0, 0, level.CameraHeight);
    camera.CarVelocity = speed;
    camera.DistanceDivisor = level.CameraDistanceDiv;
    camera.TargetDistance = level.CameraDistance;
    camera.SetFreeView(position + D3DXVECTOR3(0, 0, 1.2f), position + forward + D3DXVECTOR3(0, 0, 1.2f),
                       D3DXVECTOR3(0, 0, 1));
}

TEST_F(RaceCameraTest, TheThreeModesFollowACarDrivingACircle) {
    CPLevel level;
    level.Camera = new CPCamera();
    level.Player = new CPPlayer();
    level.SetCameraValue(0, CPLevel::CameraValue::Distance, 8.0f);
    level.SetCameraValue(0, CPLevel::CameraValue::Height, 2.0f);
    level.SetCameraValue(0, CPLevel::CameraValue::DistanceDiv, 10.0f);
    level.SetCameraValue(1, CPLevel::CameraValue::Distance, 12.0f);
    level.SetCameraValue(1, CPLevel::CameraValue::Height, 3.0f);
    level.SetCameraValue(1, CPLevel::CameraValue::DistanceDiv, 20.0f);
    level.SetCameraMode(0);
    level.Camera->SetTargetDistance(level.CameraDistance);

    constexpr float Radius = 50.0f;
    constexpr float Speed = 10.0f;  // m/s
    constexpr float Dt = 1.0f / 60.0f;
    float angle = 0.0f;
    D3DXVECTOR3 car;
    D3DXVECTOR3 previousEye;
    float worstStep = 0.0f;
    auto drive = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            angle += Speed / Radius * Dt;
            car = D3DXVECTOR3(Radius * std::cos(angle), Radius * std::sin(angle), 0.0f);
            const D3DXVECTOR3 forward(-std::sin(angle), std::cos(angle), 0.0f);
            D3DXQuaternionRotationAxis(&level.Player->Orientation, &ZAxis, angle + Pi);
            level.Player->Position = car;
            Feed(level, car, forward, Speed);
            Step(*level.Camera, Dt);
            const D3DXVECTOR3 eye = level.Camera->GetView1()->Position;
            if (i > 0) worstStep = std::max(worstStep, Length(eye - previousEye));
            previousEye = eye;
        }
    };
    auto expectChase = [&](float distance, float height, float divisor) {
        const D3DXVECTOR3 eye = level.Camera->GetView1()->Position;
        const float behind = std::hypot(eye.x - car.x, eye.y - car.y);
        EXPECT_NEAR(behind, std::max(0.5f * distance, distance - Speed / divisor), 0.05f);
        EXPECT_NEAR(eye.z, height, 0.05f);
        // Behind the car: the eye is on the far side of the heading.
        const D3DXVECTOR3 forward(-std::sin(angle), std::cos(angle), 0.0f);
        EXPECT_LT((eye.x - car.x) * forward.x + (eye.y - car.y) * forward.y, 0.0f);
    };

    drive(240);
    expectChase(8.0f, 2.0f, 10.0f);
    level.SetCameraMode(1);
    worstStep = 0.0f;
    drive(1);
    const float switchStep = worstStep;
    drive(359);
    expectChase(12.0f, 3.0f, 20.0f);
    // The change of sets eases: no frame moves the eye much further than the car does.
    EXPECT_LT(switchStep, 1.0f);
    EXPECT_LT(worstStep, 1.0f);

    level.SetCameraMode(2);
    drive(10);
    EXPECT_NEAR(Length(level.Camera->GetView1()->Position - (car + D3DXVECTOR3(0, 0, 1.2f))), 0.0f, 1e-4f);
    level.SetCameraMode(0);
    drive(300);
    expectChase(8.0f, 2.0f, 10.0f);
}

}  // namespace
