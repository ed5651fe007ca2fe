// The shot manager: launches projectiles, tracers, explosions and bonus effects by type name.
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>

class CPGameObject;

// minimal until the full one lands
class CPShotManager {
public:
    static inline CPShotManager* Instance = nullptr;

    void LaunchShot(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction,
                    float lifetime, CPtr<CPGameObject> owner, int32_t extra);
};
