// The built-in heap allocator of the rigid-body simulator.
#include "physics/RbAllocator.h"

#include <cstdlib>

void* RbHeapAllocator::Alloc(size_t size, uint32_t /*flags*/) {
    void* pointer = std::malloc(size == 0 ? 1 : size);
    if (pointer != nullptr) {
        AllocatedBytes += static_cast<uint32_t>(size);
    }
    return pointer;
}

void RbHeapAllocator::Free(void* pointer) { std::free(pointer); }
