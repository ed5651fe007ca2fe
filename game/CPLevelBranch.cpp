#include "game/CPLevelBranch.h"

#include "Render/CPMaterial.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/ConfigVars.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPickInfo.h"
#include "scene/CPRenderable.h"
#include "scene/MainView.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// The running count wraps instead of overflowing.
void AddToDrawCounter(CPRender& render, size_t count) {
    render.DrawCounter =
        static_cast<int32_t>(static_cast<uint32_t>(render.DrawCounter) + static_cast<uint32_t>(count));
}

float Axis(const D3DXVECTOR3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The detail level to draw of a static object at squared distance d2 from the eye, or null
// beyond the draw distance. Entry 0 of LodLevels is the object itself; the others have
// increasing switch distances.
CPGameObject* DetailToDraw(CPGameObject& object, float d2) {
    const int64_t reach = static_cast<int64_t>(Cfg::distance) * Cfg::distance;
    if (d2 > static_cast<float>(reach)) {
        return nullptr;
    }
    float bound = static_cast<float>(reach);
    for (size_t k = object.LodLevels.size() - 1; k >= 1; --k) {
        const int64_t distance = object.LodLevels[k].second;
        const float squared = static_cast<float>(distance * distance);
        if (d2 <= bound && squared < d2) {
            return object.LodLevels[k].first.Get();
        }
        bound = squared;
    }
    return &object;
}

}  // namespace

CPLevelBranch::CPLevelBranch() : Materials(MaterialBuckets) {}

CPLevelBranch::~CPLevelBranch() { DeleteChildren(); }

void CPLevelBranch::DeleteChildren() {
    CPLevelBranch* left = Left.Get();
    CPLevelBranch* right = Right.Get();
    Left = nullptr;
    Right = nullptr;
    delete left;
    delete right;
}

void CPLevelBranch::Build(std::vector<CPtr<CPGameObject>> objects) { Fill(std::move(objects), Cfg::staticGeometry != 0); }

void CPLevelBranch::Fill(std::vector<CPtr<CPGameObject>> objects, bool writeStatic) {
    DeleteChildren();
    Materials.clear();
    DynamicObjects.clear();
    StaticObjects.clear();
    Bounds = CPBoundingBox();
    CollisionBounds = CPBoundingBox();
    std::erase(objects, nullptr);
    Objects = std::move(objects);
    if (Objects.empty()) {
        return;
    }
    Bounds = Objects.front()->Bounds;
    for (const CPtr<CPGameObject>& object : Objects) {
        Bounds.Merge(object->Bounds);
        CollisionBounds.Merge(object->CollisionBounds);
    }

    std::vector<CPtr<CPGameObject>> tree;
    for (const CPtr<CPGameObject>& object : Objects) {
        object->CollectTree(tree);
    }
    for (const CPtr<CPGameObject>& node : tree) {
        if (!node->Static || node->RenderKind != CPGameObject::RenderMesh) {
            continue;
        }
        if (auto* renderable = dynamic_cast<CPRenderable*>(node->RenderObject.Get())) {
            CPtr<CPMaterial> material;
            renderable->GetMaterial(material);
            if (material) {
                Materials.insert(material.Get());
            }
        }
        if (node->CastShadow && node->ShadowMaterial) {
            Materials.insert(node->ShadowMaterial.Get());
        }
    }

    CPtr<CPRenderBatcher> batcher;
    if (writeStatic) {
        if (CPRender* render = GetRender(); render != nullptr) {
            batcher = render->GetDynamicBatcher();
        }
    }
    for (const CPtr<CPGameObject>& object : Objects) {
        if (!object->Static) {
            DynamicObjects.push_back(object);
            continue;
        }
        StaticObjects.push_back(object);
        if (batcher) {
            batcher->AddStaticTree(object);
        }
    }
}

