// One ordered record of the platform calls a test wants to see in sequence across
// several stand-ins ("CoInitialize", "OleCreate", ...). Off until a test enables it.
#pragma once

#include <string>
#include <vector>

namespace CallTrace {

void Enable(bool on);
bool Enabled();
// Appends the call with its arguments already formatted ("ShellExecuteA open _Tarnwick.exe").
void Record(const std::string& call);
const std::vector<std::string>& Calls();
void Clear();

}  // namespace CallTrace
