// The per-vertex loops every drawn mesh runs each frame: vertices into world space and indices
// moved by the batch's base vertex. Row vectors (v·M): positions take the translation row,
// normals only the upper 3x3 and are not renormalised (a scaled node keeps scaled normals).
#pragma once

#include "Render/CPVertex.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstddef>
#include <cstdint>

namespace VertexTransform {

// out[i] position and normal := in[i]'s through m, diffuse := in[i]'s; the other fields of
// out keep what they hold. out and in may be the same array.
void ToWorld(CPVertex* out, const CPVertex* in, size_t count, const D3DXMATRIX& m);
// As ToWorld into world, with each finished vertex of world copied whole to copy as well, in
// the same pass (one walk over the vertices instead of two).
void ToWorldTwice(CPVertex* world, CPVertex* copy, const CPVertex* in, size_t count, const D3DXMATRIX& m);
// As ToWorld, with every other field copied from in as well.
void ToWorldCopy(CPVertex* out, const CPVertex* in, size_t count, const D3DXMATRIX& m);
// Positions and normals of v through m, in place.
void Bake(CPVertex* v, size_t count, const D3DXMATRIX& m);

// out[i] := in[i] + base (16-bit, wrapping as the device's indices do).
void AddBase(uint16_t* out, const uint16_t* in, size_t count, uint16_t base);
// As AddBase with every triangle's second and third index swapped, so a mirrored mesh keeps
// its front faces; indices past the last whole triangle are written unswapped.
void AddBaseSwapped(uint16_t* out, const uint16_t* in, size_t count, uint16_t base);

// The upper 3x3 of m has a negative determinant: m turns the mesh inside out.
bool IsMirrored(const D3DXMATRIX& m);

}  // namespace VertexTransform
