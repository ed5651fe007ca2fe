// One dent region of a car's damage model (CPRenderObject_Damage.cpp): the vertex groups it
// bends, the box a hit must cross and how much damage it has taken.
//
// Vertices are named by (render object, index) instead of references into vertex arrays, so a
// part whose Vertices grow later cannot leave the model pointing into freed memory; an index
// past the end of its array is skipped.
#pragma once

#include "core/CPBox.h"

#include <cstdint>
#include <vector>

class CPRenderObject;

struct CPVertexRef {
    CPRenderObject* Object = nullptr;  // a render object of the same car, not counted
    uint32_t Index = 0;                // into its Vertices
};

struct CPDamageRegion {
    // Vertices lying within 0.1 of the group's first one (each mesh's own coordinates).
    using VertexGroup = std::vector<CPVertexRef>;

    std::vector<VertexGroup> Groups;
    // Built in mesh coordinates; World := Local · the owner's world matrix while Level < 1.
    CPBox Box{D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.3f, 0.3f, 0.3f)};
    float Level = 0.0f;  // grows by each hit's amount; at 1 or more the region is saturated
};
