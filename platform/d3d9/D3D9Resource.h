// Helpers shared by the Direct3D stand-in's resources (not part of the Direct3D interface).
#pragma once

#include "platform/d3d9/D3D9.h"

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
