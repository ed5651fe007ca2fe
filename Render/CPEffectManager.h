// Shares effects by request string. The key is the whole string, options included and case
// kept, so "water.fx" and "water.fx,shared" are two effects.
//
// A request that does not load is answered with the one "error.fx" effect, listed under the
// request (so it is not retried) and under "error.fx"; the failed effect is deleted and one
// log report names the request. The manager owns its effects: deleting it deletes them, so
// every CPtr to them must be gone first. Release frees nothing (see core/CPObject.h).
#pragma once

#include "Render/CPEffect.h"
#include "core/CPtr.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class CPEffectManager {
public:
    static CPEffectManager* Instance;
    static constexpr const char* FallbackName = "error.fx";

    CPEffectManager();
    ~CPEffectManager();
    CPEffectManager(const CPEffectManager&) = delete;
    CPEffectManager& operator=(const CPEffectManager&) = delete;

    CPtr<CPEffect> GetEffect(const std::string& name);
    // Removes every entry that holds the effect (a fallback sits under several keys).
    void RemoveEffect(CPEffect* effect);

    // Makes effect the pool owner and takes the eight shared handles from it.
    void TakeSharedHandles(ID3DXEffect* effect);

    // Shared scene parameters, in this order in SharedHandles.
    enum SharedParameter {
        ViewInverse,
        Light,
        LightColor,
        WorldViewProjection,
        ViewProjection,
        WorldView,
        Ambient,
        CameraPosition,
        SharedCount
    };

    std::unordered_map<std::string, CPEffect*> Effects;
    // Moves whenever an effect is let go of (answers given before may not hold).
    uint64_t Generation = 0;
    ID3DXEffectPool* Pool = nullptr;         // the host's; not owned here
    ID3DXEffect* PoolOwner = nullptr;        // first effect compiled into the pool (not owned)
    D3DXHANDLE SharedHandles[SharedCount] = {};

private:
    CPEffect* Fallback();
};
