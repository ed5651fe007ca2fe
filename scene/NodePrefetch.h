// Prefetching for walks over many scene nodes. A node's children lie scattered over the heap,
// so a walk that stops for each one's memory in turn spends most of its time waiting; asking
// for the next sibling's lines while the current one is worked on hides that wait. Only hints:
// nothing is read, and a null node asks for nothing.
#pragma once

#include "scene/CPGameObject.h"

#include <cstddef>

namespace NodePrefetch {

constexpr size_t kLine = 64;

inline void Range(const void* from, const void* to) {
    const char* p = static_cast<const char*>(from);
    const char* end = static_cast<const char*>(to);
    for (; p < end; p += kLine) {
        __builtin_prefetch(p);
    }
}

// What batching and the quadtree's hand-over read: the children, render object, kind and flags.
inline void ForFrame(const CPGameObject* node) {
    if (node != nullptr) {
        Range(node, &node->Parent + 1);
    }
}

// What a name search reads: the children and the name table.
inline void ForFind(const CPGameObject* node) {
    if (node != nullptr) {
        Range(node, &node->ChildrenByName + 1);
    }
}

// What a ray pick reads: that and the collision bounds and boxes' list.
inline void ForPick(const CPGameObject* node) {
    if (node != nullptr) {
        Range(node, &node->CollisionBoxes + 1);
    }
}

// What a transform update reads and writes: everything up to the box's bounds and matrices.
inline void ForTransform(const CPGameObject* node) {
    if (node != nullptr) {
        Range(node, &node->Box.Transform);
    }
}

// What a transform update of the node's first collision box touches, once the node's own
// lines are on their way or in.
inline void Boxes(const CPGameObject* node) {
    if (node != nullptr && !node->CollisionBoxes.empty()) {
        Range(node->CollisionBoxes.data(), &node->CollisionBoxes.front().Transform);
    }
}

}  // namespace NodePrefetch
