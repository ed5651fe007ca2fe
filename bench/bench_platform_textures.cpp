// Texture loading cost: the level loader creates every texture of a level through D3DX.
// JPEG and PNG are measured against a plain baseline doing the same work: the library's
// decode straight to 32-bit B, G, R, X rows, then a 2x2-average mip chain, all in one buffer
// taken from the heap. Textures are measured created and released in turn (the heap hands the
// same memory back each time) and created and kept, as a level keeps its textures.
#include "bench/BaselineRatio.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXTexture.h"
#include "tests/TestBytes.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

std::vector<uint8_t> MakeJpeg(UINT size) {
    return TestBytes::Jpeg(size, size, 75, [](unsigned x, unsigned y, JSAMPLE* rgb) {
        rgb[0] = static_cast<JSAMPLE>(x);
        rgb[1] = static_cast<JSAMPLE>(y);
        rgb[2] = static_cast<JSAMPLE>(x ^ y);
    });
}

std::vector<uint8_t> MakePng(UINT size) {
    std::vector<uint8_t> pixels(size_t{size} * size * 3);
    for (UINT y = 0; y < size; ++y) {
        for (UINT x = 0; x < size; ++x) {
            uint8_t* p = &pixels[(size_t{y} * size + x) * 3];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>((x * y) >> 4);
        }
    }
    return TestBytes::Png(size, size, PNG_FORMAT_RGB, pixels);
}

// The baseline's mip chain: each level the rounded 2x2 average of the one above, in one
// buffer, pixel by pixel with the four bytes of a pixel in an inner loop the compiler unrolls.
void PlainMipChain(uint8_t* chain, UINT size) {
    const uint8_t* above = chain;
    uint8_t* out = chain + size_t{size} * size * 4;
    for (UINT s = size / 2; s >= 1; s /= 2) {
        const size_t abovePitch = size_t{s} * 8;
        for (UINT y = 0; y < s; ++y) {
            const uint8_t* top = above + 2 * y * abovePitch;
            const uint8_t* bottom = top + abovePitch;
            for (UINT x = 0; x < s; ++x, top += 8, bottom += 8, out += 4) {
                for (int k = 0; k < 4; ++k) {
                    out[k] = static_cast<uint8_t>((top[k] + top[k + 4] + bottom[k] + bottom[k + 4] + 2) / 4);
                }
            }
        }
        above += size_t{s} * s * 16;
    }
}

size_t ChainBytes(UINT size) {
    size_t bytes = 0;
    for (UINT s = size; s >= 1; s /= 2) {
        bytes += size_t{s} * s * 4;
    }
    return bytes;
}

// A plain texture: its whole chain in one heap block, not zero-filled (every byte is written).
using PlainChain = std::unique_ptr<uint8_t[]>;

PlainChain PlainJpegChain(const std::vector<uint8_t>& file, UINT size) {
    PlainChain chain(new uint8_t[ChainBytes(size)]);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &chain[size_t{info.output_scanline} * size * 4];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    PlainMipChain(chain.get(), size);
    return chain;
}

PlainChain PlainPngChain(const std::vector<uint8_t>& file, UINT size) {
    PlainChain chain(new uint8_t[ChainBytes(size)]);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, file.data(), file.size());
    image.format = PNG_FORMAT_BGRA;
    png_image_finish_read(&image, nullptr, chain.get(), 0, nullptr);
    PlainMipChain(chain.get(), size);
    return chain;
}

using TestBytes::Put32;

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

// Creates a texture from the file with the engine's usual arguments.
IDirect3DTexture9* CreateTexture(D3D9RecordingDevice* device, const std::vector<uint8_t>& file) {
    IDirect3DTexture9* texture = nullptr;
    D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                        D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                        D3DX_DEFAULT, 0x80004, 0, nullptr, nullptr, &texture);
    benchmark::DoNotOptimize(texture);
    return texture;
}

void LoadTexture(D3D9RecordingDevice* device, const std::vector<uint8_t>& file) {
    CreateTexture(device, file)->Release();
    device->ClearCalls();
}

void LoadTextureLoop(benchmark::State& state, const std::vector<uint8_t>& file) {
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    for (auto _ : state) {
        LoadTexture(device, file);
    }
    device->Release();
}

using PlainLoader = PlainChain (*)(const std::vector<uint8_t>&, UINT);

// A 1024 x 1024 texture from the file created and released, against the plain decode and mip
// chain of the same file taken and freed.
void CreateAndRelease(benchmark::State& state, const std::vector<uint8_t>& file, PlainLoader plain) {
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    RunAgainstBaseline(state, [&] { LoadTexture(device, file); },
                       [&] { benchmark::DoNotOptimize(plain(file, 1024).get()); });
    device->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 1024 * 4);
}

// 20 textures created and kept, then released together, against 20 plain chains.
constexpr int KeptTextures = 20;

void CreateKept(benchmark::State& state, const std::vector<uint8_t>& file, PlainLoader plain) {
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    RunAgainstBaseline(
        state,
        [&] {
            std::vector<IDirect3DTexture9*> kept;
            for (int k = 0; k < KeptTextures; ++k) {
                kept.push_back(CreateTexture(device, file));
            }
            for (IDirect3DTexture9* texture : kept) {
                texture->Release();
            }
            device->ClearCalls();
        },
        [&] {
            std::vector<PlainChain> kept;
            for (int k = 0; k < KeptTextures; ++k) {
                kept.push_back(plain(file, 1024));
                benchmark::DoNotOptimize(kept.back().get());
            }
        });
    device->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * KeptTextures * 1024 * 1024 * 4);
}

void BM_JpegTexture1024_CreateRelease(benchmark::State& state) {
    CreateAndRelease(state, MakeJpeg(1024), PlainJpegChain);
}
BENCHMARK(BM_JpegTexture1024_CreateRelease)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_JpegTexture1024_Kept20(benchmark::State& state) { CreateKept(state, MakeJpeg(1024), PlainJpegChain); }
BENCHMARK(BM_JpegTexture1024_Kept20)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PngTexture1024_CreateRelease(benchmark::State& state) {
    CreateAndRelease(state, MakePng(1024), PlainPngChain);
}
BENCHMARK(BM_PngTexture1024_CreateRelease)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PngTexture1024_Kept20(benchmark::State& state) { CreateKept(state, MakePng(1024), PlainPngChain); }
BENCHMARK(BM_PngTexture1024_Kept20)->UseManualTime()->Unit(benchmark::kMillisecond);

// The picture's size and format, against libjpeg reading the header alone.
void BM_JpegImageInfo(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeJpeg(1024);
    RunAgainstBaseline(
        state,
        [&] {
            D3DXIMAGE_INFO info;
            benchmark::DoNotOptimize(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info));
        },
        [&] {
            jpeg_decompress_struct info{};
            jpeg_error_mgr errors{};
            info.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&info);
            jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
            jpeg_read_header(&info, TRUE);
            benchmark::DoNotOptimize(info.image_width);
            jpeg_destroy_decompress(&info);
        });
}
BENCHMARK(BM_JpegImageInfo)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_DxtDdsTexture1024(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeDxtDds(1024);
    LoadTextureLoop(state, file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_DxtDdsTexture1024)->Unit(benchmark::kMillisecond);

}  // namespace
