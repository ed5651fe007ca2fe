#include "Render/CPFadeModifier.h"

#include "Render/ModifierLoops.h"
#include "core/FrameTime.h"

#include <algorithm>
#include <cmath>

// The value stays finite within [0, 255]: a huge frame time or rate would otherwise drive it
// to infinity, and infinity minus infinity (or an infinite rate times a zero frame) is NaN,
// which no alpha can be made of. A step that comes out NaN leaves the value as it was.
void CPFadeModifier::Update(float seconds) {
    const float next = Value - seconds * Rate;
    if (std::isnan(next)) {
        return;
    }
    Value = std::clamp(next, 0.0f, 255.0f);
}

void CPFadeModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    Update(FrameTime);
    // A negative rate makes the value grow: it stops at 255 instead of wrapping.
    const auto alpha = static_cast<uint32_t>(Value);
    ModifierLoops::SetDiffuse(destination, source, count, (alpha << 24) | 0x00FFFFFFu);
}

std::unique_ptr<CPTextureModifier> CPFadeModifier::Clone() const { return std::make_unique<CPFadeModifier>(*this); }
