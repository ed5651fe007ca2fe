#include "Render/CPEnvironmentModifier.h"

#include "Render/ModifierLoops.h"

void CPEnvironmentModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    ModifierLoops::EnvironmentUV(destination, source, count, Scale);
}

std::unique_ptr<CPTextureModifier> CPEnvironmentModifier::Clone() const {
    return std::make_unique<CPEnvironmentModifier>(*this);
}
