// The level's binary spatial tree over its static scenery, used when "quadlevels" is 0: the
// race update culls it against the camera every frame and hands the visible objects, with
// distance-based detail levels, to the renderer's static batcher; the level's ray and sphere
// queries use it to skip scenery far from the ray or sphere.
//
// The split does not halve space by volume: at the midpoint of the objects' centres it tries a
// cut on each axis and keeps the one whose halves hold the fewest distinct materials, so a
// visible leaf costs few material changes when drawn. The tree stops splitting where no axis
// separates the centres, or at MaxDepth, so building never recurses without bound; candidate
// halves that are not kept are freed at once.
//
// Culling uses the objects' visual bounds; ray picks and sphere queries use the union of their
// collision bounds, which is what those queries test, so a collision box reaching outside an
// object's visual box is still found.
//
// A branch owns its children; every branch lists all the objects below it (the root lists the
// level's whole scenery), not owning them.
#pragma once

#include "core/CPBoundingBox.h"
#include "core/CPObject.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <list>
#include <unordered_set>
#include <vector>

class CPGameObject;
class CPPerspectiveCamera;
struct CPPickInfo;

class CPLevelBranch : public CPObject {
public:
    static constexpr int MaxDepth = 40;
    static constexpr size_t MaterialBuckets = 100;

    CPLevelBranch();
    ~CPLevelBranch() override;

    size_t GetObjectSize() const override { return sizeof(CPLevelBranch); }
    std::string GetTypeName() const override { return "CPLevelBranch"; }

    // Fills the branch from the objects (null ones are left out): bounds, materials and the
    // static / dynamic lists. With "static" set, each static object is written once into the
    // renderer's dynamic batcher (the root's Build does this; the halves Split makes do not).
    void Build(std::vector<CPtr<CPGameObject>> objects);
    // Subdivides the branch; depth is the branch's own (0 for the root).
    void Split(int depth = 0);
    // Adds what is visible from the view to the renderer's static batcher.
    void Cull(CPPerspectiveCamera* view);
    // CPGameObject::RayPick on the objects of every leaf the ray reaches; the record keeps the
    // nearest hit. True when anything was hit.
    bool RayPick(CPPickInfo& pick);
    // Appends, in tree order, every object whose collision bounds touch the sphere.
    void CollectInSphere(const D3DXVECTOR3& centre, float radius, std::list<CPtr<CPGameObject>>& out);
    // CPGameObject::Deactivate on each of DynamicObjects.
    void DeactivateDynamic();

    bool IsLeaf() const { return Left == nullptr; }

    // Distinct materials of the static meshes below (and shadow materials of shadow casters).
    std::unordered_set<const CPObject*> Materials;
    CPBoundingBox Bounds;           // union of the objects' visual bounds
    CPBoundingBox CollisionBounds;  // union of the objects' collision bounds
    // Both set or both null; Left holds the objects whose centre lies above the cut. Owned.
    CPtr<CPLevelBranch> Left;
    CPtr<CPLevelBranch> Right;
    std::vector<CPtr<CPGameObject>> Objects;
    std::vector<CPtr<CPGameObject>> DynamicObjects;  // Static clear
    std::vector<CPtr<CPGameObject>> StaticObjects;   // Static set

private:
    void Fill(std::vector<CPtr<CPGameObject>> objects, bool writeStatic);
    void DeleteChildren();
};
