#include "platform/win32/Clock.h"

#include <chrono>
#include <thread>

namespace {

bool manual = false;
uint64_t manualMicros = 0;
uint64_t slept = 0;

uint64_t RealNanoseconds() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<uint64_t>(duration_cast<nanoseconds>(steady_clock::now() - start).count());
}

}  // namespace

DWORD timeGetTime() {
    const uint64_t ms = manual ? manualMicros / 1000 : RealNanoseconds() / 1000000;
    return static_cast<DWORD>(ms);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) {
        return FALSE;
    }
    count->QuadPart = static_cast<LONGLONG>(manual ? manualMicros : RealNanoseconds());
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) {
        return FALSE;
    }
    frequency->QuadPart = manual ? 1000000 : 1000000000;
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    slept += milliseconds;
    if (manual) {
        manualMicros += uint64_t{milliseconds} * 1000;
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

namespace PlatformClock {

void UseManual(uint64_t startMicroseconds) {
    manual = true;
    manualMicros = startMicroseconds;
    slept = 0;
}

void UseReal() { manual = false; }

bool IsManual() { return manual; }

void AdvanceMicroseconds(uint64_t microseconds) { manualMicros += microseconds; }

uint64_t SleptMilliseconds() { return slept; }

}  // namespace PlatformClock
