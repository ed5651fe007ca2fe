#include "host/Host.h"

#include "core/FrameTime.h"

#include <cmath>
#include <cstdint>

Host::Host() : scheduler(std::make_unique<CPScheduler>()), dispatcher(std::make_unique<CPCommandDispatcher>()) {
    CPScheduler::Instance = scheduler.get();
    CPCommandDispatcher::Instance = dispatcher.get();
    FrameTime = 0.0f;
    FullTime = 0.0;
    FrameNumber = 0;
}

Host::~Host() {
    if (CPCommandDispatcher::Instance == dispatcher.get()) {
        CPCommandDispatcher::Instance = nullptr;
    }
    if (CPScheduler::Instance == scheduler.get()) {
        CPScheduler::Instance = nullptr;
    }
}

bool Host::RunFrame(float seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0f) {
        return false;
    }
    FrameTime = seconds;
    FullTime += seconds;
    // Wraps instead of overflowing; readers only compare it for equality.
    FrameNumber = static_cast<int32_t>(static_cast<uint32_t>(FrameNumber) + 1u);
    StepTasks();
    return true;
}

void Host::StepTasks() {
    std::list<CPtr<CPTask>>& tasks = scheduler->Tasks;

    // Step. std::list keeps the iterator valid across insertions made by the updates.
    visited.clear();
    for (auto entry = tasks.begin(); entry != tasks.end(); ++entry) {
        CPTask* task = entry->Get();
        if (task == nullptr || !task->Running || task->Finished) {
            continue;
        }
        if (!visited.insert(task).second) {
            continue;  // listed twice after a stop and re-add: one step per frame
        }
        task->Update();
    }

    // Sweep finished tasks and second entries of one task.
    visited.clear();
    for (auto entry = tasks.begin(); entry != tasks.end();) {
        CPTask* task = entry->Get();
        if (task == nullptr) {
            entry = tasks.erase(entry);
        } else if (task->Finished) {
            entry = tasks.erase(entry);
            // Stop may list tasks again; the list is no longer looked at through this entry.
            if (task->Running) {
                task->Stop();
            }
        } else if (!visited.insert(task).second) {
            entry = tasks.erase(entry);
        } else {
            ++entry;
        }
    }
}

bool Host::RegisterScriptTask(CPScriptTask* task, const std::string& name,
                              const std::vector<std::string>& categories) {
    if (task == nullptr) {
        return false;
    }
    if (!name.empty()) {
        // Looked up in place: a CPtr copy would reset the holder's count when it goes.
        const auto previous = dispatcher->ByName.find(name);
        if (previous != dispatcher->ByName.end() && previous->second.Get() != task) {
            dispatcher->Unregister(previous->second.Get());
        }
        dispatcher->RegisterName(name, task);
    }
    for (const std::string& category : categories) {
        dispatcher->RegisterCategory(category, task);
    }
    return true;
}

void Host::UnregisterScriptTask(const CPScriptTask* task) { dispatcher->Unregister(task); }
