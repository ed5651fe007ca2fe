#include "platform/d3d9/D3D9Buffer.h"

#include "platform/d3d9/D3D9Resource.h"

#include <cstring>
#include <iterator>
#include <limits>
#include <typeinfo>

HRESULT D3D9BufferMemory::Lock(UINT offset, UINT size, void** data, DWORD flags, D3D9Fault fault) {
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    const uint64_t length = bytes.size();
    if (locked || offset > length || uint64_t{offset} + size > length) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(fault); FAILED(injected)) {
        return injected;
    }
    const UINT span = (size == 0) ? static_cast<UINT>(length - offset) : size;
    if (locks.size() >= MaxLockRecords) {
        // A dynamic buffer is locked every frame; its history must not grow without end.
        locks.erase(locks.begin(), locks.begin() + MaxLockRecords / 2);
    }
    locks.push_back(D3D9LockRecord{offset, span, flags});
    locked = true;
    ++generation;
    *data = bytes.data() + offset;
    return S_OK;
}

HRESULT D3D9BufferMemory::Unlock() {
    if (!locked) {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    return S_OK;
}

// --- vertex buffer ---

D3D9VertexBuffer::D3D9VertexBuffer(IDirect3DDevice9* owner, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device(owner), memory(length), poolEntry(owner, pool) {
    desc.Format = D3DFMT_UNKNOWN;  // "D3DFMT_VERTEXDATA" on Windows
    desc.Usage = usage;
    desc.Pool = pool;
    desc.Size = length;
    desc.FVF = fvf;
}

HRESULT D3D9VertexBuffer::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }
HRESULT D3D9VertexBuffer::GetDevice(IDirect3DDevice9** out) { return D3D9HandOutDevice(device, out); }

HRESULT D3D9VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    return memory.Lock(offset, size, data, flags, D3D9Fault::LockVertexBuffer);
}

HRESULT D3D9VertexBuffer::Unlock() { return memory.Unlock(); }

HRESULT D3D9VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = desc;
    return S_OK;
}

// Every draw asks: the class is final, so its exact type says it all (cheaper than a cast search).
D3D9VertexBuffer* D3D9VertexBuffer::From(IDirect3DVertexBuffer9* buffer) {
    return buffer != nullptr && typeid(*buffer) == typeid(D3D9VertexBuffer) ? static_cast<D3D9VertexBuffer*>(buffer)
                                                                           : nullptr;
}

// --- index buffer ---

D3D9IndexBuffer::D3D9IndexBuffer(IDirect3DDevice9* owner, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device(owner), memory(length), poolEntry(owner, pool) {
    desc.Format = format;
    desc.Usage = usage;
    desc.Pool = pool;
    desc.Size = length;
}

HRESULT D3D9IndexBuffer::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }
HRESULT D3D9IndexBuffer::GetDevice(IDirect3DDevice9** out) { return D3D9HandOutDevice(device, out); }

HRESULT D3D9IndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    return memory.Lock(offset, size, data, flags, D3D9Fault::LockIndexBuffer);
}

HRESULT D3D9IndexBuffer::Unlock() { return memory.Unlock(); }

HRESULT D3D9IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = desc;
    return S_OK;
}

size_t D3D9IndexBuffer::IndexCount() const {
    return memory.bytes.size() / (desc.Format == D3DFMT_INDEX32 ? 4 : 2);
}

uint32_t D3D9IndexBuffer::Index(size_t i) const {
    if (desc.Format == D3DFMT_INDEX32) {
        uint32_t value = 0;
        std::memcpy(&value, memory.bytes.data() + i * 4, 4);
        return value;
    }
    uint16_t value = 0;
    std::memcpy(&value, memory.bytes.data() + i * 2, 2);
    return value;
}

namespace {

template <typename T>
void RangeOf(const uint8_t* bytes, size_t count, uint32_t& lowest, uint32_t& highest) {
    T lo = std::numeric_limits<T>::max();
    T hi = 0;
    for (size_t i = 0; i < count; ++i) {
        T value;
        std::memcpy(&value, bytes + i * sizeof(T), sizeof(T));
        lo = value < lo ? value : lo;
        hi = value > hi ? value : hi;
    }
    lowest = lo;
    highest = hi;
}

}  // namespace

void D3D9IndexBuffer::IndexRange(size_t first, size_t count, uint32_t& lowest, uint32_t& highest) const {
    for (const RangeEntry& entry : ranges) {
        if (entry.Generation == memory.generation && entry.First == first && entry.Count == count) {
            lowest = entry.Lowest;
            highest = entry.Highest;
            return;
        }
    }
    if (desc.Format == D3DFMT_INDEX32) {
        RangeOf<uint32_t>(memory.bytes.data() + first * 4, count, lowest, highest);
    } else {
        RangeOf<uint16_t>(memory.bytes.data() + first * 2, count, lowest, highest);
    }
    ranges[nextRange] = RangeEntry{memory.generation, first, count, lowest, highest};
    nextRange = (nextRange + 1) % std::size(ranges);
}

D3D9IndexBuffer* D3D9IndexBuffer::From(IDirect3DIndexBuffer9* buffer) {
    return buffer != nullptr && typeid(*buffer) == typeid(D3D9IndexBuffer) ? static_cast<D3D9IndexBuffer*>(buffer)
                                                                          : nullptr;
}
