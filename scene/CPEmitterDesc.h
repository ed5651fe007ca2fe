// A named emitter of particle systems: which template its requests start, in which
// direction and cone, how fast, from how wide a start box, and the values handed through.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>

struct CPEmitterDesc {
    float Param3 = 0.0f;
    float Param2 = 0.0f;
    D3DXVECTOR3 Axis;  // emission direction
    float Speed = 0.0f;
    D3DXVECTOR3 Acceleration;
    float Param1 = 0.0f;
    uint8_t Flag1 = 0;
    std::string Name;       // template name
    int32_t Spread = 0;     // full cone angle, whole degrees
    D3DXVECTOR3 Jitter;     // half extents of the random start offset
};
