#include "platform/d3dx/D3DXTexture.h"

#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Texture.h"
#include "platform/d3dx/D3DXTexturePixels.h"

#include <cstring>
#include <new>

namespace {

enum class FileKind { Dds, Png, Jpeg, Tga };

// Recognised by content: DDS, PNG and JPEG by their signatures; anything else is taken for a
// TGA, which has none.
FileKind KindOf(const uint8_t* data, size_t size) {
    if (data == nullptr) {
        return FileKind::Tga;
    }
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
        return FileKind::Dds;
    }
    if (size >= 8 && data[0] == 0x89 && std::memcmp(data + 1, "PNG", 3) == 0) {
        return FileKind::Png;
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return FileKind::Jpeg;
    }
    return FileKind::Tga;
}

}  // namespace

bool D3DXDecodeImage(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    if (data == nullptr || size == 0) {
        error = "no data";
        return false;
    }
    switch (KindOf(data, size)) {
    case FileKind::Dds:
        return D3DXDecodeDds(data, size, image, error);
    case FileKind::Png:
        return D3DXDecodePng(data, size, image, error);
    case FileKind::Jpeg:
        return D3DXDecodeJpeg(data, size, image, error);
    case FileKind::Tga:
        break;
    }
    return D3DXDecodeTga(data, size, image, error);
}

bool D3DXReadImageHeader(const uint8_t* data, size_t size, D3DXDecodedImage& image, std::string& error) {
    switch (KindOf(data, size)) {
    case FileKind::Dds:
        return D3DXReadDdsHeader(data, size, image, error);
    case FileKind::Png:
        return D3DXReadPngHeader(data, size, image, error);
    case FileKind::Jpeg:
        return D3DXReadJpegHeader(data, size, image, error);
    case FileKind::Tga:
        break;
    }
    return D3DXDecodeImage(data, size, image, error);
}

namespace {

// Releases a COM object when it leaves scope unless handed on.
template <class T>
struct Owned {
    T* object = nullptr;
    ~Owned() {
        if (object != nullptr) {
            object->Release();
        }
    }
    T* Release() {
        T* out = object;
        object = nullptr;
        return out;
    }
};

bool IsBlockFormat(D3DFORMAT format) { return D3D9FormatBlockBytes(format) != 0; }

UINT NextPowerOfTwo(UINT n) {
    UINT p = 1;
    while (p < n && p < 0x80000000u) {
        p <<= 1;
    }
    return p;
}

UINT ResolveSize(UINT requested, UINT fromFile) {
    if (requested == D3DX_DEFAULT || requested == 0) {
        return NextPowerOfTwo(fromFile);
    }
    if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) {
        return fromFile;
    }
    return requested;
}

UINT ResolveLevels(UINT requested, UINT fromFile, UINT width, UINT height) {
    const UINT full = D3D9FullMipCount(width, height);
    if (requested == D3DX_DEFAULT || requested == 0) {
        return full;
    }
    if (requested == D3DX_FROM_FILE) {
        return std::min(fromFile, full);
    }
    return std::min(requested, full);
}

DWORD ResolveFilter(DWORD filter, DWORD fallback) { return (filter == D3DX_DEFAULT) ? fallback : filter; }

void FillInfo(const D3DXDecodedImage& image, D3DXIMAGE_INFO* info) {
    if (info == nullptr) {
        return;
    }
    *info = D3DXIMAGE_INFO{};
    info->Width = image.Width();
    info->Height = image.Height();
    info->Depth = 1;
    info->MipLevels = image.mipLevels;
    info->Format = image.fileFormatPixel;
    info->ResourceType = image.cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
    info->ImageFileFormat = image.fileFormat;
}

// A file level as pixels (DXT decoded), with the colour key applied. `take` moves the
// level's pixels out of the image instead of copying them (the image is not used again).
D3DXImageSurface FilePixels(D3DXDecodedImage& image, UINT face, UINT level, D3DCOLOR colorKey, bool take = false) {
    D3DXImageSurface pixels;
    if (IsBlockFormat(image.format)) {
        pixels = D3DXDecodeDxt(image.Surface(face, level), image.format);
    } else if (take) {
        pixels = std::move(image.surfaces.at(face * image.mipLevels + level));
    } else {
        pixels = image.Surface(face, level);
    }
    D3DXApplyColorKey(pixels, colorKey);
    return pixels;
}

