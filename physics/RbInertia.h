// Diagonal inertia tensors of the library's shapes, as 3-vectors (Ixx, Iyy, Izz), kg·m².
#pragma once

#include "physics/RbMath.h"

namespace RbInertia {

// A cube on the largest side s of size: (s² + s²)·mass/3, the same value on every axis.
RbVector Box(const RbVector& size, float mass);
// Solid cylinder with its axis along local Y: Ixx = Izz = h²m/12 + r²m/4, Iyy = r²m/2.
RbVector Cylinder(float diameter, float height, float mass);

}  // namespace RbInertia
