#include "game/CPRaceCamera.h"

#include "Render/CPRender.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "core/Geometry.h"
#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <algorithm>
#include <cmath>

float RenderTemp = 1.0f;

namespace {

constexpr float DegreesToRadians = 0.017453292f;
constexpr float TwoPi = 2.0f * D3DX_PI;
// Below this length the roll axis has no direction.
constexpr float MinRollAxis = 1e-6f;

CPPerspectiveCamera* MakeView(float farDistance) {
    auto* view = new CPPerspectiveCamera();
    view->Fov = CPCamera::DefaultFov * DegreesToRadians;
    view->Near = CPCamera::NearDistance;
    view->Far = farDistance;
    view->Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    view->ProjectionDirty = true;
    return view;
}

// The share of the configured sound volume the player's car plays at in each camera mode.
constexpr float SoundFactors[CPLevel::CameraSetCount] = {0.3f, 0.35f, 0.4f};

}  // namespace

CPCamera::CPCamera() {
    View1 = MakeView(static_cast<float>(Cfg::distance));
    View2 = MakeView(FarLayerDistance);
    MainView = View1.Get();
}

CPCamera::~CPCamera() {
    CPPerspectiveCamera* views[2] = {View1.Get(), View2.Get()};
    if (CPRender::Instance != nullptr) {
        for (auto& [number, layer] : CPRender::Instance->Layers) {
            if (layer.Camera.Get() == views[0] || layer.Camera.Get() == views[1]) {
                layer.Camera = nullptr;
            }
        }
    }
    if (MainView == views[0]) {
        MainView = nullptr;
    }
    View1 = nullptr;
    View2 = nullptr;
    delete views[0];
    delete views[1];
}

void CPCamera::SetTargetDistance(float d) {
    TargetDistance = d;
    if (Distance == 0.0f) {
        Distance = d;
    }
    Changed = true;
}

void CPCamera::SetYaw(float a) {
    Yaw = a;
    Changed = true;
}

void CPCamera::SetElevation(float a) {
    Elevation = a;
    Changed = true;
}

void CPCamera::SetFreeView(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up) {
    FreeEye = eye;
    FreeLookAt = lookAt;
    FreeUp = up;
    Changed = true;
}

void CPCamera::ApplyView1(int layer) {
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->SetLayerCamera(layer, CPtr<CPBaseCamera>(View1.Get()));
    }
}

void CPCamera::ApplyView2(int layer) {
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->SetLayerCamera(layer, CPtr<CPBaseCamera>(View2.Get()));
    }
}

float CPCamera::HeadingOf(const D3DXQUATERNION& orientation) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, &orientation);
    const D3DXVECTOR3 nose(0.0f, -1.0f, 0.0f);
    D3DXVECTOR3 d;
    D3DXVec3TransformCoord(&d, &nose, &rotation);
    const auto heading = static_cast<float>(ClampedAcos(d.x));
    return d.y < 0.0f ? -heading : heading;
}

void CPCamera::SetViews(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up) {
    for (CPPerspectiveCamera* view : {View1.Get(), View2.Get()}) {
        view->Position = eye;
        view->Target = lookAt;
        view->Up = up;
        view->ViewDirty = true;
    }
}

void CPCamera::UpdateViews() {
    View1->Update();
    View2->Update();
}

