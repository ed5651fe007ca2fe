// What starts a vertex animation on a figure: which animation, how fast, how often, who hears
// about it and when it begins.
#pragma once

#include "core/CPScriptTask.h"
#include "core/CPtr.h"

#include <cstdint>
#include <string>

struct CPAnimationParams {
    std::string Name;  // in the animated object's table
    float Speed = 1.0f;
    int32_t LoopLimit = 0;  // passes after which playback stops; 0 or less plays endlessly
    CPtr<CPScriptTask> Listener;  // receives "animation_stopped" and "animation_report"
    int32_t ReportFrame = -1;     // frame whose arrival sends "animation_report"; -1 none
    float StartDelay = 0.0f;      // seconds added to the game time to form the start time
};
