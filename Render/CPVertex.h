// The engine's one vertex: what meshes are stored as on disk, what render objects write and
// what the device buffers hold. The layout is the file layout and the vertex format 0x2D2.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>

struct CPVertex {
    D3DXVECTOR3 Position;  // object or world space, as the owner says
    D3DXVECTOR3 Normal;
    uint32_t Diffuse = 0;   // ARGB
    uint32_t Specular = 0;  // ARGB
    float U = 0.0f;         // first texture coordinates
    float V = 0.0f;
    float U2 = 0.0f;        // second texture coordinates
    float V2 = 0.0f;
};
static_assert(sizeof(CPVertex) == 48, "CPVertex keeps its file and buffer layout");

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2
constexpr uint32_t CPVertexFVF = 0x2D2;
