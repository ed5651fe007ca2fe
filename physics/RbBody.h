// The common part of rigid bodies, rigid particles and kinematic bodies: user data, the
// geometry and sensor lists, the refitted body-space bounding box, activation and the
// broad-phase state. Bodies live in their simulator's pools; callers hold plain pointers
// and never free them.
#pragma once

#include "physics/RbGeometry.h"
#include "physics/RbMath.h"

#include <cstdint>

class RbBody;
class RbRigidBody;
class RbSensor;
class RbSimulator;
struct RbBroadPhaseRecord;
struct RbEndpoint;
struct RbTerrainTriangle;

// A group of rigid bodies woken together; made by the step's constraint solver, never by
// the operations of this library.
struct RbConstraintGroup {
    RbRigidBody* FirstBody = nullptr;  // linked through RbBody::NextInGroup
};

// Broad-phase state of a body.
enum RbBroadPhaseState : int32_t {
    RbNeverAdded = 0,
    RbAdded = 1,
    RbRemoved = 2,  // removed after being added
};

class RbBody {
public:
    enum : int32_t { KindKinematic = 0, KindRigid = 1 };

    // Moves the body between the active and inactive lists of its kind and out of or into
    // the broad phase (only a body with geometries enters it). Nothing when the body is
    // already in the requested state. hint is handed to the broad phase with the body.
    void SetActive(bool active, int32_t hint);
    bool IsActive() const { return Active != 0; }

    // The caller's word (the game keeps its object there); pointer-sized.
    void SetUserData(void* data) { UserData = data; }
    // Collision group 0..63 (0 after creation); the collision table's entry of two groups
    // says how their bodies meet. Other values change nothing.
    void SetCollisionGroup(int32_t group) {
        if (group >= 0 && group < 64) {
            CollisionGroup = group;
        }
    }
    int32_t GetCollisionGroup() const { return CollisionGroup; }
    void* GetUserData() const { return UserData; }

    // A unit box at the end of the geometry list, or null with the pool exhausted. An
    // active body that is not in the broad phase yet enters it.
    RbGeometry* AddGeometry();
    // A sensor at the end of the sensor list, or null with the pool exhausted. Its line is
    // what the pool element last held until SetLine.
    RbSensor* AddSensor();
    // Refits the body-space bounding box over every geometry and sensor line, and derives
    // the largest geometry radius and the body-space oriented box. Call after changing
    // geometries or sensors.
    void UpdateBoundingInfo();

    // Velocity (m/s, world axes) of a point given relative to the body's position in world
    // axes: v + ω × r for a rigid body, zero for a kinematic body.
    RbVector GetVelocityAtPoint(const RbVector& relativePoint) const;

    // World bounds of the oriented box under rotation rows and position, stored in
    // WorldLower/WorldUpper and in the body's broad-phase endpoints when it has them.
    // Nothing for a body without geometries.
    void UpdateWorldBounds(const RbMatrix3& rotation, const RbVector& position);

    void* UserData = nullptr;
    // Body-space bounding box of all geometries and sensor lines (a box record).
    RbGeometry BoundingBox;
    RbGeometry* Geometries = nullptr;
    int32_t GeometryCount = 0;
    float LargestRadius = 0.0f;
    // Rigid bodies 0 .. R-1, kinematic bodies R .. R+K-1, rigid particles from R+K.
    int32_t Id = 0;
    RbConstraintGroup* ConstraintGroup = nullptr;
    int32_t Kind = KindKinematic;
    int32_t Active = 1;
    RbSensor* Sensors = nullptr;
    RbBroadPhaseRecord* BroadPhaseRecord = nullptr;  // null while not in the broad phase
    RbSimulator* Simulator = nullptr;
    // Body-space oriented box: half-axis vectors (rotation row i · half size i) and centre.
    RbVector ObbAxes[3];
    RbVector ObbCentre;

    // Broad-phase data: state, world bounds and per-axis endpoint entries (null until the
    // broad phase sorts the body in).
    int32_t BroadPhaseState = RbNeverAdded;
    int32_t SortingIn = 0;  // queued body being sorted in (broad phase scratch)
    RbVector WorldLower;  // the values its endpoints carry, kept together
    RbVector WorldUpper;
    RbEndpoint* LowerEndpoints[3] = {};
    RbEndpoint* UpperEndpoints[3] = {};

    // Links of the simulator's body list that holds the body, and of its constraint group.
    int32_t CollisionGroup = 0;
    // The step's terrain cache: the widened box of the last query, its candidates' place in
    // the step's arrays, the slice that made them, and the query's arrays.
    RbVector TerrainLower;
    RbVector TerrainUpper;
    int32_t TerrainFirst = 0;
    int32_t TerrainCount = 0;
    uint32_t TerrainSlice = 0;
    const RbTerrainTriangle* TerrainTriangles = nullptr;
    const RbVector* TerrainVertices = nullptr;
    // Index of the body in the step's work arrays during a step (stale between steps).
    int32_t StepIndex = -1;

    RbBody* ListNext = nullptr;
    RbBody* ListPrev = nullptr;
    RbRigidBody* NextInGroup = nullptr;
};

// One of the simulator's six body lists, in order of arrival.
struct RbBodyList {
    RbBody* Head = nullptr;
    RbBody* Tail = nullptr;
    int32_t Count = 0;

    void Append(RbBody* body);
    void Remove(RbBody* body);
};
