// Fixed-capacity pool: one block taken from an RbAllocator at creation, every element
// constructed in place, and two intrusive lists over it (free and used) kept in a parallel
// link array. Taking and giving back are O(1) and never allocate.
//
// At creation every element is free, chained in address order. Take() moves the free head
// to the tail of the used list; Give() moves an element back to the head of the free list.
//
// Elements are constructed when first taken, not at creation: the game's pools hold
// thousands of large records of which a level uses a few, and touching them all made
// creating a simulator cost more than the rest of its set-up. The free list only ever
// offers given-back elements or the next unconstructed one, so every element a caller sees
// has been constructed.
#pragma once

#include "physics/RbAllocator.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

template <class T>
class RbPool {
public:
    RbPool() = default;
    ~RbPool() { Destroy(); }
    RbPool(const RbPool&) = delete;
    RbPool& operator=(const RbPool&) = delete;

    // Allocates and constructs capacity elements (none for a capacity of 0 or less).
    // Returns false, leaving the pool empty, when the allocator gives nothing.
    bool Create(RbAllocator* allocator, int32_t capacity) {
        Destroy();
        if (capacity <= 0) {
            return true;
        }
        const size_t count = static_cast<size_t>(capacity);
        const size_t align = alignof(T) > alignof(Link) ? alignof(T) : alignof(Link);
        const size_t elementBytes = (count * sizeof(T) + alignof(Link) - 1) / alignof(Link) * alignof(Link);
        void* raw = allocator->Alloc(elementBytes + count * sizeof(Link) + align - 1, 0);
        if (raw == nullptr) {
            return false;
        }
        const uintptr_t address = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (address + align - 1) / align * align;
        Allocator = allocator;
        Block = raw;
        Elements = reinterpret_cast<T*>(aligned);
        Links = reinterpret_cast<Link*>(aligned + elementBytes);
        Count = capacity;
        for (int32_t i = 0; i < capacity; ++i) {
            new (&Links[i]) Link{i + 1 < capacity ? i + 1 : -1, i - 1, 0};
        }
        Constructed = 0;
        FreeHead = 0;
        FreeTail = capacity - 1;
        FreeCount = capacity;
        return true;
    }

    void Destroy() {
        if (Block == nullptr) {
            return;
        }
        std::destroy_n(Elements, Constructed);
        Allocator->Free(Block);
        Allocator = nullptr;
        Block = nullptr;
        Elements = nullptr;
        Links = nullptr;
        Count = 0;
        Constructed = 0;
        FreeHead = FreeTail = UsedHead = UsedTail = -1;
        FreeCount = UsedCount = 0;
    }

    // The first free element, now in use; null when none is free. Its contents are what
    // the last user left (or the constructed default).
    T* Take() {
        if (FreeHead < 0) {
            return nullptr;
        }
        const int32_t i = FreeHead;
        if (i == Constructed) {
            new (&Elements[i]) T();
            ++Constructed;
        }
        Unlink(i, FreeHead, FreeTail);
        Links[i].inUse = 1;
        Append(i, UsedHead, UsedTail);
        --FreeCount;
        ++UsedCount;
        return &Elements[i];
    }

    // Returns an element taken from this pool; nothing for null or a free element.
    void Give(T* element) {
        const int32_t i = IndexOf(element);
        if (i < 0 || !Links[i].inUse) {
            return;
        }
        Unlink(i, UsedHead, UsedTail);
        Links[i].inUse = 0;
        Links[i].next = FreeHead;
        if (FreeHead >= 0) {
            Links[FreeHead].prev = i;
        } else {
            FreeTail = i;
        }
        FreeHead = i;
        ++FreeCount;
        --UsedCount;
    }

    // Index of an element of this pool, -1 for anything else.
    int32_t IndexOf(const T* element) const {
        if (element == nullptr || Elements == nullptr || element < Elements || element >= Elements + Count) {
            return -1;
        }
        return static_cast<int32_t>(element - Elements);
    }

    // Null for an index no one has taken yet.
    T* At(int32_t index) { return index >= 0 && index < Constructed ? &Elements[index] : nullptr; }
    bool InUse(const T* element) const {
        const int32_t i = IndexOf(element);
        return i >= 0 && Links[i].inUse != 0;
    }

    // Used elements in the order they were taken.
    T* FirstUsed() { return UsedHead >= 0 ? &Elements[UsedHead] : nullptr; }
    T* NextUsed(const T* element) {
        const int32_t i = IndexOf(element);
        return i >= 0 && Links[i].inUse && Links[i].next >= 0 ? &Elements[Links[i].next] : nullptr;
    }

    int32_t GetCapacity() const { return Count; }
    int32_t GetFreeCount() const { return FreeCount; }
    int32_t GetUsedCount() const { return UsedCount; }

private:
    struct Link {
        int32_t next;
        int32_t prev;
        uint8_t inUse;
    };

    void Unlink(int32_t i, int32_t& head, int32_t& tail) {
        Link& link = Links[i];
        if (link.prev >= 0) {
            Links[link.prev].next = link.next;
        } else {
            head = link.next;
        }
        if (link.next >= 0) {
            Links[link.next].prev = link.prev;
        } else {
            tail = link.prev;
        }
        link.next = -1;
        link.prev = -1;
    }

    void Append(int32_t i, int32_t& head, int32_t& tail) {
        Links[i].prev = tail;
        Links[i].next = -1;
        if (tail >= 0) {
            Links[tail].next = i;
        } else {
            head = i;
        }
        tail = i;
    }

    RbAllocator* Allocator = nullptr;
    void* Block = nullptr;
    T* Elements = nullptr;
    Link* Links = nullptr;
    int32_t Count = 0;
    int32_t Constructed = 0;  // elements 0..Constructed-1 are constructed
    int32_t FreeHead = -1;
    int32_t FreeTail = -1;
    int32_t UsedHead = -1;
    int32_t UsedTail = -1;
    int32_t FreeCount = 0;
    int32_t UsedCount = 0;
};
