#include "Render/CPIVBlock.h"

#include <algorithm>

CPIVBlock::~CPIVBlock() {
    Objects.clear();
    Ring = nullptr;
    Pending.clear();
}

void CPIVBlock::Add(CPtr<CPRenderable> object) {
    if (!object) {
        return;
    }
    Objects.push_back(object);
    if (!object->IsExcluded()) {
        IndexTotal += static_cast<uint32_t>(std::max(object->GetIndexCount(), 0));
        VertexTotal += static_cast<uint32_t>(std::max(object->GetVertexCount(), 0));
    }
}

void CPIVBlock::Clear() {
    Objects.clear();
    Pending.clear();
    IndexTotal = 0;
    VertexTotal = 0;
}
