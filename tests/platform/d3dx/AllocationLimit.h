// A cap on single allocations through operator new, for tests of code that must turn running
// out of memory into an error result. While a ScopedAllocationLimit lives, any operator new on
// its thread asking for more than the cap throws std::bad_alloc (the nothrow forms return
// null); everywhere else the program allocates as usual.
#pragma once

#include <cstddef>

class ScopedAllocationLimit {
public:
    explicit ScopedAllocationLimit(size_t bytes);
    ~ScopedAllocationLimit();
    ScopedAllocationLimit(const ScopedAllocationLimit&) = delete;
    ScopedAllocationLimit& operator=(const ScopedAllocationLimit&) = delete;

    // How many allocations the cap refused while this limit was in force.
    size_t Refused() const;

private:
    size_t previous;
    size_t refusedBefore;
};
