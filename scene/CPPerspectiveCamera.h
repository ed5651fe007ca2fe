// The perspective camera of the 3-D layers: its owner writes Position, Target, Up, Fov, Near
// and Far, raises ViewDirty or ProjectionDirty, and calls Update, which rebuilds only what the
// flags ask for, then the combined matrices and the six frustum planes. IsBoxVisible culls
// world-aligned boxes against those planes.
//
// Planes are in world space, not normalised, with normals pointing into the volume: a point
// is inside a plane when a·x + b·y + c·z + d > 0. The test is conservative: a box rejected by
// no single plane counts as visible even when it misses the frustum near an edge.
//
// Before the first Update that builds the planes (or when the view is degenerate, as with
// the eye on the target) the frustum is unknown and every box counts as visible.
#pragma once

#include "scene/CPBaseCamera.h"

class CPPerspectiveCamera : public CPBaseCamera {
public:
    // The far distance of FarProjection, whatever Far is.
    static constexpr float FarPlaneDistance = 1000.0f;

    CPPerspectiveCamera();

    size_t GetObjectSize() const override { return sizeof(CPPerspectiveCamera); }
    std::string GetTypeName() const override { return "CPPerspectiveCamera"; }

    // Rebuilds the view (ViewDirty) and the projection (ProjectionDirty, aspect from the
    // configured screen size at this moment), then, when either was set, the combined and
    // inverse matrices and the planes. Nothing at all when neither flag is set.
    void Update();
    // False when all eight corners of the box min..max lie on or behind one plane.
    bool IsBoxVisible(const D3DXVECTOR3& min, const D3DXVECTOR3& max) const;
    // The plane through a, b, c with n = (b − a) × (c − a), not normalised.
    static void PlaneFromPoints(D3DXPLANE& out, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c);

    // True once Planes hold the frustum of the latest Update.
    bool HasFrustum() const { return FrustumValid; }

    // Near, far, left, right, top, bottom; zero until the first Update with a flag set.
    D3DXPLANE Planes[6];
    D3DXVECTOR3 Target;
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Up;
    float Fov = 0.0f;  // vertical, radians
    float Near = 0.0f;
    float Far = 0.0f;
    bool ProjectionDirty = false;
    bool ViewDirty = false;
    D3DXMATRIX ViewProjection;         // View · Projection
    D3DXMATRIX InverseView;            // the camera's world placement
    D3DXMATRIX InverseViewProjection;
    D3DXMATRIX FarViewProjection;      // RotationView · FarProjection

private:
    bool FrustumValid = false;
};

// Inline: the quadtree walk and the batching ask it for every node and object.
inline bool CPPerspectiveCamera::IsBoxVisible(const D3DXVECTOR3& min, const D3DXVECTOR3& max) const {
    if (!FrustumValid) {
        return true;
    }
    // Of the eight corners, the one picked per axis by the sign of the normal gives the
    // largest value (float products and sums are monotonic), so testing it alone decides
    // "some corner is strictly inside" exactly as testing all eight would.
    for (const D3DXPLANE& plane : Planes) {
        const float x = plane.a > 0.0f ? max.x : min.x;
        const float y = plane.b > 0.0f ? max.y : min.y;
        const float z = plane.c > 0.0f ? max.z : min.z;
        if (!(plane.a * x + plane.b * y + plane.c * z + plane.d > 0.0f)) {
            return false;
        }
    }
    return true;
}
