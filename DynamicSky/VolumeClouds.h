// The sky's volume clouds: only their texture and effect are loaded; nothing draws them yet.
#pragma once

#include "DynamicSky/VertexObject.h"

class VolumeClouds : public VertexObject {
public:
    VolumeClouds();
    ~VolumeClouds() override = default;
};
