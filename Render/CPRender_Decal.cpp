// A car's soft shadow as a decal: whole terrain triangles under the car, copied 0.03 above the
// ground, with texture coordinates that lay the shadow picture over a rectangle around the car's
// footprint. The triangles are not searched here: the physics world's terrain query has listed
// them for the car's collision test, and the decal reuses that list.
//
// A decal frame is a parallelogram on the ground: origin O and edges U, V; its matrix M has the
// rows (U, 0, 0), (V, 0, 0), (0, 0, 1, 0), (O, 0, 1) and maps frame coordinates (s, t) to
// O + s U + t V. A terrain point's texture coordinates are its frame coordinates.
//
// Triangle and vertex numbers outside the terrain tables are skipped. Triangles listed twice
// (neighbouring grid cells share them) are written once, found through a hash set of their
// sorted vertex numbers.
#include "Render/CPRender.h"

#include "Render/CPRenderObject.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPPhysicScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

namespace {

constexpr float Margin = 0.1f;  // around the footprint
constexpr float Lift = 0.03f;   // above the terrain
constexpr float Degenerate = 1e-30f;

D3DXMATRIX FrameMatrix(const D3DXVECTOR2& o, const D3DXVECTOR2& u, const D3DXVECTOR2& v) {
    return D3DXMATRIX(u.x, u.y, 0.0f, 0.0f, v.x, v.y, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, o.x, o.y, 0.0f, 1.0f);
}

float Dot(const D3DXVECTOR2& a, const D3DXVECTOR2& b) { return a.x * b.x + a.y * b.y; }

// The key of a triangle whatever the order of its vertices.
struct TriangleKey {
    std::array<int32_t, 3> v;
    bool operator==(const TriangleKey&) const = default;
};

struct TriangleKeyHash {
    size_t operator()(const TriangleKey& k) const {
        uint64_t h = 1469598103934665603ull;
        for (int32_t x : k.v) {
            h = (h ^ static_cast<uint32_t>(x)) * 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};

CPRenderObject* RenderObjectOf(CPGameObject* node) {
    if (node == nullptr || node->RenderKind != CPGameObject::RenderMesh) {
        return nullptr;
    }
    return dynamic_cast<CPRenderObject*>(node->RenderObject.Get());
}

}  // namespace

void CPRender::FitDecalFrame(D3DXVECTOR2& o, D3DXVECTOR2& u, D3DXVECTOR2& v, const D3DXVECTOR2& d) {
    const D3DXMATRIX m = FrameMatrix(o, u, v);
    D3DXMATRIX inverse;
    if (D3DXMatrixInverse(&inverse, nullptr, &m) == nullptr) {
        if (Dot(u, u) <= Degenerate) {
            u = d - o;
        } else if (Dot(v, v) <= Degenerate) {
            v = d - o;
        } else {
            // U and V are parallel: keep U's line, stretched to cover V's span, and aim V at D.
            const float k = Dot(u, v) / Dot(u, u);
            if (k < 0.0f) {
                const D3DXVECTOR2 oldOrigin = o;
                o = o + u * k;
                u = u * (1.0f - k);
                v = d - oldOrigin;
            } else if (k > 1.0f) {
                u = v;
                v = d - o;
            } else {
                v = d - o;
            }
        }
        return;
    }
    const D3DXVECTOR2 points[3] = {d, d + u, d + v};
    D3DXVECTOR2 local[3];
    D3DXVec2TransformCoordArray(local, sizeof(D3DXVECTOR2), points, sizeof(D3DXVECTOR2), &inverse, 3);
    float sMin = 0.0f, tMin = 0.0f, sMax = 1.0f, tMax = 1.0f;
    for (const D3DXVECTOR2& p : local) {
        sMin = std::min(sMin, p.x);
        sMax = std::max(sMax, p.x);
        tMin = std::min(tMin, p.y);
        tMax = std::max(tMax, p.y);
    }
    const D3DXVECTOR2 corners[3] = {D3DXVECTOR2(sMin, tMin), D3DXVECTOR2(sMax, tMin), D3DXVECTOR2(sMin, tMax)};
    D3DXVECTOR2 placed[3];
    D3DXVec2TransformCoordArray(placed, sizeof(D3DXVECTOR2), corners, sizeof(D3DXVECTOR2), &m, 3);
    o = placed[0];
    u = placed[1] - o;
    v = placed[2] - o;
}

void CPRender::BuildDecal(CPtr<CPGameObject> shadow, const D3DXVECTOR2& origin, const D3DXVECTOR2& far,
                          const D3DXVECTOR2& u, const D3DXVECTOR2& v, CPtr<CPPhysicData> physics) {
    CPRenderObject* decal = RenderObjectOf(shadow.Get());
    if (decal == nullptr) {
        return;
    }
    D3DXVECTOR2 o = origin, fu = u, fv = v;
    FitDecalFrame(o, fu, fv, far);
    const D3DXMATRIX frame = FrameMatrix(o, fu, fv);
    D3DXMATRIX toFrame;
    if (D3DXMatrixInverse(&toFrame, nullptr, &frame) == nullptr) {
        return;  // still degenerate: the last decal stays
    }
    decal->Vertices.clear();
    decal->WorldVertices.clear();
    decal->Indices.clear();
    const CPPhysicScene* world = CPPhysicScene::Current;
    if (physics.Get() == nullptr || world == nullptr) {
        return;
    }
    const int32_t count = std::clamp(physics->TerrainTriangleCount, 0, CPPhysicData::MaxTerrainTriangles);
    const auto& triangles = world->Triangles;
    const auto& points = world->Vertices;
    std::unordered_set<TriangleKey, TriangleKeyHash> written;
    written.reserve(static_cast<size_t>(count));
    decal->Vertices.reserve(static_cast<size_t>(count) * 3);
    decal->Indices.reserve(static_cast<size_t>(count) * 3);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t number = physics->TerrainTriangles[i];
        if (number < 0 || static_cast<size_t>(number) >= triangles.size()) {
            continue;
        }
        const int32_t* corners = triangles[static_cast<size_t>(number)].Vertices;
        if (std::any_of(corners, corners + 3,
                        [&](int32_t c) { return c < 0 || static_cast<size_t>(c) >= points.size(); })) {
            continue;
        }
        TriangleKey key{{corners[0], corners[1], corners[2]}};
        std::sort(key.v.begin(), key.v.end());
        if (!written.insert(key).second) {
            continue;
        }
        for (int corner = 0; corner < 3; ++corner) {
            const RbVector& p = points[static_cast<size_t>(corners[corner])];
            const D3DXVECTOR2 ground(p.x, p.y);
            D3DXVECTOR2 st;
            D3DXVec2TransformCoord(&st, &ground, &toFrame);
            CPVertex vertex;
            vertex.Position = D3DXVECTOR3(p.x, p.y, p.z + Lift);
            vertex.Normal = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
            vertex.Diffuse = 0xFFFFFFFF;
            vertex.Specular = 0;
            vertex.U = st.x;
            vertex.V = st.y;
            decal->Indices.push_back(static_cast<uint16_t>(decal->Vertices.size()));
            decal->Vertices.push_back(vertex);
        }
    }
    decal->WorldVertices = decal->Vertices;
}

void CPRender::ProjectDecal(CPtr<CPGameObject> shadow, const D3DXMATRIX* world, CPtr<CPPhysicData> physics) {
    CPRenderObject* decal = RenderObjectOf(shadow.Get());
    if (decal == nullptr || world == nullptr) {
        return;
    }
    const CPBoundingBox& bounds = shadow->CollisionBounds;
    const D3DXVECTOR3& half = bounds.HalfExtents;
    const bool empty = !(bounds.Min.x <= bounds.Max.x && bounds.Min.y <= bounds.Max.y && bounds.Min.z <= bounds.Max.z) ||
                       !std::isfinite(half.x) || !std::isfinite(half.y) || !std::isfinite(half.z);
    if (empty) {
        // Nothing to cast a shadow: no decal.
        decal->Vertices.clear();
        decal->WorldVertices.clear();
        decal->Indices.clear();
        return;
    }
    const float hx = half.x, hy = half.y, hz = half.z;
    const D3DXVECTOR3 corners[4] = {
        D3DXVECTOR3(-hx - Margin, -hy - Margin, -hz),
        D3DXVECTOR3(hx + Margin, -hy - Margin, -hz),
        D3DXVECTOR3(-hx - Margin, Margin - hy, -hz),
        D3DXVECTOR3(-hx - Margin, hy - Margin, -hz),
    };
    D3DXVECTOR3 placed[4];
    D3DXVec3TransformCoordArray(placed, sizeof(D3DXVECTOR3), corners, sizeof(D3DXVECTOR3), world, 4);
    const D3DXVECTOR2 o(placed[0].x, placed[0].y);
    const D3DXVECTOR2 u(placed[1].x - placed[0].x, placed[1].y - placed[0].y);
    const D3DXVECTOR2 v(placed[2].x - placed[0].x, placed[2].y - placed[0].y);
    const D3DXVECTOR2 d(placed[3].x, placed[3].y);
    BuildDecal(shadow, o, d, u, v, physics);
}
