// Material sections of object descriptions: what one "[node]" section of an ".rdf" file does to
// the node built under that name (its materials, flags, script task, texture modifiers, shared
// mesh buffers and part animations). Missing keys keep their defaults and nothing is reported.
#include "scene/CPSceneLoader.h"

#include "Render/CPAnimatedObject.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "Render/CPSprite.h"
#include "Render/CPTextureModifier.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPFileFinder.h"
#include "core/CPScriptTask.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"

#include <sys/stat.h>

#include <memory>

namespace {

const std::string* Find(const MaterialSection& section, const char* key) {
    const auto found = section.find(key);
    return found == section.end() ? nullptr : &found->second;
}

std::string ValueOf(const MaterialSection& section, const char* key) {
    const std::string* value = Find(section, key);
    return value != nullptr ? *value : std::string();
}

// Whether a search for path finds an entry. A name without wildcards is looked up directly
// rather than by reading its whole folder (every node asks once or more); as a search, it
// finds folders too but no dangling link.
bool FileOnDisk(const std::string& path) {
    if (path.find_first_of("*?") == std::string::npos) {
        if (!HostFiles::Exists(path)) return false;
        struct stat info{};
        return stat(HostFiles::Resolve(path).c_str(), &info) == 0;
    }
    CPFileFinder finder(path);
    return finder.FindFirst() == S_OK;
}

CPtr<CPMaterial> GetMaterial(const std::string& effect, const std::vector<std::string>& textures, int32_t type) {
    CPMaterialManager* manager = CPMaterialManager::Instance;
    return manager != nullptr ? manager->GetMaterial(effect, textures, type) : CPtr<CPMaterial>();
}

// Hands the modifier to the node's render object; false when its kind takes none.
bool AddModifier(CPGameObject& node, std::unique_ptr<CPTextureModifier> modifier) {
    CPObject* object = node.RenderObject.Get();
    if (node.RenderKind == CPGameObject::RenderMesh) {
        if (auto* mesh = dynamic_cast<CPRenderObject*>(object)) {
            mesh->AddModifier(std::move(modifier));
            mesh->HasModifiers = true;
            node.Static = false;
            return true;
        }
    } else if (node.RenderKind == CPGameObject::RenderAnimatedMesh) {
        if (auto* figure = dynamic_cast<CPAnimatedObject*>(object)) {
            figure->AddModifier(std::move(modifier));
            figure->HasModifiers = true;
            node.Static = false;
            return true;
        }
    } else if (node.RenderKind == CPGameObject::RenderSprite) {
        if (auto* sprite = dynamic_cast<CPSprite*>(object)) {
            sprite->AddModifier(std::move(modifier));
            sprite->HasModifiers = true;
            return true;
        }
    }
    return false;
}

void SetMaterial(CPGameObject& node, const CPtr<CPMaterial>& material) {
    CPObject* object = node.RenderObject.Get();
    switch (node.RenderKind) {
    case CPGameObject::RenderMesh:
        if (auto* mesh = dynamic_cast<CPRenderObject*>(object)) mesh->SetMaterial(material);
        break;
    case CPGameObject::RenderAnimatedMesh:
        if (auto* figure = dynamic_cast<CPAnimatedObject*>(object)) figure->SetMaterial(material);
        break;
    case CPGameObject::RenderSprite:
        if (auto* sprite = dynamic_cast<CPSprite*>(object)) sprite->SetMaterial(material);
        break;
    default:
        break;
    }
}

int32_t IntValue(const std::string& value) { return RdfFile::PieceInt(value); }

}  // namespace

