// Ray picks against the collision boxes of a tree, and the lookup of the node whose script
// task speaks for a part.
//
// A subtree is entered only when the ray segment meets its collision bounds, so a tree
// without collision boxes (empty bounds) is never hit, and each box that is hit lowers
// pick.Distance, so the record ends with the nearest hit of all boxes tried.
#include "scene/CPGameObject.h"

#include "scene/CPPickInfo.h"
#include "scene/NodePrefetch.h"

bool CPGameObject::RayPick(CPPickInfo& pick) {
    if (!Collision || pick.Exclude == this) {
        return false;
    }
    if (!CollisionBounds.IntersectSegment(pick.Origin, pick.Direction, pick.Distance)) {
        return false;
    }
    bool hit = false;
    for (const CPBox& box : CollisionBoxes) {
        if (box.IntersectRay(pick.Origin, pick.Direction, pick.Distance, pick.HitFace)) {
            hit = true;
        }
    }
    if (hit) {
        pick.Object = this;
        pick.Owner = FindScriptOwner();
    }
    for (size_t i = 0; i < Children.size(); ++i) {
        if (i + 1 < Children.size()) {
            NodePrefetch::ForPick(Children[i + 1].Get());
        }
        if (Children[i]->RayPick(pick)) {
            hit = true;
        }
    }
    return hit;
}

CPtr<CPGameObject> CPGameObject::FindScriptOwner() {
    CPGameObject* node = this;
    while (node->ScriptObject == nullptr && node->Parent != nullptr) {
        node = node->Parent;
    }
    return CPtr<CPGameObject>(node);
}
