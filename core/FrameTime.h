// The frame clocks. The host's frame loop writes them once per frame before it steps the
// tasks; every per-step operation reads them. Some script operations (clearing timers,
// starting a level) set FrameTime to 0 so that the rest of the frame does no timed work.
#pragma once

#include <cstdint>

// Seconds of the current step.
extern float FrameTime;
// Running game time in seconds, the sum of all frame times.
extern double FullTime;
// Number of the current frame, +1 per frame; code compares it with a remembered value to
// do some work once per frame.
extern int32_t FrameNumber;
