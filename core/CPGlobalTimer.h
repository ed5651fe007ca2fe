// The global timer: the task that measures the frame time on the wall clock. While it runs,
// each of its steps sets FrameTime to the seconds since its previous step (its first step
// after a start gives 0), so the tasks stepped after it in the frame read the measured time.
// Scripts start and stop it (a stopped timer pauses the game: FrameTime stays 0 once cleared);
// the host creates it, sets Instance and leaves starting it to the scripts.
//
// The clock is timeGetTime (injectable for tests); the measured step is capped at MaxStep so
// that a pause in the debugger or a long load does not come back as one huge step.
#pragma once

#include "core/CPTask.h"

#include <cstdint>

class CPGlobalTimer : public CPTask {
public:
    // Stepped before every other task of a frame.
    static constexpr int32_t TimerPriority = 1;
    static constexpr float MaxStep = 0.25f;

    CPGlobalTimer();
    ~CPGlobalTimer() override;

    size_t GetObjectSize() const override { return sizeof(CPGlobalTimer); }
    std::string GetTypeName() const override { return "CPGlobalTimer"; }
    int GetKind() const override { return 0; }

    // Takes the clock's reading as the start of the first step.
    bool Start() override;
    // FrameTime := seconds since the previous step (at most MaxStep); FullTime follows, so it
    // stays the sum of the frame times that the tasks saw.
    void Update() override;

    static CPGlobalTimer* Instance;

private:
    uint32_t LastMilliseconds = 0;
};
