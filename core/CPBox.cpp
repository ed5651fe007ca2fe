#include "core/CPBox.h"

#include "core/Geometry.h"

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
    D3DXMatrixIdentity(&Transform);
    D3DXMatrixIdentity(&World);
    D3DXMatrixIdentity(&Local);
}

void CPBox::Update() {
    float* extents[3] = {&HalfExtents.x, &HalfExtents.y, &HalfExtents.z};
    for (float* e : extents) {
        if (*e < kMinHalfExtent) {
            *e = kMinHalfExtent;
        }
    }
    const D3DXMATRIX& m = World;
    if (m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f) {
        // Affine (every placement of the scene): the centre's image plus or minus the three
        // scaled axes, one transform instead of eight.
        D3DXVECTOR3 centre;
        D3DXVec3TransformCoord(&centre, &Centre, &m);
        const D3DXVECTOR3 axes[3] = {D3DXVECTOR3(m._11, m._12, m._13) * HalfExtents.x,
                                     D3DXVECTOR3(m._21, m._22, m._23) * HalfExtents.y,
                                     D3DXVECTOR3(m._31, m._32, m._33) * HalfExtents.z};
        for (int k = 0; k < 8; ++k) {
            Corners[k] = centre + axes[0] * kCornerSigns[k][0] + axes[1] * kCornerSigns[k][1] +
                         axes[2] * kCornerSigns[k][2];
        }
    } else {
        for (int k = 0; k < 8; ++k) {
            const D3DXVECTOR3 local(Centre.x + kCornerSigns[k][0] * HalfExtents.x,
                                    Centre.y + kCornerSigns[k][1] * HalfExtents.y,
                                    Centre.z + kCornerSigns[k][2] * HalfExtents.z);
            D3DXVec3TransformCoord(&Corners[k], &local, &m);
        }
    }
    for (int k = 0; k < 6; ++k) {
        const D3DXVECTOR3& a = Corners[kFaces[k].a];
        const D3DXVECTOR3 ca = Corners[kFaces[k].c] - a;
        const D3DXVECTOR3 ba = Corners[kFaces[k].b] - a;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &ca, &ba);
        Planes[k] = D3DXPLANE(n.x, n.y, n.z, -D3DXVec3Dot(&n, &a));
    }
    Min = Corners[0];
    Max = Corners[0];
    for (int k = 1; k < 8; ++k) {
        D3DXVec3Minimize(&Min, &Min, &Corners[k]);
        D3DXVec3Maximize(&Max, &Max, &Corners[k]);
    }
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
    bool inside = true;
    for (const D3DXPLANE& plane : Planes) {
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
        const float t = RayPlaneDistance(origin, direction, Planes[k]);
        if (!(t < distance && t >= 0.0f)) {
            continue;
        }
        const D3DXVECTOR3 q = origin + direction * t;
        bool onFace = false;
        for (const auto& tri : kFaces[k].triangles) {
            if (PointInTriangle(q, Corners[tri[0]], Corners[tri[1]], Corners[tri[2]])) {
                onFace = true;
                break;
            }
        }
        if (onFace) {
            hitPlane = Planes[k];
            distance = t;
            hit = true;
            if (k == 5) {
                break;
            }
        }
    }
    return hit;
}
