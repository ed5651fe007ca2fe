// What a particle template receives for one request: the first request of a chain laid out
// for the template, a random start angle, and the rest of the chain. Every field the manager
// does not fill is zero.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPParticleDesc.h"

#include <cstdint>
#include <memory>

struct CPParticleParams {
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Reserved1;
    D3DXVECTOR3 Velocity;
    D3DXVECTOR3 Reserved2;
    D3DXVECTOR3 Acceleration;
    float Param2 = 0.0f;
    float Param1 = 0.0f;
    float Reserved3 = 0.0f;
    float Param3 = 0.0f;
    uint8_t Flag1 = 0;
    float Reserved4 = 0.0f;
    float Angle = 0.0f;  // radians, a whole number of degrees in 0..359
    uint8_t Flag2 = 0;
    std::unique_ptr<CPParticleDesc> Chain;  // copy of the requests behind the first; owned
    CPParticleCallback Tag = nullptr;
    CPtr<CPObject> Object;
};
