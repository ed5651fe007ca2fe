#include "core/CPCommandDispatcher.h"

#include "core/CPTokenizer.h"
#include "core/Singletons.h"

#include <algorithm>
#include <utility>

CPCommandDispatcher* CPCommandDispatcher::Instance = nullptr;

CPCommandDispatcher* GetCommandDispatcher() { return CPCommandDispatcher::Instance; }

void SendCommandByName(const std::string& target, const std::string& command, const std::string& params) {
    if (CPCommandDispatcher* dispatcher = CPCommandDispatcher::Instance) {
        dispatcher->SendCommandByName(target, command, params);
    }
}

namespace {

// The engine's hash maps start with 100 buckets.
constexpr size_t InitialBuckets = 100;

}  // namespace

CPCommandDispatcher::CPCommandDispatcher() : ByName(InitialBuckets), ByCategory(InitialBuckets) {}

CPCommand CPCommandDispatcher::BuildCommand(const std::string& command, const std::string& params) {
    CPCommand result;
    result.Name = command;
    CPTokenizer tokenizer(params, ",", true);
    std::string token;
    while (tokenizer.NextToken(token)) {
        result.Params.push_back(token);
    }
    return result;
}

bool CPCommandDispatcher::SendCommandByName(const std::string& target, const std::string& command,
                                            const std::string& params) {
    CPCommand built = BuildCommand(command, params);
    if (Watcher) {
        Watcher(target, built);
    }
    const auto found = ByName.find(target);
    if (found != ByName.end() && found->second && found->second->Running) {
        return found->second->PushCommand(std::move(built));
    }
    return true;
}

bool CPCommandDispatcher::SendCommandByCategory(const std::string& category, const std::string& command,
                                                const std::string& params) {
    const CPCommand built = BuildCommand(command, params);
    if (Watcher) {
        Watcher(category, built);
    }
    const auto found = ByCategory.find(category);
    if (found == ByCategory.end()) {
        return true;
    }
    bool delivered = true;
    for (CPScriptTask* task : found->second) {
        if (task != nullptr && task->Running && !task->PushCommand(built)) {
            delivered = false;
        }
    }
    return delivered;
}

bool CPCommandDispatcher::SendCommandByObject(CPtr<CPScriptTask> target, const std::string& command,
                                              const std::string& params) {
    CPCommand built = BuildCommand(command, params);
    if (Watcher) {
        Watcher("", built);
    }
    if (target && target->Running) {
        return target->PushCommand(std::move(built));
    }
    return true;
}

CPtr<CPScriptTask> CPCommandDispatcher::FindObject(const std::string& name) {
    const auto found = ByName.find(name);
    return found != ByName.end() ? found->second : CPtr<CPScriptTask>();
}

void CPCommandDispatcher::RegisterName(const std::string& name, CPScriptTask* task) {
    if (task == nullptr) {
        ByName.erase(name);
        return;
    }
    ByName[name] = task;
}

void CPCommandDispatcher::RegisterCategory(const std::string& category, CPScriptTask* task) {
    if (task == nullptr) {
        return;
    }
    std::vector<CPScriptTask*>& members = ByCategory[category];
    if (std::find(members.begin(), members.end(), task) == members.end()) {
        members.push_back(task);
    }
}

void CPCommandDispatcher::Unregister(const CPScriptTask* task) {
    if (task == nullptr) {
        return;
    }
    std::erase_if(ByName, [task](const auto& entry) { return entry.second.Get() == task; });
    for (auto& [category, members] : ByCategory) {
        std::erase(members, task);
    }
}
