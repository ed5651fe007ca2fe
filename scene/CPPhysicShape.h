// One shape record of a node's physics data: the node's main shape, or one box or cylinder
// of its collision hull, in body space. Geometry is the simulator's geometry made from the
// record once the body exists (never for the main shape); the simulator owns it.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>

class RbGeometry;

struct CPPhysicShape {
    static constexpr int32_t KindBox = 0;
    static constexpr int32_t KindCylinder = 1;
    // What a cylinder record keeps in Size.x and Size.z.
    static constexpr float CylinderSizeFiller = 5.0f;

    int32_t Kind = KindBox;
    RbGeometry* Geometry = nullptr;
    D3DXVECTOR3 Position;                             // offset in body space, m
    D3DXQUATERNION Rotation{0.0f, 0.0f, 0.0f, 1.0f};  // rotation in body space
    D3DXVECTOR3 Size;                                 // box sizes; (5, height, 5) for a cylinder
    float Diameter = 0.0f;                            // cylinders only
    float Mass = 0.0f;                                // as given, divided by "weight_div"
};
