// Object descriptions (".rdf" under "Data\Meshes"): the loader reads the text (scene/RdfFile),
// reads the mesh files it names whole (Render/MeshFile), and only then builds the node tree,
// so a damaged file never leaves half a tree behind. Three forms: an animated figure ("anim"
// and its files), a group ("empty") or a mesh file.
//
// Fallbacks: a description that cannot be read, or whose mesh files give no root, is replaced
// by "wrong.rdf"; when that fails too the result is null. A level-of-detail chain that leads
// back to a description still being loaded stops there with a null entry.
#include "scene/CPSceneLoader.h"

#include "Render/CPAnimation.h"
#include "Render/CPAnimationManager.h"
#include "Render/KeyFrameBlock.h"
#include "Render/MeshFile.h"
#include "Render/SceneLoaderLists.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/StringUtil.h"
#include "core/XmlFile.h"
#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"

#include <algorithm>

std::string CurrentMeshFile;

namespace {

const char* const WrongObject = "wrong.rdf";

// The vertex animation of each key-frame block, in reading order, through the animation
// manager's cache (the block is consumed either way). The cache key is the node's name; in a
// later file of a figure the root's own record is not the node, so its block (the first read)
// is keyed by the existing root's name, `rootName`, instead of the name the record carries.
MeshFile::KeyFrameReader CollectAnimations(std::vector<CPtr<CPAnimation>>& animations,
                                           const std::string* rootName = nullptr) {
    return [&animations, rootName](CPFileReader& reader, const std::string& recordName) {
        const std::string& nodeName = (rootName != nullptr && animations.empty()) ? *rootName : recordName;
        CPAnimationManager* manager = CPAnimationManager::Instance;
        if (manager == nullptr) {
            std::string problem;
            animations.emplace_back();
            return KeyFrameBlock::Skip(reader, problem);
        }
        CPtr<CPAnimation> animation = manager->GetAnimation(nodeName + "&" + CurrentMeshFile, reader);
        animations.push_back(animation);
        return animation != nullptr;
    };
}

bool ReadMeshFile(const std::string& path, MeshFile::Kind kind, MeshFile::File& file,
                  const MeshFile::KeyFrameReader& keyFrames = MeshFile::KeyFrameReader()) {
    CPFileReader reader(path, false);
    if (reader.Load() != S_OK) return false;
    std::string problem;
    if (!MeshFile::Read(reader, kind, file, problem, keyFrames)) {
        CPLog::GetInstance().Write(0, "Mesh file %s refused: %s\n", reader.GetFileName().c_str(), problem.c_str());
        return false;
    }
    return true;
}

}  // namespace

CPtr<CPGameObject> CPSceneLoader::LoadObject(const std::string& name, int32_t typeBase) {
    // The description, its mesh files and every texture probe: one look at the folders' changes.
    const HostFiles::Batch batch;
    std::string key = name;
    ToLower(key);
    if (std::find(Loading.begin(), Loading.end(), key) != Loading.end()) {
        CPLog::GetInstance().Write(0, "Object %s refers back to itself\n", name.c_str());
        return CPtr<CPGameObject>();
    }
    CPFileReader reader("Data\\Meshes\\" + name, false);
    RdfDescription description;
    const bool readable = reader.Load() == S_OK;
    if (readable) {
        RdfFile::Parse(reinterpret_cast<const char*>(reader.GetData()), reader.GetLength(), description);
    }
    CPGameObject* root = nullptr;
    if (readable) {
        if (!description.ShadowTextures.empty()) {
            const std::vector<std::string> pieces = RdfFile::Split(description.ShadowTextures, ",");
            for (size_t k = 0; k < ShadowTextureNames.size(); ++k) {
                ShadowTextureNames[k] = k < pieces.size() ? pieces[k] : std::string();
            }
            ShadowTexturesOn = true;
        }
        Loading.push_back(key);
        const std::vector<std::string> head = RdfFile::Split(description.Head, ";");
        if (!head.empty() && head[0] == "anim") {
            root = BuildAnimatedObject(name, head, description, typeBase);
        } else if (description.Head == "empty") {
            root = new CPGameObject(description.Head);
            root->RenderKind = CPGameObject::RenderGroup;
            SceneLoaderLists::AddSprites(*this, *root, description, typeBase, SceneLoaderLists::SpriteForm::Group);
        } else {
            root = BuildMeshObject(name, description, typeBase);
        }
        Loading.pop_back();
    }
    if (root == nullptr) {
        ShadowTexturesOn = false;
        if (key == WrongObject) {
            CPLog::GetInstance().Write(0, "The stand-in object %s cannot be loaded\n", WrongObject);
            return CPtr<CPGameObject>();
        }
        return LoadObject(WrongObject, typeBase);
    }
    if (!description.Description.empty()) {
        root->DescriptionName = description.Description;
        // The object is kept; whoever needs its values (a car) refuses it by its document.
        root->LoadDescription();
        const std::string problem = XmlFileProblem(root->GetDescriptionDocument());
        if (!problem.empty()) {
            CPLog::GetInstance().Write(0, "Description %s of %s: %s\n", root->GetDescriptionDocument().Value(),
                                       name.c_str(), problem.c_str());
        }
    }
    ShadowTexturesOn = false;
    return root;
}

