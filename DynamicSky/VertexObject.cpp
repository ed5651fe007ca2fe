#include "DynamicSky/VertexObject.h"

#include "Render/CPRender.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/Singletons.h"
#include "platform/d3dx/D3DXTexture.h"

#include <cstring>

IDirect3DDevice9* VertexObject::Device = nullptr;

namespace {

constexpr const char* SourceFile = "DynamicSky/VertexObject";
constexpr int TextureLine = 50;
constexpr int EffectLine = 114;
constexpr int Effect2Line = 149;
constexpr UINT VertexBufferBytes = VertexObject::MaxVertices * sizeof(CPVertex);
constexpr UINT IndexBufferBytes = VertexObject::MaxIndices * sizeof(uint16_t);

// Resources are made on the renderer's device.
IDirect3DDevice9* RenderDevice() {
    CPRender* render = GetRender();
    return render != nullptr ? render->Device : nullptr;
}

}  // namespace

VertexObject::~VertexObject() {
    SafeRelease(Texture);
    SafeRelease(Effect);
    SafeRelease(Effect2);
    SafeRelease(IndexBuffer);
    SafeRelease(VertexBuffer);
}

HRESULT VertexObject::LoadTexture(const std::string& path) {
    CPFileReader file(path, false);
    if (FAILED(file.Load())) {
        return S_OK;
    }
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        RenderDevice(), file.GetData(), static_cast<UINT>(file.GetLength()), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
        0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, 0, nullptr,
        nullptr, &texture);
    // The old texture goes either way: the new one replaces it, or the failure leaves none.
    SafeRelease(Texture);
    if (FAILED(ReportDXError(hr, SourceFile, TextureLine))) {
        SafeRelease(texture);
        return hr;
    }
    Texture = texture;
    return hr;
}

HRESULT VertexObject::LoadEffect(const std::string& path) { return LoadEffectInto(path, Effect, EffectLine); }

HRESULT VertexObject::LoadEffect2(const std::string& path) { return LoadEffectInto(path, Effect2, Effect2Line); }

HRESULT VertexObject::LoadEffectInto(const std::string& path, ID3DXEffect*& effect, int reportLine) {
    SafeRelease(effect);
    CPFileReader file(path, false);
    const HRESULT read = file.Load();
    if (FAILED(read)) {
        return read;
    }
    ID3DXBuffer* messages = nullptr;
    const HRESULT hr = D3DXCreateEffect(RenderDevice(), file.GetData(), static_cast<UINT>(file.GetLength()), nullptr,
                                        nullptr, 0, nullptr, &effect, &messages);
    SafeRelease(messages);
    if (FAILED(ReportDXError(hr, SourceFile, reportLine))) {
        SafeRelease(effect);
        return hr;
    }
    D3DXHANDLE technique = nullptr;
    effect->FindNextValidTechnique(nullptr, &technique);
    effect->SetTechnique(technique);
    return hr;
}

void VertexObject::CoverSource() {
    if (Vertices.size() < SourceVertices.size()) {
        Vertices.insert(Vertices.end(), SourceVertices.begin() + static_cast<std::ptrdiff_t>(Vertices.size()),
                        SourceVertices.end());
    } else {
        Vertices.resize(SourceVertices.size());
    }
}

