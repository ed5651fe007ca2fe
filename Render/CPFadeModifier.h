// "fade": the vertices turn white and their alpha falls from 255 to 0 at rate per second,
// then stays 0 until Reset (vertex animations reset their modifiers when they start).
#pragma once

#include "Render/CPTextureModifier.h"

class CPFadeModifier final : public CPTextureModifier {
public:
    explicit CPFadeModifier(float rate) : Rate(rate) {}

    void Update(float seconds) override;
    void Apply(CPVertex* destination, const CPVertex* source, int count) override;
    std::unique_ptr<CPTextureModifier> Clone() const override;
    void Reset() override { Value = 255.0f; }

    float Rate;
    float Value = 255.0f;
};
