#include "scene/CPGameObject.h"

#include "core/CPLog.h"
#include "core/CPScriptTask.h"
#include "scene/CPPhysicScene.h"
#include "scene/NodePrefetch.h"

#include <algorithm>

namespace {

bool IsZeroMatrix(const D3DXMATRIX& m) {
    for (const float value : {m._11, m._12, m._13, m._14, m._21, m._22, m._23, m._24, m._31, m._32, m._33, m._34,
                              m._41, m._42, m._43, m._44}) {
        if (value != 0.0f) {
            return false;
        }
    }
    return true;
}

// FindChild without a counted pointer per level and with the name hashed once; a leaf has no
// name table to look in.
CPGameObject* FindInSubtree(const CPGameObject& node, const HashedName& name) {
    if (node.Children.empty()) {
        return nullptr;
    }
    const auto entry = node.ChildrenByName.find(name);
    if (entry != node.ChildrenByName.end() && entry->second != nullptr) {
        return entry->second.Get();
    }
    // A leaf child has nothing to search: it costs no call.
    for (size_t i = 0; i < node.Children.size(); ++i) {
        if (i + 1 < node.Children.size()) {
            NodePrefetch::ForFind(node.Children[i + 1].Get());
        }
        const CPGameObject& child = *node.Children[i];
        if (child.Children.empty()) {
            continue;
        }
        if (CPGameObject* found = FindInSubtree(child, name)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

// The name tables start empty rather than with a hundred buckets each: most nodes are leaves,
// and the buckets of ten thousand nodes would cost megabytes and the walks their cache.
CPGameObject::CPGameObject(std::string name) : Orientation(0.0f, 0.0f, 0.0f, 1.0f), Name(std::move(name)) {
    D3DXMatrixIdentity(&ParentMatrix);
    D3DXMatrixIdentity(&LocalMatrix);
    D3DXMatrixIdentity(&WorldMatrix);
    D3DXMatrixIdentity(&AnimatedTransform);
}

CPGameObject::~CPGameObject() {
    CPGameObject::Deactivate();
    if (Parent != nullptr) {
        Parent->DetachChild(this);
        Parent = nullptr;
    }
    for (const CPtr<CPGameObject>& child : Children) {
        if (child != nullptr && child->Parent == this) {
            child->Parent = nullptr;
        }
    }
    if (RenderKind == RenderParticleTask && RenderObject != nullptr) {
        if (auto* task = dynamic_cast<CPTask*>(RenderObject.Get())) {
            task->Stop();
        }
    }
    CPPhysicScene::ForgetNode(this);
    // Part animations that outlive the node (their owner deletes them) move nothing any more.
    for (const auto& [name, animation] : Animations) {
        if (animation != nullptr && animation->Target == this) {
            animation->Target = nullptr;
        }
    }
    // Counted members in the order they let go.
    Car = nullptr;
    Physics = nullptr;
    RenderObject = nullptr;
    FireMaterial = nullptr;
    ShadowMaterial = nullptr;
    Children.clear();
    ChildrenByName.clear();
    IdleAnimation = nullptr;
    Animations.clear();
    LodLevels.clear();
}

CPtr<CPScriptTask> CPGameObject::GetScriptObject() const { return CPtr<CPScriptTask>(LiveScriptObject()); }

CPScriptTask* CPGameObject::LiveScriptObject() const {
    if (ScriptObject == nullptr) {
        return nullptr;
    }
    // Only the address is compared; a different object now living there is not a task of ours
    // unless it is a script task.
    CPObject* live = CPObject::FindLive(static_cast<const void*>(ScriptObject));
    return live != nullptr ? dynamic_cast<CPScriptTask*>(live) : nullptr;
}

void CPGameObject::SetPosition(const D3DXVECTOR3& position) {
    ForEachSubstitute([&](CPGameObject& lod) { lod.SetPosition(position); });
    Position = position;
    TransformUpdated = false;
    TransformDirty = true;
    if (Physics != nullptr) {
        Physics->SetPosition(position);
    }
}

void CPGameObject::SetOrientation(const D3DXQUATERNION& orientation) {
    ForEachSubstitute([&](CPGameObject& lod) { lod.SetOrientation(orientation); });
    Orientation = orientation;
    TransformUpdated = false;
    TransformDirty = true;
    if (Physics != nullptr) {
        Physics->SetOrientation(orientation);
    }
}

void CPGameObject::SetAnimatedTransform(const D3DXMATRIX& local) {
    ForEachSubstitute([&](CPGameObject& lod) { lod.SetAnimatedTransform(local); });
    AnimatedTransform = local;
    HasAnimatedTransform = true;
    TransformUpdated = false;
    TransformDirty = true;
}

void CPGameObject::ClearAnimatedTransform() {
    ForEachSubstitute([](CPGameObject& lod) { lod.ClearAnimatedTransform(); });
    if (HasAnimatedTransform) {
        HasAnimatedTransform = false;
        TransformUpdated = false;
        TransformDirty = true;
    }
}

void CPGameObject::UpdateTransform() {
    if (!TransformDirty) {
        return;
    }
    // A zero shadow matrix (no level loaded) projects nothing; the bounds skip its corners.
    UpdateSubtree(!IsZeroMatrix(ShadowMatrix));
}

void CPGameObject::UpdateSubtree(bool shadowProjects) {
    ForEachSubstitute([](CPGameObject& lod) { lod.UpdateTransform(); });

    // The children's lines are asked for now, two ahead of their turn (their boxes one
    // ahead), so their memory arrives while this node and the earlier children are worked on.
    const size_t childCount = Children.size();
    for (size_t i = 0; i < childCount && i < 2; ++i) {
        NodePrefetch::ForTransform(Children[i].Get());
    }

    if (HasAnimatedTransform) {
        LocalMatrix = AnimatedTransform;
    } else {
        // Rotation, then translation: the product is the rotation with the position in row 3.
        D3DXMatrixRotationQuaternion(&LocalMatrix, &Orientation);
        LocalMatrix._41 = Position.x;
        LocalMatrix._42 = Position.y;
        LocalMatrix._43 = Position.z;
    }
    D3DXMatrixMultiply(&WorldMatrix, &LocalMatrix, &ParentMatrix);

    for (CPBox& box : CollisionBoxes) {
        box.Place(WorldMatrix);
    }
    Box.Place(WorldMatrix);
    // Bounds' centre and half extents are set once at the end, from the final Min and Max;
    // the collision bounds' likewise after the last child (as a merge would have set them).
    Bounds.Min = Box.Min;
    Bounds.Max = Box.Max;
    CollisionBounds.FromBoxes(CollisionBoxes);

    for (size_t i = 0; i < childCount; ++i) {
        if (i + 2 < childCount) {
            NodePrefetch::ForTransform(Children[i + 2].Get());
        }
        if (i + 1 < childCount) {
            NodePrefetch::Boxes(Children[i + 1].Get());
        }
        CPGameObject* child = Children[i].Get();
        child->ParentMatrix = WorldMatrix;
        child->TransformUpdated = false;
        child->TransformDirty = true;
        child->UpdateSubtree(shadowProjects);
        D3DXVec3Minimize(&CollisionBounds.Min, &CollisionBounds.Min, &child->CollisionBounds.Min);
        D3DXVec3Maximize(&CollisionBounds.Max, &CollisionBounds.Max, &child->CollisionBounds.Max);
        D3DXVec3Minimize(&Bounds.Min, &Bounds.Min, &child->Bounds.Min);
        D3DXVec3Maximize(&Bounds.Max, &Bounds.Max, &child->Bounds.Max);
    }
    if (childCount > 0) {
        CollisionBounds.UpdateCentre();
    }

    if (CastShadow && shadowProjects) {
        Bounds.ExtendByShadow();
    }
    Bounds.UpdateCentre();
    TransformUpdated = true;
    TransformDirty = false;
}

bool CPGameObject::AddChild(CPtr<CPGameObject> child) {
    if (child == nullptr) {
        return false;
    }
    for (const CPGameObject* node = this; node != nullptr; node = node->Parent) {
        if (node == child.Get()) {
            CPLog::GetInstance().Write(0, "CPGameObject::AddChild: \"%s\" would become its own descendant under \"%s\"\n",
                                       child->Name.c_str(), Name.c_str());
            return false;
        }
    }
    if (child->Parent != nullptr) {
        child->Parent->DetachChild(child.Get());
    }
    child->Parent = this;
    Children.push_back(child);
    ChildrenByName[child->Name] = child;
    return true;
}

void CPGameObject::DetachChild(CPGameObject* child) {
    Children.erase(std::remove(Children.begin(), Children.end(), child), Children.end());
    auto entry = ChildrenByName.find(child->Name);
    if (entry == ChildrenByName.end() || entry->second != child) {
        // Renamed since it was added (a copy takes its source's name): its entry, if it still
        // has one, sits under the old name.
        entry = std::find_if(ChildrenByName.begin(), ChildrenByName.end(),
                             [&](const ChildTable::value_type& e) { return e.second == child; });
        if (entry == ChildrenByName.end()) {
            return;
        }
    }
    // An earlier child of the same name takes the entry back.
    const std::string& name = entry->first;
    const auto survivor = std::find_if(Children.rbegin(), Children.rend(), [&](const CPtr<CPGameObject>& c) {
        return c->Name == name;
    });
    if (survivor != Children.rend()) {
        entry->second = *survivor;
    } else {
        ChildrenByName.erase(entry);
    }
}

CPtr<CPGameObject> CPGameObject::FindChild(const std::string& name) const {
    return CPtr<CPGameObject>(FindInSubtree(*this, HashedName(name)));
}

CPtr<CPGameObject> CPGameObject::GetChild(const std::string& name) const {
    const auto entry = ChildrenByName.find(name);
    return entry != ChildrenByName.end() ? entry->second : CPtr<CPGameObject>();
}

void CPGameObject::CollectTree(std::vector<CPtr<CPGameObject>>& out) {
    out.push_back(CPtr<CPGameObject>(this));
    for (const CPtr<CPGameObject>& child : Children) {
        child->CollectTree(out);
    }
}

void CPGameObject::SetStatic(bool isStatic) {
    Static = isStatic;
    ForEachSubstitute([&](CPGameObject& lod) { lod.SetStatic(isStatic); });
}

void CPGameObject::SetCastShadow(bool castShadow) {
    CastShadow = castShadow;
    for (const CPtr<CPGameObject>& child : Children) {
        child->SetCastShadow(castShadow);
    }
    ForEachSubstitute([&](CPGameObject& lod) { lod.SetCastShadow(castShadow); });
}

void CPGameObject::SetScriptObject(CPtr<CPScriptTask> task) {
    if (task == nullptr) {
        return;
    }
    ScriptObject = task.Get();
    ClearStaticInSubtree();
}

void CPGameObject::ClearStaticInSubtree() {
    Static = false;
    for (const CPtr<CPGameObject>& child : Children) {
        child->ClearStaticInSubtree();
    }
}

void CPGameObject::SetBounds(const CPBox& box) {
    Box = box;
    Bounds.FromBox(Box);
}

void CPGameObject::AddLodLevel(CPtr<CPGameObject> object, int32_t distance) {
    LodLevels.emplace_back(object, distance);
}
