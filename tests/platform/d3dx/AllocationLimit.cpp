// Replaces the global operator new and delete of the platform test program with malloc and
// free behind a per-thread cap (see AllocationLimit.h). All the replaceable forms that do not
// take an alignment are replaced together, so every pointer is freed the way it was taken.
#include "tests/platform/d3dx/AllocationLimit.h"

#include <cstdlib>
#include <new>

namespace {

thread_local size_t limit = 0;  // 0: no cap
thread_local size_t refused = 0;

void* Allocate(size_t size) noexcept {
    if (limit != 0 && size > limit) {
        ++refused;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(size_t size) {
    if (void* p = Allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

ScopedAllocationLimit::ScopedAllocationLimit(size_t bytes) : previous(limit), refusedBefore(refused) {
    limit = bytes;
}
ScopedAllocationLimit::~ScopedAllocationLimit() { limit = previous; }
size_t ScopedAllocationLimit::Refused() const { return refused - refusedBefore; }

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
