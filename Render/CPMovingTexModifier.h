// "movingtex": scrolls the first texture coordinates by offsets that move at (su, sv) per
// second and wrap into [0, 1]. The offsets start at r x speed for one random r, so copies of
// one object do not scroll in step.
#pragma once

#include "Render/CPTextureModifier.h"

class CPMovingTexModifier final : public CPTextureModifier {
public:
    // Draws r from the game's generator.
    CPMovingTexModifier(float speedU, float speedV);

    void Update(float seconds) override;
    void Apply(CPVertex* destination, const CPVertex* source, int count) override;
    std::unique_ptr<CPTextureModifier> Clone() const override;

    // Brings an offset into [0, 1] as repeated steps of 1 would (above 1 down, below 0 up),
    // in closed form; a value that is not finite becomes 0.
    static float Wrap(float offset);

    float SpeedU;
    float SpeedV;
    float OffsetU = 0.0f;
    float OffsetV = 0.0f;
};
