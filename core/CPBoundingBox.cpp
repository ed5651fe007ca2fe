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

namespace {

// Of x and x + e, the lower and the higher.
float Lower(float x, float e) { return e < 0.0f ? x + e : x; }
float Higher(float x, float e) { return e > 0.0f ? x + e : x; }

bool FiniteNonZero(float v) { return v != 0.0f && std::isfinite(v); }

float Component(const D3DXVECTOR4& v, int j) { return j == 0 ? v.x : (j == 1 ? v.y : v.z); }
float& Component(D3DXVECTOR3& v, int j) { return j == 0 ? v.x : (j == 1 ? v.y : v.z); }

}  // namespace

bool CPBoundingBox::ExtendByFlatShadow(const D3DXVECTOR4& low, const D3DXVECTOR4 (&edges)[3]) {
    // All eight corners share w = low.w. A corner's coordinate is low's plus some of the edges',
    // added in order; rounding and the division by one w are monotonic, so the lowest and
    // highest projections come from adding just the edges that lower (raise) the sum: six
    // divisions give the bounds of twenty-four. When these are finite, so is every corner (none
    // is skipped); a bound of zero, whose sign the corners' order decides, is found corner by
    // corner as before.
    const float w = low.w;
    float lows[3];
    float highs[3];
    for (int j = 0; j < 3; ++j) {
        float down = Component(low, j);
        float up = down;
        for (const D3DXVECTOR4& edge : edges) {
            const float e = Component(edge, j);
            if (!std::isfinite(e)) {
                return false;  // a NaN edge would be left out of both sums
            }
            down = Lower(down, e);
            up = Higher(up, e);
        }
        // A negative w turns the order round.
        lows[j] = (w > 0.0f ? down : up) / w;
        highs[j] = (w > 0.0f ? up : down) / w;
        if (!std::isfinite(lows[j]) || !std::isfinite(highs[j])) {
            return false;
        }
    }
    for (int j = 0; j < 3; ++j) {
        float& min = Component(Min, j);
        float& max = Component(Max, j);
        if (lows[j] != 0.0f && highs[j] != 0.0f) {
            min = min < lows[j] ? min : lows[j];
            max = max > highs[j] ? max : highs[j];
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            float r = Component(low, j);
            if (k & 1) r += Component(edges[0], j);
            if (k & 2) r += Component(edges[1], j);
            if (k & 4) r += Component(edges[2], j);
            const float projected = r / w;
            min = min < projected ? min : projected;
            max = max > projected ? max : projected;
        }
    }
    return true;
}

void CPBoundingBox::ExtendByShadow() {
    // The projection is linear before the division by w: the low corner's image plus the
    // image of each edge gives all eight. A sun at infinity (every level's) gives all one w.
    const D3DXMATRIX& m = ShadowMatrix;
    const D3DXVECTOR4 low = D3DXDetail::RowTimesMatrix(Min.x, Min.y, Min.z, 1.0f, m);
    const D3DXVECTOR3 size = Max - Min;
    const D3DXVECTOR4 edges[3] = {D3DXVECTOR4(m._11, m._12, m._13, m._14) * size.x,
                                  D3DXVECTOR4(m._21, m._22, m._23, m._24) * size.y,
                                  D3DXVECTOR4(m._31, m._32, m._33, m._34) * size.z};
    if (edges[0].w == 0.0f && edges[1].w == 0.0f && edges[2].w == 0.0f && FiniteNonZero(low.w) &&
        ExtendByFlatShadow(low, edges)) {
        return;
    }
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
