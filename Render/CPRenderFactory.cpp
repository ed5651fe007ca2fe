#include "Render/CPRenderFactory.h"

#include "Render/CPAnimatedObject.h"
#include "Render/CPMaterial.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"

namespace {

CPtr<CPObject> CopySprite(const CPSprite& source, CPGameObject* owner) {
    // Colour and the texture rectangle start over: the copy decides its own brightness.
    auto* sprite = new CPSprite(source.Size);
    sprite->Material = source.Material;
    sprite->Owner = owner;
    sprite->Angle = source.Angle;
    sprite->Direction = source.Direction;
    sprite->Cone = source.Cone;
    sprite->HasModifiers = source.HasModifiers;
    for (const auto& modifier : source.Modifiers) {
        sprite->Modifiers.push_back(modifier->Clone());
    }
    return CPtr<CPObject>(sprite);
}

}  // namespace

CPtr<CPObject> CPRenderFactory::CopyRenderObject(int32_t kind, CPObject* source, CPGameObject* owner) {
    switch (kind) {
    case CPGameObject::RenderMesh:
        if (auto* mesh = dynamic_cast<CPRenderObject*>(source)) {
            auto* copy = new CPRenderObject(owner);
            copy->CopyFrom(CPtr<CPRenderObject>(mesh));
            copy->Owner = owner;  // CopyFrom takes the source's owner too
            return CPtr<CPObject>(copy);
        }
        break;
    case CPGameObject::RenderAnimatedMesh:
        if (auto* figure = dynamic_cast<CPAnimatedObject*>(source)) {
            auto* copy = new CPAnimatedObject(owner);
            copy->CopyFrom(CPtr<CPAnimatedObject>(figure));
            copy->Owner = owner;
            return CPtr<CPObject>(copy);
        }
        break;
    case CPGameObject::RenderLight:
        if (auto* light = dynamic_cast<CPLight*>(source)) {
            auto* copy = new CPLight;
            copy->Owner = owner;
            copy->Light = *light->GetLight();
            return CPtr<CPObject>(copy);
        }
        break;
    case CPGameObject::RenderSprite:
        if (auto* sprite = dynamic_cast<CPSprite*>(source)) {
            return CopySprite(*sprite, owner);
        }
        break;
    default:
        break;
    }
    return nullptr;
}

void CPRenderFactory::SetMaterial(CPObject* renderObject, const CPtr<CPObject>& material) {
    auto* target = dynamic_cast<CPRenderable*>(renderObject);
    if (target == nullptr) {
        return;
    }
    auto* given = dynamic_cast<CPMaterial*>(material.Get());
    if (material != nullptr && given == nullptr) {
        return;  // not a material
    }
    target->SetMaterial(CPtr<CPMaterial>(given));
}

void CPRenderFactory::Install() {
    static CPRenderFactory factory;
    CPRenderObjectFactory::Instance = &factory;
}
