// The millisecond clock, the performance counter and the local calendar time, injectable for
// tests. By default the first two read the monotonic system clock. A test switches to manual
// time and advances it explicitly, so timing-dependent code runs the same on every machine; the
// local time (save games stamp it) is fixed by a test separately.
#pragma once

#include "platform/win32/WinTypes.h"

// Milliseconds since the clock's start, wrapping at 2^32 as the real one does.
DWORD timeGetTime();
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
void Sleep(DWORD milliseconds);

// The layout of a calendar time as save files store it: eight uint16, 16 bytes.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1..12
    WORD wDayOfWeek;  // 0 Sunday .. 6
    WORD wDay;        // 1..31
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is eight WORDs");

// The local time of the host's time zone, or the fixed one a test set.
void GetLocalTime(SYSTEMTIME* time);

namespace PlatformClock {

// Manual time runs only when advanced; its counter frequency is 1 MHz.
void UseManual(uint64_t startMicroseconds = 0);
void UseReal();
bool IsManual();
void AdvanceMicroseconds(uint64_t microseconds);
inline void AdvanceMilliseconds(uint64_t milliseconds) { AdvanceMicroseconds(milliseconds * 1000); }
// In manual mode Sleep advances the clock instead of waiting; the total slept is kept.
uint64_t SleptMilliseconds();

// GetLocalTime answers `time` until UseRealLocalTime (or UseReal, which ends every injection).
void FixLocalTime(const SYSTEMTIME& time);
void UseRealLocalTime();

}  // namespace PlatformClock
