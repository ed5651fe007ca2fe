// A simulator owned by the test, and an allocator that counts the simulator's blocks and can
// refuse one of them.
#pragma once

#include "physics/RbSimulator.h"

#include <cstdlib>
#include <memory>

namespace PhysicsFixture {

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};
using SimulatorPtr = std::unique_ptr<RbSimulator, SimulatorDeleter>;

// Counts outstanding blocks and fails the allocation numbered failAt (from 1; 0 fails none).
class CountingAllocator final : public RbAllocator {
public:
    explicit CountingAllocator(int failAt = 0) : FailAt(failAt) {}
    void* Alloc(size_t size, uint32_t) override {
        if (++Calls == FailAt) {
            return nullptr;
        }
        ++Outstanding;
        return std::malloc(size);
    }
    void Free(void* pointer) override {
        if (pointer != nullptr) {
            --Outstanding;
        }
        std::free(pointer);
    }
    int FailAt;
    int Calls = 0;
    int Outstanding = 0;
};

}  // namespace PhysicsFixture
