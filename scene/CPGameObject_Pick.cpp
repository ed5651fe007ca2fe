// Ray picks against the collision boxes of a tree, and the lookup of the node whose script
// task speaks for a part.
//
// A subtree is entered only when the ray segment meets its collision bounds, so a tree
// without collision boxes (empty bounds) is never hit, and each box that is hit lowers
// pick.Distance, so the record ends with the nearest hit of all boxes tried.
#include "scene/CPGameObject.h"

#include "scene/CPPickInfo.h"
#include "scene/NodePrefetch.h"

namespace {

// Whether the pick enters the node's subtree at all.
bool Enters(const CPGameObject& node, const CPPickInfo& pick) {
    return node.Collision && pick.Exclude != &node &&
           node.CollisionBounds.IntersectSegment(pick.Origin, pick.Direction, pick.Distance);
}

// The pick inside a subtree it enters. A child is tested before the call for it: most are
// missed, and they cost no call.
bool PickEntered(CPGameObject& node, CPPickInfo& pick) {
    bool hit = false;
    for (const CPBox& box : node.CollisionBoxes) {
        if (box.IntersectRay(pick.Origin, pick.Direction, pick.Distance, pick.HitFace)) {
            hit = true;
        }
    }
    if (hit) {
        pick.Object = &node;
        pick.Owner = node.FindScriptOwner();
    }
    const std::vector<CPtr<CPGameObject>>& children = node.Children;
    for (size_t i = 0; i < children.size(); ++i) {
        if (i + 1 < children.size()) {
            NodePrefetch::ForPick(children[i + 1].Get());
        }
        CPGameObject& child = *children[i];
        if (Enters(child, pick) && PickEntered(child, pick)) {
            hit = true;
        }
    }
    return hit;
}

}  // namespace

bool CPGameObject::RayPick(CPPickInfo& pick) { return Enters(*this, pick) && PickEntered(*this, pick); }

CPGameObject* CPGameObject::FindScriptOwner() {
    CPGameObject* node = this;
    while (node->ScriptObject == nullptr && node->Parent != nullptr) {
        node = node->Parent;
    }
    return node;
}
