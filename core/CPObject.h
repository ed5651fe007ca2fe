// Base of every engine object: a reference count that is kept but never frees anything,
// the class's size and name, and a place in the process-wide registry.
//
// Release() sets the count to zero instead of decrementing it; an object lives until its
// owner deletes it or it is flushed from the pending-deletion list. Code that ports over
// relies on this, so CPtr must not be mistaken for an owning pointer.
//
// Besides the registry (every object ever made) the set of live objects is kept, so that an
// address coming back from outside (a script handle, a command argument) can be checked
// before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CPObject {
public:
    CPObject();
    virtual ~CPObject();

    CPObject(const CPObject&) = delete;
    CPObject& operator=(const CPObject&) = delete;

    virtual void AddRef();
    // Resets the count to 0; never destroys.
    virtual void Release();
    virtual size_t GetObjectSize() const = 0;
    virtual std::string GetTypeName() const = 0;

    int32_t GetRefCount() const { return RefCount; }

    // Every object ever constructed, in order; entries of destroyed objects stay and must
    // never be followed.
    static std::vector<CPObject*>& Registry();
    // Objects to delete together; filled by their owners, flushed by DeletePending.
    static std::vector<CPObject*>& PendingDelete();
    static void DeletePending();

    // The object at this address when one is alive there (constructed and not yet destroyed),
    // else null. The address is only compared, never followed; it must be the object's
    // CPObject address (what a CPObject* to it holds).
    static CPObject* FindLive(const void* address);
    static size_t LiveCount();

protected:
    int32_t RefCount = 0;
};
