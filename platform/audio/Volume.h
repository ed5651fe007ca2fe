// The engine's one mapping from a volume (0 silent .. 1 full) to the attenuation that
// DirectSound and DirectShow take, in hundredths of a decibel. Shared by sound effects,
// music and the video players so that one setting sounds the same everywhere.
#pragma once

#include "platform/win32/WinTypes.h"

// (1 - v)^4 x -7000, truncated toward zero: 1 gives 0, 0.5 gives -437, 0 gives -7000
// (-70 dB). v is clamped to 0..1 first, so out-of-range volumes stay within what the
// audio interfaces accept; NaN counts as silent.
LONG VolumeToAttenuation(float volume);
