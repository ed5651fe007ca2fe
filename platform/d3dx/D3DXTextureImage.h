// Picture-file decoders behind the D3DX texture functions: pure functions from the file's
// bytes to a plain record of surfaces, so they are tested without a device.
// Uncompressed pictures come out as 32-bit pixels in A8R8G8B8 memory order (bytes B, G,
// R, A), rows top to bottom, tightly packed; DXT pictures keep their 4x4 blocks.
#pragma once

#include "platform/d3d9/D3D9Texture.h"
#include "platform/d3dx/D3DXTexture.h"

#include <string>
#include <vector>

struct D3DXImageSurface {
    UINT width = 0;
    UINT height = 0;
    D3D9Bytes bytes;  // the texture stand-in's kind, so a built level can be handed over whole
};

struct D3DXDecodedImage {
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
    // The format the file stores (for D3DXIMAGE_INFO), e.g. D3DFMT_R8G8B8 for a 24-bit TGA.
    D3DFORMAT fileFormatPixel = D3DFMT_UNKNOWN;
    // The layout of `surfaces`: D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8 (alpha bytes are 255) or DXT1..5.
    D3DFORMAT format = D3DFMT_UNKNOWN;
    bool cube = false;
    UINT mipLevels = 1;
    // Face-major: face f, level l is surfaces[f * mipLevels + l]; one face unless cube.
    std::vector<D3DXImageSurface> surfaces;
    // After a header-only read: the size, and no surfaces.
    bool pending = false;
    UINT width = 0;
    UINT height = 0;

    UINT Width() const { return surfaces.empty() ? width : surfaces[0].width; }
    UINT Height() const { return surfaces.empty() ? height : surfaces[0].height; }
    UINT FaceCount() const { return cube ? 6 : 1; }
    const D3DXImageSurface& Surface(UINT face, UINT level) const { return surfaces.at(face * mipLevels + level); }
};

// Each decoder returns false and an explanation for a file it cannot read whole.
bool D3DXDecodeDds(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXDecodeTga(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXDecodeJpeg(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXDecodePng(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
// Recognises the kind by content and runs its decoder.
bool D3DXDecodeImage(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);

// The header alone for JPEG, PNG and DDS (image.pending set, no surfaces), enough for the size
// and formats; a DDS is also checked to hold all its levels. TGA, whose run-length data must be
// walked to be checked, is decoded whole.
bool D3DXReadImageHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXReadDdsHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
// The two halves of the JPEG and PNG decoders.
bool D3DXReadJpegHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXDecodeJpegPixels(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXReadPngHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
bool D3DXDecodePngPixels(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error);
// After a header-only read: the picture's rows straight into memory the caller owns (a locked
// texture level), `pitch` bytes apart, as 32-bit B, G, R, A (JPEG: X = 255) pixels. The image
// record is left pending.
bool D3DXDecodeJpegRows(const uint8_t* data, size_t size, const D3DXDecodedImage& image, uint8_t* bits,
                        size_t pitch, std::string& error);
bool D3DXDecodePngRows(const uint8_t* data, size_t size, const D3DXDecodedImage& image, uint8_t* bits,
                       size_t pitch, std::string& error);
