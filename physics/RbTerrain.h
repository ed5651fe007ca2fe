// The terrain as the simulator sees it: triangles handed over by the game's terrain query.
#pragma once

#include "physics/RbMath.h"

#include <cstdint>

class RbBody;

// A terrain triangle as the terrain query hands it over: three indices into the vertex
// array, then three words that are 0.
struct RbTerrainTriangle {
    int32_t Vertices[3] = {-1, -1, -1};
    int32_t Reserved[3] = {};
};
static_assert(sizeof(RbTerrainTriangle) == 24, "terrain triangle layout");

// Candidate terrain triangles for the world box lower..upper around body: the callee
// fills a list of candidate indices into its triangle array, the arrays themselves and the
// two counts. The arrays stay the callee's.
using RbTerrainQueryCallback = void (*)(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                                        const RbTerrainTriangle*& triangles, const RbVector*& vertices,
                                        int32_t& candidateCount, int32_t& triangleCount, RbBody* body);
