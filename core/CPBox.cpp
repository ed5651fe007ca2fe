#include "core/CPBox.h"

#include "core/Geometry.h"

#include <cmath>

namespace {

// Signs of the half extents for each corner.
constexpr float kCornerSigns[8][3] = {
    {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
};

// Face k: the plane through corners (a, b, c) with n = (c − a) × (b − a), and the two triangles
// that cover the face for the ray test.
struct Face {
    int a, b, c;
    int triangles[2][3];
};
constexpr Face kFaces[6] = {
    {0, 1, 2, {{0, 1, 2}, {0, 2, 3}}},  // −z
    {1, 5, 6, {{1, 5, 6}, {1, 2, 6}}},  // +x
    {2, 6, 7, {{2, 6, 7}, {2, 7, 3}}},  // +y
    {3, 7, 4, {{3, 4, 7}, {3, 4, 0}}},  // −x
    {0, 4, 5, {{0, 4, 5}, {0, 5, 1}}},  // −y
    {5, 4, 7, {{4, 5, 6}, {4, 6, 7}}},  // +z
};

constexpr float kMinHalfExtent = 0.001f;

}  // namespace

CPBox::CPBox(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents)
    : Centre(centre), HalfExtents(halfExtents), Min(centre - halfExtents), Max(centre + halfExtents) {
    D3DXMatrixIdentity(&World);
    D3DXMatrixIdentity(&Local);
    D3DXMatrixIdentity(&Transform);
}

namespace {

bool Affine(const D3DXMATRIX& m) { return m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f; }

// The box's world centre and its three scaled axes under an affine World.
void CentreAndAxes(const CPBox& box, D3DXVECTOR3& centre, D3DXVECTOR3 (&axes)[3]) {
    const D3DXMATRIX& m = box.World;
    const D3DXVECTOR4 r = D3DXDetail::RowTimesMatrix(box.Centre.x, box.Centre.y, box.Centre.z, 1.0f, m);
    // Dividing by a w of 1 gives the same floats.
    centre = r.w == 1.0f ? D3DXVECTOR3(r.x, r.y, r.z) : D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    axes[0] = D3DXVECTOR3(m._11, m._12, m._13) * box.HalfExtents.x;
    axes[1] = D3DXVECTOR3(m._21, m._22, m._23) * box.HalfExtents.y;
    axes[2] = D3DXVECTOR3(m._31, m._32, m._33) * box.HalfExtents.z;
}

// One world axis of the corners' bounds, corner by corner in corner order as the full
// computation takes them (an equal later corner replaces an earlier one).
void AxisByCorners(float centre, float a0, float a1, float a2, float& low, float& high) {
    for (int k = 0; k < 8; ++k) {
        const float v = centre + a0 * kCornerSigns[k][0] + a1 * kCornerSigns[k][1] + a2 * kCornerSigns[k][2];
        if (k == 0) {
            low = v;
            high = v;
        } else {
            low = low < v ? low : v;
            high = high > v ? high : v;
        }
    }
}

}  // namespace

void CPBox::Update() {
    float* extents[3] = {&HalfExtents.x, &HalfExtents.y, &HalfExtents.z};
    for (float* e : extents) {
        if (*e < kMinHalfExtent) {
            *e = kMinHalfExtent;
        }
    }
    shapeStale = true;
    if (Affine(World)) {
        // Corner k is centre + s0·axis0 + s1·axis1 + s2·axis2, summed in that order. Rounding is
        // monotonic, so on each world axis the lowest corner takes minus the absolute value of
        // every term and the highest plus: the same floats the eight corners give. A zero
        // bound (whose sign the corners' order decides: boxes standing on z = 0 have one) is
        // found on its axis corner by corner; a bound that is not finite takes the corners.
        D3DXVECTOR3 centre;
        D3DXVECTOR3 axes[3];
        CentreAndAxes(*this, centre, axes);
        const D3DXVECTOR3 reach0(std::fabs(axes[0].x), std::fabs(axes[0].y), std::fabs(axes[0].z));
        const D3DXVECTOR3 reach1(std::fabs(axes[1].x), std::fabs(axes[1].y), std::fabs(axes[1].z));
        const D3DXVECTOR3 reach2(std::fabs(axes[2].x), std::fabs(axes[2].y), std::fabs(axes[2].z));
        D3DXVECTOR3 low = centre - reach0 - reach1 - reach2;
        D3DXVECTOR3 high = centre + reach0 + reach1 + reach2;
        if (std::isfinite(low.x) && std::isfinite(low.y) && std::isfinite(low.z) && std::isfinite(high.x) &&
            std::isfinite(high.y) && std::isfinite(high.z)) {
            if (low.x == 0.0f || high.x == 0.0f) {
                AxisByCorners(centre.x, axes[0].x, axes[1].x, axes[2].x, low.x, high.x);
            }
            if (low.y == 0.0f || high.y == 0.0f) {
                AxisByCorners(centre.y, axes[0].y, axes[1].y, axes[2].y, low.y, high.y);
            }
            if (low.z == 0.0f || high.z == 0.0f) {
                AxisByCorners(centre.z, axes[0].z, axes[1].z, axes[2].z, low.z, high.z);
            }
            Min = low;
            Max = high;
            return;
        }
    }
    ComputeCorners();
    Min = corners[0];
    Max = corners[0];
    for (int k = 1; k < 8; ++k) {
        D3DXVec3Minimize(&Min, &Min, &corners[k]);
        D3DXVec3Maximize(&Max, &Max, &corners[k]);
    }
}

void CPBox::ComputeCorners() const {
    const D3DXMATRIX& m = World;
    if (Affine(m)) {
        // Affine (every placement of the scene): the centre's image plus or minus the three
        // scaled axes, one transform instead of eight.
        D3DXVECTOR3 centre;
        D3DXVECTOR3 axes[3];
        CentreAndAxes(*this, centre, axes);
        for (int k = 0; k < 8; ++k) {
            corners[k] = centre + axes[0] * kCornerSigns[k][0] + axes[1] * kCornerSigns[k][1] +
                         axes[2] * kCornerSigns[k][2];
        }
    } else {
        for (int k = 0; k < 8; ++k) {
            const D3DXVECTOR3 local(Centre.x + kCornerSigns[k][0] * HalfExtents.x,
                                    Centre.y + kCornerSigns[k][1] * HalfExtents.y,
                                    Centre.z + kCornerSigns[k][2] * HalfExtents.z);
            D3DXVec3TransformCoord(&corners[k], &local, &m);
        }
    }
}

void CPBox::ComputeShape() const {
    ComputeCorners();
    for (int k = 0; k < 6; ++k) {
        const D3DXVECTOR3& a = corners[kFaces[k].a];
        const D3DXVECTOR3 ca = corners[kFaces[k].c] - a;
        const D3DXVECTOR3 ba = corners[kFaces[k].b] - a;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &ca, &ba);
        planes[k] = D3DXPLANE(n.x, n.y, n.z, -D3DXVec3Dot(&n, &a));
    }
    shapeStale = false;
}

