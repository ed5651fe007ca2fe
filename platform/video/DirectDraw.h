// DirectDraw as the video players use it: a DirectDraw object that takes a cooperative level
// and creates plain surfaces in system memory, 32-bit (X8R8G8B8 masks) or 16-bit (R5G6B5
// masks), which are locked for reading and writing. Nothing is shown on a screen.
//
// DDSURFACEDESC keeps DirectDraw's fields in their order; its lpSurface is a 64-bit pointer
// here, so dwSize is sizeof(DDSURFACEDESC) of this build, not the 108 bytes of the 32-bit one.
#pragma once

#include "platform/win32/Com.h"
#include "platform/win32/DxErrors.h"

#include <vector>

struct RECT;

constexpr DWORD DDSCL_NORMAL = 0x00000008;

constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;

constexpr DWORD DDPF_RGB = 0x00000040;

constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;

constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDLOCK_READONLY = 0x00000010;
constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;

struct DDPIXELFORMAT {
    DWORD dwSize = sizeof(DDPIXELFORMAT);
    DWORD dwFlags = 0;
    DWORD dwFourCC = 0;
    DWORD dwRGBBitCount = 0;
    DWORD dwRBitMask = 0;
    DWORD dwGBitMask = 0;
    DWORD dwBBitMask = 0;
    DWORD dwRGBAlphaBitMask = 0;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue = 0;
    DWORD dwColorSpaceHighValue = 0;
};

struct DDSCAPS {
    DWORD dwCaps = 0;
};

struct DDSURFACEDESC {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwHeight = 0;
    DWORD dwWidth = 0;
    LONG lPitch = 0;
    DWORD dwBackBufferCount = 0;
    DWORD dwRefreshRate = 0;
    DWORD dwAlphaBitDepth = 0;
    DWORD dwReserved = 0;
    void* lpSurface = nullptr;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

// The two pixel formats surfaces can have.
DDPIXELFORMAT DDPixelFormatX8R8G8B8();
DDPIXELFORMAT DDPixelFormatR5G6B5();
// 32 or 16 for a format of those masks, 0 for any other.
int DDPixelFormatBits(const DDPIXELFORMAT& format);

inline constexpr IID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDrawSurface = {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

struct IDirectDrawPalette;
struct IDirectDrawSurface;

struct IDirectDraw : IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // The description must give width, height (and may give a pixel format; the default is
    // X8R8G8B8). outer must be null.
    virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) = 0;
};

struct IDirectDrawSurface : IUnknown {
    // The whole surface (rect null) or a rectangle inside it; desc->dwSize must be set.
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(void* pointer) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
};

// guid must be null (the default device); outer must be null.
HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer);

namespace DirectDrawStandIn {

class Surface final : public ComObject<IDirectDrawSurface> {
public:
    Surface(DWORD width, DWORD height, const DDPIXELFORMAT& format);
    ~Surface() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(void* pointer) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;

    DWORD Width() const { return width; }
    DWORD Height() const { return height; }
    int Bits() const { return bits; }
    LONG Pitch() const { return pitch; }
    bool Locked() const { return locked; }
    // Pixel (x, y) as a little-endian word of the surface's size.
    DWORD Pixel(DWORD x, DWORD y) const;
    uint8_t* Memory() { return bytes.data(); }

private:
    DWORD width;
    DWORD height;
    DDPIXELFORMAT format;
    int bits;
    LONG pitch;
    std::vector<uint8_t> bytes;
    bool locked = false;
};

class Object final : public ComObject<IDirectDraw> {
public:
    Object();
    ~Object() override;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) override;

    HWND Window() const { return window; }
    DWORD CooperativeFlags() const { return cooperativeFlags; }

private:
    HWND window = nullptr;
    DWORD cooperativeFlags = 0;
};

inline Surface* StandIn(IDirectDrawSurface* surface) { return static_cast<Surface*>(surface); }
inline Object* StandIn(IDirectDraw* directDraw) { return static_cast<Object*>(directDraw); }

// DirectDraw objects and surfaces created and not yet freed.
int LiveObjects();

}  // namespace DirectDrawStandIn
