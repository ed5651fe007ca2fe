#include "core/CPScriptTask.h"

#include <utility>

void CPScriptTask::PushCommand(CPCommand command) { Commands.push_front(std::move(command)); }

bool CPScriptTask::NextCommand() {
    if (Commands.empty()) {
        return false;
    }
    if (Current != nullptr) {
        Commands.pop_back();
    }
    if (Commands.empty()) {
        Current = nullptr;
        return false;
    }
    Current = &Commands.back();
    return true;
}
