// The game's side of the rigid-body simulation, as far as the scene graph needs it: the one
// world and its set of nodes whose physics is switched on. The terrain, the simulator and
// the step come with the physics world itself; nodes only make sure the set never keeps a
// node that no longer exists.
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"

#include <cstdint>
#include <unordered_set>
#include <vector>

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

    // Switch a node's physics on and off (CPPhysicWorld_Activation.cpp): the node enters or
    // leaves ActiveObjects and its physics data's Active flag follows; switching off also
    // takes its body (the rigid one, else the kinematic one) out of the simulation. Nothing
    // for a node without physics data.
    void ActivateObject(CPtr<CPGameObject> node);
    void DeactivateObject(CPtr<CPGameObject> node);

    // Nodes whose physics takes part in the simulation (not counted).
    std::unordered_set<CPGameObject*> ActiveObjects;

    // The level's terrain mesh. A body's terrain query lists triangle numbers into
    // TerrainTriangles (CPPhysicData::TerrainTriangles); the shadow decals copy those
    // triangles. Vertex numbers index TerrainVertices; z is the height.
    struct TerrainTriangle {
        int32_t Vertices[3] = {0, 0, 0};
    };
    struct TerrainVertex {
        float X = 0.0f;
        float Y = 0.0f;
        float Z = 0.0f;
    };
    std::vector<TerrainTriangle> TerrainTriangles;
    std::vector<TerrainVertex> TerrainVertices;
};
