#include "Render/CPIVertexBuffer.h"

#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "Render/VertexTransform.h"
#include "core/CPLog.h"
#include "core/ExactCast.h"
#include "scene/CPRenderable.h"

#include <algorithm>

namespace {

constexpr const char* SourceName = "Render/PIVertexBuffer";
constexpr int VertexLockLine = 167;
constexpr int IndexLockLine = 190;
constexpr DWORD DynamicUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

}  // namespace

CPIVertexBuffer::CPIVertexBuffer(int slots, uint32_t vertexCapacity, uint32_t indexCapacity)
    : SlotCount(std::max(slots, 1)), VertexCapacity(vertexCapacity), IndexCapacity(indexCapacity),
      stamp(NextStamp()) {
    CreateBuffers();
}

uint64_t CPIVertexBuffer::NextStamp() {
    static uint64_t last = 0;
    return ++last;
}

CPIVertexBuffer::~CPIVertexBuffer() {
    if (Locked) {
        Unlock(true);
    }
    ReleaseBuffers();
}

void CPIVertexBuffer::CreateBuffers() {
    VertexBuffers.assign(static_cast<size_t>(SlotCount), nullptr);
    IndexBuffers.assign(static_cast<size_t>(SlotCount), nullptr);
    CPRender* render = GetRender();
    IDirect3DDevice9* device = render != nullptr ? render->Device : nullptr;
    if (device == nullptr || VertexCapacity == 0 || IndexCapacity == 0) {
        return;
    }
    for (size_t i = 0; i < VertexBuffers.size(); ++i) {
        if (FAILED(ReportDXError(device->CreateVertexBuffer(VertexCapacity * sizeof(CPVertex), DynamicUsage,
                                                           CPVertexFVF, D3DPOOL_DEFAULT, &VertexBuffers[i],
                                                           nullptr),
                                 SourceName, __LINE__)) ||
            FAILED(ReportDXError(device->CreateIndexBuffer(IndexCapacity * sizeof(uint16_t), DynamicUsage,
                                                          D3DFMT_INDEX16, D3DPOOL_DEFAULT, &IndexBuffers[i],
                                                          nullptr),
                                 SourceName, __LINE__))) {
            // A ring with a hole would fail one lock in SlotCount: it has no buffers at all.
            ReleaseBuffers();
            VertexBuffers.assign(static_cast<size_t>(SlotCount), nullptr);
            IndexBuffers.assign(static_cast<size_t>(SlotCount), nullptr);
            return;
        }
    }
}

void CPIVertexBuffer::ReleaseBuffers() {
    for (IDirect3DVertexBuffer9*& buffer : VertexBuffers) {
        SafeRelease(buffer);
    }
    for (IDirect3DIndexBuffer9*& buffer : IndexBuffers) {
        SafeRelease(buffer);
    }
}

void CPIVertexBuffer::OnLostDevice() {
    if (Locked) {
        Unlock(true);
    }
    ReleaseBuffers();
    Forget();
}

void CPIVertexBuffer::OnResetDevice() {
    CreateBuffers();
    Current = 0;
    Refill = true;
}

bool CPIVertexBuffer::Lock(int vertexCount, int indexCount, bool lockVertices, int slot) {
    if (Locked) {
        return false;
    }
    if (slot != -1) {
        if (slot < 0 || slot >= SlotCount) {
            return false;
        }
        Current = slot;
    }
    const DWORD flags = Append ? D3DLOCK_NOSYSLOCK : (D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK);
    IndicesWritten = 0;
    VerticesWritten = 0;
    const size_t index = static_cast<size_t>(Current);
    IDirect3DVertexBuffer9* vertexBuffer = VertexBuffers[index];
    IDirect3DIndexBuffer9* indexBuffer = IndexBuffers[index];
    if (vertexBuffer == nullptr || indexBuffer == nullptr) {
        return false;
    }
    const uint32_t vertices = vertexCount <= 0 ? VertexCapacity : std::min<uint32_t>(vertexCount, VertexCapacity);
    const uint32_t indices = indexCount <= 0 ? IndexCapacity : std::min<uint32_t>(indexCount, IndexCapacity);

    // The index buffer is locked only once the vertex buffer is, and a failure unlocks only
    // what this call locked.
    void* vertexData = nullptr;
    if (lockVertices) {
        const HRESULT hr = vertexBuffer->Lock(0, vertexCount <= 0 ? 0 : vertices * sizeof(CPVertex), &vertexData, flags);
        if (FAILED(ReportDXError(hr, SourceName, VertexLockLine))) {
            return false;
        }
    }
    void* indexData = nullptr;
    const HRESULT hr = indexBuffer->Lock(IndicesWritten * sizeof(uint16_t),
                                         indexCount <= 0 ? 0 : indices * sizeof(uint16_t), &indexData, flags);
    if (FAILED(ReportDXError(hr, SourceName, IndexLockLine))) {
        if (lockVertices) {
            vertexBuffer->Unlock();
        }
        return false;
    }
    VertexCursor = static_cast<CPVertex*>(vertexData);
    IndexCursor = static_cast<uint16_t*>(indexData);
    VertexStart = vertexData;
    IndexStart = indexData;
    verticesLocked = lockVertices;
    LockedVertices = lockVertices ? vertices : 0;
    LockedIndices = indices;
    if (!Append) {
        // Discarded: what earlier locks left in this slot is gone.
        std::erase_if(sessions, [this](const Session& session) { return session.Slot == Current; });
    }
    sessions.push_back(Session{Current, WriteVertex, WriteVertex});
    Locked = true;
    return true;
}

