// The node of the scene graph. Everything placed in a level or on an interface screen is a
// tree of these: a mesh and its parts, an animated figure, a light, a sprite, a particle
// effect or a plain group. A node carries its name, its parent and named children, its
// placement and the matrices derived from it, its bounds and collision boxes, one render
// object (of the class RenderKind names), level-of-detail substitutes, part animations, the
// script task that hears its events, its physics data and its XML description.
//
// Matrices are row-vector (v·M): WorldMatrix = LocalMatrix · ParentMatrix, LocalMatrix =
// rotation by Orientation then translation by Position. While a part animation drives the
// node (SetAnimatedTransform), its key matrix stands in for that rotation and translation.
//
// Counted pointers follow the engine's rule: Release frees nothing, nodes live until their
// owner deletes them. A destroyed node leaves its parent's child list and name table, and the
// physics world's active set, so no lookup ever reaches it.
//
// Objects of the layers above the scene graph (render objects, materials, the car) are held
// as counted CPObjects; their owners know the class (RenderKind says which for RenderObject).
#pragma once

#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "core/CPObject.h"
#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPPartAnimation.h"
#include "scene/CPPhysicData.h"
#include "scene/NameHash.h"

#include <tinyxml.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CPEnemyController;
class CPScriptTask;
struct CPAnimationParams;
struct CPPickInfo;

class CPGameObject : public CPObject {
public:
    // What RenderObject holds.
    enum : int32_t {
        RenderMesh = 0,           // CPRenderObject
        RenderAnimatedMesh = 1,   // CPAnimatedObject
        RenderLight = 2,          // CPLight
        RenderSprite = 3,         // CPSprite
        RenderParticleTask = 4,   // a CPTask (a particle system)
        RenderGroup = 5,          // nothing to draw
    };
    static constexpr uint32_t DefaultLineColor = 0xFF4E4E4E;

    using LodLevel = std::pair<CPtr<CPGameObject>, int32_t>;  // object, distance
    // Children by name; also takes a HashedName, so one hash serves a whole search.
    using ChildTable = std::unordered_map<std::string, CPtr<CPGameObject>, NameHash, NameEqual>;

    explicit CPGameObject(std::string name);
    ~CPGameObject() override;

    size_t GetObjectSize() const override { return sizeof(CPGameObject); }
    std::string GetTypeName() const override { return "CPGameObject - " + Name; }

    const std::string& GetName() const { return Name; }
    D3DXVECTOR3& GetPosition() { return Position; }
    D3DXQUATERNION& GetOrientation() { return Orientation; }
    D3DXMATRIX* GetWorldMatrix() { return &WorldMatrix; }
    CPtr<CPGameObject> GetParent() const { return CPtr<CPGameObject>(Parent); }
    // The node's script task while it is alive, else null: the node holds no reference, and a
    // task deleted before its nodes must not be sent to.
    CPtr<CPScriptTask> GetScriptObject() const;
    CPScriptTask* LiveScriptObject() const;
    bool HasPartAnimations() const { return PartAnimated; }

    // Both mirror the value onto the level-of-detail substitutes, mark the transform dirty
    // and hand the value to the physics data's body.
    void SetPosition(const D3DXVECTOR3& position);
    void SetOrientation(const D3DXQUATERNION& orientation);
    // The hook of part animations: from now on `local` is the node's local placement in
    // place of Position and Orientation (mirrored onto the substitutes like SetPosition).
    // The transform becomes dirty; the caller runs UpdateTransform.
    void SetAnimatedTransform(const D3DXMATRIX& local);
    // Back to Position and Orientation.
    void ClearAnimatedTransform();

    // Recomputes the matrices, boxes and bounds of the node and its whole subtree, and of
    // its substitutes; nothing when the node is not dirty.
    void UpdateTransform();

    // The child becomes the last of Children and the name entry of its name. A child that
    // has a parent leaves it first; a null child, the node itself or one of its ancestors is
    // refused (false).
    bool AddChild(CPtr<CPGameObject> child);
    // The node of that name in the subtree: a direct child by the name table, else depth
    // first through the children in order. Null when there is none.
    CPtr<CPGameObject> FindChild(const std::string& name) const;
    // The direct child of that name (the last one added), or null. Inserts nothing.
    CPtr<CPGameObject> GetChild(const std::string& name) const;
    // Appends the node, then the subtrees of its children in order (pre-order).
    virtual void CollectTree(std::vector<CPtr<CPGameObject>>& out);

    // Activation (CPGameObject_Activation.cpp). Activate hands the idle animation, the
    // particle task of a visible kind-4 node and the script task to the scheduler at that
    // priority, recursively, and says "add_object"; Deactivate stops them and says
    // "delete_object". Each runs once per change of Active.
    virtual void Activate(int32_t priority);
    virtual void Deactivate();
    // Makes this node, freshly created under the source's name, a deep copy of source
    // (CPGameObject_Copy.cpp): own render object, boxes, part animations, children and
    // physics data; materials, shared resources and the script task stay shared.
    virtual void CopyFrom(CPtr<CPGameObject> source);

    // Animation events (CPGameObject_Animation.cpp). A part animation of the node reached
    // its end, every pass when it loops: "animation_end" with the node's address to the
    // script task. The animated mesh has just sent "animation_stopped" / "animation_report"
    // to its listener: the enemy controller hears of it.
    virtual void OnAnimationEnd();
    void OnAnimationStopped();
    void OnAnimationReport();

