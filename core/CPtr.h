// Intrusive smart pointer over CPObject. It adds a reference when it takes an object and
// calls Release when it lets go; since Release only zeroes the count, a CPtr never frees.
//
// Copy-only on purpose: a move would skip the AddRef/Release pair and change the counts
// that engine code observes.
#pragma once

#include <concepts>
#include <cstddef>

template <class T>
class CPtr {
public:
    CPtr() = default;
    CPtr(std::nullptr_t) {}
    CPtr(T* object) : pointer(object) {
        if (pointer != nullptr) {
            pointer->AddRef();
        }
    }
    CPtr(const CPtr& other) : CPtr(other.pointer) {}
    template <class U>
        requires std::convertible_to<U*, T*>
    CPtr(const CPtr<U>& other) : CPtr(static_cast<T*>(other.Get())) {}

    ~CPtr() {
        if (pointer != nullptr) {
            pointer->Release();
        }
    }

    // The old object is released before the new one gains its reference, also when both
    // are the same object.
    CPtr& operator=(T* object) {
        if (pointer != nullptr) {
            pointer->Release();
        }
        pointer = object;
        if (pointer != nullptr) {
            pointer->AddRef();
        }
        return *this;
    }
    CPtr& operator=(const CPtr& other) { return *this = other.pointer; }
    template <class U>
        requires std::convertible_to<U*, T*>
    CPtr& operator=(const CPtr<U>& other) {
        return *this = static_cast<T*>(other.Get());
    }

    // Forgets the object without releasing it.
    void MakeNull() { pointer = nullptr; }

    T* Get() const { return pointer; }
    T* operator->() const { return pointer; }
    T& operator*() const { return *pointer; }
    explicit operator bool() const { return pointer != nullptr; }

    friend bool operator==(const CPtr& a, const CPtr& b) { return a.pointer == b.pointer; }
    friend bool operator==(const CPtr& a, const T* b) { return a.pointer == b; }
    friend bool operator==(const CPtr& a, std::nullptr_t) { return a.pointer == nullptr; }

private:
    T* pointer = nullptr;
};
