// The millisecond clock and the performance counter, injectable for tests.
// By default both read the monotonic system clock. A test switches to manual time and
// advances it explicitly, so timing-dependent code runs the same on every machine.
#pragma once

#include "platform/win32/WinTypes.h"

// Milliseconds since the clock's start, wrapping at 2^32 as the real one does.
DWORD timeGetTime();
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void Sleep(DWORD milliseconds);

namespace PlatformClock {

// Manual time runs only when advanced; its counter frequency is 1 MHz.
void UseManual(uint64_t startMicroseconds = 0);
void UseReal();
bool IsManual();
void AdvanceMicroseconds(uint64_t microseconds);
inline void AdvanceMilliseconds(uint64_t milliseconds) { AdvanceMicroseconds(milliseconds * 1000); }
// In manual mode Sleep advances the clock instead of waiting; the total slept is kept.
uint64_t SleptMilliseconds();

}  // namespace PlatformClock
