#include "Render/CPMovingTexModifier.h"

#include "Render/ModifierLoops.h"
#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"

#include <cmath>

CPMovingTexModifier::CPMovingTexModifier(float speedU, float speedV) : SpeedU(speedU), SpeedV(speedV) {
    const float r = static_cast<float>(CrtRand());
    OffsetU = r * speedU;
    OffsetV = r * speedV;
}

float CPMovingTexModifier::Wrap(float offset) {
    if (!std::isfinite(offset)) {
        return 0.0f;
    }
    // Subtracting 1 while above 1 stops at (0, 1]; adding 1 while below 0 stops at [0, 1).
    if (offset > 1.0f) {
        offset -= std::ceil(offset - 1.0f);
    } else if (offset < 0.0f) {
        offset += std::ceil(-offset);
    }
    // Rounding of huge values may leave the result a step outside.
    if (offset > 1.0f || offset < 0.0f) {
        offset = 0.0f;
    }
    return offset;
}

void CPMovingTexModifier::Update(float seconds) {
    OffsetU = Wrap(OffsetU + seconds * SpeedU);
    OffsetV = Wrap(OffsetV + seconds * SpeedV);
}

void CPMovingTexModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    Update(FrameTime);
    ModifierLoops::OffsetUV(destination, source, count, OffsetU, OffsetV);
}

std::unique_ptr<CPTextureModifier> CPMovingTexModifier::Clone() const {
    return std::make_unique<CPMovingTexModifier>(*this);
}
