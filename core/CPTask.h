// A task: work that runs over time, stepped once per frame by the host while it is listed
// in the scheduler and running.
//
// Running and Finished are separate on purpose: CPScheduler::KillAllTasks only sets
// Finished, so a killed task keeps Running until the frame loop stops it, and cannot be
// added again before that.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"

#include <cstdint>

class CPTask : public CPObject {
public:
    static constexpr int32_t DefaultPriority = 5000;

    // False when the task is already running (nothing changes); otherwise clears Finished,
    // sets Running and returns true.
    virtual bool Start();
    // Empty in every task and called by nothing; kept so derived tasks keep their places.
    virtual void HookA() {}
    // One step of work; reads FrameTime.
    virtual void Update() = 0;
    virtual void HookB() {}
    // Sets Finished and clears Running.
    virtual void Stop();
    // A classification of the task; nothing in the engine dispatches on it.
    virtual int GetKind() const = 0;
    // A new copy of the task for tasks that can be duplicated; null otherwise.
    virtual CPtr<CPTask> Clone();

    bool Running = false;
    bool Finished = false;
    // Smaller values are stepped first.
    int32_t Priority = DefaultPriority;
};
