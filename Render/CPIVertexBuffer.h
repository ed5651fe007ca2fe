// A ring of device vertex- and index-buffer pairs (source name Render/PIVertexBuffer) into
// which render objects write their CPVertex records and 16-bit indices. One pair is locked
// at a time; Unlock moves the ring on to the next pair, so the device can still read the
// previous one. Each render object is written at most once: Written keeps its base vertex
// until Forget gives the contents up (a new level, a lost device, the next frame of the
// per-frame ring).
//
// Add refuses (nothing written, a log report) an object it cannot write correctly: while
// unlocked, past the locked range of either buffer, past the 65 536 vertices 16-bit indices
// reach since the lock, or an excluded object (its mesh sits in shared buffers).
//
// The buffers are dynamic buffers of the default pool: they go with a lost device and are
// made again on reset, empty, with Refill set so the owner writes its objects again.
#pragma once

#include "Render/CPDeviceObject.h"
#include "Render/CPVertex.h"
#include "core/CPObject.h"
#include "platform/d3d9/D3D9.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CPRenderable;

class CPIVertexBuffer : public CPObject, public CPDeviceObject {
public:
    // Indices reach this many vertices from the start of a locked buffer.
    static constexpr uint32_t IndexReach = 65536;

    // slots pairs of vertexCapacity vertices and indexCapacity indices on the renderer's
    // device; without a device, or when the device refuses, the ring has no buffers and every
    // Lock fails.
    CPIVertexBuffer(int slots, uint32_t vertexCapacity, uint32_t indexCapacity);
    ~CPIVertexBuffer() override;

    size_t GetObjectSize() const override { return sizeof(CPIVertexBuffer); }
    std::string GetTypeName() const override { return "CPIVertexBuffer"; }
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Locks slot (the current one for -1) for vertexCount vertices and indexCount indices
    // (0: the whole buffer). False while locked, and when a buffer refuses (reported, and
    // whatever was locked is unlocked again).
    bool Lock(int vertexCount, int indexCount, bool lockVertices, int slot);
    // Unlocks what Lock locked and moves on to the next slot; nothing while unlocked.
    void Unlock(bool unlockVertices);
    // Writes one render object at the cursors; false when it has no vertices, was written
    // before, or is refused (see above).
    bool Add(CPRenderable* object);
    // Writes only the indices of object, each increased by base, at the index cursor (for an
    // object whose vertices sit in another buffer). False, with nothing written, when unlocked
    // or when the indices do not fit.
    bool AddIndices(CPRenderable* object, uint16_t base);
    // Gives up what was written: Written, WriteVertex and the lock sessions. Not while locked.
    void Forget();

    // Where an object written by Add lives: its slot and its first vertex in that slot's buffer.
    struct Placement {
        int Slot = -1;
        uint32_t Vertex = 0;
    };
    // False for an object not written (or forgotten since).
    bool Find(CPRenderable* object, Placement& out) const;

    // Room left in the locked range.
    uint32_t VerticesLeft() const { return LockedVertices - VerticesWritten; }
    uint32_t IndicesLeft() const { return LockedIndices - IndicesWritten; }
    bool HasBuffers() const { return !VertexBuffers.empty() && VertexBuffers[0] != nullptr; }

    std::unordered_map<CPRenderable*, uint32_t> Written;  // base vertex of every object written
    uint32_t WriteVertex = 0;
    std::vector<IDirect3DVertexBuffer9*> VertexBuffers;  // owned, one per slot
    std::vector<IDirect3DIndexBuffer9*> IndexBuffers;    // owned, one per slot
    int32_t Current = 0;
    int32_t SlotCount = 0;
    bool Append = false;
    bool Locked = false;
    CPVertex* VertexCursor = nullptr;
    uint16_t* IndexCursor = nullptr;
    void* VertexStart = nullptr;
    void* IndexStart = nullptr;
    uint32_t IndicesWritten = 0;
    uint32_t VerticesWritten = 0;
    // The buffers were made again after a lost device: their objects must be written again.
    bool Refill = false;

    uint32_t VertexCapacity = 0;
    uint32_t IndexCapacity = 0;
    // The range the current lock took.
    uint32_t LockedVertices = 0;
    uint32_t LockedIndices = 0;

private:
    void CreateBuffers();
    void ReleaseBuffers();
    // Reports a refused Add with the object's type.
    void Refuse(const char* why, CPRenderable* object) const;

    // One lock: WriteVertex at the lock, for objects' places in the slot's buffer.
    struct Session {
        int Slot = 0;
        uint32_t FirstVertex = 0;
        uint32_t EndVertex = 0;
    };
    std::vector<Session> sessions;
    bool verticesLocked = false;
    // Names this ring's contents since the last Forget, unique over all rings, so a mesh's
    // RingStamp says whether its RingVertex is the one Written holds.
    uint64_t stamp = 0;
    static uint64_t NextStamp();
};
