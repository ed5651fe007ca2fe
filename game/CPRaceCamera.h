// The chase camera of a race. It owns two views that always look the same way: the first
// drives the scene's layer (with the configured far distance) and is the one culling, sprites
// and screen projection use (MainView); the second draws the far layer (far 2000). Once per
// race update it turns the followed car's state, which the race feed writes into its fields,
// into eye, look-at point and up vector: it eases its distance, field of view, yaw and tilt,
// sits behind and above the car, comes in and down at speed, swings out while the car slides
// under braking and rolls with the car's pitch. In free view the race feed gives eye, look-at
// point and up vector directly (the view from inside the car).
//
// Sound values where the car's description could make nonsense: a distance divisor of 0 or
// one that is not finite pulls the camera in at no speed; a roll axis of about zero length
// (the view looking straight along its up vector) skips the roll; the field of view starts
// at DefaultFov, not 0.
//
// The level owns the camera. It deletes its views when it goes, after taking them off the
// renderer's layers and out of MainView.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <string>

class CPPerspectiveCamera;

// The render temperature of the scripts' SetTemp and GetTemp; 0 turns the chase camera with
// the orbit time. 1 at start.
extern float RenderTemp;

class CPCamera : public CPObject {
public:
    static constexpr float DefaultFov = 50.0f;    // degrees
    static constexpr float FarLayerDistance = 2000.0f;
    static constexpr float NearDistance = 1.0f;
    static constexpr float MaxStep = 0.1f;        // s of frame time one update eases by at most
    // Render layers of the two views at the level's start.
    static constexpr int SceneLayer = 16;
    static constexpr int FarLayer = 120;

    // Both views made (the first with the far distance of "distance"); MainView := the first.
    CPCamera();
    ~CPCamera() override;

    size_t GetObjectSize() const override { return sizeof(CPCamera); }
    std::string GetTypeName() const override { return "CPCamera"; }

    // Once per race update, after the race feed.
    void Update();
    // TargetDistance := d, and Distance too while it is 0.
    void SetTargetDistance(float d);
    void SetYaw(float a);
    void SetElevation(float a);
    void SetFreeView(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up);
    // The views as cameras of render layers.
    void ApplyView1(int layer);
    void ApplyView2(int layer);
    CPPerspectiveCamera* GetView1() const { return View1.Get(); }
    CPPerspectiveCamera* GetView2() const { return View2.Get(); }

    // The heading (radians about z) of a car turned by orientation: its nose (0, -1, 0) turned,
    // acos of its x, negative when its y is.
    static float HeadingOf(const D3DXQUATERNION& orientation);

    float YawOffset = 0.0f;  // swing while the car slides under braking
    float Distance = 0.0f;
    float TargetDistance = 0.0f;
    float Yaw = -D3DX_PI / 2.0f;
    float Elevation = 0.0f;
    bool Changed = true;
    float Fov = DefaultFov;        // degrees
    float TargetFov = DefaultFov;  // degrees
    D3DXVECTOR3 LookTarget{0.0f, 0.0f, 0.0f};
    CPtr<CPPerspectiveCamera> View1;  // owned
    bool FreeView = false;
    float CarVelocity = 0.0f;
    float DistanceDivisor = 0.0f;
    D3DXVECTOR3 FreeLookAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 FreeEye{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 FreeUp{0.0f, 0.0f, 0.0f};
    CPtr<CPPerspectiveCamera> View2;  // owned
    float CarPitch = 0.0f;
    float Tilt = 0.0f;
    float SmoothedYaw = 0.0f;

private:
    // Both views: eye, look-at point and up vector.
    void SetViews(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up);
    void UpdateViews();
};
