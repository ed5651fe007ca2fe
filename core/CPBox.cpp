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

// D3DXMatrixIsIdentity without a branch per element, so the compiler compares whole rows.
bool IsIdentity(const D3DXMATRIX& m) {
    bool same = true;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            same &= m.m[r][c] == (r == c ? 1.0f : 0.0f);
        }
    }
    return same;
}

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
[[gnu::noinline]] void AxisByCorners(float centre, float a0, float a1, float a2, float& low, float& high) {
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

// One world axis of the bounds of a box under an affine World without its corners. Corner k
// is centre + s0·axis0 + s1·axis1 + s2·axis2, summed in that order. Rounding is monotonic, so
// the lowest corner takes minus the absolute value of every term and the highest plus: the
// same floats the eight corners give. A zero bound (whose sign the corners' order decides:
// boxes standing on z = 0 have one) is found corner by corner.
struct Span {
    float low, high;
};

inline Span AffineAxis(float centre, float a0, float a1, float a2) {
    const float r0 = std::fabs(a0), r1 = std::fabs(a1), r2 = std::fabs(a2);
    Span span{centre - r0 - r1 - r2, centre + r0 + r1 + r2};
    if (span.low == 0.0f || span.high == 0.0f) {
        float low = span.low;
        float high = span.high;
        AxisByCorners(centre, a0, a1, a2, low, high);
        span = Span{low, high};
    }
    return span;
}

bool Finite(const Span& s) { return std::isfinite(s.low) && std::isfinite(s.high); }

}  // namespace

// m is World. False, with nothing written, when a bound is not finite (a centre that is not
// finite gives such bounds): the corners decide then. A finite centre's w is 1 under an
// affine World, so it is not divided by.
bool CPBox::AffineBounds(const D3DXMATRIX& m) {
    const float cx = Centre.x, cy = Centre.y, cz = Centre.z;
    const float hx = HalfExtents.x, hy = HalfExtents.y, hz = HalfExtents.z;
    const Span x = AffineAxis(cx * m._11 + cy * m._21 + cz * m._31 + 1.0f * m._41, m._11 * hx, m._21 * hy, m._31 * hz);
    const Span y = AffineAxis(cx * m._12 + cy * m._22 + cz * m._32 + 1.0f * m._42, m._12 * hx, m._22 * hy, m._32 * hz);
    const Span z = AffineAxis(cx * m._13 + cy * m._23 + cz * m._33 + 1.0f * m._43, m._13 * hx, m._23 * hy, m._33 * hz);
    if (!(Finite(x) && Finite(y) && Finite(z))) {
        return false;
    }
    Min = D3DXVECTOR3(x.low, y.low, z.low);
    Max = D3DXVECTOR3(x.high, y.high, z.high);
    return true;
}

void CPBox::Update() { UpdateWith(World); }

void CPBox::UpdateWith(const D3DXMATRIX& world) {
    HalfExtents.x = HalfExtents.x < kMinHalfExtent ? kMinHalfExtent : HalfExtents.x;
    HalfExtents.y = HalfExtents.y < kMinHalfExtent ? kMinHalfExtent : HalfExtents.y;
    HalfExtents.z = HalfExtents.z < kMinHalfExtent ? kMinHalfExtent : HalfExtents.z;
    shapeStale = true;
    if (Affine(world) && AffineBounds(world)) {
        return;
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
    if (IsIdentity(Local)) {
        World = owner;
        UpdateWith(owner);
    } else {
        D3DXMatrixMultiply(&World, &Local, &owner);
        UpdateWith(World);
    }
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
