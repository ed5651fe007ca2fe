// Deep copies of node trees, and the node's XML description.
//
// A copy owns its render object, collision boxes, part animations, children and physics
// data; materials, resources shared by name and the script task stay shared. The render
// objects of meshes, figures, lights and sprites are the renderer's classes: the renderer's
// CPRenderObjectFactory makes their copies.
#include "scene/CPGameObject.h"

#include "core/XmlFile.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPRenderObjectFactory.h"

namespace {

// A new render object of the source's kind for `to`.
CPtr<CPObject> CopyRenderObject(CPGameObject& to, const CPGameObject& from) {
    switch (from.RenderKind) {
    case CPGameObject::RenderMesh:
    case CPGameObject::RenderAnimatedMesh:
    case CPGameObject::RenderLight:
    case CPGameObject::RenderSprite:
        if (from.RenderObject != nullptr && CPRenderObjectFactory::Instance != nullptr) {
            return CPRenderObjectFactory::Instance->CopyRenderObject(from.RenderKind, from.RenderObject.Get(), &to);
        }
        return nullptr;
    case CPGameObject::RenderParticleTask:
        // A particle system clones itself; the clone is started when the copy is activated.
        if (auto* task = dynamic_cast<CPTask*>(from.RenderObject.Get())) {
            const CPtr<CPTask> clone = task->Clone();
            if (auto* system = dynamic_cast<CPParticleSystem*>(clone.Get())) {
                system->Owner = &to;
            }
            return clone;
        }
        return nullptr;
    default:
        return nullptr;
    }
}

// Everything of CopyFrom but the final transform update: the root of the copy recomputes the
// whole subtree once, which the children's own updates would only have repeated.
void CopyNode(CPGameObject& to, const CPGameObject& from) {
    to.Box = from.Box;
    to.Bounds = from.Bounds;
    to.RenderKind = from.RenderKind;
    to.XmlDocument = from.XmlDocument;
    to.RenderObject = CopyRenderObject(to, from);

    // Whole boxes, each with its Local placement (a car's hull sits off its origin).
    to.CollisionBoxes.insert(to.CollisionBoxes.end(), from.CollisionBoxes.begin(), from.CollisionBoxes.end());

    for (const auto& [name, animation] : from.Animations) {
        CPtr<CPPartAnimation> copy;
        if (animation != nullptr) {
            copy = new CPPartAnimation();
            copy->CopyFrom(animation);
            copy->Target = &to;
        }
        to.AddPartAnimation(name, copy);
    }

    // A snapshot: copying a tree into one of its own nodes must not chase its own additions.
    const std::vector<CPtr<CPGameObject>> sourceChildren = from.Children;
    to.Children.reserve(to.Children.size() + sourceChildren.size());
    for (const CPtr<CPGameObject>& sourceChild : sourceChildren) {
        const CPtr<CPGameObject> child(new CPGameObject(sourceChild->Name));
        child->Parent = &to;
        CopyNode(*child, *sourceChild);
        to.Children.push_back(child);
        to.ChildrenByName[child->Name] = child;
    }

    to.ShadowMaterial = from.ShadowMaterial;
    to.FireMaterial = from.FireMaterial;
    to.FlameType = from.FlameType;

    to.Position = from.Position;
    to.Orientation = from.Orientation;
    to.ParentMatrix = from.ParentMatrix;
    to.LocalMatrix = from.LocalMatrix;
    to.WorldMatrix = from.WorldMatrix;
    to.AnimatedTransform = from.AnimatedTransform;
    to.HasAnimatedTransform = from.HasAnimatedTransform;
    to.TransformUpdated = false;
    to.TransformDirty = true;

    to.Name = from.Name;
    to.Visible = from.Visible;
    to.Static = from.Static;
    to.CastShadow = from.CastShadow;
    to.ScriptObject = from.ScriptObject;

    if (from.Physics != nullptr) {
        to.Physics = new CPPhysicData(&to);
        to.Physics->MainShape = from.Physics->MainShape;
        to.Physics->Shapes = from.Physics->Shapes;
        // The records' geometries belong to the source's body; the copy has none yet.
        to.Physics->MainShape.Geometry = nullptr;
        for (CPPhysicShape& shape : to.Physics->Shapes) {
            shape.Geometry = nullptr;
        }
    }
}

}  // namespace

void CPGameObject::CopyFrom(CPtr<CPGameObject> source) {
    if (source == nullptr || source.Get() == this) {
        return;
    }
    CopyNode(*this, *source);
    UpdateTransform();
}

bool CPGameObject::LoadDescription() {
    return LoadXmlFile(XmlDocument, "Data\\Descriptions\\" + DescriptionName);
}
