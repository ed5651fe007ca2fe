// A string command: a name and its arguments, in the order the sender's text listed them.
#pragma once

#include <string>
#include <vector>

struct CPCommand {
    std::string Name;
    std::vector<std::string> Params;
};
