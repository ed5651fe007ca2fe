// "environment": second texture coordinates from the vertex position and normal, for an
// environment map: (x / k + nx / 2, y / k + ny / 2). Has no clock.
#pragma once

#include "Render/CPTextureModifier.h"

class CPEnvironmentModifier final : public CPTextureModifier {
public:
    explicit CPEnvironmentModifier(float scale) : Scale(scale) {}

    void Update(float) override {}
    void Apply(CPVertex* destination, const CPVertex* source, int count) override;
    std::unique_ptr<CPTextureModifier> Clone() const override;

    float Scale;
};
