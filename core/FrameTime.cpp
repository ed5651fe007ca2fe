#include "core/FrameTime.h"

float FrameTime = 0.0f;
double FullTime = 0.0;
int32_t FrameNumber = 0;
