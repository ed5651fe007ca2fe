// The on-screen pointer to the checkpoint beacon a race shows: two shapes that draw it, and
// the beacon it points at. ShowCheckPoint hands it the shown beacon (or none).
//
// The level makes it when it loads, from our object description "Data\Meshes\beacon_pointer.rdf"
// whose nodes "shape_a" and "shape_b" are the two shapes, both hidden until a beacon shows
// (docs/Scripts.md). Without that file the level has no pointer and shows its beacons without
// one; a description without both nodes is reported to the log and gives no pointer either.
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

    static constexpr const char* DescriptionFile = "beacon_pointer.rdf";

    // The pointer from our description, or null (see above).
    static CPtr<CPBeaconPointer> Load();

    // With a target both shapes show and the first is the one shown; without one nothing is
    // shown and the second shape hides (the first keeps its visibility).
    void SetTarget(CPGameObject* target);

    CPtr<CPGameObject> Target;
    CPtr<CPGameObject> ShapeA;
    CPtr<CPGameObject> ShapeB;
    CPGameObject* Shown = nullptr;  // ShapeA or null

private:
    CPtr<CPGameObject> Root;  // the loaded tree, deleted with the pointer
};
