#include "core/CPObject.h"

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

CPObject::CPObject() { Registry().push_back(this); }

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
