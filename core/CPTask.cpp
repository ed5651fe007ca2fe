#include "core/CPTask.h"

bool CPTask::Start() {
    if (Running) {
        return false;
    }
    Finished = false;
    Running = true;
    return true;
}

void CPTask::Stop() {
    Finished = true;
    Running = false;
}

CPtr<CPTask> CPTask::Clone() { return CPtr<CPTask>(); }
