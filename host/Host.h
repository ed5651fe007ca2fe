// The headless host: what the game program does around the engine, without a window or
// devices. It owns the engine's singletons (each later subsystem adds its own here), runs
// the frame loop that steps the scheduled tasks, and registers script tasks with the
// command dispatcher. Tests and tools drive the engine through it.
//
// One host at a time: it sets the global instance pointers when it is created and clears
// them when it goes. Tasks and script tasks are not owned: their owners keep them alive
// while they are listed or registered, and past the host's end, which releases its lists.
#pragma once

#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Host {
public:
    // Creates the scheduler and the command dispatcher and resets the frame clocks.
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // One frame of seconds: FrameTime := seconds, FullTime += seconds, FrameNumber += 1,
    // then StepTasks. A negative or non-finite frame time runs nothing and gives false.
    bool RunFrame(float seconds);

    // Calls Update of every running, unfinished task once, in list order, then takes the
    // finished tasks out of the list and stops those still running, so a task flagged by
    // CPScheduler::KillAllTasks can be added again.
    //
    // Updates may add, stop and kill tasks: a task added behind the one being stepped is
    // stepped in the same frame, one added ahead of it from the next frame on. A task that
    // is stopped and added again within one frame is stepped once per frame and listed
    // once afterwards. Only this loop removes entries from the list.
    void StepTasks();

    // Registers the task under name (unless empty) and in each category. A task that held
    // the name before is unregistered everywhere. False for a null task.
    bool RegisterScriptTask(CPScriptTask* task, const std::string& name, const std::vector<std::string>& categories);
    void UnregisterScriptTask(const CPScriptTask* task);

    // Adds the pack files matching the pattern to PackFiles (see core/PackFiles.h), in name
    // order; returns how many were added. A game program calls it once at start-up.
    int AddPackFiles(const std::string& pattern = "*.pak");

    CPScheduler& Scheduler() { return *scheduler; }
    CPCommandDispatcher& Dispatcher() { return *dispatcher; }

private:
    std::unique_ptr<CPScheduler> scheduler;
    std::unique_ptr<CPCommandDispatcher> dispatcher;
    // Per-frame bookkeeping of StepTasks, kept to reuse its storage.
    std::unordered_set<CPTask*> visited;
};
