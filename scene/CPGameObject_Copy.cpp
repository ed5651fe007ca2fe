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

void CPGameObject::CopyFrom(CPtr<CPGameObject> source) {
    if (source == nullptr || source.Get() == this) {
        return;
    }
    const CPGameObject& from = *source;

    Box = from.Box;
    Bounds = from.Bounds;
    RenderKind = from.RenderKind;
    XmlDocument = from.XmlDocument;

    RenderObject = nullptr;
    switch (RenderKind) {
    case RenderMesh:
    case RenderAnimatedMesh:
    case RenderLight:
    case RenderSprite:
        if (from.RenderObject != nullptr && CPRenderObjectFactory::Instance != nullptr) {
            RenderObject = CPRenderObjectFactory::Instance->CopyRenderObject(RenderKind, from.RenderObject.Get(), this);
        }
        if (RenderKind == RenderMesh) {
            ShadowMaterial = from.ShadowMaterial;
        }
        break;
    case RenderParticleTask:
        if (auto* task = dynamic_cast<CPTask*>(from.RenderObject.Get())) {
            const CPtr<CPTask> clone = task->Clone();
            if (auto* system = dynamic_cast<CPParticleSystem*>(clone.Get())) {
                system->Owner = this;
            }
            RenderObject = clone;
        }
        break;
    default:
        break;
    }

    // Whole boxes, each with its Local placement (a car's boxes sit off its origin).
    for (const CPBox& box : from.CollisionBoxes) {
        CollisionBoxes.push_back(box);
    }

    for (const auto& [name, animation] : from.Animations) {
        CPtr<CPPartAnimation> copy;
        if (animation != nullptr) {
            copy = new CPPartAnimation();
            copy->CopyFrom(animation);
            copy->Target = this;
        }
        AddPartAnimation(name, copy);
    }

    // A snapshot: copying a tree into one of its own nodes must not chase its own additions.
    const std::vector<CPtr<CPGameObject>> sourceChildren = from.Children;
    for (const CPtr<CPGameObject>& sourceChild : sourceChildren) {
        const CPtr<CPGameObject> child(new CPGameObject(sourceChild->Name));
        child->Parent = this;
        child->CopyFrom(sourceChild);
        Children.push_back(child);
        ChildrenByName[child->Name] = child;
    }

    ShadowMaterial = from.ShadowMaterial;
    FireMaterial = from.FireMaterial;
    FlameType = from.FlameType;

    Position = from.Position;
    Orientation = from.Orientation;
    ParentMatrix = from.ParentMatrix;
    LocalMatrix = from.LocalMatrix;
    WorldMatrix = from.WorldMatrix;
    TransformUpdated = false;
    TransformDirty = true;

    Name = from.Name;
    Visible = from.Visible;
    Static = from.Static;
    CastShadow = from.CastShadow;
    ScriptObject = from.ScriptObject;

    if (from.Physics != nullptr) {
        Physics = new CPPhysicData(this);
        Physics->MainShape = from.Physics->MainShape;
        Physics->Shapes = from.Physics->Shapes;
        // The records' geometries belong to the source's body; the copy has none yet.
        Physics->MainShape.Geometry = nullptr;
        for (CPPhysicShape& shape : Physics->Shapes) {
            shape.Geometry = nullptr;
        }
    }

    UpdateTransform();
}

bool CPGameObject::LoadDescription() {
    return LoadXmlFile(XmlDocument, "Data\\Descriptions\\" + DescriptionName);
}
