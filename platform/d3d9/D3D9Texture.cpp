#include "platform/d3d9/D3D9Texture.h"

#include "platform/d3d9/D3D9Resource.h"

#include <algorithm>
#include <cstring>

D3D9SurfaceMemory::D3D9SurfaceMemory(D3DFORMAT fmt, UINT w, UINT h)
    : format(fmt), width(w), height(h), pitch(D3D9SurfacePitch(fmt, w)),
      bytes(size_t{D3D9SurfacePitch(fmt, w)} * D3D9SurfaceRows(fmt, h)) {}

DWORD D3D9SurfaceMemory::Pixel(UINT x, UINT y) const {
    const UINT size = D3D9FormatBytesPerPixel(format);
    if (size == 0 || x >= width || y >= height) {
        return 0;
    }
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + size_t{y} * pitch + size_t{x} * size, size);
    return value;
}

UINT D3D9FullMipCount(UINT width, UINT height) {
    UINT count = 1;
    for (UINT size = std::max(width, height); size > 1; size >>= 1) {
        ++count;
    }
    return count;
}

HRESULT D3D9ValidateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            const D3DCAPS9& caps) {
    const bool usable = D3D9FormatBlockBytes(format) != 0 ||
                        (D3D9FormatBytesPerPixel(format) != 0 && format != D3DFMT_INDEX16 &&
                         format != D3DFMT_INDEX32 && format != D3DFMT_R8G8B8);
    if (!usable || width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) {
        return D3DERR_INVALIDCALL;
    }
    if (levels > D3D9FullMipCount(width, height)) {
        return D3DERR_INVALIDCALL;
    }
    // Dynamic textures cannot be managed; render targets live in the default pool.
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    return S_OK;
}

D3D9MipChain::D3D9MipChain(D3DFORMAT format, UINT width, UINT height, UINT count) {
    if (count == 0) {
        count = D3D9FullMipCount(width, height);
    }
    levels.reserve(count);
    for (UINT level = 0; level < count; ++level) {
        levels.emplace_back(format, D3D9LevelSize(width, level), D3D9LevelSize(height, level));
    }
}

HRESULT D3D9MipChain::Lock(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD /*flags*/) {
    if (locked == nullptr || level >= levels.size() || rect != nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3D9SurfaceMemory& surface = levels[level];
    if (surface.locked) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::LockTexture); FAILED(injected)) {
        return injected;
    }
    surface.locked = true;
    locked->Pitch = static_cast<INT>(surface.pitch);
    locked->pBits = surface.bytes.data();
    return S_OK;
}

HRESULT D3D9MipChain::Unlock(UINT level) {
    if (level >= levels.size() || !levels[level].locked) {
        return D3DERR_INVALIDCALL;
    }
    levels[level].locked = false;
    return S_OK;
}

bool D3D9MipChain::Adopt(UINT level, D3D9Bytes& bytes) {
    if (level >= levels.size() || !levels[level].locked || bytes.size() != levels[level].bytes.size()) {
        return false;
    }
    levels[level].bytes.swap(bytes);
    bytes = D3D9Bytes();
    return true;
}

HRESULT D3D9MipChain::Describe(UINT level, D3DSURFACE_DESC* desc, DWORD usage, D3DPOOL pool) const {
    if (desc == nullptr || level >= levels.size()) {
        return D3DERR_INVALIDCALL;
    }
    *desc = D3DSURFACE_DESC{};
    desc->Format = levels[level].format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Width = levels[level].width;
    desc->Height = levels[level].height;
    return S_OK;
}

namespace {

// SetLOD: managed textures only; the value is clamped to the least detailed level.
DWORD ApplyLod(DWORD& lod, DWORD requested, D3DPOOL pool, DWORD levelCount) {
    const DWORD previous = lod;
    if (pool != D3DPOOL_MANAGED) {
        return 0;
    }
    lod = std::min(requested, levelCount - 1);
    return previous;
}

}  // namespace

// --- 2-D ---

D3D9Texture::D3D9Texture(IDirect3DDevice9* owner, UINT width, UINT height, UINT levels, DWORD use, D3DFORMAT format,
                         D3DPOOL where)
    : device(owner), usage(use), pool(where), chain(format, width, height, levels), poolEntry(owner, where) {}

HRESULT D3D9Texture::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }
HRESULT D3D9Texture::GetDevice(IDirect3DDevice9** out) { return D3D9HandOutDevice(device, out); }
DWORD D3D9Texture::SetLOD(DWORD value) { return ApplyLod(lod, value, pool, GetLevelCount()); }
HRESULT D3D9Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) { return chain.Describe(level, desc, usage, pool); }
HRESULT D3D9Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    return chain.Lock(level, locked, rect, flags);
}
HRESULT D3D9Texture::UnlockRect(UINT level) { return chain.Unlock(level); }
D3D9Texture* D3D9Texture::From(IDirect3DBaseTexture9* texture) { return dynamic_cast<D3D9Texture*>(texture); }

// --- cube ---

D3D9CubeTexture::D3D9CubeTexture(IDirect3DDevice9* owner, UINT edge, UINT levels, DWORD use, D3DFORMAT format,
                                 D3DPOOL where)
    : device(owner), usage(use), pool(where), faces(6, D3D9MipChain(format, edge, edge, levels)),
      poolEntry(owner, where) {}

HRESULT D3D9CubeTexture::QueryInterface(REFIID riid, void** object) { return D3D9QueryUnknown(this, riid, object); }
HRESULT D3D9CubeTexture::GetDevice(IDirect3DDevice9** out) { return D3D9HandOutDevice(device, out); }
DWORD D3D9CubeTexture::SetLOD(DWORD value) { return ApplyLod(lod, value, pool, GetLevelCount()); }
HRESULT D3D9CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    return faces[0].Describe(level, desc, usage, pool);
}
HRESULT D3D9CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                                  DWORD flags) {
    if (face > D3DCUBEMAP_FACE_NEGATIVE_Z) {
        return D3DERR_INVALIDCALL;
    }
    return faces[face].Lock(level, locked, rect, flags);
}
HRESULT D3D9CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
    if (face > D3DCUBEMAP_FACE_NEGATIVE_Z) {
        return D3DERR_INVALIDCALL;
    }
    return faces[face].Unlock(level);
}
D3D9CubeTexture* D3D9CubeTexture::From(IDirect3DBaseTexture9* texture) {
    return dynamic_cast<D3D9CubeTexture*>(texture);
}
