#include "core/CPGlobalTimer.h"

#include "core/FrameTime.h"
#include "platform/win32/Clock.h"

#include <algorithm>

CPGlobalTimer* CPGlobalTimer::Instance = nullptr;

CPGlobalTimer::CPGlobalTimer() { Priority = TimerPriority; }

CPGlobalTimer::~CPGlobalTimer() {
    if (Instance == this) {
        Instance = nullptr;
    }
}

bool CPGlobalTimer::Start() {
    if (!CPTask::Start()) {
        return false;
    }
    LastMilliseconds = timeGetTime();
    return true;
}

void CPGlobalTimer::Update() {
    const uint32_t now = timeGetTime();
    // Unsigned difference: right across the clock's wrap at 2^32 ms.
    const float measured = std::min(static_cast<float>(now - LastMilliseconds) * 0.001f, MaxStep);
    LastMilliseconds = now;
    // The host's frame loop already counted its own frame time into FullTime.
    FullTime += static_cast<double>(measured) - static_cast<double>(FrameTime);
    FrameTime = measured;
}
