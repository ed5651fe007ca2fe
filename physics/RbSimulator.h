// The rigid-body simulator: the public entry of the library. One simulator owns, for its
// whole life, fixed-capacity pools of rigid bodies, rigid particles, kinematic bodies,
// geometries, sensors and controllers sized by RbSizeLimits; 256 surface materials; the
// collision-group response table; gravity; and the collision, terrain-query and log
// callbacks. Nothing taken from a pool is returned to it while the simulator lives.
//
// Pool exhaustion is reported by a null result and a message left in one process-wide text
// buffer (GetErrorText), passed to the log callback when one is set for that level.
#pragma once

#include "physics/RbAllocator.h"
#include "physics/RbBody.h"
#include "physics/RbBroadPhase.h"
#include "physics/RbCollisionTable.h"
#include "physics/RbController.h"
#include "physics/RbGeometry.h"
#include "physics/RbKinematicBody.h"
#include "physics/RbMath.h"
#include "physics/RbPerfTimer.h"
#include "physics/RbPool.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSensor.h"
#include "physics/RbStepper.h"
#include "physics/RbTerrain.h"

#include <cstdint>

// Capacities of a simulator, twelve 32-bit counts in this order. A count of 0 or less
// leaves that pool empty.
struct RbSizeLimits {
    int32_t rigidBodiesCount = 50;
    int32_t kinematicBodiesCount = 50;
    int32_t rigidParticleCount = 50;
    int32_t constraintSetsCount = 50;  // controllers
    int32_t pairsCount = 1225;         // broad-phase pair records
    int32_t geometriesCount = 50;
    int32_t constraintsCount = 100;
    int32_t constraintGroupsCount = 100;
    int32_t constraintBufferSize = 2000;  // kept for the step
    int32_t sensorsCount = 100;
    int32_t nodesStartCount = 200;   // kept for the step
    int32_t nodesGrowByCount = -1;   // kept for the step
};
static_assert(sizeof(RbSizeLimits) == 48, "twelve 32-bit counts");

struct RbMaterial {
    float Friction = 0.5f;
    float Restitution = 0.4f;
    float ThirdCoefficient = 1.0f;  // kept; the step gives it no effect (docs/PhysicsStep.md)
};


// One contact, as handed to the collision callback. A is the rigid body against the terrain or
// a kinematic body.
struct RbCollisionInfo {
    // KindA and KindB: what each side of the contact is.
    static constexpr int32_t KindTerrainOrKinematic = 0;  // BodyB null for the terrain
    static constexpr int32_t KindRigid = 1;

    RbBody* BodyA = nullptr;
    RbBody* BodyB = nullptr;
    int32_t Reserved0[4] = {};
    int32_t KindA = 0;
    int32_t KindB = 0;
    int32_t Reserved1[3] = {};
    RbVector PointA;   // contact point on A, world
    RbVector PointB;   // contact point on B, world
    RbVector Contact;  // the impulse on A in the step's slice, N·s: Normal · its size
    RbVector Normal;   // unit contact normal from B towards A, world
};

using RbCollisionCallback = void (*)(RbCollisionInfo& info);
using RbLogCallback = void (*)(const char* text);

// The six body lists, in the simulator's order.
enum RbBodyListKind : int32_t {
    RbActiveRigidBodies = 0,
    RbInactiveRigidBodies,
    RbActiveKinematicBodies,
    RbInactiveKinematicBodies,
    RbActiveRigidParticles,
    RbInactiveRigidParticles,
    RbBodyListCount,
};

class RbSimulator {
public:
    static constexpr int32_t MaterialCount = 256;

    // A new simulator with the given limits (library defaults for null), allocator (the
    // built-in heap allocator for null) and gravity ((0, 0, 0) for null); null when the
    // simulator object itself cannot be allocated. A given allocator must outlive the
    // simulator. A body pool that cannot be allocated
    // leaves "Failed to allocate memory.\n" and that pool, the later body pools and the
    // broad phase empty.
    static RbSimulator* Create(const RbSizeLimits* limits, RbAllocator* allocator, const RbVector* gravity);
    // Frees every pool through the allocator, then the simulator. Pointers into it die.
    static void Destroy(RbSimulator* simulator);
    // The process-wide text of the last failure message.
    static const char* GetErrorText();

    RbRigidBody* CreateRigidBody();
    RbRigidBody* CreateRigidParticle();
    // Null, without a message, when no kinematic body is free.
    RbKinematicBody* CreateKinematicBody();

