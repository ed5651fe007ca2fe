// Coverage a target's own set-up should not be credited with (see FuzzCoverage.cpp).
#pragma once

namespace Fuzz {

// Clears the edge counters libFuzzer reads after the input: what ran since the input began
// is not the input's coverage.
void ForgetCoverage();

}  // namespace Fuzz
