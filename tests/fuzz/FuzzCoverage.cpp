// Built without coverage instrumentation: an instrumented file declares the counters' section
// bounds itself (weak and hidden, for its module constructor), and a second declaration of
// them in the same file leaves that constructor with none. The linker names the bounds of the
// section the instrumentation puts its 8-bit counters in.
#include "FuzzCoverage.h"

#include <algorithm>
#include <cstdint>

extern "C" {
extern uint8_t __start___sancov_cntrs[];
extern uint8_t __stop___sancov_cntrs[];
}

namespace Fuzz {

void ForgetCoverage() { std::fill(__start___sancov_cntrs, __stop___sancov_cntrs, uint8_t{0}); }

}  // namespace Fuzz
