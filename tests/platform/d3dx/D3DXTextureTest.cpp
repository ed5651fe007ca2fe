#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Texture.h"
#include "platform/d3dx/D3DXTexture.h"
#include "platform/d3dx/D3DXTextureImage.h"
#include "platform/d3dx/D3DXTexturePixels.h"

#include "tests/platform/d3d9/RecordingDeviceFixture.h"
#include "tests/platform/d3dx/AllocationLimit.h"
#include "tests/TestBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace {

using namespace TestBytes;

// Colour of pixel (x, y) of the test pictures, as B, G, R, A.
uint32_t TestColour(UINT x, UINT y) { return 0x80000000u | (x * 40) << 16 | (y * 30) << 8 | (x + y); }

// An uncompressed or run-length TGA of w x h pixels with TestColour, in either row order.
Bytes MakeTga(uint16_t w, uint16_t h, int bits, bool rle, bool topDown) {
    Bytes b = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, w);
    Put16(b, h);
    b.push_back(static_cast<uint8_t>(bits));
    b.push_back(static_cast<uint8_t>((bits == 32 ? 8 : 0) | (topDown ? 0x20 : 0)));
    for (UINT row = 0; row < h; ++row) {
        const UINT y = topDown ? row : h - 1 - row;
        for (UINT x = 0; x < w; ++x) {
            if (rle) {
                b.push_back(0);  // a raw packet of one pixel
            }
            const uint32_t c = TestColour(x, y);
            for (int k = 0; k < bits / 8; ++k) {
                b.push_back(static_cast<uint8_t>(c >> (8 * k)));
            }
        }
    }
    return b;
}

Bytes MakeJpeg(UINT w, UINT h) {
    return Jpeg(w, h, 95, [](unsigned, unsigned, JSAMPLE* rgb) {
        rgb[0] = 200;  // a flat orange picture survives compression closely
        rgb[1] = 100;
        rgb[2] = 50;
    });
}

Bytes MakePng(UINT w, UINT h, bool alpha) {
    const int channels = alpha ? 4 : 3;
    Bytes pixels(size_t{w} * h * channels);
    for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
            const uint32_t c = TestColour(x, y);
            for (int k = 0; k < channels; ++k) {
                pixels[(y * w + x) * channels + k] = static_cast<uint8_t>(c >> (8 * k));
            }
        }
    }
    Bytes out = Png(w, h, alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR, pixels);
    EXPECT_FALSE(out.empty());
    return out;
}

