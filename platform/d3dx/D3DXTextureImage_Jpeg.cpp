// JPEG through libjpeg(-turbo), which writes B, G, R, X rows itself (JCS_EXT_BGRX, the X byte
// 0xFF) straight into the surface. libjpeg reports fatal errors through a callback that must
// not return; we leave with longjmp, so the functions that call setjmp keep only trivially
// destructible locals alive across it. A file that ends early is an error here (libjpeg
// itself only warns and pads the picture with grey).
#include "platform/d3dx/D3DXTextureImage.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr UINT MaxSide = 16384;

struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->escape, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // Level -1 is a warning about damaged data; running out of data is fatal for us.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        OnError(info);
    }
}

void Prepare(jpeg_decompress_struct* info, JpegErrors* errors) {
    *info = jpeg_decompress_struct{};
    *errors = JpegErrors{};
    info->err = jpeg_std_error(&errors->manager);
    errors->manager.error_exit = OnError;
    errors->manager.emit_message = OnMessage;
}

// Reads the header; returns false with errors->message set.
bool ReadHeader(jpeg_decompress_struct* info, JpegErrors* errors, const uint8_t* data, size_t size, UINT* width,
                UINT* height, bool* grey) {
    if (setjmp(errors->escape) != 0) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    jpeg_mem_src(info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    *width = info->image_width;
    *height = info->image_height;
    *grey = info->jpeg_color_space == JCS_GRAYSCALE;
    jpeg_destroy_decompress(info);
    if (*width > MaxSide || *height > MaxSide) {
        std::snprintf(errors->message, sizeof(errors->message), "picture of %u x %u is too large", *width, *height);
        return false;
    }
    return true;
}

// Decodes width x height pixels into `pixels` (grown row by row) or, when `pixels` is null,
// into the caller's rows at `bits`, `pitch` bytes apart. Returns false with errors->message set.
bool DecodeInto(jpeg_decompress_struct* info, JpegErrors* errors, const uint8_t* data, size_t size, UINT width,
                UINT height, D3D9Bytes* pixels, uint8_t* bits, size_t pitch) {
    if (setjmp(errors->escape) != 0) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    jpeg_mem_src(info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(info);
    if (info->output_width != width || info->output_height != height || info->output_components != 4) {
        std::snprintf(errors->message, sizeof(errors->message), "unexpected output layout");
        jpeg_destroy_decompress(info);
        return false;
    }
    const size_t rowBytes = size_t{width} * 4;
    if (pixels != nullptr) {
        try {
            // Reserved, not filled: the memory comes from calloc untouched and rows are added as
            // they decode, so a damaged file whose header claims a huge picture ends before it
            // has used that memory.
            pixels->reserve(rowBytes * height);
        } catch (const std::bad_alloc&) {
            std::snprintf(errors->message, sizeof(errors->message), "no memory for a %u x %u picture", width, height);
            jpeg_destroy_decompress(info);
            return false;
        }
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[1];
        if (pixels != nullptr) {
            pixels->resize(pixels->size() + rowBytes);  // within the reserved capacity
            rows[0] = pixels->data() + pixels->size() - rowBytes;
        } else {
            rows[0] = bits + size_t{info->output_scanline} * pitch;
        }
        if (jpeg_read_scanlines(info, rows, 1) != 1) {
            std::snprintf(errors->message, sizeof(errors->message), "the picture's data stops early");
            jpeg_destroy_decompress(info);
            return false;
        }
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return true;
}

}  // namespace

bool D3DXReadJpegHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
        error = "not a JPEG file";
        return false;
    }
    jpeg_decompress_struct info;
    JpegErrors errors;
    Prepare(&info, &errors);
    UINT width = 0;
    UINT height = 0;
    bool grey = false;
    if (!ReadHeader(&info, &errors, data, size, &width, &height, &grey)) {
        error = std::string("JPEG: ") + errors.message;
        return false;
    }
    image = D3DXDecodedImage{};
    image.fileFormat = D3DXIFF_JPG;
    image.format = D3DFMT_X8R8G8B8;
    image.fileFormatPixel = grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    image.pending = true;
    image.width = width;
    image.height = height;
    return true;
}

bool D3DXDecodeJpegPixels(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    jpeg_decompress_struct info;
    JpegErrors errors;
    Prepare(&info, &errors);
    D3DXImageSurface surface;
    surface.width = image.width;
    surface.height = image.height;
    if (!DecodeInto(&info, &errors, data, size, surface.width, surface.height, &surface.bytes, nullptr, 0)) {
        error = std::string("JPEG: ") + errors.message;
        return false;
    }
    image.surfaces.clear();
    image.surfaces.push_back(std::move(surface));
    image.pending = false;
    return true;
}

bool D3DXDecodeJpegRows(const uint8_t* data, size_t size, const D3DXDecodedImage& image, uint8_t* bits,
                        size_t pitch, std::string& error) {
    jpeg_decompress_struct info;
    JpegErrors errors;
    Prepare(&info, &errors);
    if (!DecodeInto(&info, &errors, data, size, image.width, image.height, nullptr, bits, pitch)) {
        error = std::string("JPEG: ") + errors.message;
        return false;
    }
    return true;
}

bool D3DXDecodeJpeg(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    return D3DXReadJpegHeader(data, size, image, error) && D3DXDecodeJpegPixels(data, size, image, error);
}