HRESULT VertexObject::CreateBuffers(const std::vector<CPVertex>& vertices, const std::vector<uint16_t>& indices,
                                    bool keepDrawn) {
    if (vertices.size() > static_cast<size_t>(MaxVertices) || indices.size() > static_cast<size_t>(MaxIndices)) {
        CPLog::GetInstance().Write(0, "VertexObject: %zu vertices and %zu indices exceed the buffers (%d, %d)\n",
                                   vertices.size(), indices.size(), MaxVertices, MaxIndices);
        return E_INVALIDARG;
    }
    IDirect3DDevice9* device = RenderDevice();
    if (device != nullptr && VertexBuffer == nullptr) {
        device->CreateVertexBuffer(VertexBufferBytes, D3DUSAGE_WRITEONLY, CPVertexFVF, D3DPOOL_MANAGED, &VertexBuffer,
                                   nullptr);
    }
    if (device != nullptr && IndexBuffer == nullptr) {
        device->CreateIndexBuffer(IndexBufferBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &IndexBuffer,
                                  nullptr);
    }

    // The arguments may be this object's own vectors (the per-frame refill).
    if (&vertices != &SourceVertices) {
        SourceVertices = vertices;
    }
    if (keepDrawn) {
        CoverSource();
    } else if (&vertices != &Vertices) {
        Vertices = SourceVertices;
    }
    if (&indices != &Indices) {
        Indices = indices;
    }

    // A size of 0 would lock the whole buffer: nothing to copy, no lock.
    const UINT vertexBytes = static_cast<UINT>(SourceVertices.size() * sizeof(CPVertex));
    const UINT indexBytes = static_cast<UINT>(Indices.size() * sizeof(uint16_t));
    void* vertexData = nullptr;
    void* indexData = nullptr;
    const bool vertexLocked =
        VertexBuffer != nullptr && vertexBytes > 0 && SUCCEEDED(VertexBuffer->Lock(0, vertexBytes, &vertexData, 0));
    const bool indexLocked =
        IndexBuffer != nullptr && indexBytes > 0 && SUCCEEDED(IndexBuffer->Lock(0, indexBytes, &indexData, 0));
    if (vertexLocked) {
        std::memcpy(vertexData, Vertices.data(), vertexBytes);
    }
    if (indexLocked) {
        std::memcpy(indexData, Indices.data(), indexBytes);
        IndexBuffer->Unlock();
    }
    if (vertexLocked) {
        VertexBuffer->Unlock();
    }
    return S_OK;
}

HRESULT VertexObject::TransformVertices(const D3DXMATRIX& matrix) {
    CoverSource();
    if (!SourceVertices.empty()) {
        D3DXVec3TransformCoordArray(&Vertices[0].Position, sizeof(CPVertex), &SourceVertices[0].Position,
                                    sizeof(CPVertex), &matrix, static_cast<UINT>(SourceVertices.size()));
    }
    return S_OK;
}

HRESULT VertexObject::Draw(float) { return DrawVertexObject(&Device, this); }

void VertexObject::OnLostDevice() {
    if (Effect != nullptr) {
        Effect->OnLostDevice();
    }
    if (Effect2 != nullptr) {
        Effect2->OnLostDevice();
    }
}

void VertexObject::OnResetDevice() {
    if (Effect != nullptr) {
        Effect->OnResetDevice();
    }
    if (Effect2 != nullptr) {
        Effect2->OnResetDevice();
    }
}

HRESULT DrawVertexObject(IDirect3DDevice9** holder, VertexObject* object) {
    IDirect3DDevice9* device = holder != nullptr ? *holder : nullptr;
    if (device == nullptr || object == nullptr) {
        return E_FAIL;
    }
    // A buffer the device refused: nothing to draw from.
    if (object->VertexBuffer == nullptr || object->IndexBuffer == nullptr) {
        return E_FAIL;
    }
    const UINT vertexCount = static_cast<UINT>(object->Vertices.size());
    const UINT triangles = static_cast<UINT>(object->Indices.size() / 3);
    if (triangles == 0) {
        return S_OK;
    }
    device->SetFVF(CPVertexFVF);
    device->SetIndices(object->IndexBuffer);
    device->SetStreamSource(0, object->VertexBuffer, 0, sizeof(CPVertex));

    ID3DXEffect* effect = object->Effect;
    if (object->UseEffect2) {
        if (object->Effect2 == nullptr) {
            return E_FAIL;
        }
        effect = object->Effect2;
    } else if (effect == nullptr) {
        return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0, triangles);
    }

    effect->SetTexture("tex0", object->Texture);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    HRESULT result = E_FAIL;
    for (UINT pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        result = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0, triangles);
        effect->EndPass();
    }
    effect->End();
    return result;
}