CPGameObject* CPSceneLoader::BuildAnimatedObject(const std::string& name, const std::vector<std::string>& head,
                                                 RdfDescription& description, int32_t typeBase) {
    CPtr<CPGameObject> root;
    for (size_t k = 1; k < head.size(); ++k) {
        const std::vector<std::string> pieces = RdfFile::Split(head[k], ",");
        const std::string animationName = pieces.empty() ? std::string() : pieces[0];
        const std::string fileName = pieces.size() > 1 ? pieces[1] : std::string();
        CurrentMeshFile = fileName;
        std::vector<CPtr<CPAnimation>> animations;
        MeshFile::File file;
        const std::string* rootName = root != nullptr ? &root->Name : nullptr;
        if (!ReadMeshFile("Data\\Meshes\\" + fileName, MeshFile::Kind::Animated, file,
                          CollectAnimations(animations, rootName))) {
            continue;
        }
        if (root == nullptr) {
            root = ReadAnimatedNode(file.Nodes[0], animations, description.Sections, typeBase, animationName);
            root->SourceName = name;
        } else {
            // The root's own name in a further file is not compared.
            AddAnimatedNode(root, file.Nodes[0], animations, animationName);
        }
        root->UpdateTransform();
    }
    if (root == nullptr) return nullptr;
    SceneLoaderLists::AddLods(*this, *root, description, typeBase);
    SceneLoaderLists::AddSprites(*this, *root, description, typeBase, SceneLoaderLists::SpriteForm::Animated);
    return root.Get();
}

CPGameObject* CPSceneLoader::BuildMeshObject(const std::string& name, RdfDescription& description,
                                             int32_t typeBase) {
    const MeshFile::Kind kind = MeshFile::KindOfName(description.Head);
    MeshPath = "Data\\Meshes\\" + description.Head;
    ToLower(MeshPath);
    MeshFile::File file;
    if (!ReadMeshFile("Data\\Meshes\\" + description.Head, kind, file)) return nullptr;
    CPtr<CPGameObject> root;
    if (file.Nodes.size() == 1) {
        root = kind == MeshFile::Kind::Physics ? ReadPhysicsMeshNode(file.Nodes[0], description.Sections, typeBase)
                                               : ReadMeshNode(file.Nodes[0], description.Sections, typeBase);
    } else {
        root = new CPGameObject(name);
        root->RenderKind = CPGameObject::RenderGroup;
        for (MeshFile::Node& record : file.Nodes) {
            root->AddChild(kind == MeshFile::Kind::Physics
                               ? ReadPhysicsMeshNode(record, description.Sections, typeBase)
                               : ReadMeshNode(record, description.Sections, typeBase));
        }
    }
    root->SourceName = name;
    // The named transforms of the tail move nothing; only their presence asks for a transform
    // update here.
    if (file.HasTail) root->UpdateTransform();
    SceneLoaderLists::AddLineData(*root, description);
    SceneLoaderLists::AddSprites(*this, *root, description, typeBase, SceneLoaderLists::SpriteForm::Mesh);
    SceneLoaderLists::AddLights(*root, description);
    SceneLoaderLists::AddLods(*this, *root, description, typeBase);
    SceneLoaderLists::AddParticleSystems(*root, description);
    return root.Get();
}
