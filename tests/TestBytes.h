// Files written in memory for tests and benches: little-endian fields for hand-made headers,
// DDS headers, and JPEG and PNG pictures through their own libraries.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace TestBytes {

using Bytes = std::vector<uint8_t>;

// Appends v little-endian to a byte vector or a string.
template <class Buffer>
void Put16(Buffer& b, uint16_t v) {
    using Byte = typename Buffer::value_type;
    b.push_back(static_cast<Byte>(v & 0xFF));
    b.push_back(static_cast<Byte>(v >> 8));
}
template <class Buffer>
void Put32(Buffer& b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v & 0xFFFF));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

// DDS header for a w x h picture; fourCC 0 means 32-bit A8R8G8B8.
inline Bytes DdsHeader(uint32_t w, uint32_t h, uint32_t mips = 1, uint32_t fourCC = 0, bool cube = false) {
    Bytes b = {'D', 'D', 'S', ' '};
    for (uint32_t v : {124u, 0x1007u | (mips > 1 ? 0x20000u : 0u), h, w, 0u, 0u, mips}) {
        Put32(b, v);
    }
    for (int i = 0; i < 11; ++i) {
        Put32(b, 0);
    }
    Put32(b, 32);
    if (fourCC != 0) {
        for (uint32_t v : {0x4u, fourCC, 0u, 0u, 0u, 0u, 0u}) {
            Put32(b, v);
        }
    } else {
        for (uint32_t v : {0x41u, 0u, 32u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) {
            Put32(b, v);
        }
    }
    for (uint32_t v : {0x1000u | (cube ? 0x8u : 0u), cube ? 0xFE00u : 0u, 0u, 0u, 0u}) {
        Put32(b, v);
    }
    return b;
}

// A w x h RGB JPEG; fill(x, y, rgb) writes the three samples of each pixel.
template <class Fill>
Bytes Jpeg(unsigned w, unsigned h, int quality, Fill fill) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t{w} * 3);
    while (info.next_scanline < h) {
        for (unsigned x = 0; x < w; ++x) {
            fill(x, unsigned{info.next_scanline}, &row[size_t{x} * 3]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

// A w x h PNG of pixels laid out as libpng's simplified format says (PNG_FORMAT_RGB, ...);
// empty when libpng refuses them.
inline Bytes Png(unsigned w, unsigned h, uint32_t format, const Bytes& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = format;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        return {};
    }
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
        return {};
    }
    out.resize(size);
    return out;
}

}  // namespace TestBytes
