// The race's chase camera: the level writes the followed car's state into it every update and
// it turns that into its two views.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPPerspectiveCamera.h"

// minimal until the full one lands
class CPCamera : public CPObject {
public:
    CPCamera();
    ~CPCamera() override;

    size_t GetObjectSize() const override { return sizeof(CPCamera); }
    std::string GetTypeName() const override { return "CPCamera"; }

    void Update() {}
    void SetYaw(float a) {
        Yaw = a;
        Changed = true;
    }
    void SetFreeView(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up) {
        FreeEye = eye;
        FreeLookAt = lookAt;
        FreeUp = up;
        Changed = true;
    }
    CPPerspectiveCamera* GetView1() const { return View1.Get(); }

    float YawOffset = 0.0f;
    float Distance = 0.0f;
    float TargetDistance = 0.0f;
    float Yaw = -D3DX_PI / 2.0f;
    float Elevation = 0.0f;
    bool Changed = true;
    float Fov = 0.0f;
    float TargetFov = 0.0f;
    D3DXVECTOR3 LookTarget;
    CPtr<CPPerspectiveCamera> View1;  // owned
    bool FreeView = false;
    float CarVelocity = 0.0f;
    float DistanceDivisor = 0.0f;
    D3DXVECTOR3 FreeLookAt;
    D3DXVECTOR3 FreeEye;
    D3DXVECTOR3 FreeUp;
    CPtr<CPPerspectiveCamera> View2;  // owned
    float CarPitch = 0.0f;
    float Tilt = 0.0f;
    float SmoothedYaw = 0.0f;
};
