// D3DX texture creation from a picture file held in memory. The file kind is recognised
// by its content (DDS, PNG, JPEG, then TGA); JPEG and PNG are decoded by libjpeg and libpng.
// The texture is made through the device's CreateTexture / CreateCubeTexture and filled
// through LockRect, as D3DX does, so the device records and can refuse both.
//
// Sizes: D3DX_DEFAULT takes the file's size rounded up to powers of two, D3DX_DEFAULT_NONPOW2
// and D3DX_FROM_FILE the file's size as it is; other values are used as given; the picture
// is resampled with `filter` (triangle by default). Mip levels: D3DX_DEFAULT or 0 give the
// full chain, D3DX_FROM_FILE the file's own levels; levels the file does not hold are made
// with `mipFilter` (box by default). Format D3DFMT_UNKNOWN takes the file's format
// (A8R8G8B8 when the picture has alpha, X8R8G8B8 otherwise, DXT blocks kept as they are).
// A damaged, truncated or unrecognised file fails with D3DXERR_INVALIDDATA.
#pragma once

#include "platform/d3d9/D3D9.h"

constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
constexpr UINT D3DX_FROM_FILE = 0xFFFFFFFDu;

// Filters: one of the first five in the low bits, with optional flags.
constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_MIRROR_U = 0x00010000;
constexpr DWORD D3DX_FILTER_MIRROR_V = 0x00020000;
constexpr DWORD D3DX_FILTER_MIRROR = 0x00070000;
constexpr DWORD D3DX_FILTER_DITHER = 0x00080000;
constexpr DWORD D3DX_FILTER_SRGB = 0x00600000;

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
};

// What the file holds, before any resizing.
struct D3DXIMAGE_INFO {
    UINT Width = 0;
    UINT Height = 0;
    UINT Depth = 1;
    UINT MipLevels = 1;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
};

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

// colorKey: an A8R8G8B8 colour (0 for none) whose pixels become transparent black.
// palette is not used (no palettised formats) and may be null.
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture);

// A six-face DDS fills the faces in the order +X, -X, +Y, -Y, +Z, -Z; a flat picture is
// put on all six faces.
HRESULT D3DXCreateCubeTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT edge,
                                                UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                                DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                                D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                                IDirect3DCubeTexture9** texture);
HRESULT D3DXCreateCubeTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                              IDirect3DCubeTexture9** texture);
