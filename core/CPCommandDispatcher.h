// Delivers string commands to script tasks: to the task registered under a name, to every
// task registered in a category, or to a task given directly. A command reaches only a
// running task and is queued there. A send answers false only when a running target's queue
// was full and the command was dropped (CPScriptTask::PushCommand).
//
// The argument text is split at "," with double quotes protecting commas; see BuildCommand.
// The maps are filled by whoever creates script tasks (the host and the script layer).
#pragma once

#include "core/CPCommand.h"
#include "core/CPScriptTask.h"
#include "core/CPtr.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CPCommandDispatcher {
public:
    CPCommandDispatcher();
    CPCommandDispatcher(const CPCommandDispatcher&) = delete;
    CPCommandDispatcher& operator=(const CPCommandDispatcher&) = delete;

    bool SendCommandByName(const std::string& target, const std::string& command, const std::string& params);
    // Every running task of the category gets its own copy, in registration order; false when
    // any of them was dropped.
    bool SendCommandByCategory(const std::string& category, const std::string& command, const std::string& params);
    bool SendCommandByObject(CPtr<CPScriptTask> target, const std::string& command, const std::string& params);
    // The task registered under the name, or null.
    CPtr<CPScriptTask> FindObject(const std::string& name);

    // The command name plus params split at "," (quote-aware, each argument trimmed unless
    // it is exactly one space): "" gives no argument, "a,,b" three, "a," one.
    static CPCommand BuildCommand(const std::string& command, const std::string& params);

    // Registration. A name maps to one task (a new registration replaces the old); a task
    // is listed once per category. The caller keeps a task registered only while it is
    // alive; Unregister takes it out of every name and category.
    void RegisterName(const std::string& name, CPScriptTask* task);
    void RegisterCategory(const std::string& category, CPScriptTask* task);
    void Unregister(const CPScriptTask* task);

    std::unordered_map<std::string, CPtr<CPScriptTask>> ByName;
    std::unordered_map<std::string, std::vector<CPScriptTask*>> ByCategory;

    // Sees every command sent, delivered or not, before it is queued: the target's name (the
    // category for SendCommandByCategory, "" for SendCommandByObject) and the built command.
    // The game program prints the race's events with it; empty by default.
    std::function<void(const std::string& target, const CPCommand& command)> Watcher;

    // Set by whoever creates the one dispatcher (the host); read through GetCommandDispatcher.
    static CPCommandDispatcher* Instance;
};

// SendCommandByName through the one dispatcher; nothing while there is none.
void SendCommandByName(const std::string& target, const std::string& command, const std::string& params = {});
