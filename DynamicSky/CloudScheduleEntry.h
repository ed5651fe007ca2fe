// One entry of the cloud schedule: how long a cloud set shows, how likely it is drawn, and
// whether the sky turns overcast meanwhile. The extra values are read and kept; nothing uses
// them.
#pragma once

#include <string>

struct CloudScheduleEntry {
    float FadeTime = 0.0f;  // length of the overcast blend, and its span before the end
    float Duration = 0.0f;  // base duration, scaled time
    float Jitter = 0.0f;    // relative spread of the duration
    std::string CloudSetName;
    int Extra1 = 0;
    int Extra2 = 0;
    float Extra3 = 0.0f;
    float Extra4 = 0.0f;
    int Extra5 = 0;
    float Extra6 = 0.0f;
    int Extra7 = 0;
    int Extra8 = 0;
    int OvercastFlag = 0;
    float Probability = 0.0f;  // 0..1, chance of being accepted when drawn
    int Extra9 = 0;
};
