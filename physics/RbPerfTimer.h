// The simulator's performance timer on the platform's high-resolution counter. Creation
// measures the cost of reading the counter, so timings can subtract it.
#pragma once

#include <cstdint>

class RbPerfTimer {
public:
    // Clears the counters; with a counter frequency available, overhead := the smallest
    // non-negative cost in ticks of two reads around an empty call over 20 tries (at most
    // 200), and FrequencyBits := the bit length of the frequency's high 32-bit word.
    void Calibrate();

    uint32_t Counters[9] = {};
    int64_t Overhead = 0;  // ticks
    int32_t FrequencyBits = 0;
};
