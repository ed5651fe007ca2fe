// A request to start a named particle template: where, how fast, three free parameters and
// two flags that the template interprets. Requests chain through Next to start several
// templates at once; the first request of a chain also carries a callback and an object that
// go to the template untouched (the flame thrower hands its hit test and its car this way).
//
// A request owns the rest of its chain. Chains are short, but the destructor walks them
// without recursion anyway.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <memory>
#include <string>

// A per-particle callback a template may call with the request's object and one of its
// particles. Pointer-sized, so it is never squeezed through an int.
using CPParticleCallback = void (*)(CPObject* object, void* particle);

struct CPParticleDesc {
    CPParticleDesc() = default;
    ~CPParticleDesc();
    CPParticleDesc(const CPParticleDesc&) = delete;
    CPParticleDesc& operator=(const CPParticleDesc&) = delete;

    // destination := source's Name and Position .. Flag2, request by request along the whole
    // chain; the chain destination held before is freed. Tag and Object are not copied.
    static void CopyChain(CPParticleDesc& destination, const CPParticleDesc& source);

    std::string Name;  // template to start
    D3DXVECTOR3 Position;
    D3DXVECTOR3 Velocity;
    D3DXVECTOR3 Acceleration;
    float Param1 = 0.0f;
    float Param2 = 0.0f;
    float Param3 = 0.0f;
    uint8_t Flag1 = 0;
    uint8_t Flag2 = 0;
    std::unique_ptr<CPParticleDesc> Next;
    CPParticleCallback Tag = nullptr;  // first request only
    CPtr<CPObject> Object;             // first request only
};
