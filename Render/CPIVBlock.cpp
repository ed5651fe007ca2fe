#include "Render/CPIVBlock.h"

#include "Render/CPRenderObject.h"
#include "core/ExactCast.h"

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

void CPIVBlock::Add(CPRenderable* object) {
    if (object == nullptr) {
        return;
    }
    Objects.emplace_back(object);
    // Add's own reference is dropped when it returns, and a release zeroes the count.
    object->Release();
    // Nearly every object is a static mesh: its counts are read without the virtual calls.
    if (auto* mesh = ExactCast<CPRenderObject>(object); mesh != nullptr) {
        if (!mesh->IsExcluded()) {
            IndexTotal += static_cast<uint32_t>(std::max(mesh->GetIndexCount(), 0));
            VertexTotal += static_cast<uint32_t>(std::max(mesh->GetVertexCount(), 0));
        }
        return;
    }
    if (!object->IsExcluded()) {
        IndexTotal += static_cast<uint32_t>(std::max(object->GetIndexCount(), 0));
        VertexTotal += static_cast<uint32_t>(std::max(object->GetVertexCount(), 0));
    }
}

void CPIVBlock::Clear() {
    // Each object's count is released in order, as clear() would; the objects ahead are asked
    // for first, since a frame's objects have long left the cache by now.
    constexpr size_t Ahead = 8;
    for (size_t i = 0; i < Objects.size(); ++i) {
        if (i + Ahead < Objects.size()) {
            __builtin_prefetch(Objects[i + Ahead].Get(), 1);
        }
        Objects[i] = nullptr;
    }
    Objects.clear();
    Pending.clear();
    IndexTotal = 0;
    VertexTotal = 0;
}
