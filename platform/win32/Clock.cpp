#include "platform/win32/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

bool manual = false;
uint64_t manualMicros = 0;
uint64_t slept = 0;
bool fixedLocal = false;
SYSTEMTIME fixedLocalTime{};

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

void GetLocalTime(SYSTEMTIME* time) {
    if (time == nullptr) {
        return;
    }
    if (fixedLocal) {
        *time = fixedLocalTime;
        return;
    }
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    // A leap second (60) reads as 59, as Windows never reports 60.
    time->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(millis < 0 ? 0 : millis);
}

namespace PlatformClock {

void UseManual(uint64_t startMicroseconds) {
    manual = true;
    manualMicros = startMicroseconds;
    slept = 0;
}

void UseReal() {
    manual = false;
    fixedLocal = false;
}

bool IsManual() { return manual; }

void AdvanceMicroseconds(uint64_t microseconds) { manualMicros += microseconds; }

uint64_t SleptMilliseconds() { return slept; }

void FixLocalTime(const SYSTEMTIME& time) {
    fixedLocal = true;
    fixedLocalTime = time;
}

void UseRealLocalTime() { fixedLocal = false; }

}  // namespace PlatformClock
