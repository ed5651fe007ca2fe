// The renderer's shared device buffers of static meshes, kept by lower-cased name.
#include "Render/CPRender.h"

#include "core/StringUtil.h"

#include <cstring>

CPRender::MeshBuffers::~MeshBuffers() {
    SafeRelease(VertexBuffer);
    SafeRelease(IndexBuffer);
}

namespace {

// Fills the record's device buffers from its copies; false (and nothing left locked) when
// a lock is refused.
bool FillBuffers(CPRender::MeshBuffers& record) {
    const UINT indexBytes = static_cast<UINT>(record.Indices.size() * sizeof(uint16_t));
    const UINT vertexBytes = static_cast<UINT>(record.Vertices.size() * sizeof(CPVertex));
    void* indexData = nullptr;
    if (FAILED(record.IndexBuffer->Lock(0, indexBytes, &indexData, 0)) || indexData == nullptr) {
        return false;
    }
    void* vertexData = nullptr;
    if (FAILED(record.VertexBuffer->Lock(0, vertexBytes, &vertexData, 0)) || vertexData == nullptr) {
        record.IndexBuffer->Unlock();
        return false;
    }
    std::memcpy(vertexData, record.Vertices.data(), vertexBytes);
    std::memcpy(indexData, record.Indices.data(), indexBytes);
    record.VertexBuffer->Unlock();
    record.IndexBuffer->Unlock();
    return true;
}

}  // namespace

std::shared_ptr<CPRender::MeshBuffers> CPRender::CreateMeshBuffers(const std::string& name, const CPVertex* vertices,
                                                                   const uint16_t* indices, int vertexCount,
                                                                   int indexCount) {
    std::string key = name;
    ToLower(key);
    if (const auto found = MeshBufferMap.find(key); found != MeshBufferMap.end()) {
        return found->second;
    }

    auto record = std::make_shared<MeshBuffers>();
    if (vertices != nullptr && vertexCount > 0) {
        record->Vertices.assign(vertices, vertices + vertexCount);
    }
    if (indices != nullptr && indexCount > 0) {
        record->Indices.assign(indices, indices + indexCount);
    }
    record->VertexCount = static_cast<int32_t>(record->Vertices.size());
    record->TriangleCount = static_cast<int32_t>(record->Indices.size() / 3);

    // Buffers only for a mesh that has something to draw; a refusal leaves none.
    if (Device != nullptr && !record->Vertices.empty() && !record->Indices.empty()) {
        const UINT vertexBytes = static_cast<UINT>(record->Vertices.size() * sizeof(CPVertex));
        const UINT indexBytes = static_cast<UINT>(record->Indices.size() * sizeof(uint16_t));
        const bool created = SUCCEEDED(Device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, CPVertexFVF,
                                                                  D3DPOOL_MANAGED, &record->VertexBuffer, nullptr)) &&
                             SUCCEEDED(Device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                                                 D3DPOOL_MANAGED, &record->IndexBuffer, nullptr));
        if (!created || !record->HasBuffers() || !FillBuffers(*record)) {
            SafeRelease(record->VertexBuffer);
            SafeRelease(record->IndexBuffer);
        }
    }

    MeshBufferMap.emplace(std::move(key), record);
    return record;
}

void CPRender::ReleaseMeshBuffers() {
    for (auto& [key, record] : MeshBufferMap) {
        SafeRelease(record->VertexBuffer);
        SafeRelease(record->IndexBuffer);
    }
    MeshBufferMap.clear();
}
