// Counter calibration through the platform's QueryPerformanceCounter/Frequency.
#include "physics/RbPerfTimer.h"

#include "platform/win32/Clock.h"

namespace {

void EmptyCall() {}
// Called through a volatile pointer so the measured call is not optimised away.
void (*volatile EmptyCallPointer)() = EmptyCall;

}  // namespace

void RbPerfTimer::Calibrate() {
    for (uint32_t& counter : Counters) {
        counter = 0;
    }
    Overhead = 0;
    FrequencyBits = 0;
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) {
        return;
    }
    Overhead = 200;
    for (int i = 0; i < 20; ++i) {
        LARGE_INTEGER before{}, after{};
        QueryPerformanceCounter(&before);
        EmptyCallPointer();
        QueryPerformanceCounter(&after);
        const int64_t cost = after.QuadPart - before.QuadPart;
        if (cost >= 0 && cost < Overhead) {
            Overhead = cost;
        }
    }
    for (uint32_t high = static_cast<uint32_t>(frequency.u.HighPart); high != 0; high >>= 1) {
        ++FrequencyBits;
    }
}
