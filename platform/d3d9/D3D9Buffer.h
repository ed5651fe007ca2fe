// Vertex and index buffers of the Direct3D stand-in, backed by memory that tests read.
// Lock rules follow Direct3D 9 where the engine can notice them: (0, 0) locks the whole
// buffer, size 0 locks to the end, a range past the end or a second lock is refused, and
// Unlock of an unlocked buffer is refused. Every lock is kept with its flags
// (D3DLOCK_DISCARD, D3DLOCK_NOSYSLOCK, ...) so tests can check what the engine asked for.
// Contents survive a D3DLOCK_DISCARD lock (a driver may do either).
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Resource.h"

#include <vector>

struct D3D9LockRecord {
    UINT offset = 0;
    UINT size = 0;  // bytes actually locked, after the "0 means to the end" rule
    DWORD flags = 0;
};

// The memory and lock state shared by both buffer kinds.
class D3D9BufferMemory {
public:
    explicit D3D9BufferMemory(UINT length) : bytes(length) {}
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags, D3D9Fault fault);
    HRESULT Unlock();

    std::vector<uint8_t> bytes;
    std::vector<D3D9LockRecord> locks;  // the latest MaxLockRecords locks, oldest first
    bool locked = false;
    uint64_t generation = 0;  // counts locks: contents read before a lock may since have changed

    static constexpr size_t MaxLockRecords = 256;
};

class D3D9VertexBuffer final : public ComObject<IDirect3DVertexBuffer9> {
public:
    D3D9VertexBuffer(IDirect3DDevice9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    // Test view.
    const std::vector<uint8_t>& Bytes() const { return memory.bytes; }
    const std::vector<D3D9LockRecord>& Locks() const { return memory.locks; }
    bool IsLocked() const { return memory.locked; }
    const D3DVERTEXBUFFER_DESC& Desc() const { return desc; }
    // The stand-in behind an interface pointer, or null for another implementation.
    static D3D9VertexBuffer* From(IDirect3DVertexBuffer9* buffer);

private:
    IDirect3DDevice9* device;  // not owned: resources do not keep their device alive
    D3DVERTEXBUFFER_DESC desc;
    D3D9BufferMemory memory;
    D3D9DefaultPoolEntry poolEntry;
};

class D3D9IndexBuffer final : public ComObject<IDirect3DIndexBuffer9> {
public:
    D3D9IndexBuffer(IDirect3DDevice9* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    const std::vector<uint8_t>& Bytes() const { return memory.bytes; }
    const std::vector<D3D9LockRecord>& Locks() const { return memory.locks; }
    bool IsLocked() const { return memory.locked; }
    const D3DINDEXBUFFER_DESC& Desc() const { return desc; }
    // Index i of the buffer, 16- or 32-bit as its format says.
    uint32_t Index(size_t i) const;
    size_t IndexCount() const;
    // Smallest and largest of count indices from first (count > 0, all inside the buffer).
    // Remembered until the next lock: a static mesh is drawn from the same range every frame.
    void IndexRange(size_t first, size_t count, uint32_t& lowest, uint32_t& highest) const;
    static D3D9IndexBuffer* From(IDirect3DIndexBuffer9* buffer);

private:
    IDirect3DDevice9* device;
    D3DINDEXBUFFER_DESC desc;
    D3D9BufferMemory memory;
    D3D9DefaultPoolEntry poolEntry;

    struct RangeEntry {
        uint64_t Generation = ~uint64_t{0};
        size_t First = 0, Count = 0;
        uint32_t Lowest = 0, Highest = 0;
    };
    mutable RangeEntry ranges[8];
    mutable size_t nextRange = 0;
};
