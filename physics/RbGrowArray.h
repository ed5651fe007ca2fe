// Work array of the simulator: plain records in a block from an RbAllocator. When full it
// grows by a fixed number of entries, or doubles when the grow-by is -1; with a grow-by of
// 0 it never grows and an append past the capacity yields nothing.
#pragma once

#include "physics/RbAllocator.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

template <class T>
class RbGrowArray {
    static_assert(std::is_trivially_copyable_v<T>, "work arrays hold plain records");

public:
    RbGrowArray() = default;
    ~RbGrowArray() { Destroy(); }
    RbGrowArray(const RbGrowArray&) = delete;
    RbGrowArray& operator=(const RbGrowArray&) = delete;

    // Returns false when the first block cannot be allocated (the array then stays empty
    // and grows on its first append).
    bool Create(RbAllocator* allocator, int32_t capacity, int32_t growBy) {
        Destroy();
        Allocator = allocator;
        GrowBy = growBy;
        return capacity <= 0 || Reserve(capacity);
    }

    void Destroy() {
        if (Data != nullptr) {
            Allocator->Free(Data);
        }
        Data = nullptr;
        Used = 0;
        Capacity = 0;
    }

    // Appends a value-initialised entry; null when the array is full and cannot grow.
    T* Append() {
        T* entry = AppendUninitialised();
        if (entry != nullptr) {
            *entry = T{};
        }
        return entry;
    }

    // Appends an entry holding whatever the block held (for records the caller fills
    // whole); null when the array is full and cannot grow.
    T* AppendUninitialised() {
        if (Used == Capacity && !Grow()) {
            return nullptr;
        }
        return &Data[Used++];
    }

    // Appends copies of count records (from outside this array) with one block copy; returns
    // how many fit (fewer when the array is full and cannot grow far enough). Grows in the
    // same steps as Append.
    int32_t AppendRange(const T* source, int32_t count) {
        while (count > Capacity - Used) {
            if (!Grow()) {
                count = Capacity - Used;
                break;
            }
        }
        if (count <= 0) {
            return 0;
        }
        std::memcpy(static_cast<void*>(Data + Used), static_cast<const void*>(source), sizeof(T) * static_cast<size_t>(count));
        Used += count;
        return count;
    }

    void Clear() { Used = 0; }
    // Exchanges the contents (same allocator expected).
    void Swap(RbGrowArray& other) {
        T* data = Data;
        Data = other.Data;
        other.Data = data;
        const int32_t used = Used;
        Used = other.Used;
        other.Used = used;
        const int32_t capacity = Capacity;
        Capacity = other.Capacity;
        other.Capacity = capacity;
    }
    void RemoveLast() {
        if (Used > 0) {
            --Used;
        }
    }
    T* GetData() { return Data; }
    const T* GetData() const { return Data; }
    int32_t GetCount() const { return Used; }
    int32_t GetCapacity() const { return Capacity; }
    T& operator[](int32_t i) { return Data[i]; }
    const T& operator[](int32_t i) const { return Data[i]; }

private:
    // One growth step: doubles (grow-by -1) or adds the grow-by; false when the array may not
    // grow or the block cannot be had.
    bool Grow() {
        int32_t grown = 0;
        if (GrowBy == -1) {
            grown = Capacity > 0 ? Capacity * 2 : 1;
        } else if (GrowBy > 0) {
            grown = Capacity + GrowBy;
        }
        return grown > Capacity && Reserve(grown);
    }

    bool Reserve(int32_t capacity) {
        if (Allocator == nullptr) {
            return false;
        }
        T* data = static_cast<T*>(Allocator->Alloc(sizeof(T) * static_cast<size_t>(capacity), 0));
        if (data == nullptr) {
            return false;
        }
        if (Used > 0) {
            std::memcpy(static_cast<void*>(data), static_cast<const void*>(Data), sizeof(T) * static_cast<size_t>(Used));
        }
        if (Data != nullptr) {
            Allocator->Free(Data);
        }
        Data = data;
        Capacity = capacity;
        return true;
    }

    T* Data = nullptr;
    int32_t Used = 0;
    int32_t Capacity = 0;
    int32_t GrowBy = 0;
    RbAllocator* Allocator = nullptr;
};
