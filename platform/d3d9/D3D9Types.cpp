#include "platform/d3d9/D3D9.h"

UINT D3DXGetFVFVertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: size = 12; break;
        case D3DFVF_XYZRHW: size = 16; break;
        case D3DFVF_XYZW: size = 16; break;
        case D3DFVF_XYZB1: size = 16; break;
        case D3DFVF_XYZB2: size = 20; break;
        case D3DFVF_XYZB3: size = 24; break;
        case D3DFVF_XYZB4: size = 28; break;
        case D3DFVF_XYZB5: size = 32; break;
        default: return 0;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < sets && i < 8; ++i) {
        switch ((fvf >> (16 + 2 * i)) & 3) {
            case D3DFVF_TEXTUREFORMAT1: size += 4; break;
            case D3DFVF_TEXTUREFORMAT2: size += 8; break;
            case D3DFVF_TEXTUREFORMAT3: size += 12; break;
            default: size += 16; break;
        }
    }
    return size;
}

UINT D3D9FormatBytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_D32:
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
        case D3DFMT_INDEX32:
            return 4;
        case D3DFMT_R8G8B8:
            return 3;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_D16:
        case D3DFMT_INDEX16:
            return 2;
        case D3DFMT_A8:
        case D3DFMT_L8:
            return 1;
        default:
            return 0;
    }
}

UINT D3D9FormatBlockBytes(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT1: return 8;
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5: return 16;
        default: return 0;
    }
}

UINT D3D9SurfacePitch(D3DFORMAT format, UINT width) {
    if (const UINT block = D3D9FormatBlockBytes(format)) {
        return ((width + 3) / 4) * block;
    }
    return width * D3D9FormatBytesPerPixel(format);
}

UINT D3D9SurfaceRows(D3DFORMAT format, UINT height) {
    return D3D9FormatBlockBytes(format) ? (height + 3) / 4 : height;
}

UINT D3D9VertexCountOf(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
        case D3DPT_POINTLIST: return count;
        case D3DPT_LINELIST: return count * 2;
        case D3DPT_LINESTRIP: return count + 1;
        case D3DPT_TRIANGLELIST: return count * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return count + 2;
    }
    return 0;
}