void CPCamera::Update() {
    if (FreeView) {
        SetViews(FreeEye, FreeLookAt, FreeUp);
        UpdateViews();
        return;
    }
    const float t = std::clamp(FrameTime, 0.0f, MaxStep);
    Fov += (TargetFov - Fov) * 2.0f * t;
    for (CPPerspectiveCamera* view : {View1.Get(), View2.Get()}) {
        view->Fov = Fov * DegreesToRadians;
        view->ProjectionDirty = true;
    }
    Distance += (TargetDistance - Distance) * 2.0f * t;
    Tilt += (CarPitch - Tilt) * 5.0f * t;

    // Heading of the followed car, the slide swing and the look along the path at the end.
    const CPLevel* level = CPLevel::Current;
    if (level != nullptr) {
        D3DXVECTOR3 forward(level->FollowedForward.x, level->FollowedForward.y, 0.0f);
        D3DXVec3Normalize(&forward, &forward);
        Yaw = static_cast<float>(ClampedAcos(forward.x));
        if (forward.y < 0.0f) {
            Yaw = -Yaw;
        }
        float swing = 0.0f;
        if (const CPCar* car = level->FollowedCar != nullptr ? level->FollowedCar->GetCar() : nullptr) {
            swing = (car->SlideAmount > 0.0f ? -2.0f : 0.0f) * car->SteerInput;
        }
        YawOffset += (swing - YawOffset) * 6.0f * t;
        Yaw += YawOffset;
        if (Yaw < 0.0f) {
            Yaw += TwoPi;
        }
        if (level->GameOverSent) {
            Yaw = level->PathHeading + 1.5707964f;
        }
    }

    // Ease the yaw the short way round.
    const float d = Yaw - SmoothedYaw;
    if (d > D3DX_PI) {
        SmoothedYaw += TwoPi;
    } else if (d < -D3DX_PI) {
        SmoothedYaw -= TwoPi;
    }
    SmoothedYaw += (Yaw - SmoothedYaw) * std::min(4.0f * t, 1.0f);

    float yaw = SmoothedYaw;
    if (RenderTemp == 0.0f && level != nullptr) {
        yaw += level->OrbitTime;
    }
    const float pitch = Elevation - D3DX_PI / 2.0f + Tilt;
    D3DXMATRIX aroundY;
    D3DXMATRIX aroundZ;
    D3DXMATRIX orbit;
    D3DXMatrixRotationY(&aroundY, pitch);
    D3DXMatrixRotationZ(&aroundZ, yaw);
    D3DXMatrixMultiply(&orbit, &aroundY, &aroundZ);

    // Behind and above the car; at speed in to half the distance, and lower beyond that.
    const D3DXVECTOR3 zAxis(0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 xAxis(1.0f, 0.0f, 0.0f);
    D3DXVECTOR3 offset;
    D3DXVec3TransformCoord(&offset, &zAxis, &orbit);
    float pulled = Distance;
    if (DistanceDivisor != 0.0f && std::isfinite(DistanceDivisor)) {
        const float in = CarVelocity / DistanceDivisor;
        if (std::isfinite(in)) {
            pulled = Distance - in;
        }
    }
    const float distance = std::max(0.5f * Distance, pulled);
    offset *= distance;
    if (distance != pulled) {
        offset.z += pulled - distance;
    }
    const D3DXVECTOR3 eye = LookTarget + offset;
    D3DXVECTOR3 lookAt = LookTarget + D3DXVECTOR3(0.0f, 0.0f, offset.z);
    D3DXVECTOR3 up;
    D3DXVec3TransformCoord(&up, &xAxis, &orbit);

    // Roll with the car's pitch about the axis across the view.
    D3DXVECTOR3 f = lookAt - eye;
    D3DXVec3Normalize(&f, &f);
    D3DXVec3Normalize(&up, &up);
    D3DXVECTOR3 axis;
    D3DXVec3Cross(&axis, &f, &up);
    if (D3DXVec3Length(&axis) > MinRollAxis) {
        D3DXMATRIX roll;
        D3DXMatrixRotationAxis(&roll, &axis, -Tilt);
        D3DXVECTOR3 rolled;
        D3DXVec3TransformCoord(&rolled, &f, &roll);
        f = rolled;
        D3DXVec3TransformCoord(&rolled, &up, &roll);
        up = rolled;
    }
    lookAt = eye + f;
    SetViews(eye, lookAt, up);
    UpdateViews();
}

void CPLevel::SetCameraMode(int mode) {
    CameraMode = mode;
    if (mode < 0 || mode >= CameraSetCount) {
        return;
    }
    FollowedCar = Player.Get();
    // The free view (mode 2) keeps the values of the first set.
    const CameraSet& values = CameraSets[mode == 1 ? 1 : 0];
    CameraDistance = values.Distance;
    CameraHeight = values.Height;
    CameraAngleDiv = values.AngleDiv;
    CameraDistanceDiv = values.DistanceDiv;
    CameraAngle = values.Angle;
    if (Camera != nullptr) {
        Camera->FreeView = mode == 2;
    }
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->SetRadialBlurCenter(CameraSets[static_cast<size_t>(mode)].Blur);
    }
    if (mode != 2 && Camera != nullptr && FollowedCar != nullptr) {
        Camera->Yaw = CPCamera::HeadingOf(FollowedCar->GetOrientation());
        Camera->Changed = true;
    }
    if (Player != nullptr) {
        Player->SetCarSoundVolume(Cfg::soundVolume * SoundFactors[mode]);
    }
}
