// Memory interface of the rigid-body simulator. Every pool and array of a simulator is
// taken through one allocator at construction; nothing is allocated while it runs.
#pragma once

#include <cstddef>
#include <cstdint>

class RbAllocator {
public:
    // flags is always 0 and ignored. Returns null when the memory is not available; the
    // block is aligned for any scalar type (as malloc's).
    virtual void* Alloc(size_t size, uint32_t flags) = 0;
    virtual void Free(void* pointer) = 0;

protected:
    ~RbAllocator() = default;
};

// The built-in allocator: the process heap, with a running total of the bytes handed out.
class RbHeapAllocator final : public RbAllocator {
public:
    void* Alloc(size_t size, uint32_t flags) override;
    void Free(void* pointer) override;

    // Bytes allocated so far (never lowered by Free), wrapping at 2^32.
    uint32_t GetAllocatedBytes() const { return AllocatedBytes; }

private:
    uint32_t AllocatedBytes = 0;
};