    // Registers a part animation; "idle" (exactly) also becomes IdleAnimation and loops.
    void AddPartAnimation(const std::string& name, CPtr<CPPartAnimation> animation);
    // Starts a vertex animation on every animated figure of the subtree.
    void SetAnimation(const CPAnimationParams& params, bool force);
    // "damage" with the amount to the script task unless silent; the enemy controller hears
    // of it either way. The tree is not walked.
    void Damage(const D3DXVECTOR3& position, const D3DXVECTOR3& impact, float amount, bool noEffect, bool silent);
    // Every node of the subtree with a flame type gets a "flame" child running a clone of
    // that flame prototype, once. intensity is handed on and has no other effect.
    void SpawnFlame(float intensity);
    // FireMaterial becomes the material of the render objects of the subtree that have one.
    void ApplyFireMaterial();
    // Ray picks against the collision boxes of the subtree (CPGameObject_Pick.cpp); pick
    // ends with the nearest hit. True when some box was hit.
    bool RayPick(CPPickInfo& pick);
    // The nearest node up from this one (itself first) with a script task, else the root.
    CPGameObject* FindScriptOwner();
    // Loads "Data\Descriptions\" + DescriptionName into XmlDocument (CPGameObject_Copy.cpp).
    bool LoadDescription();
    // The parsed XML description (empty until LoadDescription).
    TiXmlDocument& GetDescriptionDocument() { return XmlDocument; }

    void SetVisible(bool visible) { Visible = visible; }
    // Also on the level-of-detail substitutes.
    void SetStatic(bool isStatic);
    // Also on the whole subtree, then on the substitutes.
    void SetCastShadow(bool castShadow);
    // A task makes the node and its subtree non-static; null changes nothing.
    void SetScriptObject(CPtr<CPScriptTask> task);
    void SetShadowMaterial(CPtr<CPObject> material) { ShadowMaterial = material; }
    void SetFireMaterial(CPtr<CPObject> material) { FireMaterial = material; }
    // Box := box; Bounds from it. Children and collision bounds wait for UpdateTransform.
    void SetBounds(const CPBox& box);
    void AddLodLevel(CPtr<CPGameObject> object, int32_t distance);

    // The members are grouped by who reads them, so a walk over many nodes touches few cache
    // lines of each: first what the frame's batching, ray picks and name searches read, then
    // what a transform update reads and writes, then the rest.
    std::vector<CPtr<CPGameObject>> Children;  // in order of adding
    CPtr<CPObject> RenderObject;
    // Set by the creator; a node nobody gave a kind draws nothing.
    int32_t RenderKind = RenderGroup;
    bool Visible = true;
    bool Static = true;
    bool Collision = true;  // the collision boxes take part in ray picks
    bool CastShadow = true;
    bool TransformDirty = true;
    // Set when UpdateTransform made new matrices; cleared by every move or turn and by the
    // mesh render object once it has followed the new WorldMatrix.
    bool TransformUpdated = true;
    bool HasAnimatedTransform = false;  // see SetAnimatedTransform
    bool PartAnimated = false;
    CPGameObject* Parent = nullptr;  // not counted
    // World bounds of the collision boxes of the subtree; empty when it has none.
    CPBoundingBox CollisionBounds;
    std::vector<CPBox> CollisionBoxes;  // node space, each with its Local placement
    // The last child added under each name.
    ChildTable ChildrenByName;
    // World bounds of Box and the subtree's, widened by the shadow projection when
    // CastShadow is set.
    CPBoundingBox Bounds;
    // Level of detail: entry 0 is the node itself (distance 0) once the loader has made
    // it; the substitutes follow. Mirrored changes skip entry 0 and null objects.
    std::vector<LodLevel> LodLevels;
    D3DXVECTOR3 Position;        // relative to the parent
    D3DXQUATERNION Orientation;  // relative to the parent
    D3DXMATRIX ParentMatrix;
    D3DXMATRIX LocalMatrix;
    D3DXMATRIX WorldMatrix;
    CPBox Box{D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)};

    std::string Name;
    CPScriptTask* ScriptObject = nullptr;  // not counted
    CPtr<CPPhysicData> Physics;
    CPtr<CPObject> Car;  // the car a player node drives (a CPCar)
    // The local placement a part animation gave (see SetAnimatedTransform).
    D3DXMATRIX AnimatedTransform;
    int32_t FlameType = -1;  // flame template it burns with; -1 none
    bool Active = false;
    // Part animations by name; "idle" is also IdleAnimation.
    std::unordered_map<std::string, CPtr<CPPartAnimation>> Animations;
    CPtr<CPPartAnimation> IdleAnimation;
    std::string Param;
    std::string DescriptionName;              // XML description under "Data\Descriptions"
    CPEnemyController* Controller = nullptr;  // not owned
    CPtr<CPObject> ShadowMaterial;            // a CPMaterial
    CPtr<CPObject> FireMaterial;              // a CPMaterial
    std::vector<D3DXVECTOR3> LineKeyPoints;
    uint32_t LineColor = DefaultLineColor;  // ARGB
    std::string SourceName;                 // the ".rdf" file it came from
    TiXmlDocument XmlDocument;

private:
    // Runs f on each level-of-detail substitute: the changes a node mirrors onto them skip
    // entry 0 (the node itself) and null entries.
    template <class F>
    void ForEachSubstitute(F&& f) {
        for (size_t i = 1; i < LodLevels.size(); ++i) {
            if (LodLevels[i].first != nullptr) {
                f(*LodLevels[i].first);
            }
        }
    }

    void ClearStaticInSubtree();
    // UpdateTransform of a dirty node; whether the shadow matrix projects is asked once per
    // tree, not once per node.
    void UpdateSubtree(bool shadowProjects);
    // Takes the child out of Children and re-points or drops its name entry.
    void DetachChild(CPGameObject* child);
};
