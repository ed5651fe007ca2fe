// Texture loading cost: the level loader creates every texture of a level through D3DX.
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXTexture.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

std::vector<uint8_t> MakeJpeg(UINT size) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long bytes = 0;
    jpeg_mem_dest(&info, &out, &bytes);
    info.image_width = size;
    info.image_height = size;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size * 3);
    while (info.next_scanline < size) {
        for (UINT x = 0; x < size; ++x) {
            row[x * 3 + 0] = static_cast<JSAMPLE>(x);
            row[x * 3 + 1] = static_cast<JSAMPLE>(info.next_scanline);
            row[x * 3 + 2] = static_cast<JSAMPLE>(x ^ info.next_scanline);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> file(out, out + bytes);
    std::free(out);
    return file;
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int k = 0; k < 4; ++k) {
        b.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
}

// A DXT5 DDS of size x size with its whole mip chain.
std::vector<uint8_t> MakeDxtDds(uint32_t size) {
    uint32_t levels = 1;
    for (uint32_t s = size; s > 1; s >>= 1) {
        ++levels;
    }
    std::vector<uint8_t> b = {'D', 'D', 'S', ' '};
    const uint32_t header[31] = {124, 0x21007, size, size, 0, 0, levels, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 32, 0x4, D3DFMT_DXT5, 0, 0, 0, 0, 0, 0x401008, 0, 0, 0, 0};
    for (uint32_t v : header) {
        Put32(b, v);
    }
    uint32_t seed = 1;
    for (uint32_t s = size; ; s = std::max(1u, s / 2)) {
        const size_t blocks = size_t{(s + 3) / 4} * ((s + 3) / 4);
        for (size_t i = 0; i < blocks * 4; ++i) {
            seed = seed * 1103515245u + 12345u;
            Put32(b, seed);
        }
        if (s == 1) {
            break;
        }
    }
    return b;
}

// Creates a texture from the file with the engine's usual arguments, every iteration.
void LoadTextureLoop(benchmark::State& state, const std::vector<uint8_t>& file) {
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    for (auto _ : state) {
        IDirect3DTexture9* texture = nullptr;
        D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                            D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                            D3DX_DEFAULT, 0x80004, 0, nullptr, nullptr, &texture);
        benchmark::DoNotOptimize(texture);
        texture->Release();
        device->ClearCalls();
    }
    device->Release();
}

void BM_JpegTexture1024(benchmark::State& state) {
    LoadTextureLoop(state, MakeJpeg(1024));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 1024 * 4);
}
BENCHMARK(BM_JpegTexture1024)->Unit(benchmark::kMillisecond);

void BM_DxtDdsTexture1024(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeDxtDds(1024);
    LoadTextureLoop(state, file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_DxtDdsTexture1024)->Unit(benchmark::kMillisecond);

}  // namespace