void CPBox::Place(const D3DXMATRIX& owner) {
    // Most boxes sit in their owner's own frame; their product is the owner's matrix.
    if (D3DXMatrixIsIdentity(&Local)) {
        World = owner;
    } else {
        D3DXMatrixMultiply(&World, &Local, &owner);
    }
    Update();
}

bool CPBox::IntersectRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float& distance,
                         D3DXPLANE& hitPlane) const {
    Refresh();
    bool inside = true;
    for (const D3DXPLANE& plane : planes) {
        if (!(D3DXPlaneDotCoord(&plane, &origin) < 0.0f)) {
            inside = false;
            break;
        }
    }
    if (inside) {
        distance = 0.0f;
        return true;
    }

    bool hit = false;
    for (int k = 0; k < 6; ++k) {
        const float t = RayPlaneDistance(origin, direction, planes[k]);
        if (!(t < distance && t >= 0.0f)) {
            continue;
        }
        const D3DXVECTOR3 q = origin + direction * t;
        bool onFace = false;
        for (const auto& tri : kFaces[k].triangles) {
            if (PointInTriangle(q, corners[tri[0]], corners[tri[1]], corners[tri[2]])) {
                onFace = true;
                break;
            }
        }
        if (onFace) {
            hitPlane = planes[k];
            distance = t;
            hit = true;
            if (k == 5) {
                break;
            }
        }
    }
    return hit;
}
