// The computer-driven cars' records, refreshed by the race every update.
#pragma once

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

class CPGameObject;

// minimal until the full one lands
class CPAIManager {
public:
    static CPAIManager* Instance;

    void UpdateVehicle(int index, CPtr<CPGameObject> car, const D3DXVECTOR3* forward, float speed,
                       CPtr<CPGameObject> target, int lowerLimit, int upperLimit);
};
