// The scene quadtree: a level's objects culled for drawing over the ground plane (x, y; z is
// the height). The level builds it once after loading, when "quadlevels" is not 0: space is
// split to that fixed depth (at most MaxLevels), then every node's box shrinks to what its
// objects occupy. Every frame Visit walks it with the race camera's first view: subtrees
// whose boxes lie outside the frustum are skipped, and each leaf near enough to the camera
// ("distance") hands its objects to the renderer's StaticBatcher.
//
// An object goes to the quadrant on its side of both dividing lines, judged by the centre of
// its Bounds; one on a line goes to the larger side. So an object lying on a line or
// reaching outside the root is still in exactly one leaf, and the leaf's box grows to hold
// it. Children are 0 (smaller x, smaller y), 1 (larger x, larger y), 2 (larger x, smaller
// y), 3 (smaller x, larger y).
#pragma once

#include "core/CPBoundingBox.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CPGameObject;
class CPPerspectiveCamera;

class CPQuadTreeNode {
public:
    static constexpr int MaxLevels = 8;

    CPQuadTreeNode() = default;
    virtual ~CPQuadTreeNode();
    CPQuadTreeNode(const CPQuadTreeNode&) = delete;
    CPQuadTreeNode& operator=(const CPQuadTreeNode&) = delete;

    // Box := centre ± halfExtents.
    void SetBounds(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents);
    // Replaces (and deletes) the child at index 0..3; other indices are ignored (child deleted).
    void SetChild(int index, CPQuadTreeNode* child);
    void AddObject(CPtr<CPGameObject> object);
    // Builds the subtree below this node to depth "quadlevels" (clamped to MaxLevels); a
    // depth at or past it makes this node a leaf holding the objects. Null objects are left out.
    void Build(std::vector<CPtr<CPGameObject>>& objects, int depth);
    // Hands the objects of the visible, near leaves to the renderer's StaticBatcher.
    void Visit(CPPerspectiveCamera* camera);

    // The depth Build splits to: "quadlevels", at most MaxLevels.
    static int Levels();
    // Child index for a point relative to the dividing lines through centre.
    static int QuadrantOf(const D3DXVECTOR3& point, const D3DXVECTOR3& centre);

    std::array<std::unique_ptr<CPQuadTreeNode>, 4> Children;
    std::vector<CPtr<CPGameObject>> Objects;
    std::vector<CPtr<CPGameObject>> SingleObjects;
    std::unique_ptr<CPBoundingBox> Box;

    // Nodes counted by Visit since the last reset (for statistics).
    static inline int64_t VisitedNodes = 0;
};
