// Base of everything the dynamic sky draws (the dome, the cloud layers, the volume clouds):
// geometry kept twice in memory, a texture, two effects and a pair of device buffers, drawn
// with one effect through all of its passes. It is the only code that issues the sky's draws.
//
// Vertices is the drawn copy, uploaded to the vertex buffer; SourceVertices the copy it is
// derived from (the cloud layers move the drawn positions every frame and keep their colours).
// The two buffers are made once on the renderer's device with fixed sizes and refilled in
// place, so per-frame refills allocate nothing: at most MaxVertices vertices and MaxIndices
// indices, and CreateBuffers refuses more. Textures, effects and buffers are made on the
// renderer's device; drawing uses Device, which the host sets.
#pragma once

#include "Render/CPDeviceObject.h"
#include "Render/CPVertex.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3dx/D3DXEffect.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <vector>

class VertexObject : public CPDeviceObject {
public:
    static constexpr int MaxVertices = 20000;  // 960000-byte vertex buffer
    static constexpr int MaxIndices = 60000;   // 120000-byte index buffer
    // The device sky objects draw with; set by the host, null until then.
    static IDirect3DDevice9* Device;

    VertexObject() = default;
    ~VertexObject() override;

    // Replaces the texture by the file at path. An unreadable file changes nothing and gives
    // S_OK; a file D3DX cannot decode is reported and leaves no texture.
    HRESULT LoadTexture(const std::string& path);
    // Replace the first or the second effect by the file at path; a failure leaves it empty
    // (reported when the file does not compile).
    HRESULT LoadEffect(const std::string& path);
    HRESULT LoadEffect2(const std::string& path);
    // Takes the geometry and uploads it. With keepDrawn the drawn copy keeps its contents
    // (cut or extended with source vertices to the source's length). More than MaxVertices
    // or MaxIndices is refused (E_INVALIDARG, nothing changes).
    HRESULT CreateBuffers(const std::vector<CPVertex>& vertices, const std::vector<uint16_t>& indices, bool keepDrawn);
    // Drawn positions := source positions transformed by the matrix as points; nothing else
    // of the drawn copy changes.
    HRESULT TransformVertices(const D3DXMATRIX& matrix);
    // Draws with Device (the argument is not read).
    HRESULT Draw(float);

    void OnLostDevice() override;
    void OnResetDevice() override;

    std::vector<CPVertex> Vertices;
    std::vector<CPVertex> SourceVertices;
    std::vector<uint16_t> Indices;  // triangle list
    IDirect3DTexture9* Texture = nullptr;
    ID3DXEffect* Effect = nullptr;
    ID3DXEffect* Effect2 = nullptr;
    bool UseEffect2 = false;
    IDirect3DVertexBuffer9* VertexBuffer = nullptr;
    IDirect3DIndexBuffer9* IndexBuffer = nullptr;

private:
    HRESULT LoadEffectInto(const std::string& path, ID3DXEffect*& effect, int reportLine);
    // Makes the drawn copy exactly as long as the source, extending it with source vertices.
    void CoverSource();
};

// Draws the object with the device held by *device: the object's vertex format, buffers and
// indices, then its triangles through every pass of its effect (Effect2 when UseEffect2),
// once without an effect when the first effect is missing. E_FAIL without a device, without
// buffers, when the chosen second effect is missing or when the effect has no passes; S_OK
// with nothing drawn when there are no triangles.
HRESULT DrawVertexObject(IDirect3DDevice9** device, VertexObject* object);
