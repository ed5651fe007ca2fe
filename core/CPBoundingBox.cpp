#include "core/CPBoundingBox.h"

#include <cmath>
#include <type_traits>

static_assert(std::is_trivially_copyable_v<CPBoundingBox>, "bounds are copied bitwise");

namespace {

// What the level's load gives: the sun straight down, onto the plane z = 0.5.
D3DXMATRIX LoadedShadowMatrix() {
    const D3DXVECTOR4 sun(0.0f, 0.0f, -1.0f, 0.0f);
    const D3DXPLANE ground(0.0f, 0.0f, -1.0f, 0.5f);
    D3DXMATRIX m;
    D3DXMatrixShadow(&m, &sun, &ground);
    return m;
}

}  // namespace

D3DXMATRIX ShadowMatrix = LoadedShadowMatrix();

namespace {

constexpr float kEmptyBound = 1000000.0f;

}  // namespace

CPBoundingBox::CPBoundingBox()
    : Min(kEmptyBound, kEmptyBound, kEmptyBound), Max(-kEmptyBound, -kEmptyBound, -kEmptyBound) {
    UpdateCentre();
}

CPBoundingBox CPBoundingBox::Around(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents) {
    CPBoundingBox box;
    box.Centre = centre;
    box.HalfExtents = halfExtents;
    box.Min = centre - halfExtents;
    box.Max = centre + halfExtents;
    return box;
}

void CPBoundingBox::UpdateCentre() {
    Centre = (Min + Max) * 0.5f;
    HalfExtents = (Max - Min) * 0.5f;
}

void CPBoundingBox::FromBoxes(const std::vector<CPBox>& boxes) {
    if (boxes.empty()) {
        *this = CPBoundingBox();
        return;
    }
    Min = boxes.front().Min;
    Max = boxes.front().Max;
    for (const CPBox& box : boxes) {
        D3DXVec3Minimize(&Min, &Min, &box.Min);
        D3DXVec3Maximize(&Max, &Max, &box.Max);
    }
    UpdateCentre();
}

void CPBoundingBox::FromBox(const CPBox& box) {
    Min = box.Min;
    Max = box.Max;
    HalfExtents = (Max - Min) * 0.5f;
    Centre = Min + HalfExtents;
}

void CPBoundingBox::Merge(const CPBoundingBox& other) {
    D3DXVec3Minimize(&Min, &Min, &other.Min);
    D3DXVec3Maximize(&Max, &Max, &other.Max);
    UpdateCentre();
}

void CPBoundingBox::Include(const CPBoundingBox& other) {
    D3DXVec3Minimize(&Min, &Min, &other.Min);
    D3DXVec3Maximize(&Max, &Max, &other.Max);
    HalfExtents = (Max - Min) * 0.5f;
    Centre = Min + HalfExtents;
}

void CPBoundingBox::ExtendByShadow() {
    // The projection is linear before the division by w: the low corner's image plus the
    // image of each edge gives all eight.
    const D3DXMATRIX& m = ShadowMatrix;
    const D3DXVECTOR4 low = D3DXDetail::RowTimesMatrix(Min.x, Min.y, Min.z, 1.0f, m);
    const D3DXVECTOR3 size = Max - Min;
    const D3DXVECTOR4 edges[3] = {D3DXVECTOR4(m._11, m._12, m._13, m._14) * size.x,
                                  D3DXVECTOR4(m._21, m._22, m._23, m._24) * size.y,
                                  D3DXVECTOR4(m._31, m._32, m._33, m._34) * size.z};
    for (int k = 0; k < 8; ++k) {
        D3DXVECTOR4 r = low;
        if (k & 1) r += edges[0];
        if (k & 2) r += edges[1];
        if (k & 4) r += edges[2];
        const D3DXVECTOR3 projected(r.x / r.w, r.y / r.w, r.z / r.w);
        if (!std::isfinite(projected.x) || !std::isfinite(projected.y) || !std::isfinite(projected.z)) {
            continue;
        }
        D3DXVec3Minimize(&Min, &Min, &projected);
        D3DXVec3Maximize(&Max, &Max, &projected);
    }
}

bool CPBoundingBox::IntersectSegment(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float length) const {
    const float halfLength = length * 0.5f;
    const D3DXVECTOR3 d = Centre - (origin + direction * halfLength);
    const D3DXVECTOR3& e = HalfExtents;
    const D3DXVECTOR3& r = direction;
    if (std::fabs(d.x) > std::fabs(r.x) * halfLength + e.x) return false;
    if (std::fabs(d.y) > std::fabs(r.y) * halfLength + e.y) return false;
    if (std::fabs(d.z) > std::fabs(r.z) * halfLength + e.z) return false;
    // The axes of direction × each box axis.
    if (std::fabs(d.y * r.z - d.z * r.y) > std::fabs(r.z) * e.y + std::fabs(r.y) * e.z) return false;
    if (std::fabs(d.z * r.x - d.x * r.z) > std::fabs(r.z) * e.x + std::fabs(r.x) * e.z) return false;
    if (std::fabs(d.x * r.y - d.y * r.x) > std::fabs(r.y) * e.x + std::fabs(r.x) * e.y) return false;
    return true;
}

bool CPBoundingBox::Contains(const D3DXVECTOR3& point) const {
    return std::fabs(Centre.x - point.x) < HalfExtents.x && std::fabs(Centre.y - point.y) < HalfExtents.y &&
           std::fabs(Centre.z - point.z) < HalfExtents.z;
}

bool CPBoundingBox::IntersectSphere(const D3DXVECTOR3& centre, float radius) const {
    auto axisDistance = [](float p, float lo, float hi) {
        if (p < lo) return lo - p;
        if (p > hi) return p - hi;
        return 0.0f;
    };
    const float dx = axisDistance(centre.x, Min.x, Max.x);
    const float dy = axisDistance(centre.y, Min.y, Max.y);
    const float dz = axisDistance(centre.z, Min.z, Max.z);
    return dx * dx + dy * dy + dz * dz <= radius * radius;
}
