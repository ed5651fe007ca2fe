// The on-screen pointer to the checkpoint beacon a race shows: two shapes that draw it, and
// the beacon it points at. ShowCheckPoint hands it the shown beacon (or none).
//
// The level makes it when it loads, from our description "Data\Meshes\beacon_pointer.txt"
// (docs/Levels.md); a level without one shows its beacons without a pointer.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"

#include <string>

class CPGameObject;

class CPBeaconPointer : public CPObject {
public:
    CPBeaconPointer() = default;
    ~CPBeaconPointer() override;

    size_t GetObjectSize() const override { return sizeof(CPBeaconPointer); }
    std::string GetTypeName() const override { return "CPBeaconPointer"; }

    // With a target both shapes show and the first is the one shown; without one nothing is
    // shown and the second shape hides (the first keeps its visibility).
    void SetTarget(CPGameObject* target);

    CPtr<CPGameObject> Target;
    CPtr<CPGameObject> ShapeA;
    CPtr<CPGameObject> ShapeB;
    CPGameObject* Shown = nullptr;  // ShapeA or null
};