// A picture file whose header claims 16384 x 16384 pixels, with the data of a small one.
Bytes ClaimingHugeSize(Bytes file) {
    const bool png = file[0] == 0x89;
    // PNG: IHDR's width and height at 16, then its checksum at 29; JPEG: the frame header.
    size_t at = 16;
    if (!png) {
        at = 2;
        while (!(file[at] == 0xFF && file[at + 1] == 0xC0)) {
            ++at;
        }
        at += 5;
    }
    const uint8_t huge[8] = {0, 0, 0x40, 0, 0, 0, 0x40, 0};
    if (png) {
        std::memcpy(&file[at], huge, 8);
        const uLong crc = crc32(0, &file[12], 17);
        for (int k = 0; k < 4; ++k) {
            file[29 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
        }
    } else {
        std::memcpy(&file[at], huge + 2, 2);  // height, then width, 16 bits each
        std::memcpy(&file[at + 2], huge + 2, 2);
    }
    return file;
}

Bytes Truncated(Bytes bytes, size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

class D3DXTextureTest : public RecordingDeviceFixture {
protected:

    // The arguments the engine's loaders pass.
    HRESULT Create(const Bytes& file, IDirect3DTexture9** texture, D3DXIMAGE_INFO* info = nullptr,
                   UINT mips = D3DX_DEFAULT) {
        return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                   D3DX_DEFAULT, mips, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                   D3DX_DEFAULT, 0x80004, 0, info, nullptr, texture);
    }

};

struct TgaCase {
    const char* what;
    int bits;
    bool rle;
    bool topDown;
};

TEST_F(D3DXTextureTest, TgaVariantsDecodeToTheSamePixels) {
    const TgaCase cases[] = {{"24-bit bottom-up", 24, false, false},
                             {"32-bit top-down", 32, false, true},
                             {"24-bit run-length", 24, true, false},
                             {"32-bit run-length top-down", 32, true, true}};
    for (const TgaCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = MakeTga(3, 5, c.bits, c.rle, c.topDown);
        D3DXDecodedImage image;
        std::string error;
        ASSERT_TRUE(D3DXDecodeImage(file.data(), file.size(), image, error)) << error;
        EXPECT_EQ(image.fileFormat, D3DXIFF_TGA);
        EXPECT_EQ(image.format, c.bits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
        ASSERT_EQ(image.Width(), 3u);
        ASSERT_EQ(image.Height(), 5u);
        for (UINT y = 0; y < 5; ++y) {
            for (UINT x = 0; x < 3; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, &image.surfaces[0].bytes[(y * 3 + x) * 4], 4);
                const uint32_t expected = c.bits == 32 ? TestColour(x, y) : (TestColour(x, y) | 0xFF000000u);
                EXPECT_EQ(pixel, expected) << x << "," << y;
            }
        }
    }
}

TEST_F(D3DXTextureTest, ThreeByFiveTgaBecomesFourByEightWithAFullChain) {
    const Bytes file = MakeTga(3, 5, 32, false, false);
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(Create(file, &texture, &info), S_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 8u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(texture->GetLevelCount(), 4u);  // 4x8, 2x4, 1x2, 1x1
    EXPECT_EQ(info.Width, 3u);                // the file's own size
    EXPECT_EQ(info.Height, 5u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    const D3D9Texture* view = D3D9Texture::From(texture);
    // Corners keep the corner colours; the last level holds an average.
    EXPECT_EQ(view->Level(0).Pixel(0, 0), TestColour(0, 0));
    EXPECT_EQ(view->Level(0).Pixel(3, 7), TestColour(2, 4));
    EXPECT_EQ(view->Level(3).Pixel(0, 0) >> 24, 0x80u);
    const auto creates = device->CallsNamed("CreateTexture");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0]->Text(), "CreateTexture 4 8 4 0 21 1");
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DXTextureTest, SizesMipLevelsFormatsAndColourKey) {
    const Bytes file = MakeTga(3, 5, 24, false, true);
    IDirect3DTexture9* texture = nullptr;
    // Exact sizes, one level, converted to 16 bits.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT_NONPOW2,
                                                  D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED,
                                                  D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
              S_OK);
    const D3D9Texture* view = D3D9Texture::From(texture);
    EXPECT_EQ(view->Level(0).width, 3u);
    EXPECT_EQ(view->Level(0).height, 5u);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    // Pixel (2, 4): r 80, g 120, b 6 in 5-6-5.
    EXPECT_EQ(view->Level(0).Pixel(2, 4), ((80 * 31 + 127) / 255) << 11 | ((120 * 63 + 127) / 255) << 5 | ((6 * 31 + 127) / 255));
    texture->Release();

    // A colour key makes matching pixels transparent black.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_FROM_FILE,
                                                  D3DX_FROM_FILE, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                  D3DX_FILTER_POINT, D3DX_DEFAULT, TestColour(1, 1) | 0xFF000000u,
                                                  nullptr, nullptr, &texture),
              S_OK);
    view = D3D9Texture::From(texture);
    EXPECT_EQ(view->Level(0).Pixel(1, 1), 0u);
    EXPECT_EQ(view->Level(0).Pixel(1, 2), TestColour(1, 2) | 0xFF000000u);
    texture->Release();
}

