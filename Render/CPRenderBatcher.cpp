#include "Render/CPRenderBatcher.h"

#include "Render/CPAnimatedObject.h"
#include "Render/CPMaterial.h"
#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "core/ExactCast.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/NodePrefetch.h"

CPRenderBatcher::CPRenderBatcher(int slots, uint32_t vertexCapacity, uint32_t indexCapacity)
    : ownRing(std::make_unique<CPIVertexBuffer>(slots, vertexCapacity, indexCapacity)) {
    VertexRing = ownRing.get();
}

CPRenderBatcher::~CPRenderBatcher() {
    FrameBlocks.clear();
    Blocks.clear();
    staticRoots.clear();
    ownBlocks.clear();
    VertexRing = nullptr;
}

CPRenderable* CPRenderBatcher::Renderable(CPGameObject& node) {
    CPObject* object = node.RenderObject.Get();
    if (object == nullptr) {
        return nullptr;
    }
    switch (node.RenderKind) {
    case CPGameObject::RenderMesh:
        return ExactCast<CPRenderObject>(object);
    case CPGameObject::RenderAnimatedMesh:
        return dynamic_cast<CPAnimatedObject*>(object);
    case CPGameObject::RenderSprite:
        return dynamic_cast<CPSprite*>(object);
    default:
        return nullptr;
    }
}

CPIVBlock* CPRenderBatcher::BlockOf(CPMaterial* key) {
    BlockSlot& slot = blockIndex[static_cast<size_t>((reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ull >>
                                                     (64 - BlockIndexBits))];
    if (slot.Block != nullptr && slot.Material == key) {
        return slot.Block;
    }
    CPtr<CPIVBlock>& block = Blocks[key];
    if (!block) {
        ownBlocks.push_back(std::make_unique<CPIVBlock>(VertexRing));
        block = ownBlocks.back().get();
        if (key != nullptr) {
            key->AddRef();
        }
    }
    slot = BlockSlot{key, block.Get()};
    return block.Get();
}

void CPRenderBatcher::AddObject(const CPtr<CPGameObject>& node) {
    if (node) {
        AddNode(*node);
    }
}

void CPRenderBatcher::AddNode(CPGameObject& node) {
    if (!node.Visible) {
        return;
    }
    switch (node.RenderKind) {
    case CPGameObject::RenderMesh:
    case CPGameObject::RenderAnimatedMesh:
    case CPGameObject::RenderSprite: {
        CPRenderable* renderable = Renderable(node);
        if (renderable == nullptr) {
            return;
        }
        CPMaterial* key = nullptr;
        if (auto* mesh = ExactCast<CPRenderObject>(renderable); mesh != nullptr) {
            // What GetMaterial's reference would leave: a release zeroes the count.
            key = mesh->Material.Get();
            if (key != nullptr) {
                key->Release();
            }
        } else {
            CPtr<CPMaterial> material;
            renderable->GetMaterial(material);
            key = material.Get();
        }
        CPIVBlock* block = BlockOf(key);
        // A block with objects received them this frame, so it is in FrameBlocks already.
        if (block->Objects.empty()) {
            auto [entry, fresh] = FrameBlocks.try_emplace(key, block);
            if (fresh) {
                FrameOrder.push_back(key);
            }
            entry->second = block;
        }
        block->Add(renderable);
        return;
    }
    case CPGameObject::RenderLight: {
        auto* source = dynamic_cast<CPLight*>(node.RenderObject.Get());
        if (source == nullptr) {
            return;
        }
        const D3DLIGHT9* light = source->GetLight();
        CPRender* render = GetRender();
        if (light != nullptr && render != nullptr) {
            render->AddLight(*light);
        }
        return;
    }
    default:
        return;
    }
}

void CPRenderBatcher::AddTree(const CPtr<CPGameObject>& node) { AddTreeInner(node.Get()); }

void CPRenderBatcher::AddTreeInner(CPGameObject* node) {
    if (node == nullptr) {
        return;
    }
    if (StaticOnly && !node->Static) {
        return;
    }
    AddNode(*node);
    if (node->Visible) {
        const std::vector<CPtr<CPGameObject>>& children = node->Children;
        for (size_t i = 0; i < children.size(); ++i) {
            if (i + 1 < children.size()) {
                NodePrefetch::ForFrame(children[i + 1].Get());
            }
            AddTreeInner(children[i].Get());
        }
    }
}

void CPRenderBatcher::AddStaticObject(CPtr<CPGameObject> node) {
    if (!node || !node->Visible || node->RenderKind != CPGameObject::RenderMesh || !node->Static) {
        return;
    }
    CPRenderable* renderable = Renderable(*node);
    if (renderable == nullptr) {
        return;
    }
    CPtr<CPRenderable> held(renderable);
    VertexRing->Add(renderable);
}

void CPRenderBatcher::AddStaticTree(CPtr<CPGameObject> node) {
    if (!node) {
        return;
    }
    if (staticDepth == 0) {
        staticRoots.push_back(node);
    }
    AddStaticTreeInner(node.Get());
}

void CPRenderBatcher::AddStaticTreeInner(CPGameObject* node) {
    if (node == nullptr) {
        return;
    }
    ++staticDepth;
    AddStaticObject(node);
    if (node->Visible) {
        for (const CPtr<CPGameObject>& child : node->Children) {
            AddStaticTreeInner(child.Get());
        }
        for (size_t i = 1; i < node->LodLevels.size(); ++i) {
            AddStaticTreeInner(node->LodLevels[i].first.Get());
        }
    }
    --staticDepth;
}

bool CPRenderBatcher::FillStatic(const std::vector<CPtr<CPGameObject>>& roots) {
    if (!VertexRing->Lock(0, 0, true, -1)) {
        // A lost device, say: the trees are written once the ring can be locked again.
        staticRoots.insert(staticRoots.end(), roots.begin(), roots.end());
        VertexRing->Refill = true;
        return false;
    }
    for (const CPtr<CPGameObject>& root : roots) {
        AddStaticTree(root);
    }
    VertexRing->Unlock(true);
    return true;
}

void CPRenderBatcher::RefillIfLost() {
    if (!VertexRing->Refill) {
        return;
    }
    if (staticRoots.empty()) {
        VertexRing->Refill = false;
        return;
    }
    if (VertexRing->Locked || !VertexRing->HasBuffers()) {
        return;  // tried again next frame
    }
    VertexRing->Forget();
    if (!VertexRing->Lock(0, 0, true, -1)) {
        return;
    }
    VertexRing->Refill = false;
    ++staticDepth;  // the roots are remembered already
    for (const CPtr<CPGameObject>& root : staticRoots) {
        AddStaticTreeInner(root.Get());
    }
    --staticDepth;
    VertexRing->Unlock(true);
}

void CPRenderBatcher::ForgetStatic() {
    staticRoots.clear();
    VertexRing->Forget();
    VertexRing->Refill = false;
}

void CPRenderBatcher::EndFrame() {
    for (auto& [material, block] : FrameBlocks) {
        block->Clear();
    }
    FrameBlocks.clear();
    FrameOrder.clear();
}