void CPIVertexBuffer::Unlock(bool unlockVertices) {
    if (!Locked) {
        return;
    }
    const size_t index = static_cast<size_t>(Current);
    if (unlockVertices && verticesLocked) {
        VertexBuffers[index]->Unlock();
    }
    IndexBuffers[index]->Unlock();
    Current = Current + 1 >= SlotCount ? 0 : Current + 1;
    Locked = false;
    verticesLocked = false;
    VertexCursor = nullptr;
    IndexCursor = nullptr;
    LockedVertices = 0;
    LockedIndices = 0;
}

void CPIVertexBuffer::Refuse(const char* why, CPRenderable* object) const {
    CPLog::GetInstance().Write(0, "CPIVertexBuffer::Add refused %s: %s\n", object->GetTypeName().c_str(), why);
}

bool CPIVertexBuffer::Add(CPRenderable* object) {
    if (object == nullptr) {
        return false;
    }
    const int vertexCount = object->GetVertexCount();
    if (vertexCount <= 0) {
        return false;
    }
    if (Written.contains(object)) {
        return false;
    }
    const int indexCount = std::max(object->GetIndexCount(), 0);
    const auto nv = static_cast<uint32_t>(vertexCount);
    const auto ni = static_cast<uint32_t>(indexCount);
    if (!Locked || !verticesLocked) {
        Refuse("the ring is not locked", object);
        return false;
    }
    if (object->IsExcluded()) {
        Refuse("it is excluded", object);
        return false;
    }
    if (nv > VerticesLeft() || ni > IndicesLeft()) {
        Refuse("it does not fit the locked buffers", object);
        return false;
    }
    if (VerticesWritten + nv > IndexReach) {
        Refuse("its indices would pass 65536 vertices", object);
        return false;
    }
    Written.emplace(object, WriteVertex);
    if (auto* mesh = ExactCast<CPRenderObject>(object); mesh != nullptr) {
        mesh->RingStamp = stamp;
        mesh->RingVertex = WriteVertex;
    }
    // Indices count from the start of the locked buffer, so they stay right for every lock.
    object->Fill(VertexCursor, IndexCursor, static_cast<uint16_t>(VerticesWritten), true);
    VertexCursor += nv;
    IndexCursor += ni;
    IndicesWritten += ni;
    VerticesWritten += nv;
    WriteVertex += nv;
    sessions.back().EndVertex = WriteVertex;
    return true;
}

bool CPIVertexBuffer::AddIndices(CPRenderable* object, uint16_t base) {
    if (object == nullptr || !Locked) {
        return false;
    }
    // A static mesh's indices are copied and moved by base in one pass.
    if (auto* mesh = ExactCast<CPRenderObject>(object); mesh != nullptr) {
        const int indexCount = mesh->GetIndexCount();
        if (indexCount <= 0 || static_cast<uint32_t>(indexCount) > IndicesLeft() || mesh->WorldVertices.empty()) {
            return false;
        }
        const auto ni = static_cast<uint32_t>(indexCount);
        VertexTransform::AddBase(IndexCursor, mesh->Indices.data(), ni, base);
        IndexCursor += ni;
        IndicesWritten += ni;
        return true;
    }
    const int indexCount = object->GetIndexCount();
    if (indexCount <= 0 || static_cast<uint32_t>(indexCount) > IndicesLeft()) {
        return false;
    }
    uint16_t first = 0;
    uint16_t last = 0;
    if (!object->FillIndices(IndexCursor, 0, first, last)) {
        return false;
    }
    const auto ni = static_cast<uint32_t>(indexCount);
    if (base != 0) {
        for (uint32_t i = 0; i < ni; ++i) {
            IndexCursor[i] = static_cast<uint16_t>(IndexCursor[i] + base);
        }
    }
    IndexCursor += ni;
    IndicesWritten += ni;
    return true;
}

void CPIVertexBuffer::Forget() {
    if (Locked) {
        return;
    }
    Written.clear();
    stamp = NextStamp();
    WriteVertex = 0;
    sessions.clear();
}

bool CPIVertexBuffer::Find(CPRenderable* object, Placement& out) const {
    uint32_t vertex = 0;
    if (const auto* mesh = ExactCast<const CPRenderObject>(object); mesh != nullptr && mesh->RingStamp == stamp) {
        vertex = mesh->RingVertex;  // Written holds it: entries are only added until Forget
    } else {
        const auto found = Written.find(object);
        if (found == Written.end()) {
            return false;
        }
        vertex = found->second;
    }
    for (const Session& session : sessions) {
        if (vertex >= session.FirstVertex && vertex < session.EndVertex) {
            out.Slot = session.Slot;
            out.Vertex = vertex - session.FirstVertex;
            return true;
        }
    }
    return false;
}
