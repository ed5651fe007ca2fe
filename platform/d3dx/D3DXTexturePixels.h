// Pixel work of the D3DX texture functions on 32-bit B, G, R, A surfaces: resampling with
// the D3DX filters, colour keys, DXT block decoding and encoding, and writing a surface
// into a locked texture level of any supported format.
#pragma once

#include "platform/d3dx/D3DXTextureImage.h"

// Resamples to width x height. filter is a D3DX_FILTER_* value (flags ignored):
// NONE copies the overlapping corner and leaves the rest transparent black, POINT takes the
// nearest pixel, LINEAR and TRIANGLE weigh with a tent as wide as the scale factor (bilinear
// when enlarging), BOX averages each output pixel's footprint.
D3DXImageSurface D3DXResample(const D3DXImageSurface& source, UINT width, UINT height, DWORD filter);
// The 2x2 average of a width*2 x height*2 picture into a width x height one, rows of either
// at their own pitch (bytes): the mip step of the box filter, and of the tent filters at an
// exact halving.
void D3DXHalve(const uint8_t* source, size_t sourcePitch, uint8_t* destination, size_t pitch, UINT width,
               UINT height);
// Pixels equal to the A8R8G8B8 colour key become 0 (transparent black).
void D3DXApplyColorKey(D3DXImageSurface& surface, D3DCOLOR colorKey);
// DXT1..DXT5 blocks to pixels, and back (a bounding-box fit per block).
D3DXImageSurface D3DXDecodeDxt(const D3DXImageSurface& blocks, D3DFORMAT format);
D3DXImageSurface D3DXEncodeDxt(const D3DXImageSurface& pixels, D3DFORMAT format);
// Whether D3DXWritePixels can produce the format.
bool D3DXCanWrite(D3DFORMAT format);
// Writes the pixels into rows of `pitch` bytes in `format` (uncompressed formats only).
void D3DXWritePixels(const D3DXImageSurface& pixels, D3DFORMAT format, uint8_t* destination, INT pitch);