    RbCollisionTable* GetCollisionTable() { return &CollisionTable; }
    // false for an index outside 0..255; else friction and restitution, third coefficient 0.
    bool SetMaterial(int32_t index, float friction, float restitution);
    // Null outside 0..255.
    const RbMaterial* GetMaterial(int32_t index) const;
    // Returns the previous callback.
    RbCollisionCallback SetCollisionCallback(RbCollisionCallback callback);
    void SetTerrainQueryCallback(RbTerrainQueryCallback callback) { TerrainQueryCallback = callback; }
    // Reports of a level up to maxLevel reach the callback (none by default).
    void SetLogCallback(RbLogCallback callback, int32_t maxLevel);
    RbCollisionCallback GetCollisionCallback() const { return CollisionCallback; }
    RbTerrainQueryCallback GetTerrainQueryCallback() const { return TerrainQueryCallback; }
    // The terrain is taken as static: the step keeps each triangle's bounds once it has
    // seen it, and a body's answer while it stays in its box. A caller that rewrites its
    // terrain arrays in place says so here (every body then asks again); arrays at other
    // addresses or of another length are noticed without it.
    void TerrainChanged() { ++TerrainRevision; }
    uint32_t GetTerrainRevision() const { return TerrainRevision; }

    // m/s², world axes. A gravity with a non-finite component, or too long for a float to
    // hold its length, acts as none.
    void SetGravity(const RbVector& gravity);
    const RbVector& GetGravity() const { return Gravity; }
    const RbVector& GetGravityDirection() const { return GravityDirection; }
    float GetGravityMagnitude() const { return GravityMagnitude; }
    // 0.3 · |g|, kept for the step's rest test.
    float GetGravityFraction() const { return GravityFraction; }

    const RbSizeLimits& GetLimits() const { return Limits; }
    const RbBodyList& GetBodyList(RbBodyListKind kind) const { return Lists[kind]; }
    RbBroadPhase& GetBroadPhase() { return BroadPhase; }
    const RbPerfTimer& GetPerfTimer() const { return PerfTimer; }
    int32_t GetStatus() const { return Status; }
    const RbMatrix4& GetTerrainTransform() const { return TerrainTransform; }

    // Advances the simulation by timeStep seconds (RbStepper.h says how). A time step that
    // is not a positive finite number does nothing; one above 0.1 s is cut to 0.1 s. The
    // step's work arrays are taken from the allocator at the first step; when that fails,
    // "Failed to allocate memory.\n" is reported and the step does nothing.
    void Step(float timeStep);
    // The step's contact manifolds of its last slice (null before the first step).
    const RbStepper* GetStepper() const { return Stepper; }

    // Library-internal: formats a message into the shared buffer and reports it.
    void ReportError(int32_t level, const char* message);
    // Library-internal: pools and lists used by the body operations.
    RbGeometry* TakeGeometry();
    RbSensor* TakeSensor();
    RbController* TakeController();
    RbBodyList& ListOf(const RbBody& body, bool active);

private:
    friend class RbStepper;

    RbSimulator() = default;
    ~RbSimulator();
    RbSimulator(const RbSimulator&) = delete;
    RbSimulator& operator=(const RbSimulator&) = delete;

    void Construct(const RbSizeLimits* limits, RbAllocator* allocator, const RbVector* gravity);
    bool Initialise(const RbVector& gravity);
    RbRigidBody* CreateBody(int32_t particleFlag);

    RbSizeLimits Limits;
    RbPerfTimer PerfTimer;
    RbVector Gravity;
    RbVector GravityDirection;
    float GravityMagnitude = 0.0f;
    float GravityFraction = 0.0f;
    int32_t Status = 0;
    RbHeapAllocator HeapAllocator;
    RbAllocator* Allocator = &HeapAllocator;
    RbPool<RbConstraintGroup> ConstraintGroups;
    RbPool<RbController> Controllers;
    RbPool<RbSensor> Sensors;
    RbPool<RbGeometry> Geometries;
    RbMaterial Materials[MaterialCount];
    int32_t LogLevel = 0;
    RbPool<RbRigidBody> RigidBodies;
    RbPool<RbKinematicBody> KinematicBodies;
    RbPool<RbRigidBody> RigidParticles;
    RbBodyList Lists[RbBodyListCount];
    RbBroadPhase BroadPhase;
    RbCollisionTable CollisionTable;
    RbMatrix4 TerrainTransform;
    RbCollisionCallback CollisionCallback = nullptr;
    RbLogCallback LogCallback = nullptr;
    RbTerrainQueryCallback TerrainQueryCallback = nullptr;
    uint32_t TerrainRevision = 0;
    RbStepper* Stepper = nullptr;
};
