// Base of every engine object: a reference count that is kept but never frees anything,
// the class's size and name, and a place in the process-wide registry.
//
// Release() sets the count to zero instead of decrementing it; an object lives until its
// owner deletes it or it is flushed from the pending-deletion list. Code that ports over
// relies on this, so CPtr must not be mistaken for an owning pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CPObject {
public:
    CPObject();
    virtual ~CPObject() = default;

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

protected:
    int32_t RefCount = 0;
};