// Every level of one face in the texture's format: pixels for uncompressed formats, blocks
// for DXT. File levels are used where their size matches (DXT blocks copied untouched when
// the format is the file's); missing levels are filtered down from the level above.
std::vector<D3DXImageSurface> BuildFace(D3DXDecodedImage& image, UINT face, UINT width, UINT height,
                                        UINT levels, D3DFORMAT format, DWORD filter, DWORD mipFilter,
                                        D3DCOLOR colorKey) {
    std::vector<D3DXImageSurface> out;
    out.reserve(levels);
    const bool blocks = IsBlockFormat(format);
    const bool fileSized = width == image.Width() && height == image.Height();
    const bool keepBlocks = fileSized && format == image.format && blocks && colorKey == 0;
    // Pixels of the level above, for filtering the next one (DXT levels keep a decoded copy).
    D3DXImageSurface above;
    for (UINT level = 0; level < levels; ++level) {
        const UINT w = D3D9LevelSize(width, level);
        const UINT h = D3D9LevelSize(height, level);
        const bool fromFile = fileSized && level < image.mipLevels;
        if (keepBlocks && fromFile) {
            out.push_back(image.Surface(face, level));
            above = D3DXImageSurface{};
            continue;
        }
        D3DXImageSurface pixels;
        if (fromFile) {
            pixels = FilePixels(image, face, level, colorKey);
        } else if (level == 0) {
            pixels = D3DXResample(FilePixels(image, face, 0, colorKey), w, h, filter);
        } else {
            const D3DXImageSurface& source = !blocks ? out.back() : above;
            if (blocks && above.bytes.empty()) {  // the level above was kept as blocks
                above = D3DXDecodeDxt(out.back(), format);
            }
            pixels = D3DXResample(source, w, h, mipFilter);
        }
        if (blocks) {
            out.push_back(D3DXEncodeDxt(pixels, format));
            above = std::move(pixels);
        } else {
            out.push_back(std::move(pixels));
        }
    }
    return out;
}

// Copies one built level into a locked texture level.
void Upload(const D3DXImageSurface& level, D3DFORMAT format, const D3DLOCKED_RECT& locked) {
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    if (IsBlockFormat(format)) {
        const size_t rowBytes = D3D9SurfacePitch(format, level.width);
        for (UINT row = 0; row < D3D9SurfaceRows(format, level.height); ++row) {
            std::memcpy(bits + static_cast<ptrdiff_t>(row) * locked.Pitch, &level.bytes[row * rowBytes], rowBytes);
        }
    } else {
        D3DXWritePixels(level, format, bits, locked.Pitch);
    }
}

