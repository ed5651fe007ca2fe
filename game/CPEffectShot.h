// The shot class of explosions, sparks and bonus effects in our descriptions: launching it
// starts a particle template at the launch point (moving along the launch direction, unit
// speed) and plays its sound; it then stays in flight for its duration without drawing
// anything of its own, so the pool holds it while the effect runs.
#pragma once

#include "game/CPShot.h"

#include <string>
#include <vector>

class CPEffectShot : public CPShot {
public:
    explicit CPEffectShot(std::string typeName);

    size_t GetObjectSize() const override { return sizeof(CPEffectShot); }

    CPtr<CPShot> Clone() override;
    // Counts the frame time; false once the duration has passed (on its first frame for 0).
    bool Step() override;
    // Parameters: particle template ("none": none), duration in seconds, sound field.
    int Setup(const std::vector<std::string>& parameters) override;
    // A lifetime of 0 or more replaces the duration.
    void Launch(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, float lifetime, CPtr<CPGameObject> owner,
                int32_t extra) override;

    std::string Template;
    float Duration = 0.0f;
    float Elapsed = 0.0f;
};
