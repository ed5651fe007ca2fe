// What the race writes into its camera every update: the followed car's pitch, speed, look
// target and distances before the cars move, the inside view, heading and forward axis after,
// and in demo mode a director that changes the camera kind or mode at random every 1.5 s.
//
// Car axes: forward F = the orientation applied to (0, -1, 0), up U = applied to (0, 0, 1);
// the heading is acos(F.x) made negative when F.y is, in [-pi, pi].
//
// The random choices draw from the game's one generator, so a demo replays the same way for
// the same seed and the same other callers.
#include "game/CPLevel.h"

#include "core/Geometry.h"
#include "game/CPCar.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "platform/win32/CrtRand.h"

#include <cmath>

namespace {

constexpr float DemoInterval = 1.5f;         // s between the director's decisions
constexpr float OrbitHeightShare = 0.6666667f;  // of the camera height, for the orbit's look target
constexpr float StillSpeedSquared = 0.000001f;

struct CarAxes {
    D3DXVECTOR3 Forward;
    D3DXVECTOR3 Up;
    float Heading = 0.0f;
};

CarAxes AxesOf(CPGameObject& car) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, &car.GetOrientation());
    const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
    const D3DXVECTOR3 roof(0.0f, 0.0f, 1.0f);
    CarAxes axes;
    D3DXVec3TransformCoord(&axes.Forward, &nose, &rotation);
    D3DXVec3TransformCoord(&axes.Up, &roof, &rotation);
    axes.Heading = static_cast<float>(ClampedAcos(axes.Forward.x));
    if (axes.Forward.y < 0.0f) {
        axes.Heading = -axes.Heading;
    }
    return axes;
}

}  // namespace

void CPLevel::RunDemoDirector(float dt) {
    DemoTimer += dt;
    if (!(DemoTimer > DemoInterval)) {
        return;
    }
    DemoTimer = 0.0f;
    if (CrtRand() % 2 == 1) {
        const int32_t kind = CrtRand() % 3;
        // The same kind drawn again ends the decision unchanged.
        if (kind == CameraKind) {
            return;
        }
        CameraKind = kind;
        OrbitTime = 0.0f;
    }
    if (CrtRand() % 2 == 0) {
        SetCameraMode(CrtRand() % 2);
    }
}

void CPLevel::FeedCameraBeforeCars() {
    CPPlayer* car = FollowedCar;
    if (car == nullptr || !Camera) {
        return;
    }
    CPCamera& camera = *Camera;
    const CarAxes axes = AxesOf(*car);
    const float pitch = static_cast<float>(ClampedAcos(axes.Forward.z) - D3DX_PI / 2.0);
    const CPCar* model = car->GetCar();
    FollowedSpeed = model != nullptr ? model->Speed : 0.0f;

    camera.CarPitch = pitch;
    camera.Elevation = CameraAngle;
    const D3DXVECTOR3& position = car->GetPosition();
    if (CameraKind == 1) {
        // A divisor of 0 (or no number) adds no speed term.
        const bool divisor = CameraDistanceDiv != 0.0f && std::isfinite(CameraDistanceDiv);
        camera.TargetDistance = (divisor ? FollowedSpeed / CameraDistanceDiv : 0.0f) + CameraDistance;
        if (camera.Distance == 0.0f) {
            camera.Distance = camera.TargetDistance;
        }
        camera.LookTarget = position + D3DXVECTOR3(0.0f, 0.0f, CameraHeight * OrbitHeightShare);
    } else if (CameraMode == 0 || CameraMode == 1) {
        camera.DistanceDivisor = CameraDistanceDiv;
        camera.TargetDistance = CameraDistance;
        if (camera.Distance == 0.0f) {
            camera.Distance = camera.TargetDistance;
        }
        camera.LookTarget = position + D3DXVECTOR3(0.0f, 0.0f, CameraHeight);
    }
    D3DXVECTOR4 velocity;
    car->GetCarVelocity(velocity);
    const float speedSquared = velocity.x * velocity.x + velocity.y * velocity.y + velocity.z * velocity.z;
    camera.CarVelocity = speedSquared < StillSpeedSquared ? 0.0f : std::sqrt(speedSquared);
    camera.Changed = true;
}

void CPLevel::FeedCameraAfterCars() {
    CPPlayer* car = FollowedCar;
    if (car != nullptr && Camera) {
        const CarAxes axes = AxesOf(*car);
        if (CameraMode != 0 && CameraMode != 1) {
            // The view from inside the car.
            const CameraSet& inside = CameraSets[2];
            const D3DXVECTOR3 eye = car->GetPosition() + axes.Forward * inside.Distance + axes.Up * inside.Height;
            const D3DXVECTOR3 lookAt = eye + axes.Forward;
            Camera->SetFreeView(eye, lookAt, axes.Up);
            Camera->SetYaw(axes.Heading);
        }
        FollowedForward = axes.Forward;
        FollowedHeading = axes.Heading;
    }
    if (Camera) {
        Camera->Update();
    }
}
