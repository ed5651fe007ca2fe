#include "Render/CPEnvironmentModifier.h"

void CPEnvironmentModifier::Apply(CPVertex* destination, const CPVertex* source, int count) {
    for (int i = 0; i < count; ++i) {
        CPVertex vertex = source[i];
        vertex.U2 = vertex.Position.x / Scale + vertex.Normal.x * 0.5f;
        vertex.V2 = vertex.Position.y / Scale + vertex.Normal.y * 0.5f;
        destination[i] = vertex;
    }
}

std::unique_ptr<CPTextureModifier> CPEnvironmentModifier::Clone() const {
    return std::make_unique<CPEnvironmentModifier>(*this);
}
