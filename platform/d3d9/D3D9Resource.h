// Helpers shared by the Direct3D stand-in's resources (not part of the Direct3D interface).
#pragma once

#include "platform/d3d9/D3D9.h"

#include <atomic>
#include <memory>

// QueryInterface of objects that answer only IID_IUnknown.
template <class T>
HRESULT D3D9QueryUnknown(T* self, REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown) {
        self->AddRef();
        *object = static_cast<IUnknown*>(self);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// GetDevice: hands out the device with a reference for the caller.
inline HRESULT D3D9HandOutDevice(IDirect3DDevice9* device, IDirect3DDevice9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = device;
    if (device != nullptr) {
        device->AddRef();
    }
    return S_OK;
}

// Direct3D refuses Reset while resources of the default pool live: each such resource is
// counted in its recording device's count for its whole life (managed and system-memory ones
// are not).
class D3D9DefaultPoolEntry {
public:
    D3D9DefaultPoolEntry(IDirect3DDevice9* device, D3DPOOL pool);
    ~D3D9DefaultPoolEntry();
    D3D9DefaultPoolEntry(const D3D9DefaultPoolEntry&) = delete;
    D3D9DefaultPoolEntry& operator=(const D3D9DefaultPoolEntry&) = delete;

private:
    std::shared_ptr<std::atomic<int>> live;  // null when not counted
};