void CPLevelBranch::Split(int depth) {
    if (Objects.empty() || depth >= MaxDepth) {
        return;
    }
    D3DXVECTOR3 low = Objects.front()->Bounds.Centre;
    D3DXVECTOR3 high = low;
    for (const CPtr<CPGameObject>& object : Objects) {
        const D3DXVECTOR3& c = object->Bounds.Centre;
        low = D3DXVECTOR3(std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z));
        high = D3DXVECTOR3(std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z));
    }
    const D3DXVECTOR3 cut = (low + high) * 0.5f;

    std::unique_ptr<CPLevelBranch> left;
    std::unique_ptr<CPLevelBranch> right;
    for (int axis = 0; axis < 3; ++axis) {
        std::vector<CPtr<CPGameObject>> above;
        std::vector<CPtr<CPGameObject>> below;
        for (const CPtr<CPGameObject>& object : Objects) {
            (Axis(object->Bounds.Centre, axis) <= Axis(cut, axis) ? below : above).push_back(object);
        }
        if (above.empty() || below.empty()) {
            continue;
        }
        auto candidateLeft = std::make_unique<CPLevelBranch>();
        auto candidateRight = std::make_unique<CPLevelBranch>();
        candidateLeft->Fill(std::move(above), false);
        candidateRight->Fill(std::move(below), false);
        const size_t sum = candidateLeft->Materials.size() + candidateRight->Materials.size();
        // Ties keep the earlier axis; a candidate not kept is freed here.
        if (!left || sum < left->Materials.size() + right->Materials.size()) {
            left = std::move(candidateLeft);
            right = std::move(candidateRight);
        }
    }
    if (!left) {
        return;
    }
    Left = left.release();
    Right = right.release();
    Left->Split(depth + 1);
    Right->Split(depth + 1);
}

void CPLevelBranch::Cull(CPPerspectiveCamera* view) {
    if (view == nullptr || Objects.empty() || !view->IsBoxVisible(Bounds.Min, Bounds.Max)) {
        return;
    }
    if (!IsLeaf()) {
        Left->Cull(view);
        Right->Cull(view);
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
    for (const CPtr<CPGameObject>& object : DynamicObjects) {
        batcher->AddTree(object);
    }
    const CPPerspectiveCamera* eye = MainView != nullptr ? MainView : view;
    for (const CPtr<CPGameObject>& object : StaticObjects) {
        if (object->LodLevels.size() < 2) {
            batcher->AddTree(object);
            continue;
        }
        const D3DXVECTOR3 d = object->GetPosition() - eye->Position;
        if (CPGameObject* detail = DetailToDraw(*object, d.x * d.x + d.y * d.y + d.z * d.z); detail != nullptr) {
            batcher->AddTree(detail);
        }
    }
}

bool CPLevelBranch::RayPick(CPPickInfo& pick) {
    if (!CollisionBounds.IntersectSegment(pick.Origin, pick.Direction, pick.Distance)) {
        return false;
    }
    if (!IsLeaf()) {
        const bool left = Left->RayPick(pick);
        const bool right = Right->RayPick(pick);
        return left || right;
    }
    bool hit = false;
    for (const CPtr<CPGameObject>& object : Objects) {
        if (object->RayPick(pick)) {
            hit = true;
        }
    }
    return hit;
}

void CPLevelBranch::CollectInSphere(const D3DXVECTOR3& centre, float radius, std::list<CPtr<CPGameObject>>& out) {
    if (!CollisionBounds.IntersectSphere(centre, radius)) {
        return;
    }
    if (!IsLeaf()) {
        Left->CollectInSphere(centre, radius, out);
        Right->CollectInSphere(centre, radius, out);
        return;
    }
    for (const CPtr<CPGameObject>& object : Objects) {
        if (object->CollisionBounds.IntersectSphere(centre, radius)) {
            out.push_back(object);
        }
    }
}

void CPLevelBranch::DeactivateDynamic() {
    for (const CPtr<CPGameObject>& object : DynamicObjects) {
        object->Deactivate();
    }
}
