#include "Render/CPFadeModifier.h"

#include "core/FrameTime.h"

void CPFadeModifier::Update(float seconds) {
    Value -= seconds * Rate;
    if (Value < 0.0f) {
        Value = 0.0f;
    }
}

void CPFadeModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    Update(FrameTime);
    // A negative rate makes the value grow: the alpha stops at 255 instead of wrapping.
    const uint32_t alpha = Value >= 255.0f ? 255u : static_cast<uint32_t>(Value);
    const uint32_t diffuse = (alpha << 24) | 0x00FFFFFFu;
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.Diffuse = diffuse;
        destination[i] = vertex;
    }
}

std::unique_ptr<CPTextureModifier> CPFadeModifier::Clone() const { return std::make_unique<CPFadeModifier>(*this); }
