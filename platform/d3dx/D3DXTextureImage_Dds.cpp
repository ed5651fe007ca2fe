// DDS files: "DDS " and a 124-byte header, then every face's mip chain in turn.
// Uncompressed pixels are read through the header's channel masks (so 32-, 24- and 16-bit
// layouts and luminance all work); DXT1 to DXT5 are kept as blocks. Volume textures and
// cube maps with missing faces are refused.
#include "platform/d3dx/D3DXTextureImage.h"

#include <bit>
#include <cstring>

namespace {

constexpr DWORD DDSD_MIPMAPCOUNT = 0x00020000;
constexpr DWORD DDPF_ALPHAPIXELS = 0x00000001;
constexpr DWORD DDPF_FOURCC = 0x00000004;
constexpr DWORD DDPF_RGB = 0x00000040;
constexpr DWORD DDPF_LUMINANCE = 0x00020000;
constexpr DWORD DDSCAPS2_CUBEMAP = 0x00000200;
constexpr DWORD DDSCAPS2_CUBEMAP_ALLFACES = 0x0000FC00;
constexpr DWORD DDSCAPS2_VOLUME = 0x00200000;
constexpr size_t kHeaderEnd = 128;

DWORD ReadDword(const uint8_t* p) {
    DWORD value = 0;
    std::memcpy(&value, p, 4);
    return value;
}

// One channel of a packed pixel, scaled to 8 bits; `fallback` when the mask is empty.
uint8_t Channel(DWORD pixel, DWORD mask, uint8_t fallback) {
    if (mask == 0) {
        return fallback;
    }
    const int shift = std::countr_zero(mask);
    const DWORD max = mask >> shift;
    const DWORD value = (pixel & mask) >> shift;
    return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// Reads the header and checks that every level of every face is in the file; with `pixels`
// the levels are also decoded into surfaces, without only the size is kept.
bool ReadDds(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error, bool pixels);

}  // namespace

bool D3DXDecodeDds(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    return ReadDds(data, size, image, error, true);
}

bool D3DXReadDdsHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    return ReadDds(data, size, image, error, false);
}

namespace {

bool ReadDds(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error, bool pixels) {
    if (size < kHeaderEnd || std::memcmp(data, "DDS ", 4) != 0 || ReadDword(data + 4) != 124) {
        error = "not a DDS file";
        return false;
    }
    const DWORD flags = ReadDword(data + 8);
    const UINT height = ReadDword(data + 12);
    const UINT width = ReadDword(data + 16);
    const DWORD mipCount = ReadDword(data + 28);
    const DWORD pfFlags = ReadDword(data + 80);
    const DWORD fourCC = ReadDword(data + 84);
    const DWORD bitCount = ReadDword(data + 88);
    const DWORD masks[4] = {ReadDword(data + 92), ReadDword(data + 96), ReadDword(data + 100), ReadDword(data + 104)};
    const DWORD caps2 = ReadDword(data + 112);

    if (width == 0 || height == 0 || width > 16384 || height > 16384) {
        error = "DDS size out of range";
        return false;
    }
    if (caps2 & DDSCAPS2_VOLUME) {
        error = "volume textures are not supported";
        return false;
    }
    image = D3DXDecodedImage{};
    image.fileFormat = D3DXIFF_DDS;
    image.width = width;
    image.height = height;
    image.pending = !pixels;
    image.cube = (caps2 & DDSCAPS2_CUBEMAP) != 0;
    if (image.cube && (caps2 & DDSCAPS2_CUBEMAP_ALLFACES) != DDSCAPS2_CUBEMAP_ALLFACES) {
        error = "cube map without all six faces";
        return false;
    }
    UINT levels = ((flags & DDSD_MIPMAPCOUNT) && mipCount > 0) ? mipCount : 1;
    UINT full = 1;
    for (UINT s = std::max(width, height); s > 1; s >>= 1) {
        ++full;
    }
    levels = std::min(levels, full);
    image.mipLevels = levels;

    UINT pixelBytes = 0;
    if (pfFlags & DDPF_FOURCC) {
        switch (fourCC) {
            case D3DFMT_DXT1:
            case D3DFMT_DXT2:
            case D3DFMT_DXT3:
            case D3DFMT_DXT4:
            case D3DFMT_DXT5:
                image.format = static_cast<D3DFORMAT>(fourCC);
                break;
            default:
                error = "unsupported DDS four-character code";
                return false;
        }
        image.fileFormatPixel = image.format;
    } else if ((pfFlags & (DDPF_RGB | DDPF_LUMINANCE)) && (bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32)) {
        pixelBytes = bitCount / 8;
        const bool alpha = (pfFlags & DDPF_ALPHAPIXELS) && masks[3] != 0;
        image.format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        if (pfFlags & DDPF_LUMINANCE) {
            image.fileFormatPixel = (bitCount == 8) ? D3DFMT_L8 : D3DFMT_A8L8;
        } else if (bitCount == 24) {
            image.fileFormatPixel = D3DFMT_R8G8B8;
        } else if (bitCount == 16) {
            image.fileFormatPixel = (masks[1] == 0x7E0) ? D3DFMT_R5G6B5 : (alpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5);
            if (masks[3] == 0xF000) {
                image.fileFormatPixel = D3DFMT_A4R4G4B4;
            }
        } else {
            image.fileFormatPixel = image.format;
        }
    } else {
        error = "unsupported DDS pixel format";
        return false;
    }

    size_t offset = kHeaderEnd;
    for (UINT face = 0; face < image.FaceCount(); ++face) {
        for (UINT level = 0; level < levels; ++level) {
            D3DXImageSurface surface;
            surface.width = std::max(1u, width >> level);
            surface.height = std::max(1u, height >> level);
            if (pixelBytes == 0) {
                const size_t blockBytes = D3D9FormatBlockBytes(image.format);
                const size_t need = size_t{(surface.width + 3) / 4} * ((surface.height + 3) / 4) * blockBytes;
                if (size - offset < need) {
                    error = "DDS file is truncated";
                    return false;
                }
                if (pixels) {
                    surface.bytes.assign(data + offset, data + offset + need);
                }
                offset += need;
            } else {
                const size_t count = size_t{surface.width} * surface.height;
                if ((size - offset) / pixelBytes < count) {
                    error = "DDS file is truncated";
                    return false;
                }
                if (!pixels) {
                    offset += count * pixelBytes;
                    continue;
                }
                surface.bytes.resize(count * 4);
                const bool luminance = (pfFlags & DDPF_LUMINANCE) != 0;
                const bool alpha = image.format == D3DFMT_A8R8G8B8;
                for (size_t i = 0; i < count; ++i) {
                    DWORD pixel = 0;
                    std::memcpy(&pixel, data + offset + i * pixelBytes, pixelBytes);
                    uint8_t* out = &surface.bytes[i * 4];
                    if (luminance) {
                        out[0] = out[1] = out[2] = Channel(pixel, masks[0], 0);
                    } else {
                        out[0] = Channel(pixel, masks[2], 0);
                        out[1] = Channel(pixel, masks[1], 0);
                        out[2] = Channel(pixel, masks[0], 0);
                    }
                    out[3] = alpha ? Channel(pixel, masks[3], 255) : 255;
                }
                offset += count * pixelBytes;
            }
            if (pixels) {
                image.surfaces.push_back(std::move(surface));
            }
        }
    }
    return true;
}

}  // namespace
