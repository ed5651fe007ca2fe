// Failure injection for the Direct3D and D3DX stand-ins: a test arms a fault for one kind
// of call, and the stand-in returns the armed result instead of doing the work. Faults are
// process-wide (the engine has one device); tests disarm them with D3D9Faults::Reset.
#pragma once

#include "platform/win32/WinTypes.h"

enum class D3D9Fault {
    CreateTexture,
    CreateCubeTexture,
    CreateVertexBuffer,
    CreateIndexBuffer,
    LockVertexBuffer,
    LockIndexBuffer,
    LockTexture,  // LockRect of 2-D and cube textures
    BeginScene,
    Present,
    Draw,  // every Draw*Primitive* call
    D3DXCreateTexture,  // D3DXCreate(Cube)TextureFromFileInMemory(Ex)
    D3DXCreateEffect,
    D3DXCreateEffectPool,
    Count
};

namespace D3D9Faults {

// The call of that kind after `skip` successful ones fails with `result`, `times` times in a row.
void Fail(D3D9Fault kind, HRESULT result, unsigned skip = 0, unsigned times = 1);
// Disarms every fault.
void Reset();
// For the stand-ins: S_OK, or the armed failure (consuming it).
HRESULT Take(D3D9Fault kind);

}  // namespace D3D9Faults
