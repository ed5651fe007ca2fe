// The texture modifiers' loops over vertex arrays. Each writes count vertices, every one a
// copy of its source vertex with one change; destination and source may be the same memory.
//
// A modifier rewrites every vertex of its object every frame, so these run at the speed of a
// copy: on processors with AVX2 they move two vertices (three 32-byte blocks) at a time and
// change the fields in place, otherwise they go vertex by vertex. Both ways give the same
// bits: the arithmetic is the same single operations in the same order (no fused
// multiply-add), and fields not changed are copied untouched.
#pragma once

#include "Render/CPVertex.h"

#include <cstdint>

namespace ModifierLoops {

// Diffuse := diffuse.
void SetDiffuse(CPVertex* destination, const CPVertex* source, int count, uint32_t diffuse);
// Diffuse := ((uint32_t)((float)(Diffuse >> 24) * scale) & 0xFF) << 24 | 0x00FFFFFF.
// scale must keep the product within [0, 2^31) (the flicker's is at most 1).
void ScaleAlpha(CPVertex* destination, const CPVertex* source, int count, float scale);
// U := U * scaleU + offsetU, V := V * scaleV + offsetV.
void MapUV(CPVertex* destination, const CPVertex* source, int count, float scaleU, float scaleV, float offsetU,
           float offsetV);
// U := U + offsetU, V := V + offsetV.
void OffsetUV(CPVertex* destination, const CPVertex* source, int count, float offsetU, float offsetV);
// U2 := Position.x / scale + Normal.x * 0.5, V2 := Position.y / scale + Normal.y * 0.5.
void EnvironmentUV(CPVertex* destination, const CPVertex* source, int count, float scale);

// For tests: false keeps every loop on the vertex-by-vertex way; true (the default) lets them
// take the wide one where the processor has it.
void AllowWide(bool allow);

}  // namespace ModifierLoops
