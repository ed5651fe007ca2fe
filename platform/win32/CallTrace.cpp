#include "platform/win32/CallTrace.h"

namespace {
bool enabled = false;
std::vector<std::string>& List() {
    static std::vector<std::string> calls;
    return calls;
}
}  // namespace

namespace CallTrace {

void Enable(bool on) { enabled = on; }
bool Enabled() { return enabled; }
void Record(const std::string& call) {
    if (enabled) {
        List().push_back(call);
    }
}
const std::vector<std::string>& Calls() { return List(); }
void Clear() { List().clear(); }

}  // namespace CallTrace
