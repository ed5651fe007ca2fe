// The shot manager: every projectile, tracer, explosion and effect is launched by type name.
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <string>

class CPGameObject;

// minimal until the full one lands
class CPShotManager {
public:
    static CPShotManager* Instance;

    void LaunchShot(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime,
                    CPtr<CPGameObject> owner, int extra);
};