TEST_F(D3DXTextureTest, DdsCubeWithSixFacesAndItsMips) {
    Bytes file = DdsHeader(4, 4, 3, 0, true);
    for (uint32_t face = 0; face < 6; ++face) {
        for (uint32_t size : {4u, 2u, 1u}) {
            for (uint32_t i = 0; i < size * size; ++i) {
                Put32(file, 0xFF000000u | face << 16 | size);  // face in red, level size in blue
            }
        }
    }
    IDirect3DCubeTexture9* cube = nullptr;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                      D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                      0x80004, 0, &info, nullptr, &cube),
              S_OK);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(cube->GetLevelCount(), 3u);
    // The header alone tells the same, and a file missing its last byte is refused by it too.
    D3DXIMAGE_INFO header;
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &header), S_OK);
    EXPECT_EQ(std::memcmp(&header, &info, sizeof(info)), 0);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size() - 1), &header),
              D3DXERR_INVALIDDATA);
    const D3D9CubeTexture* view = D3D9CubeTexture::From(cube);
    for (UINT face = 0; face < 6; ++face) {
        const auto f = static_cast<D3DCUBEMAP_FACES>(face);
        EXPECT_EQ(view->Level(f, 0).Pixel(3, 3), 0xFF000004u | face << 16);
        EXPECT_EQ(view->Level(f, 2).Pixel(0, 0), 0xFF000001u | face << 16);  // the file's own mip
    }
    cube->Release();

    // One level ("nomip") from the same file.
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, 1,
                                                      0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, 0x80004, 0,
                                                      nullptr, nullptr, &cube),
              S_OK);
    EXPECT_EQ(cube->GetLevelCount(), 1u);
    cube->Release();

    // A flat picture goes on every face.
    const Bytes flat = MakeTga(4, 4, 32, false, true);
    ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, flat.data(), static_cast<UINT>(flat.size()), &cube), S_OK);
    EXPECT_EQ(D3D9CubeTexture::From(cube)->Level(D3DCUBEMAP_FACE_NEGATIVE_Y, 0).Pixel(2, 1), TestColour(2, 1));
    cube->Release();
}

