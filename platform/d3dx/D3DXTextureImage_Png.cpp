// PNG through libpng's simplified reading interface, asked for B, G, R, A bytes.
// A picture has alpha when its file does (an alpha channel or a transparency chunk).
// The interface wants the whole picture's memory at once, so the header's size is first
// checked against what the file's length can hold.
#include "platform/d3dx/D3DXTextureImage.h"

#include <png.h>

#include <cstdint>
#include <cstring>

bool D3DXReadPngHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, signature, 8) != 0) {
        error = "not a PNG file";
        return false;
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    png_image_free(&png);
    const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    const bool grey = (png.format & PNG_FORMAT_FLAG_COLOR) == 0;
    if (png.width == 0 || png.height == 0 || png.width > 16384 || png.height > 16384) {
        error = "PNG size out of range";
        return false;
    }
    // Deflate packs at most 1032 bytes into one, and a row holds at least a filter byte and
    // one bit per pixel: a file too short for the picture is refused before its memory is taken.
    const uint64_t leastRaw = uint64_t{png.height} * (1 + (uint64_t{png.width} + 7) / 8);
    if (uint64_t{size} * 1032 < leastRaw) {
        error = "PNG file is truncated";
        return false;
    }
    image = D3DXDecodedImage{};
    image.fileFormat = D3DXIFF_PNG;
    image.format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    image.fileFormatPixel = alpha ? D3DFMT_A8R8G8B8 : (grey ? D3DFMT_L8 : D3DFMT_R8G8B8);
    image.pending = true;
    image.width = png.width;
    image.height = png.height;
    return true;
}

bool D3DXDecodePngPixels(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    if (png.width != image.width || png.height != image.height) {
        error = "PNG header changed";
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_BGRA;
    D3DXImageSurface surface;
    surface.width = png.width;
    surface.height = png.height;
    surface.bytes.resize(PNG_IMAGE_SIZE(png));  // not zero-filled: the decoder writes every byte
    if (!png_image_finish_read(&png, nullptr, surface.bytes.data(), 0, nullptr)) {
        error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    image.surfaces.clear();
    image.surfaces.push_back(std::move(surface));
    image.pending = false;
    return true;
}

bool D3DXDecodePngRows(const uint8_t* data, size_t size, const D3DXDecodedImage& image, uint8_t* bits,
                       size_t pitch, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    if (png.width != image.width || png.height != image.height || pitch > 0x7FFFFFFF) {
        error = "PNG header changed";
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_BGRA;
    // The stride counts components, which are bytes here.
    if (!png_image_finish_read(&png, nullptr, bits, static_cast<png_int_32>(pitch), nullptr)) {
        error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

bool D3DXDecodePng(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    return D3DXReadPngHeader(data, size, image, error) && D3DXDecodePngPixels(data, size, image, error);
}