void CPSceneLoader::ApplyMaterialSection(CPtr<CPGameObject> node, MaterialSection& section, int32_t typeBase) {
    if (node == nullptr) return;
    // Effect and textures; a missing first texture is an empty name.
    std::string effect = ValueOf(section, "effectfile");
    const std::string firstTexture = ValueOf(section, "texturefile1");
    std::vector<std::string> textures{firstTexture};
    for (const char* key : {"texturefile2", "texturefile3", "texturefile4"}) {
        if (const std::string* value = Find(section, key)) textures.push_back(*value);
    }

    // A baked shadow texture of the node's own with its own effect, when both are on disk.
    if (ShadowTexturesOn) {
        const std::string ownTexture = ShadowTextureNames[0] + "\\" + node->Name + ShadowTextureNames[1];
        if (FileOnDisk("Data\\Textures\\" + ownTexture)) {
            const size_t keep = ownTexture.size() >= 3 ? ownTexture.size() - 3 : 0;
            const std::string ownEffect = ownTexture.substr(0, keep) + ShadowTextureNames[2];
            if (FileOnDisk("Data\\Effects\\" + ownEffect)) {
                textures.push_back(ownTexture);
                effect = ownEffect;
            }
        }
    }

    const int32_t type = IntValue(ValueOf(section, "type")) + typeBase;
    const CPtr<CPMaterial> material = GetMaterial(effect, textures, type);

    // The shadow material follows CastShadow as it stands before the section's own "shadow".
    if (node->CastShadow) {
        if (effect == "holey.fx") {
            node->SetShadowMaterial(GetMaterial("holey_shadow.fx", textures, 16).Get());
        } else if (CPRender::Instance != nullptr) {
            node->SetShadowMaterial(CPRender::Instance->GetShadowMaterial().Get());
        }
    }
    SetMaterial(*node, material);

    if (const std::string* value = Find(section, "visible")) node->Visible = IntValue(*value) != 0;
    if (const std::string* value = Find(section, "shadow")) node->CastShadow = IntValue(*value) != 0;
    if (const std::string* value = Find(section, "param")) node->Param = *value;
    if (const std::string* value = Find(section, "collision")) node->Collision = IntValue(*value) != 0;
    if (const std::string* value = Find(section, "flametype")) node->FlameType = IntValue(*value);

    // A "<first texture>_fire.tga" beside the first texture gives the burning look.
    const std::string fire = firstTexture.substr(0, firstTexture.find('.')) + "_fire.tga";
    if (FileOnDisk("Data\\Textures\\" + fire)) {
        node->SetFireMaterial(GetMaterial("holey.fx", {fire}, 20).Get());
    }

    if (const std::string* value = Find(section, "script")) {
        if (CPCommandDispatcher::Instance != nullptr) {
            node->SetScriptObject(CPCommandDispatcher::Instance->FindObject(*value));
        }
    }

    if (const std::string* value = Find(section, "vertexeffect")) {
        for (const std::string& item : RdfFile::Split(*value, ";")) {
            const std::vector<std::string> words = RdfFile::Split(item, " ");
            if (words.empty()) continue;
            const std::vector<std::string> arguments =
                words.size() > 1 ? RdfFile::Split(words[1], ",") : std::vector<std::string>();
            std::unique_ptr<CPTextureModifier> modifier = CPTextureModifier::Create(words[0], arguments);
            if (modifier != nullptr) AddModifier(*node, std::move(modifier));
        }
    } else if (node->RenderKind == CPGameObject::RenderMesh) {
        // Geometry that never changes goes to device buffers shared by name and leaves the
        // per-frame batches.
        auto* mesh = dynamic_cast<CPRenderObject*>(node->RenderObject.Get());
        if (mesh != nullptr && !mesh->Excluded && CPRender::Instance != nullptr) {
            mesh->MeshBufferName = MeshPath + node->Name;
            mesh->MeshBuffers = CPRender::Instance->CreateMeshBuffers(
                mesh->MeshBufferName, mesh->Vertices.data(), mesh->Indices.data(),
                static_cast<int>(mesh->Vertices.size()), static_cast<int>(mesh->Indices.size()));
            mesh->Excluded = true;
        }
    }

    if (const std::string* value = Find(section, "animation")) {
        std::vector<CPtr<CPGameObject>> tree;
        node->CollectTree(tree);
        for (const std::string& item : RdfFile::Split(*value, ";")) {
            const std::vector<std::string> pieces = RdfFile::Split(item, ",");
            if (pieces.size() < 2 || pieces[1].empty()) continue;
            PartAnimationTable table;
            LoadPartAnimations(pieces[1], table);
            std::unordered_map<std::string, bool> given;
            for (const CPtr<CPGameObject>& part : tree) {
                const auto found = table.find(part->Name);
                if (found == table.end() || found->second == nullptr) continue;
                // A second node of the same name gets a copy of its own, so each plays for its
                // own node.
                CPtr<CPPartAnimation> animation = found->second;
                if (given[part->Name]) {
                    animation = new CPPartAnimation();
                    animation->CopyFrom(found->second);
                }
                given[part->Name] = true;
                animation->Target = part.Get();
                const auto old = part->Animations.find(pieces[0]);
                CPPartAnimation* replaced = old != part->Animations.end() ? old->second.Get() : nullptr;
                part->AddPartAnimation(pieces[0], animation);
                if (replaced != nullptr && replaced != animation.Get()) delete replaced;
            }
            // Tracks no node took are nobody's: deleted once the table lets go of them.
            std::vector<CPPartAnimation*> unused;
            for (auto& [name, animation] : table) {
                if (!given[name]) unused.push_back(animation.Get());
            }
            table.clear();
            for (CPPartAnimation* animation : unused) delete animation;
        }
    }
}
