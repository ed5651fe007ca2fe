// The base of vehicle models: an engine object that leaves its size and name to the model.
#pragma once

#include "core/CPObject.h"

class CPVehicleBase : public CPObject {
public:
    size_t GetObjectSize() const override = 0;
    std::string GetTypeName() const override = 0;
};
