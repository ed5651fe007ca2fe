#include "platform/d3d9/D3D9Resource.h"

#include <mutex>
#include <unordered_map>

namespace {

struct Counts {
    std::mutex lock;
    std::unordered_map<const IDirect3DDevice9*, int> live;
};

Counts& DefaultPool() {
    static Counts counts;
    return counts;
}

}  // namespace

D3D9DefaultPoolEntry::D3D9DefaultPoolEntry(const IDirect3DDevice9* owner, D3DPOOL pool) {
    if (owner == nullptr || pool != D3DPOOL_DEFAULT) {
        return;
    }
    device = owner;
    Counts& counts = DefaultPool();
    const std::lock_guard guard(counts.lock);
    ++counts.live[device];
}

D3D9DefaultPoolEntry::~D3D9DefaultPoolEntry() {
    if (device == nullptr) {
        return;
    }
    Counts& counts = DefaultPool();
    const std::lock_guard guard(counts.lock);
    const auto found = counts.live.find(device);
    if (found != counts.live.end() && --found->second <= 0) {
        counts.live.erase(found);
    }
}

int D3D9DefaultPoolEntry::Live(const IDirect3DDevice9* device) {
    Counts& counts = DefaultPool();
    const std::lock_guard guard(counts.lock);
    const auto found = counts.live.find(device);
    return found != counts.live.end() ? found->second : 0;
}

void D3D9DefaultPoolEntry::Forget(const IDirect3DDevice9* device) {
    Counts& counts = DefaultPool();
    const std::lock_guard guard(counts.lock);
    counts.live.erase(device);
}
