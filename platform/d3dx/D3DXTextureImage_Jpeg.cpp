// JPEG through libjpeg. libjpeg reports fatal errors through a callback that must not
// return; we leave with longjmp, so the decoding function keeps only trivially destructible
// locals alive across setjmp. A file that ends early is an error here (libjpeg itself only
// warns and pads the picture with grey).
#include "platform/d3dx/D3DXTextureImage.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace {

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

// Decodes into `pixels` (B, G, R, A), which the caller sized from the header pass.
// Returns false with errors->message set.
bool DecodeInto(jpeg_decompress_struct* info, JpegErrors* errors, const uint8_t* data, size_t size,
                std::vector<uint8_t>* pixels, std::vector<JSAMPLE>* row, UINT* width, UINT* height, bool* grey) {
    if (setjmp(errors->escape) != 0) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    jpeg_mem_src(info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    *grey = info->jpeg_color_space == JCS_GRAYSCALE;
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    *width = info->output_width;
    *height = info->output_height;
    if (*width > 16384 || *height > 16384) {
        std::snprintf(errors->message, sizeof(errors->message), "picture of %u x %u is too large", *width, *height);
        jpeg_destroy_decompress(info);
        return false;
    }
    try {
        // Reserved, not filled: rows are added as they decode, so a damaged file whose header
        // claims a huge picture ends before it has used that memory.
        pixels->reserve(size_t{*width} * *height * 4);
        row->resize(size_t{*width} * 3);
    } catch (const std::bad_alloc&) {
        std::snprintf(errors->message, sizeof(errors->message), "no memory for a %u x %u picture", *width, *height);
        jpeg_destroy_decompress(info);
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[1] = {row->data()};
        if (jpeg_read_scanlines(info, rows, 1) != 1) {
            std::snprintf(errors->message, sizeof(errors->message), "the picture's data stops early");
            jpeg_destroy_decompress(info);
            return false;
        }
        pixels->resize(pixels->size() + size_t{*width} * 4);  // within the reserved capacity
        uint8_t* out = pixels->data() + pixels->size() - size_t{*width} * 4;
        for (UINT x = 0; x < *width; ++x) {
            out[x * 4 + 0] = (*row)[x * 3 + 2];
            out[x * 4 + 1] = (*row)[x * 3 + 1];
            out[x * 4 + 2] = (*row)[x * 3 + 0];
            out[x * 4 + 3] = 255;
        }
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return true;
}

}  // namespace

bool D3DXDecodeJpeg(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
        error = "not a JPEG file";
        return false;
    }
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.emit_message = OnMessage;
    D3DXImageSurface surface;
    std::vector<JSAMPLE> row;
    bool grey = false;
    if (!DecodeInto(&info, &errors, data, size, &surface.bytes, &row, &surface.width, &surface.height, &grey)) {
        error = std::string("JPEG: ") + errors.message;
        return false;
    }
    image = D3DXDecodedImage{};
    image.fileFormat = D3DXIFF_JPG;
    image.format = D3DFMT_X8R8G8B8;
    image.fileFormatPixel = grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    image.surfaces.push_back(std::move(surface));
    return true;
}
