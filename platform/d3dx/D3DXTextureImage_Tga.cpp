// TGA files: uncompressed (type 2) and run-length (type 10) true colour of 16, 24 and 32
// bits, and grey (types 3 and 11) of 8 bits, stored bottom-up or top-down, left-to-right or
// right-to-left. Colour-mapped pictures are refused. TGA has no signature, so the header
// is checked for plausibility before anything is read.
#include "platform/d3dx/D3DXTextureImage.h"

#include <cstring>

namespace {

struct TgaHeader {
    uint8_t idLength = 0;
    uint8_t colorMapType = 0;
    uint8_t imageType = 0;
    uint16_t colorMapLength = 0;
    uint8_t colorMapEntryBits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 0;
    uint8_t descriptor = 0;
};

uint16_t ReadWord(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One source pixel to B, G, R, A.
void Expand(const uint8_t* in, int bytes, uint8_t* out) {
    switch (bytes) {
        case 1:
            out[0] = out[1] = out[2] = in[0];
            out[3] = 255;
            break;
        case 2: {  // A1R5G5B5
            const unsigned v = in[0] | (in[1] << 8);
            out[0] = static_cast<uint8_t>(((v & 31) * 255 + 15) / 31);
            out[1] = static_cast<uint8_t>((((v >> 5) & 31) * 255 + 15) / 31);
            out[2] = static_cast<uint8_t>((((v >> 10) & 31) * 255 + 15) / 31);
            out[3] = (v & 0x8000) ? 255 : 0;
            break;
        }
        case 3:
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
            break;
        default:
            std::memcpy(out, in, 4);
            break;
    }
}

}  // namespace

bool D3DXDecodeTga(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    if (size < 18) {
        error = "not a TGA file";
        return false;
    }
    TgaHeader h;
    h.idLength = data[0];
    h.colorMapType = data[1];
    h.imageType = data[2];
    h.colorMapLength = ReadWord(data + 5);
    h.colorMapEntryBits = data[7];
    h.width = ReadWord(data + 12);
    h.height = ReadWord(data + 14);
    h.depth = data[16];
    h.descriptor = data[17];

    const bool rle = h.imageType == 10 || h.imageType == 11;
    const bool grey = h.imageType == 3 || h.imageType == 11;
    const bool trueColour = h.imageType == 2 || h.imageType == 10;
    if (h.colorMapType > 1 || !(grey || trueColour) || h.width == 0 || h.height == 0) {
        error = "not a supported TGA file";
        return false;
    }
    if ((grey && h.depth != 8) || (trueColour && h.depth != 16 && h.depth != 24 && h.depth != 32)) {
        error = "unsupported TGA pixel depth";
        return false;
    }
    const int bytes = h.depth / 8;
    // A colour map may precede the pixels even when the picture does not use it.
    size_t offset = 18 + size_t{h.idLength};
    if (h.colorMapType == 1) {
        offset += size_t{h.colorMapLength} * ((h.colorMapEntryBits + 7) / 8);
    }
    if (offset > size) {
        error = "TGA file is truncated";
        return false;
    }

    const size_t pixels = size_t{h.width} * h.height;
    // A run-length packet covers at most 128 pixels, so a file too short for the picture is
    // refused before the picture's memory is taken.
    if ((rle ? (size - offset) * 128 : (size - offset) / bytes) < pixels) {
        error = "TGA file is truncated";
        return false;
    }
    std::vector<uint8_t> bgra(pixels * 4);
    if (!rle) {
        if ((size - offset) / bytes < pixels) {
            error = "TGA file is truncated";
            return false;
        }
        for (size_t i = 0; i < pixels; ++i) {
            Expand(data + offset + i * bytes, bytes, &bgra[i * 4]);
        }
    } else {
        size_t i = 0;
        while (i < pixels) {
            if (offset >= size) {
                error = "TGA file is truncated";
                return false;
            }
            const uint8_t packet = data[offset++];
            const size_t count = (packet & 0x7F) + 1u;
            if (count > pixels - i) {
                error = "TGA run passes the end of the picture";
                return false;
            }
            if (packet & 0x80) {
                if (size - offset < static_cast<size_t>(bytes)) {
                    error = "TGA file is truncated";
                    return false;
                }
                uint8_t pixel[4];
                Expand(data + offset, bytes, pixel);
                offset += bytes;
                for (size_t k = 0; k < count; ++k, ++i) {
                    std::memcpy(&bgra[i * 4], pixel, 4);
                }
            } else {
                if ((size - offset) / bytes < count) {
                    error = "TGA file is truncated";
                    return false;
                }
                for (size_t k = 0; k < count; ++k, ++i) {
                    Expand(data + offset, bytes, &bgra[i * 4]);
                    offset += bytes;
                }
            }
        }
    }

    // Bit 5 set: first row is the top one; bit 4 set: first column is the right one.
    const bool topDown = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    image = D3DXDecodedImage{};
    image.fileFormat = D3DXIFF_TGA;
    const bool alpha = h.depth == 32 || (h.depth == 16 && (h.descriptor & 0x0F) != 0);
    image.format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    image.fileFormatPixel = h.depth == 32   ? D3DFMT_A8R8G8B8
                            : h.depth == 24 ? D3DFMT_R8G8B8
                            : h.depth == 16 ? (alpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5)
                                            : D3DFMT_L8;
    D3DXImageSurface surface;
    surface.width = h.width;
    surface.height = h.height;
    surface.bytes.resize(pixels * 4);
    for (UINT y = 0; y < h.height; ++y) {
        const UINT sy = topDown ? y : h.height - 1 - y;
        for (UINT x = 0; x < h.width; ++x) {
            const UINT sx = rightToLeft ? h.width - 1 - x : x;
            uint8_t* out = &surface.bytes[(size_t{y} * h.width + x) * 4];
            std::memcpy(out, &bgra[(size_t{sy} * h.width + sx) * 4], 4);
            if (!alpha) {
                out[3] = 255;
            }
        }
    }
    image.surfaces.push_back(std::move(surface));
    return true;
}
