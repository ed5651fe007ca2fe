#include "core/Geometry.h"

#include <cmath>

float RayPlaneDistance(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, const D3DXPLANE& plane) {
    const float s = plane.a * direction.x + plane.b * direction.y + plane.c * direction.z;
    if (s == 0.0f || s > 0.0f) {
        return -1.0f;
    }
    return -(plane.a * origin.x + plane.b * origin.y + plane.c * origin.z + plane.d) / s;
}

namespace {

struct Point2 {
    float u;
    float w;
};

// Edge (p, q) counts when P.u lies in [p.u, q.u] (ends included) and the edge's height at P.u is
// at or above P.w. A vertical edge (p.u == q.u) has no height there and never counts.
bool EdgeAbove(const Point2& point, const Point2& p, const Point2& q) {
    if (p.u == q.u) {
        return false;
    }
    const float low = p.u < q.u ? p.u : q.u;
    const float high = p.u < q.u ? q.u : p.u;
    if (!(point.u >= low && point.u <= high)) {
        return false;
    }
    const float height = (q.w - p.w) / (q.u - p.u) * (point.u - p.u) + p.w;
    return height >= point.w;
}

}  // namespace

bool PointInTriangle(const D3DXVECTOR3& point, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c) {
    const D3DXVECTOR3 ab = a - b, cb = c - b;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &ab, &cb);
    const float nx = std::fabs(n.x), ny = std::fabs(n.y), nz = std::fabs(n.z);
    // Keep the two coordinates that are not the dominant axis of the normal.
    auto project = [&](const D3DXVECTOR3& v, int drop) -> Point2 {
        switch (drop) {
            case 2: return {v.x, v.y};
            case 1: return {v.x, v.z};
            default: return {v.y, v.z};
        }
    };
    int drop;
    if (nz >= nx && nz >= ny) {
        drop = 2;
    } else if (ny >= nz && ny >= nx) {
        drop = 1;
    } else if (nx >= nz && nx >= ny) {
        drop = 0;
    } else {
        return false;  // a component is NaN
    }
    const Point2 p = project(point, drop), pa = project(a, drop), pb = project(b, drop), pc = project(c, drop);
    const int count = int{EdgeAbove(p, pa, pb)} + int{EdgeAbove(p, pb, pc)} + int{EdgeAbove(p, pc, pa)};
    return count == 1;
}

double ClampedAcos(float x) {
    if (x > 1.0f) {
        return std::acos(1.0);
    }
    if (!(x >= -1.0f)) {  // below −1, or NaN
        return std::acos(-1.0);
    }
    return std::acos(static_cast<double>(x));
}

double ClampedAsin(float x) {
    if (x > 1.0f) {
        return std::asin(1.0);
    }
    if (!(x >= -1.0f)) {  // below −1, or NaN
        return std::asin(-1.0);
    }
    return std::asin(static_cast<double>(x));
}
