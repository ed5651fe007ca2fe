#include "core/CPObject.h"

#include <cstdint>

// The lists are never destroyed: objects constructed by static initialisers of other
// files may register before any order among them is known, and the registry keeps the
// objects that were never deleted reachable until the process ends.
std::vector<CPObject*>& CPObject::Registry() {
    static auto* list = new std::vector<CPObject*>();
    return *list;
}

std::vector<CPObject*>& CPObject::PendingDelete() {
    static auto* list = new std::vector<CPObject*>();
    return *list;
}

namespace {

// The addresses of live objects: an open-addressed table with linear probing, half full at
// most, whose removals shift the following entries back instead of leaving markers. Every
// object's construction and destruction passes here; a node-based set took an allocation each.
class AddressSet {
public:
    void Insert(const void* address) {
        if ((count + 1) * 2 > slots.size()) {
            Grow();
        }
        size_t i = Home(address);
        while (slots[i] != nullptr) {
            if (slots[i] == address) {
                return;
            }
            i = (i + 1) & mask;
        }
        slots[i] = address;
        ++count;
    }

    void Erase(const void* address) {
        size_t i = Find(address);
        if (i == npos) {
            return;
        }
        // Each later entry of the run moves into the hole unless its home lies after the hole
        // (cyclically, up to the entry itself), where the probe would no longer reach it.
        for (size_t j = (i + 1) & mask; slots[j] != nullptr; j = (j + 1) & mask) {
            const size_t home = Home(slots[j]);
            const bool reachable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
            if (reachable) {
                slots[i] = slots[j];
                i = j;
            }
        }
        slots[i] = nullptr;
        --count;
    }

    bool Contains(const void* address) const { return Find(address) != npos; }
    size_t Size() const { return count; }

private:
    static constexpr size_t npos = ~size_t{0};

    size_t Home(const void* address) const {
        // Objects are aligned: the low bits say nothing; the multiply spreads the rest.
        const uint64_t bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address)) >> 4;
        return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }

    size_t Find(const void* address) const {
        if (slots.empty()) {
            return npos;
        }
        for (size_t i = Home(address); slots[i] != nullptr; i = (i + 1) & mask) {
            if (slots[i] == address) {
                return i;
            }
        }
        return npos;
    }

    void Grow() {
        std::vector<const void*> old(slots.empty() ? 2048 : slots.size() * 2, nullptr);
        old.swap(slots);
        mask = slots.size() - 1;
        count = 0;
        for (const void* address : old) {
            if (address != nullptr) {
                Insert(address);
            }
        }
    }

    std::vector<const void*> slots;
    size_t mask = 0;
    size_t count = 0;
};

// Never destroyed, like the registry: objects may outlive static destruction.
AddressSet& LiveObjects() {
    static auto* set = new AddressSet();
    return *set;
}

}  // namespace

CPObject::CPObject() {
    Registry().push_back(this);
    LiveObjects().Insert(this);
}

CPObject::~CPObject() { LiveObjects().Erase(this); }

CPObject* CPObject::FindLive(const void* address) {
    if (address == nullptr || !LiveObjects().Contains(address)) {
        return nullptr;
    }
    // Found in the set, so the address is a CPObject's own.
    return static_cast<CPObject*>(const_cast<void*>(address));
}

size_t CPObject::LiveCount() { return LiveObjects().Size(); }

void CPObject::AddRef() { ++RefCount; }

void CPObject::Release() { RefCount = 0; }

void CPObject::DeletePending() {
    // Take the list first: a destructor may queue further objects, which wait for the next flush.
    std::vector<CPObject*> pending;
    pending.swap(PendingDelete());
    for (CPObject* object : pending) {
        delete object;
    }
}
