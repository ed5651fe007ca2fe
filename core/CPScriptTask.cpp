#include "core/CPScriptTask.h"

#include "core/CPLog.h"

#include <algorithm>
#include <utility>

size_t CPScriptTask::SizeOf(const CPCommand& command) {
    // Each string counted with a little for its own bookkeeping.
    constexpr size_t overhead = 32;
    size_t bytes = command.Name.size() + overhead;
    for (const std::string& param : command.Params) {
        bytes += param.size() + overhead;
    }
    return bytes;
}

bool CPScriptTask::PushCommand(CPCommand command) {
    if (Commands.empty()) {
        QueuedBytes = 0;  // whoever emptied the deque directly left the count behind
    }
    const size_t bytes = SizeOf(command);
    if (Commands.size() >= MaxQueuedCommands || bytes > MaxQueuedBytes - std::min(QueuedBytes, MaxQueuedBytes)) {
        if (!Full) {
            Full = true;
            CPLogReport report;
            report.Text = "The command queue of " + GetTypeName() + " is full; \"" + command.Name +
                          "\" and the commands after it are dropped until the task takes its commands";
            CPLog::GetInstance().WriteReport(report);
        }
        return false;
    }
    QueuedBytes += bytes;
    Commands.push_front(std::move(command));
    return true;
}

bool CPScriptTask::NextCommand() {
    if (Commands.empty()) {
        return false;
    }
    if (Current != nullptr) {
        QueuedBytes -= std::min(SizeOf(Commands.back()), QueuedBytes);
        Commands.pop_back();
        Full = false;
    }
    if (Commands.empty()) {
        Current = nullptr;
        return false;
    }
    Current = &Commands.back();
    return true;
}
