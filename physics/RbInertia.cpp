// Inertia helpers; the constants are the float roundings of 1/3 and 1/12 used throughout.
#include "physics/RbInertia.h"

#include <algorithm>

namespace RbInertia {

RbVector Box(const RbVector& size, float mass) {
    const float s = std::max({size.x, size.y, size.z});
    const float i = (s * s + s * s) * mass * 0.33333334f;
    return RbVec(i, i, i);
}

RbVector Cylinder(float diameter, float height, float mass) {
    const float r = diameter * 0.5f;
    const float across = height * height * mass * 0.083333336f + r * r * mass * 0.25f;
    return RbVec(across, r * r * mass * 0.5f, across);
}

}  // namespace RbInertia
