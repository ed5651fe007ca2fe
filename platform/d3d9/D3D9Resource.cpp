#include "platform/d3d9/D3D9Resource.h"

#include "platform/d3d9/D3D9Device.h"

D3D9DefaultPoolEntry::D3D9DefaultPoolEntry(IDirect3DDevice9* owner, D3DPOOL pool) {
    const auto* device = dynamic_cast<const D3D9RecordingDevice*>(owner);
    if (device == nullptr || pool != D3DPOOL_DEFAULT) {
        return;
    }
    live = device->defaultPoolLive;
    ++*live;
}

D3D9DefaultPoolEntry::~D3D9DefaultPoolEntry() {
    if (live != nullptr) {
        --*live;
    }
}
