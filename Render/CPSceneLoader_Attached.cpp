// Attached objects of object descriptions: each list entry becomes a node of the tree, an
// entry of the root's level-of-detail list or data of the root. Nodes are attached by the
// parent rule of their kind; a node no rule attaches is deleted at once.
#include "Render/SceneLoaderLists.h"

#include "Render/CPSprite.h"
#include "core/ConfigVars.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPSceneLoader.h"

namespace SceneLoaderLists {

namespace {

CPBox Cube(float half) { return CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(half, half, half)); }

// Hangs the node under parent, or deletes it when there is no parent to take it.
void Attach(CPGameObject* parent, CPGameObject* node) {
    if (parent == nullptr || !parent->AddChild(node)) CPSceneLoader::DeleteObject(node);
}

}  // namespace

void AddLods(CPSceneLoader& loader, CPGameObject& root, const RdfDescription& description, int32_t typeBase) {
    root.AddLodLevel(&root, 0);
    for (const std::string& value : description.Lods) {
        const RdfLodEntry entry = RdfFile::ReadLod(value);
        CPtr<CPGameObject> object;
        if (entry.Object != "null") object = loader.LoadObject(entry.Object, typeBase);
        root.AddLodLevel(object, entry.Distance);
    }
}

void AddSprites(CPSceneLoader& loader, CPGameObject& root, RdfDescription& description, int32_t typeBase,
                SpriteForm form) {
    for (const std::string& value : description.Sprites) {
        const RdfSpriteEntry entry = RdfFile::ReadSprite(value);
        auto* node = new CPGameObject(entry.Name);
        auto* sprite = new CPSprite(entry.Size);
        sprite->SetOwner(node);
        node->RenderKind = CPGameObject::RenderSprite;
        node->RenderObject = sprite;
        node->CastShadow = false;
        if (form != SpriteForm::Group) node->SetStatic(false);
        if (form != SpriteForm::Animated && entry.FacingGiven) sprite->SetFacing(entry.Facing, entry.FacingAngle);
        if (form != SpriteForm::Mesh) node->SetBounds(Cube(entry.Size));
        node->SetPosition(entry.Position);
        const auto section = description.Sections.find(entry.Name);
        MaterialSection empty;
        loader.ApplyMaterialSection(node, section != description.Sections.end() ? section->second : empty,
                                    typeBase);

        CPGameObject* parent = &root;
        if (form == SpriteForm::Animated) {
            // Only a node that is there takes the sprite.
            if (!entry.Parent.empty() && entry.Parent != root.Name) parent = root.FindChild(entry.Parent).Get();
        } else if (!entry.Parent.empty()) {
            const CPtr<CPGameObject> found = root.FindChild(entry.Parent);
            if (found != nullptr) parent = found.Get();
        }
        Attach(parent, node);
    }
}

void AddLights(CPGameObject& root, const RdfDescription& description) {
    for (const std::string& value : description.Lights) {
        const RdfLightEntry entry = RdfFile::ReadLight(value);
        auto* node = new CPGameObject(entry.Name);
        auto* light = new CPLight();
        light->SetOwner(node);
        node->RenderKind = CPGameObject::RenderLight;
        node->RenderObject = light;
        node->CastShadow = false;
        const D3DCOLORVALUE colour{entry.Red, entry.Green, entry.Blue, 0.0f};
        light->Light.Type = D3DLIGHT_POINT;
        light->Light.Diffuse = colour;
        light->Light.Specular = colour;
        light->Light.Ambient = colour;
        light->Light.Range = entry.Range;
        light->Light.Attenuation0 = 0.0f;
        light->Light.Attenuation1 = entry.Attenuation;
        light->Light.Attenuation2 = 0.0f;
        node->SetBounds(Cube(entry.Range));
        node->SetPosition(entry.Position);
        CPGameObject* parent = entry.Parent == root.Name ? &root : root.FindChild(entry.Parent).Get();
        Attach(parent, node);
    }
}

void AddParticleSystems(CPGameObject& root, const RdfDescription& description) {
    for (const std::string& value : description.ParticleSystems) {
        RdfParticleEntry entry = RdfFile::ReadParticleSystem(value);
        if (Cfg::weather == 0 && (entry.Name == "snow" || entry.Name == "snow2" || entry.Name == "snow3")) continue;
        auto* node = new CPGameObject(entry.Name);
        auto* system = new CPParticleSystem(node, std::move(entry.Emitters));
        // A period of 0 or less is refused there and the default kept.
        system->SetPeriod(entry.Period);
        node->RenderKind = CPGameObject::RenderParticleTask;
        node->RenderObject = system;
        node->CastShadow = false;
        node->SetBounds(Cube(0.5f));
        node->SetPosition(entry.Position);
        // Only the root's own children take a particle system.
        CPGameObject* parent = entry.Parent == root.Name ? &root : root.GetChild(entry.Parent).Get();
        Attach(parent, node);
    }
}

void AddLineData(CPGameObject& root, const RdfDescription& description) {
    for (const std::string& value : description.LineKeyPoints) root.LineKeyPoints.push_back(RdfFile::ReadPoint(value));
    // A colour that does not parse keeps the one the root has.
    if (!description.LineColor.empty()) RdfFile::ReadColour(description.LineColor, root.LineColor);
}

}  // namespace SceneLoaderLists
