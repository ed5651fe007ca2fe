// The game's rigid-body world: the one task that owns the level's simulator, builds the bodies
// of level objects from their physics data, answers the simulator's terrain queries from the
// terrain grid, dents meshes and throws sparks and the impact sound on collisions, parks the
// bodies of removed objects, and steps the simulation once per frame.
//
// Layering: the class is split between two folders so that each depends only on folders
// below it. Its base CPPhysicScene (scene/CPPhysicScene.h) holds what scene nodes and the
// renderer use: the active set, the terrain grid with its height and query, and the parking
// of removed bodies. This half holds what needs the renderer (the terrain mesh, mesh damage),
// sound, particles and the cars, and the simulator itself (CPPhysicWorld_Collision.cpp the
// collision work, CPPhysicWorld_Step.cpp the per-frame task work).
//
// The step: the frame time goes into an accumulator, and the simulator advances in fixed
// steps of StepLength while the accumulator holds one, at most MaxStepsPerFrame per frame; a
// longer frame drops the rest of its time (the world slows down instead of spiralling). Then
// the parked bodies' waiting counts run down, and the poses of the active rigid bodies are
// written back to their root nodes. docs/PhysicsStep.md ("The game's world") has the rest.
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPPhysicScene.h"

#include <cstdint>
#include <string>

class CPGameObject;
class CPPhysicData;
class CPRenderObject;
struct RbCollisionInfo;

// What the collision callback needs of a car's node beyond its body and mesh. The player
// object (the node of every car) implements it; a rigid body whose node does not is no car
// and its contacts set no flag and play no sound.
class CPCarContact {
public:
    virtual ~CPCarContact() = default;
    // Something hit the car in this step (the car logic clears the flag every step).
    virtual void SetCollisionFlag() = 0;
    // Whether this is the car the race follows (its impacts are heard).
    virtual bool IsFollowedCar() const = 0;
    // The dent amount of a contact on the car (what its mesh's ApplyDamage gets), for the
    // car's damage level.
    virtual void AddCollisionDamage(float amount) = 0;
};

// Sparks and wheel dust puffs spawned this frame; a request is cut so that the count never
// exceeds CPPhysicWorld::MaxSparks. The world's step sets it back to 0 every frame.
extern int32_t SparkCount;
// The frame time the cars' once-per-frame effects run with (nitro burn, engine pitch): this
// frame's, plus that of the frames before it in which the world made no step, so a frame
// skipped by the fixed steps is not lost. Set by the world's step; s.
extern float CarFrameTime;
// Seconds since the last car-against-car sparks (grows once per frame with the frame time).
extern float SparkCooldown;

class CPPhysicWorld : public CPTask, public CPPhysicScene {
public:
    static constexpr float StepLength = 1.0f / 60.0f;  // s
    static constexpr int32_t MaxStepsPerFrame = 4;
    static constexpr int32_t MaxSparks = 40;
    static constexpr float SparkPause = 0.038f;  // s between car-against-car sparks
    static constexpr float Gravity = -9.8f;      // m/s², along z

    CPPhysicWorld();
    // Destroys the simulator (bodies' physics data is detached first).
    ~CPPhysicWorld() override;

    size_t GetObjectSize() const override { return sizeof(CPPhysicWorld); }
    std::string GetTypeName() const override { return "CPPhysicWorld"; }
    int GetKind() const override { return 0; }

    // The world of the running game, or null; set by whoever creates the world (the host).
    static inline CPPhysicWorld* Instance = nullptr;

    // The level's terrain from its render object: vertex positions through the owner's
    // world matrix (as they are without an owner), and its 16-bit triangle list.
    void BuildTriangleGrid(CPtr<CPRenderObject> terrain);
    using CPPhysicScene::BuildTriangleGrid;

    // A new simulator with the game's limits, gravity, materials 0 and 1 from "friction" and
    // "restitution", the collision table (group 0 against itself and the terrain: resolve
    // and report) and both callbacks. A simulator already there is destroyed first, and the
    // physics data of its bodies' nodes lets go of them. False when none could be made.
    bool CreateSimulator();
    void DestroySimulator();

    // Creates the node's body from its physics data and makes the node the body's user data.
    // Nothing without physics data or a simulator; a body the data already has is removed
    // first.
    void AddObject(CPtr<CPGameObject> node, bool active, int32_t material);
    // A kinematic body (negative main-shape mass), a rigid particle or a rigid body, with one
    // geometry per shape record; a kinematic body takes the pose at once, a rigid body's pose
    // waits for CPPhysicData::Refresh or a move of its node. Null pool slots leave the data
    // without a body.
    void CreateLevelBodies(CPtr<CPPhysicData> physics, const D3DXVECTOR3& position,
                           const D3DXQUATERNION& orientation, bool active, int32_t material);

    // The driver's controls to the car the node drives (its CPCar in CPGameObject::Car);
    // nothing for a node without a car.
    void SetCarControls(CPtr<CPGameObject> car, float throttle, float steering);

    // The per-frame work (CPPhysicWorld_Step.cpp).
    void Update() override;

    // The simulator's collision callback (CPPhysicWorld_Collision.cpp): finds the world of the
    // contact's simulator and hands it the contact.
    static void OnCollision(RbCollisionInfo& info);
    // Dents, collision flags, sparks and the impact sound of one contact.
    void HandleCollision(const RbCollisionInfo& info);
    // count "iskra" sparks at position flying along direction, cut to the frame's budget.
    // The second vector is not used.
    void SpawnSparks(const D3DXVECTOR3& position, const D3DXVECTOR3& unused, const D3DXVECTOR3& direction,
                     int32_t count);
    // The special sound "slam", at most once per frame and not over itself.
    void PlayImpactSound();

    // Time not yet stepped (s), and the steps the last frame took.
    float Accumulator = 0.0f;
    int32_t LastStepCount = 0;
    // Frame time of the frames since the last one that stepped (see CarFrameTime), s.
    float UnsteppedTime = 0.0f;

private:
    int32_t LastCollisionFrame = -1;
    int32_t LastImpactSoundFrame = -1;
};
