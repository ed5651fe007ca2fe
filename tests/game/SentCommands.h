// The commands queued on the tests' script tasks, taken off as "target:command(params)": by
// target in the order given, in sending order within a target.
#pragma once

#include "core/CPCommand.h"

#include <cstddef>
#include <string>
#include <vector>

template <class Targets, class Tasks>
std::vector<std::string> TakeSentCommands(const Targets& targets, Tasks& tasks) {
    std::vector<std::string> sent;
    for (size_t i = 0; i < std::size(targets); ++i) {
        auto& queue = tasks[i].Commands;
        for (auto command = queue.rbegin(); command != queue.rend(); ++command) {
            std::string params;
            for (size_t p = 0; p < command->Params.size(); ++p) {
                params += (p == 0 ? "" : ",") + command->Params[p];
            }
            sent.push_back(std::string(targets[i]) + ":" + command->Name + "(" + params + ")");
        }
        queue.clear();
    }
    return sent;
}
