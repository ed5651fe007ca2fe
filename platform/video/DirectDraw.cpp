#include "platform/video/DirectDraw.h"

#include "platform/ui/WinUser.h"
#include "platform/video/VideoFaults.h"

#include <atomic>

namespace DirectDrawStandIn {

namespace {

std::atomic<int> liveObjects{0};

}  // namespace

int LiveObjects() { return liveObjects.load(); }

Surface::Surface(DWORD w, DWORD h, const DDPIXELFORMAT& pixelFormat)
    : width(w),
      height(h),
      format(pixelFormat),
      bits(DDPixelFormatBits(pixelFormat)),
      pitch(static_cast<LONG>(w) * (bits / 8)),
      bytes(static_cast<size_t>(pitch) * h, 0) {
    ++liveObjects;
}

Surface::~Surface() { --liveObjects; }

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    return VideoFaults::Query(riid, object, {{IID_IUnknown, this}, {IID_IDirectDrawSurface, this}});
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC* desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    *desc = DDSURFACEDESC{};
    desc->dwSize = sizeof(DDSURFACEDESC);
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch;
    desc->ddpfPixelFormat = format;
    desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    return DD_OK;
}

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    HRESULT injected = S_OK;
    if (VideoFaults::Take("Lock", injected)) {
        return injected;
    }
    if (locked) {
        return DDERR_SURFACEBUSY;
    }
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<DWORD>(rect->right) > width || static_cast<DWORD>(rect->bottom) > height) {
            return DDERR_INVALIDRECT;
        }
        offset = static_cast<size_t>(rect->top) * pitch + static_cast<size_t>(rect->left) * (bits / 8);
    }
    GetSurfaceDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = bytes.data() + offset;
    locked = true;
    return DD_OK;
}

HRESULT Surface::Unlock(void*) {
    if (!locked) {
        return DDERR_NOTLOCKED;
    }
    locked = false;
    return DD_OK;
}

DWORD Surface::Pixel(DWORD x, DWORD y) const {
    const uint8_t* p = bytes.data() + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * (bits / 8);
    return bits == 32 ? (DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24)
                      : (DWORD{p[0]} | DWORD{p[1]} << 8);
}

Object::Object() { ++liveObjects; }

Object::~Object() { --liveObjects; }

HRESULT Object::QueryInterface(REFIID riid, void** object) {
    return VideoFaults::Query(riid, object, {{IID_IUnknown, this}, {IID_IDirectDraw, this}});
}

HRESULT Object::SetCooperativeLevel(HWND w, DWORD flags) {
    HRESULT injected = S_OK;
    if (VideoFaults::Take("SetCooperativeLevel", injected)) {
        return injected;
    }
    window = w;
    cooperativeFlags = flags;
    return DD_OK;
}

HRESULT Object::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) {
    if (surface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *surface = nullptr;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC) || outer != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    HRESULT injected = S_OK;
    if (VideoFaults::Take("CreateSurface", injected)) {
        return injected;
    }
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384) {
        return DDERR_INVALIDPARAMS;
    }
    DDPIXELFORMAT format = DDPixelFormatX8R8G8B8();
    if ((desc->dwFlags & DDSD_PIXELFORMAT) != 0) {
        if (DDPixelFormatBits(desc->ddpfPixelFormat) == 0) {
            return DDERR_INVALIDPIXELFORMAT;
        }
        format = desc->ddpfPixelFormat;
    }
    *surface = new Surface(desc->dwWidth, desc->dwHeight, format);
    return DD_OK;
}

}  // namespace DirectDrawStandIn

DDPIXELFORMAT DDPixelFormatX8R8G8B8() {
    DDPIXELFORMAT format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0x00FF0000;
    format.dwGBitMask = 0x0000FF00;
    format.dwBBitMask = 0x000000FF;
    return format;
}

DDPIXELFORMAT DDPixelFormatR5G6B5() {
    DDPIXELFORMAT format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 16;
    format.dwRBitMask = 0xF800;
    format.dwGBitMask = 0x07E0;
    format.dwBBitMask = 0x001F;
    return format;
}

int DDPixelFormatBits(const DDPIXELFORMAT& format) {
    const auto same = [&](const DDPIXELFORMAT& known) {
        return (format.dwFlags & DDPF_RGB) != 0 && format.dwRGBBitCount == known.dwRGBBitCount &&
               format.dwRBitMask == known.dwRBitMask && format.dwGBitMask == known.dwGBitMask &&
               format.dwBBitMask == known.dwBBitMask;
    };
    if (same(DDPixelFormatX8R8G8B8())) {
        return 32;
    }
    if (same(DDPixelFormatR5G6B5())) {
        return 16;
    }
    return 0;
}

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer) {
    if (directDraw == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *directDraw = nullptr;
    if (guid != nullptr || outer != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    HRESULT injected = S_OK;
    if (VideoFaults::Take("DirectDrawCreate", injected)) {
        return injected;
    }
    *directDraw = new DirectDrawStandIn::Object();
    return DD_OK;
}
