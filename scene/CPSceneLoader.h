// The scene loader builds scene objects from the game's data files. It has one instance,
// created by the host and reached through Instance; its fields are state shared by every load
// (loads must not run concurrently).
//
// The animation-file reader and DeleteObject are defined here, in scene/. The object-description
// loader (LoadObject, ApplyMaterialSection and the node builders) makes render objects and
// materials, so it is defined with the renderer (Render/CPSceneLoader_*.cpp); its pure readers
// are scene/RdfFile and Render/MeshFile.
#pragma once

#include "core/CPtr.h"
#include "scene/CPPartAnimation.h"
#include "scene/RdfFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CPAnimation;
class CPGameObject;
namespace MeshFile {
struct Node;
}

// The animated mesh file being read, as its ".rdf" line names it; part of the key of the
// vertex animations read from it.
extern std::string CurrentMeshFile;

class CPSceneLoader {
public:
    using PartAnimationTable = std::unordered_map<std::string, CPtr<CPPartAnimation>>;

    // Reads "Data\Animations\" + fileName and enters one new part animation per playable track
    // in out under the track's lower-cased name (a later track of the same name replaces the
    // earlier entry). A file that cannot be read adds nothing and reports nothing; a damaged
    // file adds nothing and is reported to the log once, a track that cannot be played is
    // left out with a report of its own. Target and Loop are left to whoever registers the
    // animations on a node.
    void LoadPartAnimations(const std::string& fileName, PartAnimationTable& out);

    // Object descriptions. Reads "Data\Meshes\" + name and returns the root of the object it
    // describes, its material sections applied and its attached objects built; typeBase is
    // added to every section's material type. A file that cannot be read, or whose mesh files
    // give no root, gives the object of "wrong.rdf" (null when that fails too). A description
    // that is already being loaded further up (a level-of-detail chain back to itself) gives
    // null. Damaged mesh files are reported to the log once each.
    CPtr<CPGameObject> LoadObject(const std::string& name, int32_t typeBase);
    void SetShadowTexturesOn(bool on) { ShadowTexturesOn = on; }
    // Gives the node its materials, flags, script task, texture modifiers, shared mesh buffers
    // and part animations from its section.
    void ApplyMaterialSection(CPtr<CPGameObject> node, MaterialSection& section, int32_t typeBase);

    // The node builders: one record of a mesh file (Render/MeshFile) and its subtree, each
    // node's section applied. Animated records take their vertex animations from `animations`
    // (by the record's key-frame number) under animationName.
    CPtr<CPGameObject> ReadMeshNode(MeshFile::Node& record, SectionTable& sections, int32_t typeBase);
    CPtr<CPGameObject> ReadPhysicsMeshNode(MeshFile::Node& record, SectionTable& sections, int32_t typeBase);
    CPtr<CPGameObject> ReadAnimatedNode(MeshFile::Node& record, const std::vector<CPtr<CPAnimation>>& animations,
                                        SectionTable& sections, int32_t typeBase, const std::string& animationName);
    // Adds the animations of a further animated file's record to the existing tree, matching
    // children by name; records that match no node are dropped whole.
    void AddAnimatedNode(CPtr<CPGameObject> node, const MeshFile::Node& record,
                         const std::vector<CPtr<CPAnimation>>& animations, const std::string& animationName);

    // Deletes a tree the loader built: its nodes, their render objects, physics data and part
    // animations, and the level-of-detail objects it holds. Materials and vertex animations
    // belong to their managers.
    static void DeleteObject(CPGameObject* root);

    // The pieces of the last "shadowtextures" value, and whether an object with one is being
    // built (nested loads share both).
    std::array<std::string, 3> ShadowTextureNames;
    bool ShadowTexturesOn = false;
    // "Data\Meshes\" + the mesh file of the mesh object being built, lower-cased: the prefix of
    // the shared mesh-buffer names.
    std::string MeshPath;

    // The colour written into the diffuse field of every vertex the mesh and key-frame readers
    // load; set by the loader's owner (the level loader sets opaque white).
    uint32_t DefaultVertexColour = 0xFFFFFFFF;

    // Set by whoever creates the one loader (the host).
    static CPSceneLoader* Instance;

private:
    // The roots of the animated and the mesh form with their attached lists; null when no
    // mesh file gave one.
    CPGameObject* BuildAnimatedObject(const std::string& name, const std::vector<std::string>& head,
                                      RdfDescription& description, int32_t typeBase);
    CPGameObject* BuildMeshObject(const std::string& name, RdfDescription& description, int32_t typeBase);

    // The descriptions being loaded, outermost first (lower-cased names).
    std::vector<std::string> Loading;
};
