#include "scene/CPPerspectiveCamera.h"

#include "core/ConfigVars.h"

CPPerspectiveCamera::CPPerspectiveCamera() {
    D3DXMatrixIdentity(&ViewProjection);
    D3DXMatrixIdentity(&InverseView);
    D3DXMatrixIdentity(&InverseViewProjection);
    D3DXMatrixIdentity(&FarViewProjection);
}

void CPPerspectiveCamera::Update() {
    const bool viewChanged = ViewDirty;
    const bool projectionChanged = ProjectionDirty;
    if (ViewDirty) {
        D3DXMatrixLookAtLH(&View, &Position, &Target, &Up);
        ViewDirty = false;
        D3DXMatrixInverse(&InverseView, nullptr, &View);
        D3DXVECTOR3 direction = Target - Position;
        D3DXVec3Normalize(&direction, &direction);
        const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
        D3DXMatrixLookAtLH(&RotationView, &origin, &direction, &Up);
        D3DXMatrixInverse(&InverseRotationView, nullptr, &RotationView);
    }
    if (ProjectionDirty) {
        const float aspect = static_cast<float>(Cfg::screenWidth) / static_cast<float>(Cfg::screenHeight);
        D3DXMatrixPerspectiveFovLH(&Projection, Fov, aspect, Near, Far);
        D3DXMatrixPerspectiveFovLH(&FarProjection, Fov, aspect, Near, FarPlaneDistance);
        ProjectionDirty = false;
    }
    if (!viewChanged && !projectionChanged) {
        return;
    }

    D3DXMatrixMultiply(&ViewProjection, &View, &Projection);
    D3DXMatrixMultiply(&FarViewProjection, &RotationView, &FarProjection);
    // A singular product (eye on the target, zero field of view) leaves no frustum to cull by.
    if (D3DXMatrixInverse(&InverseViewProjection, nullptr, &ViewProjection) == nullptr) {
        FrustumValid = false;
        return;
    }

    // Corners of the clip volume (z 0 near, 1 far) back in world space.
    static constexpr float kClipCorners[8][3] = {
        {-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1},
    };
    D3DXVECTOR3 p[8];
    for (int k = 0; k < 8; ++k) {
        const D3DXVECTOR4 clip(kClipCorners[k][0], kClipCorners[k][1], kClipCorners[k][2], 1.0f);
        D3DXVECTOR4 world;
        D3DXVec4Transform(&world, &clip, &InverseViewProjection);
        p[k] = D3DXVECTOR3(world.x / world.w, world.y / world.w, world.z / world.w);
    }
    // Point orders chosen so every normal points into the volume.
    PlaneFromPoints(Planes[0], p[0], p[1], p[2]);  // near
    PlaneFromPoints(Planes[1], p[6], p[7], p[5]);  // far
    PlaneFromPoints(Planes[2], p[2], p[6], p[4]);  // left
    PlaneFromPoints(Planes[3], p[7], p[3], p[5]);  // right
    PlaneFromPoints(Planes[4], p[2], p[3], p[6]);  // top
    PlaneFromPoints(Planes[5], p[1], p[0], p[4]);  // bottom
    FrustumValid = true;
}

void CPPerspectiveCamera::PlaneFromPoints(D3DXPLANE& out, const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                                          const D3DXVECTOR3& c) {
    const D3DXVECTOR3 ab = b - a;
    const D3DXVECTOR3 ac = c - a;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &ab, &ac);
    out = D3DXPLANE(n.x, n.y, n.z, -D3DXVec3Dot(&n, &a));
}
