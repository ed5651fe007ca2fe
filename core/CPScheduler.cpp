#include "core/CPScheduler.h"

#include <algorithm>

CPScheduler* CPScheduler::Instance = nullptr;

bool CPScheduler::Insert(CPTask* task) {
    if (task == nullptr || !task->Start()) {
        return false;
    }
    // Built in place: exactly one reference for the list's entry.
    Tasks.emplace(PlaceFor(task->Priority), task);
    return true;
}

std::list<CPtr<CPTask>>::iterator CPScheduler::PlaceFor(int32_t priority) {
    return std::find_if(Tasks.begin(), Tasks.end(),
                        [priority](const CPtr<CPTask>& listed) { return listed && listed->Priority > priority; });
}

void CPScheduler::KillAllTasks() {
    for (const CPtr<CPTask>& task : Tasks) {
        if (task) {
            task->Finished = true;
        }
    }
}
