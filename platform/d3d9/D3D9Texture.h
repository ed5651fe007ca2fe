// 2-D and cube textures of the Direct3D stand-in with real pixels: every level of every
// face is a block of memory in the texture's own format (rows of pixels, or rows of 4x4
// blocks for DXT formats), written through LockRect and read by tests. SetLOD acts on
// managed textures only, as in Direct3D 9.
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Resource.h"

#include <cstdlib>
#include <new>
#include <vector>

// Bytes that come zeroed from calloc and are not written again on construction: fresh pages
// stay untouched until used, so a level that is filled (or replaced) right after creation
// costs no zero-fill. Growing within the capacity after shrinking keeps the old bytes.
template <class T>
struct D3D9ZeroedAllocator {
    using value_type = T;
    D3D9ZeroedAllocator() = default;
    template <class U>
    D3D9ZeroedAllocator(const D3D9ZeroedAllocator<U>&) {}
    T* allocate(size_t n) {
        if (void* p = std::calloc(n > 0 ? n : 1, sizeof(T))) {
            return static_cast<T*>(p);
        }
        throw std::bad_alloc();
    }
    void deallocate(T* p, size_t) { std::free(p); }
    // Value-initialisation would write the zeros calloc already gave.
    template <class U>
    void construct(U*) {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const D3D9ZeroedAllocator<U>&) const { return true; }
};
using D3D9Bytes = std::vector<uint8_t, D3D9ZeroedAllocator<uint8_t>>;

// One level of one face.
struct D3D9SurfaceMemory {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;  // bytes per row of pixels, or per row of blocks
    D3D9Bytes bytes;
    bool locked = false;

    D3D9SurfaceMemory(D3DFORMAT format, UINT width, UINT height);
    // Pixel (x, y) as a little-endian value of the format's size (uncompressed formats only).
    DWORD Pixel(UINT x, UINT y) const;
};

// Number of levels of a full chain down to 1x1.
UINT D3D9FullMipCount(UINT width, UINT height);
// Size of level `level` of a dimension (never below 1).
inline UINT D3D9LevelSize(UINT size, UINT level) { return (size >> level) > 0 ? (size >> level) : 1; }
// Checks the arguments CreateTexture and CreateCubeTexture share; S_OK or D3DERR_INVALIDCALL.
HRESULT D3D9ValidateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            const D3DCAPS9& caps);

// Levels of one face and the LOD; shared by both texture kinds.
class D3D9MipChain {
public:
    D3D9MipChain(D3DFORMAT format, UINT width, UINT height, UINT levels);
    HRESULT Lock(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT Unlock(UINT level);
    HRESULT Describe(UINT level, D3DSURFACE_DESC* desc, DWORD usage, D3DPOOL pool) const;
    // Takes `bytes` as the memory of a locked level when they are exactly its size (rows of
    // `pitch` bytes); false, changing nothing, otherwise. The lock's pointer is then stale:
    // the caller unlocks without writing through it.
    bool Adopt(UINT level, D3D9Bytes& bytes);

    std::vector<D3D9SurfaceMemory> levels;
};

class D3D9Texture final : public ComObject<IDirect3DTexture9> {
public:
    D3D9Texture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD lod) override;
    DWORD GetLOD() override { return lod; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(chain.levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    // D3DX's loader hands over a level it built in memory of its own (see D3D9MipChain::Adopt).
    bool AdoptLevel(UINT level, D3D9Bytes& bytes) { return chain.Adopt(level, bytes); }

    // Test view.
    const D3D9SurfaceMemory& Level(UINT level) const { return chain.levels.at(level); }
    D3DFORMAT Format() const { return chain.levels.front().format; }
    DWORD Usage() const { return usage; }
    D3DPOOL Pool() const { return pool; }
    static D3D9Texture* From(IDirect3DBaseTexture9* texture);

private:
    IDirect3DDevice9* device;  // not owned
    DWORD usage;
    D3DPOOL pool;
    DWORD lod = 0;
    D3D9MipChain chain;
    D3D9DefaultPoolEntry poolEntry;
};

class D3D9CubeTexture final : public ComObject<IDirect3DCubeTexture9> {
public:
    D3D9CubeTexture(IDirect3DDevice9* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                    D3DPOOL pool);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD SetLOD(DWORD lod) override;
    DWORD GetLOD() override { return lod; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(faces[0].levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;

    const D3D9SurfaceMemory& Level(D3DCUBEMAP_FACES face, UINT level) const { return faces.at(face).levels.at(level); }
    D3DFORMAT Format() const { return faces[0].levels.front().format; }
    DWORD Usage() const { return usage; }
    D3DPOOL Pool() const { return pool; }
    static D3D9CubeTexture* From(IDirect3DBaseTexture9* texture);

private:
    IDirect3DDevice9* device;
    DWORD usage;
    D3DPOOL pool;
    DWORD lod = 0;
    std::vector<D3D9MipChain> faces;
    D3D9DefaultPoolEntry poolEntry;
};
