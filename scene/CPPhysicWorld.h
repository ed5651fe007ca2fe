// The game's side of the rigid-body simulation, as far as the scene graph needs it: the one
// world and its set of nodes whose physics is switched on. The terrain, the simulator and
// the step come with the physics world itself; nodes only make sure the set never keeps a
// node that no longer exists.
#pragma once

#include "core/CPTask.h"

#include <unordered_set>

class CPGameObject;

class CPPhysicWorld : public CPTask {
public:
    static constexpr size_t ActiveObjectBuckets = 100;

    CPPhysicWorld();
    ~CPPhysicWorld() override;

    size_t GetObjectSize() const override { return sizeof(CPPhysicWorld); }
    std::string GetTypeName() const override { return "CPPhysicWorld"; }
    // The simulation step is not part of the scene graph; until the world has one, a step
    // does nothing.
    void Update() override {}
    int GetKind() const override { return 0; }

    // The world of the running game, or null; set by whoever creates the world.
    static inline CPPhysicWorld* Instance = nullptr;

    // Nodes whose physics takes part in the simulation (not counted).
    std::unordered_set<CPGameObject*> ActiveObjects;
};
