#include "Render/CPQuadTreeNode.h"

#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/ConfigVars.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/NodePrefetch.h"

#include <algorithm>

namespace {

// The running count wraps instead of overflowing: it passes the int range after hours of play.
void AddToDrawCounter(CPRender& render, size_t count) {
    render.DrawCounter =
        static_cast<int32_t>(static_cast<uint32_t>(render.DrawCounter) + static_cast<uint32_t>(count));
}

// The first lines of a node's render object, where a mesh keeps what batching reads.
void PrefetchRenderObject(const CPGameObject* node) {
    if (node != nullptr) {
        if (const CPObject* object = node->RenderObject.Get(); object != nullptr) {
            NodePrefetch::Range(object, reinterpret_cast<const char*>(object) + 2 * NodePrefetch::kLine);
        }
    }
}

}  // namespace

CPQuadTreeNode::~CPQuadTreeNode() {
    for (auto& child : Children) {
        child.reset();
    }
    Box.reset();
    Objects.clear();
    SingleObjects.clear();
}

void CPQuadTreeNode::SetBounds(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents) {
    Box = std::make_unique<CPBoundingBox>(CPBoundingBox::Around(centre, halfExtents));
}

void CPQuadTreeNode::SetChild(int index, CPQuadTreeNode* child) {
    if (index < 0 || index >= 4) {
        delete child;
        return;
    }
    Children[static_cast<size_t>(index)].reset(child);
}

void CPQuadTreeNode::AddObject(CPtr<CPGameObject> object) { Objects.push_back(object); }

int CPQuadTreeNode::Levels() { return std::min(Cfg::quadlevels, MaxLevels); }

int CPQuadTreeNode::QuadrantOf(const D3DXVECTOR3& point, const D3DXVECTOR3& centre) {
    const bool largerX = point.x >= centre.x;
    const bool largerY = point.y >= centre.y;
    if (largerX) {
        return largerY ? 1 : 2;
    }
    return largerY ? 3 : 0;
}

void CPQuadTreeNode::Build(std::vector<CPtr<CPGameObject>>& objects, int depth) {
    if (!Box) {
        SetBounds(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }
    if (depth >= Levels()) {
        CPBoundingBox bounds = *Box;
        bool first = true;
        for (const CPtr<CPGameObject>& object : objects) {
            if (!object) {
                continue;
            }
            if (first) {
                bounds = object->Bounds;
                first = false;
            }
            AddObject(object);
            bounds.Merge(object->Bounds);
        }
        SetBounds(bounds.Centre, bounds.HalfExtents);
        return;
    }

    const D3DXVECTOR3 c = Box->Centre;
    const D3DXVECTOR3 h = Box->HalfExtents;
    const D3DXVECTOR3 q(h.x / 2.0f, h.y / 2.0f, h.z);
    const D3DXVECTOR3 centres[4] = {
        D3DXVECTOR3(c.x - q.x, c.y - q.y, c.z),
        D3DXVECTOR3(c.x + q.x, c.y + q.y, c.z),
        D3DXVECTOR3(c.x + q.x, c.y - q.y, c.z),
        D3DXVECTOR3(c.x - q.x, c.y + q.y, c.z),
    };
    std::unique_ptr<CPQuadTreeNode> children[4];
    std::vector<CPtr<CPGameObject>> parts[4];
    for (int i = 0; i < 4; ++i) {
        children[i] = std::make_unique<CPQuadTreeNode>();
        children[i]->SetBounds(centres[i], q);
    }
    for (const CPtr<CPGameObject>& object : objects) {
        if (object) {
            parts[QuadrantOf(object->Bounds.Centre, c)].push_back(object);
        }
    }
    for (int i = 0; i < 4; ++i) {
        children[i]->Build(parts[i], depth + 1);
    }
    CPBoundingBox bounds = *children[0]->Box;
    for (int i = 1; i < 4; ++i) {
        bounds.Merge(*children[i]->Box);
    }
    SetBounds(bounds.Centre, bounds.HalfExtents);
    for (int i = 0; i < 4; ++i) {
        SetChild(i, children[i].release());
    }
}

void CPQuadTreeNode::Visit(CPPerspectiveCamera* camera) {
    if (camera == nullptr) {
        return;
    }
    bool leaf = true;
    for (const auto& child : Children) {
        if (!child) {
            continue;
        }
        leaf = false;
        ++VisitedNodes;
        if (child->Box && camera->IsBoxVisible(child->Box->Min, child->Box->Max)) {
            child->Visit(camera);
        }
    }
    if (!leaf || Objects.empty() || !Box) {
        return;
    }
    const D3DXVECTOR3 d = camera->Position - Box->Centre;
    const double squared = static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y +
                           static_cast<double>(d.z) * d.z;
    const int64_t reach = static_cast<int64_t>(Cfg::distance) * Cfg::distance;
    if (!(squared < static_cast<double>(reach))) {
        return;
    }
    CPRender* render = GetRender();
    if (render == nullptr) {
        return;
    }
    CPtr<CPRenderBatcher> batcher = render->GetStaticBatcher();
    if (!batcher) {
        return;
    }
    AddToDrawCounter(*render, Objects.size());
    // NodesAhead steps ahead the node's lines are asked for, MeshesAhead steps ahead (once the
    // node's are in) its render object's: batching reads both.
    constexpr size_t NodesAhead = 4;
    constexpr size_t MeshesAhead = 2;
    for (size_t i = 0; i < std::min(Objects.size(), NodesAhead); ++i) {
        NodePrefetch::ForFrame(Objects[i].Get());
    }
    for (size_t i = 0; i < Objects.size(); ++i) {
        if (i + NodesAhead < Objects.size()) {
            NodePrefetch::ForFrame(Objects[i + NodesAhead].Get());
        }
        if (i + MeshesAhead < Objects.size()) {
            PrefetchRenderObject(Objects[i + MeshesAhead].Get());
        }
        if (Objects[i]) {
            batcher->AddTree(Objects[i]);
        }
    }
    AddToDrawCounter(*render, SingleObjects.size());
    for (const CPtr<CPGameObject>& object : SingleObjects) {
        if (object) {
            batcher->AddObject(object);
        }
    }
}
