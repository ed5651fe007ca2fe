// The race camera: the chase camera that follows a car. Only the heading the respawn turns it
// to is here.
#pragma once

#include "core/CPObject.h"

#include <string>

// minimal until the full one lands
class CPCamera : public CPObject {
public:
    size_t GetObjectSize() const override { return sizeof(CPCamera); }
    std::string GetTypeName() const override { return "CPCamera"; }

    float Yaw = 0.0f;      // heading the camera looks along, radians
    bool Changed = false;  // set by every writer
};
