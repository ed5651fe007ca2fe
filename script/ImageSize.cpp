#include "script/ImageSize.h"

#include "platform/d3dx/D3DXTextureImage.h"

#include <cstring>
#include <string>

namespace {

uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }
uint32_t Read32(const uint8_t* p) { return Read16(p) | (Read16(p + 2) << 16); }

bool ReadWithPlatform(bool (*reader)(const uint8_t*, size_t, D3DXDecodedImage&, std::string&), const uint8_t* data,
                      size_t size, ImageSize& out) {
    D3DXDecodedImage image;
    std::string error;
    try {
        if (!reader(data, size, image, error)) {
            return false;
        }
    } catch (...) {  // the decoders' allocation failures: a refused file, never a crash
        return false;
    }
    if (image.Width() == 0 || image.Height() == 0) {
        return false;
    }
    out = {image.Width(), image.Height()};
    return true;
}

// BITMAPFILEHEADER (14 bytes), then BITMAPCOREHEADER (12) or BITMAPINFOHEADER (40 or more).
bool ReadBmp(const uint8_t* data, size_t size, ImageSize& out) {
    if (size < 26) {
        return false;
    }
    const uint64_t pixelOffset = Read32(data + 10);
    const uint32_t infoSize = Read32(data + 14);
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    if (infoSize == 12) {
        width = Read16(data + 18);
        height = Read16(data + 20);
        planes = Read16(data + 22);
        bitCount = Read16(data + 24);
    } else if (infoSize >= 40 && size >= 14 + 40) {
        width = static_cast<int32_t>(Read32(data + 18));
        height = static_cast<int32_t>(Read32(data + 22));  // negative: rows stored top-down
        planes = Read16(data + 26);
        bitCount = Read16(data + 28);
        compression = Read32(data + 30);
    } else {
        return false;
    }
    if (height < 0) {
        height = -height;
    }
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                            bitCount == 32;
    // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields, 6 bit fields with alpha.
    const bool knownCompression = compression <= 3 || compression == 6;
    if (width <= 0 || height <= 0 || planes != 1 || !knownDepth || !knownCompression ||
        pixelOffset < 14 + static_cast<uint64_t>(infoSize) || pixelOffset > size) {
        return false;
    }
    if (compression != 1 && compression != 2) {
        // Rows padded to four bytes; the pixel data must be there whole.
        const uint64_t stride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
        if (stride * static_cast<uint64_t>(height) > size - pixelOffset) {
            return false;
        }
    }
    out = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    return true;
}

// The 18-byte TGA header, the id and colour map it announces, and the pixel data: plain data
// must be there whole, run-length packets are walked (not decoded) to the last pixel.
bool ReadTga(const uint8_t* data, size_t size, ImageSize& out) {
    if (size < 18) {
        return false;
    }
    const uint32_t idLength = data[0];
    const uint32_t colourMapType = data[1];
    const uint32_t imageType = data[2];
    const uint32_t mapLength = Read16(data + 5);
    const uint32_t mapEntryBits = data[7];
    const uint32_t width = Read16(data + 12);
    const uint32_t height = Read16(data + 14);
    const uint32_t depth = data[16];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool knownType = mapped || imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (colourMapType > 1 || !knownType || !knownDepth || width == 0 || height == 0 ||
        (mapped && (colourMapType != 1 || mapLength == 0))) {
        return false;
    }
    uint64_t position = 18 + static_cast<uint64_t>(idLength);
    if (colourMapType == 1) {
        position += (static_cast<uint64_t>(mapLength) * mapEntryBits + 7) / 8;
    }
    if (position > size) {
        return false;
    }
    const uint64_t pixelBytes = (depth + 7) / 8;
    uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (imageType < 9) {
        if (pixels * pixelBytes > size - position) {
            return false;
        }
    } else {
        while (pixels > 0) {
            if (position >= size) {
                return false;
            }
            const uint8_t packet = data[position++];
            const uint64_t count = (packet & 0x7fu) + 1u;
            position += (packet & 0x80u) != 0 ? pixelBytes : count * pixelBytes;
            if (position > size) {
                return false;
            }
            pixels = count >= pixels ? 0 : pixels - count;
        }
    }
    out = {width, height};
    return true;
}

}  // namespace

bool ReadImageSize(const uint8_t* data, size_t size, ImageSize& out) {
    out = {};
    if (data == nullptr || size < 4) {
        return false;
    }
    if (std::memcmp(data, "DDS ", 4) == 0) {
        return ReadWithPlatform(D3DXReadDdsHeader, data, size, out);
    }
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return ReadWithPlatform(D3DXReadPngHeader, data, size, out);
    }
    if (data[0] == 0xFF && data[1] == 0xD8) {
        return ReadWithPlatform(D3DXReadJpegHeader, data, size, out);
    }
    // "BM" cannot start a TGA: its second byte, the colour map type, is 0 or 1.
    if (data[0] == 'B' && data[1] == 'M') {
        return ReadBmp(data, size, out);
    }
    return ReadTga(data, size, out);
}
