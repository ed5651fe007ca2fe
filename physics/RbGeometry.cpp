// Shape setters and body-space bounds of a geometry.
#include "physics/RbGeometry.h"

#include "physics/RbInertia.h"

#include <cmath>

void RbGeometry::Reset() {
    *this = RbGeometry{};
    SetBoxSize(1.0f, 1.0f, 1.0f);
    Inertia = RbInertia::Box(RbVec(1.0f, 1.0f, 1.0f), 1.0f);
}

void RbGeometry::SetBoxSize(float x, float y, float z) {
    Type = RbShapeBox;
    Shape[0] = x * 0.5f;
    Shape[1] = y * 0.5f;
    Shape[2] = z * 0.5f;
    BoundingRadius = RbLength(RbVec(Shape[0], Shape[1], Shape[2]));
    Margin = 0.0f;
}

void RbGeometry::SetCylinder(float diameter, float height) {
    Type = RbShapeCylinder;
    Shape[0] = diameter * 0.5f;
    Shape[1] = Shape[0] * Shape[0];
    Shape[2] = height * 0.5f;
}

namespace {

// Component-wise extremes of a point set scaled by factor; with no points the inverted box
// (1e6, -1e6) scaled the same way.
void PointSetBounds(const RbVector* points, int32_t count, float factor, RbVector* lower, RbVector* upper) {
    RbVector lo = RbVec(1e6f, 1e6f, 1e6f);
    RbVector hi = RbVec(-1e6f, -1e6f, -1e6f);
    for (int32_t i = 0; points != nullptr && i < count; ++i) {
        lo = RbMin(lo, points[i]);
        hi = RbMax(hi, points[i]);
    }
    *lower = RbScale(lo, factor);
    *upper = RbScale(hi, factor);
}

float LargestPointDistance(const RbVector* points, int32_t count) {
    float largest = 0.0f;
    for (int32_t i = 0; points != nullptr && i < count; ++i) {
        largest = std::fmax(largest, RbLength(points[i]));
    }
    return largest;
}

}  // namespace

void RbGeometry::GetBounds(RbVector* lower, RbVector* upper) const {
    const float(*m)[4] = Transform.M;
    const RbVector t = Transform.Translation();
    float extent[3] = {};
    switch (Type) {
        case RbShapeBox:
            for (int k = 0; k < 3; ++k) {
                extent[k] = std::fabs(m[0][k]) * Shape[0] + std::fabs(m[1][k]) * Shape[1] + std::fabs(m[2][k]) * Shape[2];
            }
            break;
        case RbShapeSphere:
            extent[0] = extent[1] = extent[2] = Shape[0];
            break;
        case RbShapeCylinder: {
            // The cap disc spans the radius along local X and Z; the axis adds the half height.
            const float radius = Shape[0];
            const float halfHeight = Shape[2];
            for (int k = 0; k < 3; ++k) {
                extent[k] = (std::fabs(m[0][k]) + std::fabs(m[2][k])) * radius + std::fabs(m[1][k]) * (halfHeight + radius);
            }
            break;
        }
        case RbShapePointSetWithMargin:
            PointSetBounds(Points, PointCount, 2.0f + Margin, lower, upper);
            return;
        case RbShapePointSet:
            PointSetBounds(Points, PointCount, 2.0f, lower, upper);
            return;
        default:
            return;
    }
    *lower = RbVec(t.x - extent[0], t.y - extent[1], t.z - extent[2]);
    *upper = RbVec(t.x + extent[0], t.y + extent[1], t.z + extent[2]);
}

float RbGeometry::GetBoundingRadius() const {
    const float offset = RbLength(Transform.Translation());
    switch (Type) {
        case RbShapeBox:
            return RbLength(RbVec(Shape[0], Shape[1], Shape[2])) + offset;
        case RbShapeSphere:
            return Shape[0] + offset;
        case RbShapeCylinder:
            return Shape[2] + Shape[0] + offset;
        case RbShapePointSetWithMargin:
            return (1.0f + Margin) * LargestPointDistance(Points, PointCount);
        case RbShapePointSet:
            return LargestPointDistance(Points, PointCount);
        default:
            return 0.0f;
    }
}