TEST_F(D3DXTextureTest, DdsOf24BitsIsReadThroughItsMasks) {
    Bytes file = DdsHeader(2, 1, 1, 0, false);
    const uint32_t rgb[5] = {0x40, 24, 0xFF0000, 0x00FF00, 0x0000FF};  // flags, bits, masks
    const size_t at[5] = {80, 88, 92, 96, 100};
    for (int i = 0; i < 5; ++i) {
        std::memcpy(&file[at[i]], &rgb[i], 4);
    }
    std::memset(&file[104], 0, 4);  // no alpha mask
    for (uint8_t byte : {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}) {
        file.push_back(byte);
    }
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(Create(file, &texture, &info, 1), S_OK);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    const D3D9Texture* view = D3D9Texture::From(texture);
    EXPECT_EQ(view->Format(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(view->Level(0).Pixel(0, 0), 0xFF302010u);
    EXPECT_EQ(view->Level(0).Pixel(1, 0), 0xFF605040u);
    texture->Release();
}

TEST_F(D3DXTextureTest, DxtBlocksAreKeptAndDecoded) {
    // One DXT1 block: colour 0 pure red, colour 1 pure blue, all pixels index 0 except pixel 1 index 1.
    Bytes file = DdsHeader(4, 4, 1, D3DFMT_DXT1, false);
    Put16(file, 0xF800);
    Put16(file, 0x001F);
    Put32(file, 0x00000004);
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(Create(file, &texture, &info), S_OK);
    EXPECT_EQ(info.Format, D3DFMT_DXT1);
    const D3D9Texture* view = D3D9Texture::From(texture);
    EXPECT_EQ(view->Format(), D3DFMT_DXT1);
    EXPECT_EQ(texture->GetLevelCount(), 3u);  // the missing levels are made
    ASSERT_EQ(view->Level(0).bytes.size(), 8u);
    EXPECT_EQ(std::memcmp(view->Level(0).bytes.data(), file.data() + 128, 8), 0);
    texture->Release();

    D3DXImageSurface blocks{4, 4, D3D9Bytes(file.begin() + 128, file.end())};
    const D3DXImageSurface pixels = D3DXDecodeDxt(blocks, D3DFMT_DXT1);
    uint32_t p0, p1;
    std::memcpy(&p0, &pixels.bytes[0], 4);
    std::memcpy(&p1, &pixels.bytes[4], 4);
    EXPECT_EQ(p0, 0xFFFF0000u);
    EXPECT_EQ(p1, 0xFF0000FFu);
    // Encoding two-colour content gives it back exactly.
    const D3DXImageSurface again = D3DXDecodeDxt(D3DXEncodeDxt(pixels, D3DFMT_DXT5), D3DFMT_DXT5);
    EXPECT_EQ(again.bytes, pixels.bytes);

    // Asked for 32 bits, the blocks are decoded.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              S_OK);
    EXPECT_EQ(D3D9Texture::From(texture)->Level(0).Pixel(1, 0), 0xFF0000FFu);
    texture->Release();
}

TEST_F(D3DXTextureTest, JpegAndPngThroughTheirLibraries) {
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info;
    const Bytes jpeg = MakeJpeg(300, 200);
    ASSERT_EQ(Create(jpeg, &texture, &info), S_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Width, 300u);
    EXPECT_EQ(info.Height, 200u);
    const D3D9Texture* view = D3D9Texture::From(texture);
    EXPECT_EQ(view->Format(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(view->Level(0).width, 512u);
    EXPECT_EQ(view->Level(0).height, 256u);
    const DWORD centre = view->Level(0).Pixel(256, 128);
    EXPECT_NEAR(static_cast<int>((centre >> 16) & 0xFF), 200, 3);
    EXPECT_NEAR(static_cast<int>((centre >> 8) & 0xFF), 100, 3);
    EXPECT_NEAR(static_cast<int>(centre & 0xFF), 50, 3);
    texture->Release();

    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "with alpha" : "without alpha");
        const Bytes png = MakePng(4, 2, alpha);
        ASSERT_EQ(Create(png, &texture, &info), S_OK);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
        view = D3D9Texture::From(texture);
        EXPECT_EQ(view->Format(), alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
        EXPECT_EQ(view->Level(0).Pixel(3, 1), alpha ? TestColour(3, 1) : (TestColour(3, 1) | 0xFF000000u));
        texture->Release();
    }
}

TEST_F(D3DXTextureTest, DamagedAndUnknownFilesFailWithTheDataError) {
    Bytes dds = DdsHeader(4, 4, 1, 0, false);
    dds.resize(dds.size() + 4 * 16);
    const Bytes files[] = {
        Truncated(MakeTga(3, 5, 24, false, false), 1),
        Truncated(MakeTga(3, 5, 32, true, false), 2),
        Truncated(dds, 1),
        Truncated(MakeJpeg(16, 16), MakeJpeg(16, 16).size() - 200),
        Truncated(MakePng(4, 4, true), 20),
        Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
        Bytes(40, 0xEE),
        // Headers that claim far more pixels than the files hold: refused without taking
        // the picture's memory first (PNG by the file's length, JPEG as its rows decode).
        ClaimingHugeSize(MakePng(4, 4, true)),
        Truncated(ClaimingHugeSize(MakeJpeg(16, 16)), 100),
        // Run-length TGA whose header claims 65535 x 65535 pixels: refused before allocating.
        Bytes{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 32, 0, 0xFF, 1, 2, 3, 4},
    };
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(i);
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(Create(files[i], &texture), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        // The image information reads a JPEG's or PNG's header alone, so a PNG cut short after
        // its header still tells its size; every other damage is seen there too.
        const bool headerIntact = i == 4;
        D3DXIMAGE_INFO info;
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(files[i].data(), static_cast<UINT>(files[i].size()), &info),
                  headerIntact ? S_OK : D3DXERR_INVALIDDATA);
        if (headerIntact) {
            EXPECT_EQ(info.Width, 4u);
            EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
        }
    }
    // Only the JPEG cut short at its end gets as far as a texture: its header reads and its
    // rows decode into the texture, which is released again when the data stops.
    EXPECT_EQ(device->CallsNamed("CreateTexture").size(), 1u);
}

TEST_F(D3DXTextureTest, DeviceAndInjectedFailuresLeaveNoTexture) {
    const Bytes file = MakeTga(8, 8, 32, false, false);
    IDirect3DTexture9* texture = nullptr;
    D3D9Faults::Fail(D3D9Fault::D3DXCreateTexture, E_OUTOFMEMORY);
    EXPECT_EQ(Create(file, &texture), E_OUTOFMEMORY);
    D3D9Faults::Fail(D3D9Fault::CreateTexture, D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(Create(file, &texture), D3DERR_OUTOFVIDEOMEMORY);
    D3D9Faults::Fail(D3D9Fault::LockTexture, D3DERR_INVALIDCALL, 1);
    EXPECT_EQ(Create(file, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(Create(file, &texture), S_OK);
    texture->Release();
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, file.data(), 10, &texture), D3DERR_INVALIDCALL);
}

// A picture far taller than wide on a cube: a face holds no more pixels than the picture
// (128 x 128 of 65535), not the long side (which made a 4096 x 4096 cube, 623 MB, of a 2 kB
// file), and filtering it down costs memory on the scale of the texture.
TEST_F(D3DXTextureTest, CubeFromATallPictureStaysWithinTheTexturesMemory) {
    // 1 x 65535 pixels of one colour in run-length packets: a 2.5 kB file.
    Bytes tall = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(tall, 1);
    Put16(tall, 65535);
    tall.push_back(32);
    tall.push_back(8 | 0x20);
    for (UINT left = 65535; left > 0; left -= std::min(left, 128u)) {
        tall.push_back(static_cast<uint8_t>(0x80 | (std::min(left, 128u) - 1)));
        Put32(tall, 0xFF204060u);
    }
    IDirect3DCubeTexture9* cube = nullptr;
    HRESULT result = E_FAIL;
    {
        const ScopedAllocationLimit limit(16u << 20);
        result = D3DXCreateCubeTextureFromFileInMemory(device, tall.data(), static_cast<UINT>(tall.size()), &cube);
    }
    ASSERT_EQ(result, S_OK);
    D3DSURFACE_DESC desc;
    cube->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 128u);
    const D3D9CubeTexture* view = D3D9CubeTexture::From(cube);
    EXPECT_EQ(view->Level(D3DCUBEMAP_FACE_NEGATIVE_Z, 0).Pixel(100, 50), 0xFF204060u);
    cube->Release();
}

// Running out of memory while the levels are built gives E_OUTOFMEMORY and no texture, on
// every path: 2-D in the texture's own layout, 2-D through another format, and cubes.
TEST_F(D3DXTextureTest, OutOfMemoryWhileBuildingLevelsIsReported) {
    const Bytes file = MakeJpeg(200, 120);  // resampled to 256 x 128 through a float scratch
    struct Case {
        const char* what;
        bool cube;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {"2-D, X8R8G8B8", false, D3DFMT_X8R8G8B8},
        {"2-D, R5G6B5", false, D3DFMT_R5G6B5},
        {"2-D, DXT1", false, D3DFMT_DXT1},
        {"cube", true, D3DFMT_UNKNOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        IDirect3DCubeTexture9* cube = reinterpret_cast<IDirect3DCubeTexture9*>(1);
        HRESULT result = S_OK;
        size_t refused = 0;
        {
            const ScopedAllocationLimit limit(64u << 10);
            result = c.cube ? D3DXCreateCubeTextureFromFileInMemoryEx(
                                  device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                  c.format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &cube)
                            : D3DXCreateTextureFromFileInMemoryEx(
                                  device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT,
                                  D3DX_DEFAULT, 0, c.format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                  nullptr, &texture);
            refused = limit.Refused();
        }
        EXPECT_GT(refused, 0u);
        EXPECT_EQ(result, E_OUTOFMEMORY);
        EXPECT_EQ(c.cube ? static_cast<void*>(cube) : static_cast<void*>(texture), nullptr);
    }
}

TEST(D3DXResample, FiltersOnAKnownRow) {
    D3DXImageSurface row{2, 1, {0, 0, 0, 255, 200, 100, 40, 255}};
    const D3DXImageSurface wide = D3DXResample(row, 4, 1, D3DX_FILTER_TRIANGLE);
    // Bilinear at source positions -0.25, 0.25, 0.75, 1.25 clamped to the edges.
    const uint8_t expected[4] = {0, 50, 150, 200};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(wide.bytes[x * 4], expected[x]) << x;
    }
    const D3DXImageSurface point = D3DXResample(row, 4, 1, D3DX_FILTER_POINT);
    EXPECT_EQ(point.bytes[4], 0);
    EXPECT_EQ(point.bytes[8], 200);
    const D3DXImageSurface box = D3DXResample(row, 1, 1, D3DX_FILTER_BOX);
    EXPECT_EQ(box.bytes[0], 100);
    EXPECT_EQ(box.bytes[1], 50);
    const D3DXImageSurface none = D3DXResample(row, 3, 2, D3DX_FILTER_NONE);
    EXPECT_EQ(none.bytes[4], 200);
    EXPECT_EQ(none.bytes[8 + 3], 0);  // outside the source: transparent black
}

}  // namespace
