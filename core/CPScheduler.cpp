#include "core/CPScheduler.h"

#include <algorithm>

CPScheduler* CPScheduler::Instance = nullptr;

bool CPScheduler::Insert(CPTask* task) {
    if (task == nullptr || !task->Start()) {
        return false;
    }
    const int32_t priority = task->Priority;
    const auto position = std::find_if(Tasks.begin(), Tasks.end(), [priority](const CPtr<CPTask>& listed) {
        return listed && listed->Priority > priority;
    });
    // Built in place: exactly one reference for the list's entry.
    Tasks.emplace(position, task);
    return true;
}

void CPScheduler::KillAllTasks() {
    for (const CPtr<CPTask>& task : Tasks) {
        if (task) {
            task->Finished = true;
        }
    }
}