bool IsWorkingLayout(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

bool HalvesExactly(DWORD filter, UINT sourceWidth, UINT sourceHeight, UINT width, UINT height) {
    const DWORD kind = filter & 0xFF;
    return (kind == D3DX_FILTER_BOX || kind == D3DX_FILTER_LINEAR || kind == D3DX_FILTER_TRIANGLE) &&
           sourceWidth == width * 2 && sourceHeight == height * 2;
}

// Fills a 2-D texture whose format is the working layout (A8R8G8B8, X8R8G8B8) straight in its
// own memory: level 0 was decoded into it (`levelZeroFilled`), or is handed over whole when the
// stand-in takes it (else written once), and each lower level is averaged from the one above
// while that one is still locked. No level is built in a temporary and copied, and the file's
// pixels are moved, not copied.
HRESULT FillWorkingLayout(IDirect3DTexture9* texture, D3DXDecodedImage& image, UINT width, UINT height,
                          D3DFORMAT format, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, bool levelZeroFilled) {
    D3D9Texture* standIn = D3D9Texture::From(texture);
    const UINT levels = texture->GetLevelCount();
    const bool fileSized = width == image.Width() && height == image.Height();
    // X8R8G8B8 levels read 255 in their unused byte, whatever the picture or the key left there.
    const bool setOpaque = format == D3DFMT_X8R8G8B8 && (image.format != D3DFMT_X8R8G8B8 || colorKey != 0);
    const uint8_t* above = nullptr;
    size_t abovePitch = 0;
    for (UINT level = 0; level < levels; ++level) {
        const UINT w = D3D9LevelSize(width, level);
        const UINT h = D3D9LevelSize(height, level);
        D3DLOCKED_RECT locked;
        if (const HRESULT hr = texture->LockRect(level, &locked, nullptr, 0); FAILED(hr)) {
            if (level > 0) {
                texture->UnlockRect(level - 1);
            }
            return hr;
        }
        auto* bits = static_cast<uint8_t*>(locked.pBits);
        const size_t pitch = static_cast<size_t>(locked.Pitch);
        if (level == 0 && levelZeroFilled) {
            // Decoded in place.
        } else if (level == 0 || (fileSized && level < image.mipLevels)) {
            // Each file level is used once here, so its pixels are taken from the image.
            D3DXImageSurface pixels = (fileSized && level < image.mipLevels)
                                          ? FilePixels(image, 0, level, colorKey, true)
                                          : D3DXResample(FilePixels(image, 0, 0, colorKey, true), w, h, filter);
            if (setOpaque) {
                for (size_t i = 3; i < pixels.bytes.size(); i += 4) {
                    pixels.bytes[i] = 0xFF;
                }
            }
            const uint8_t* kept = pixels.bytes.data();
            if (standIn != nullptr && pitch == size_t{w} * 4 && standIn->AdoptLevel(level, pixels.bytes)) {
                bits = const_cast<uint8_t*>(kept);  // the level's memory now
            } else {
                D3DXWritePixels(pixels, format, bits, locked.Pitch);
            }
        } else {
            const UINT aboveWidth = D3D9LevelSize(width, level - 1);
            const UINT aboveHeight = D3D9LevelSize(height, level - 1);
            if (HalvesExactly(mipFilter, aboveWidth, aboveHeight, w, h)) {
                D3DXHalve(above, abovePitch, bits, pitch, w, h);
            } else {
                D3DXImageSurface source;
                source.width = aboveWidth;
                source.height = aboveHeight;
                source.bytes.resize(size_t{aboveWidth} * aboveHeight * 4);
                for (UINT y = 0; y < aboveHeight; ++y) {
                    std::memcpy(&source.bytes[size_t{y} * aboveWidth * 4], above + y * abovePitch, size_t{aboveWidth} * 4);
                }
                D3DXWritePixels(D3DXResample(source, w, h, mipFilter), format, bits, locked.Pitch);
            }
        }
        if (level > 0) {
            texture->UnlockRect(level - 1);
        }
        above = bits;
        abovePitch = pitch;
    }
    if (levels > 0) {
        texture->UnlockRect(levels - 1);
    }
    return S_OK;
}

// The shared front part of both creators: arguments, injected faults, decoding. With
// `headerFirst` a JPEG or PNG is only read up to its size (image.pending), so that its pixels
// can be decoded straight into the texture.
HRESULT Decode(IDirect3DDevice9* device, const void* data, UINT size, const void* out, D3DXDecodedImage& image,
               bool headerFirst) {
    if (device == nullptr || data == nullptr || size == 0 || out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (const HRESULT injected = D3D9Faults::Take(D3D9Fault::D3DXCreateTexture); FAILED(injected)) {
        return injected;
    }
    std::string error;
    try {
        const auto* bytes = static_cast<const uint8_t*>(data);
        const FileKind kind = KindOf(bytes, size);
        const bool decoded = (headerFirst && (kind == FileKind::Jpeg || kind == FileKind::Png))
                                 ? D3DXReadImageHeader(bytes, size, image, error)
                                 : D3DXDecodeImage(bytes, size, image, error);
        if (!decoded) {
            return D3DXERR_INVALIDDATA;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // a header that claims a picture too large to hold
    }
    return S_OK;
}

// The pixels of a JPEG or PNG whose header alone was read, into the image record, or into the
// caller's rows when `bits` is given.
HRESULT DecodePending(const void* data, UINT size, D3DXDecodedImage& image, uint8_t* bits, size_t pitch) {
    std::string error;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const bool jpeg = image.fileFormat == D3DXIFF_JPG;
    try {
        const bool decoded =
            bits != nullptr ? (jpeg ? D3DXDecodeJpegRows(bytes, size, image, bits, pitch, error)
                                    : D3DXDecodePngRows(bytes, size, image, bits, pitch, error))
                            : (jpeg ? D3DXDecodeJpegPixels(bytes, size, image, error)
                                    : D3DXDecodePngPixels(bytes, size, image, error));
        return decoded ? S_OK : D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

D3DFORMAT ResolveFormat(D3DFORMAT requested, const D3DXDecodedImage& image) {
    const D3DFORMAT format = (requested == D3DFMT_UNKNOWN) ? image.format : requested;
    return (IsBlockFormat(format) || D3DXCanWrite(format)) ? format : D3DFMT_UNKNOWN;
}

// The steps both texture creators share: decode the file, choose the texture format the
// stand-in can write, and read the device's size limits.
HRESULT DecodeForTexture(IDirect3DDevice9* device, const void* data, UINT size, const void* out,
                         D3DFORMAT requested, D3DXDecodedImage& image, D3DFORMAT& target, D3DCAPS9& caps,
                         bool headerFirst = false) {
    if (const HRESULT hr = Decode(device, data, size, out, image, headerFirst); FAILED(hr)) {
        return hr;
    }
    target = ResolveFormat(requested, image);
    if (target == D3DFMT_UNKNOWN) {
        return D3DERR_NOTAVAILABLE;
    }
    device->GetDeviceCaps(&caps);
    return S_OK;
}

// The edge a cube takes from its file. A flat picture goes on all six faces; a face holds no
// more pixels than the picture (its edge is at most the largest power of two whose square
// the picture's pixel count reaches), so a thin picture (1 x 65535 pixels, 2 kB as a TGA)
// cannot ask for a cube of 4096 x 4096 faces. A square picture keeps its side.
UINT CubeEdgeOf(const D3DXDecodedImage& image) {
    const UINT longSide = std::max(image.Width(), image.Height());
    if (image.cube) {
        return longSide;
    }
    const uint64_t pixels = uint64_t{image.Width()} * image.Height();
    UINT side = 1;
    while (uint64_t{side} * 2 * side * 2 <= pixels) {
        side <<= 1;
    }
    return std::min(longSide, side);
}

// Halves a size until the device takes it, as D3DX does for oversized pictures.
UINT FitToDevice(UINT size, UINT limit) {
    while (size > limit && size > 1) {
        size = (size + 1) / 2;
    }
    return size;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info) {
    if (data == nullptr || size == 0 || info == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3DXDecodedImage image;
    std::string error;
    try {
        if (!D3DXReadImageHeader(static_cast<const uint8_t*>(data), size, image, error)) {
            return D3DXERR_INVALIDDATA;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    FillInfo(image, info);
    return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, PALETTEENTRY* /*palette*/,
                                            IDirect3DTexture9** texture) {
    if (texture != nullptr) {
        *texture = nullptr;
    }
    D3DXDecodedImage image;
    D3DFORMAT target = D3DFMT_UNKNOWN;
    D3DCAPS9 caps;
    if (const HRESULT hr = DecodeForTexture(device, data, size, texture, format, image, target, caps, true);
        FAILED(hr)) {
        return hr;
    }
    const UINT w = FitToDevice(ResolveSize(width, image.Width()), caps.MaxTextureWidth);
    const UINT h = FitToDevice(ResolveSize(height, image.Height()), caps.MaxTextureHeight);
    const UINT levels = ResolveLevels(mipLevels, image.mipLevels, w, h);
    // A JPEG or PNG of the texture's own size, with nothing to change in its pixels, is decoded
    // straight into level 0: no picture-sized buffer is taken and thrown away.
    const bool inPlace = image.pending && IsWorkingLayout(target) && w == image.width && h == image.height &&
                         colorKey == 0 && (target == D3DFMT_A8R8G8B8 || image.format == D3DFMT_X8R8G8B8);
    if (image.pending && !inPlace) {
        if (const HRESULT hr = DecodePending(data, size, image, nullptr, 0); FAILED(hr)) {
            return hr;
        }
    }

    Owned<IDirect3DTexture9> created;
    if (const HRESULT hr = device->CreateTexture(w, h, levels, usage, target, pool, &created.object, nullptr);
        FAILED(hr)) {
        return hr;
    }
    if (inPlace) {
        D3DLOCKED_RECT locked;
        if (const HRESULT hr = created.object->LockRect(0, &locked, nullptr, 0); FAILED(hr)) {
            return hr;
        }
        const HRESULT hr =
            DecodePending(data, size, image, static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch));
        created.object->UnlockRect(0);
        if (FAILED(hr)) {
            return hr;
        }
    }
    const DWORD levelFilter = ResolveFilter(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER);
    const DWORD chainFilter = ResolveFilter(mipFilter, D3DX_FILTER_BOX);
    try {
        if (IsWorkingLayout(target) && !IsBlockFormat(image.format)) {
            if (const HRESULT hr = FillWorkingLayout(created.object, image, w, h, target, levelFilter, chainFilter,
                                                     colorKey, inPlace);
                FAILED(hr)) {
                return hr;
            }
        } else {
            const std::vector<D3DXImageSurface> built = BuildFace(image, 0, w, h, created.object->GetLevelCount(),
                                                                  target, levelFilter, chainFilter, colorKey);
            for (UINT level = 0; level < built.size(); ++level) {
                D3DLOCKED_RECT locked;
                if (const HRESULT hr = created.object->LockRect(level, &locked, nullptr, 0); FAILED(hr)) {
                    return hr;
                }
                Upload(built[level], target, locked);
                created.object->UnlockRect(level);
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    FillInfo(image, info);
    *texture = created.Release();
    return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               nullptr, nullptr, texture);
}

HRESULT D3DXCreateCubeTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT edge,
                                                UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                                DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                                D3DXIMAGE_INFO* info, PALETTEENTRY* /*palette*/,
                                                IDirect3DCubeTexture9** texture) {
    if (texture != nullptr) {
        *texture = nullptr;
    }
    D3DXDecodedImage image;
    D3DFORMAT target = D3DFMT_UNKNOWN;
    D3DCAPS9 caps;
    if (const HRESULT hr = DecodeForTexture(device, data, size, texture, format, image, target, caps); FAILED(hr)) {
        return hr;
    }
    const UINT e = FitToDevice(ResolveSize(edge, CubeEdgeOf(image)), caps.MaxTextureWidth);
    const UINT levels = ResolveLevels(mipLevels, image.mipLevels, e, e);

    Owned<IDirect3DCubeTexture9> created;
    if (const HRESULT hr = device->CreateCubeTexture(e, levels, usage, target, pool, &created.object, nullptr);
        FAILED(hr)) {
        return hr;
    }
    try {
        std::vector<D3DXImageSurface> built;
        for (UINT face = 0; face < 6; ++face) {
            // A flat picture is built once and goes on every face.
            if (image.cube || face == 0) {
                built = BuildFace(image, image.cube ? face : 0, e, e, created.object->GetLevelCount(), target,
                                  ResolveFilter(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER),
                                  ResolveFilter(mipFilter, D3DX_FILTER_BOX), colorKey);
            }
            for (UINT level = 0; level < built.size(); ++level) {
                D3DLOCKED_RECT locked;
                const auto cubeFace = static_cast<D3DCUBEMAP_FACES>(face);
                if (const HRESULT hr = created.object->LockRect(cubeFace, level, &locked, nullptr, 0); FAILED(hr)) {
                    return hr;
                }
                Upload(built[level], target, locked);
                created.object->UnlockRect(cubeFace, level);
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // resampling a picture far larger than the texture's memory
    }
    FillInfo(image, info);
    *texture = created.Release();
    return S_OK;
}

HRESULT D3DXCreateCubeTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                              IDirect3DCubeTexture9** texture) {
    return D3DXCreateCubeTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                   texture);
}
