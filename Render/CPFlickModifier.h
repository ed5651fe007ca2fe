// "flick": the vertex alpha is scaled by a value swinging between low and high (of 255) as
// sin(time x frequency); the colour becomes white. The clock starts at a random time so
// copies of one object do not flicker in step.
#pragma once

#include "Render/CPTextureModifier.h"

#include <cstdint>

class CPFlickModifier final : public CPTextureModifier {
public:
    // Draws the starting time from the game's generator.
    CPFlickModifier(float frequency, uint8_t low, uint8_t high);

    void Update(float seconds) override;
    void Apply(CPVertex* destination, const CPVertex* source, int count) override;
    std::unique_ptr<CPTextureModifier> Clone() const override;

    float Frequency;
    uint8_t Low;
    uint8_t High;
    float Amplitude;  // (high - low) / 2
    uint8_t Centre;   // low + the truncated amplitude
    float Time;
    int Value = 0;    // low .. high after an update
};
