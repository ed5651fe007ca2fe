#include "core/CPObject.h"

#include <unordered_set>

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

// Never destroyed, like the registry: objects may outlive static destruction.
std::unordered_set<const void*>& LiveObjects() {
    static auto* set = new std::unordered_set<const void*>(1024);
    return *set;
}

}  // namespace

CPObject::CPObject() {
    Registry().push_back(this);
    LiveObjects().insert(this);
}

CPObject::~CPObject() { LiveObjects().erase(this); }

CPObject* CPObject::FindLive(const void* address) {
    if (address == nullptr || !LiveObjects().contains(address)) {
        return nullptr;
    }
    // Found in the set, so the address is a CPObject's own.
    return static_cast<CPObject*>(const_cast<void*>(address));
}

size_t CPObject::LiveCount() { return LiveObjects().size(); }

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
