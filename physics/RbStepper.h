// The simulation step of a simulator: everything that advances bodies in time.
//
// A step of dt seconds runs in slices of at most 1/60 s (dt is cut to 0.1 s, so a stalled
// frame slows the world instead of exploding it). Each slice:
//   1. gathers the active bodies into work arrays (index 0 is the static world), refits the
//      world bounds of the moving ones (widened by how far they may move) and updates the
//      broad phase;
//   2. asks the terrain query for the triangles around each moving body, and casts the
//      sensors against those triangles and the bodies the broad phase pairs them with;
//   3. calls the due controllers, whose forces act for the slice;
//   4. builds contact manifolds (narrow phase), carrying each point's impulses over from the
//      previous slice when it is found again (warm starting);
//   5. solves them in soft substeps (RbContactSolver.h), integrates and writes the motion
//      back into the bodies;
//   6. puts to rest the groups of touching bodies that stayed slow for half a second, and
//      reports new and hard contacts to the collision callback.
//
// Work arrays come from the simulator's allocator; they grow only while the world grows, so
// a running scene allocates nothing per step. Bodies are visited in list and pool order and
// nothing depends on addresses, so equal inputs give bit-identical results.
#pragma once

#include "physics/RbContactSolver.h"
#include "physics/RbGrowArray.h"
#include "physics/RbMath.h"
#include "physics/RbNarrowPhase.h"
#include "physics/RbTerrain.h"

#include <cstdint>

class RbAllocator;
class RbBody;
class RbGeometry;
class RbKinematicBody;
class RbRigidBody;
class RbSensor;
class RbSimulator;
struct RbTerrainTriangle;

// A terrain triangle near a body, with its world bounds.
struct RbTerrainCandidate {
    int32_t Index = 0;
    RbVector Lower;
    RbVector Upper;
};

// One active body during a slice.
struct RbStepBody {
    RbBody* Body = nullptr;
    RbRigidBody* Rigid = nullptr;          // null for a kinematic body
    RbKinematicBody* Kinematic = nullptr;  // null for a rigid body
    int32_t Awake = 0;      // moves in this slice (contacts and controllers may wake it)
    int32_t Processed = 0;  // moving when the slice began: its contacts are detected afresh
    int32_t TerrainQueried = 0;
    int32_t TerrainFirst = 0;
    int32_t TerrainCount = 0;
    const RbTerrainTriangle* Triangles = nullptr;
    const RbVector* Vertices = nullptr;
    float Margin = 0.0f;  // speculative distance for its contacts
    RbMatrix3 Rotation;   // pose at the slice's start
    RbVector Position;
    RbQuaternion Orientation;
    RbVector Force;   // external, for the slice
    RbVector Torque;
    RbVector StartVelocity;
    RbVector StartAngularVelocity;
    float IslandRest = 0.0f;  // least rest time of its island (on the island's root)
};

class RbStepper {
public:
    RbStepper() = default;
    ~RbStepper() { Destroy(); }
    RbStepper(const RbStepper&) = delete;
    RbStepper& operator=(const RbStepper&) = delete;

    bool Create(RbSimulator* simulator, RbAllocator* allocator);
    void Destroy();

    void Step(float timeStep);

    // Terrain candidates a query may hand over per body; more are cut.
    static constexpr int32_t MaxTerrainCandidates = 1024;
    static constexpr float MaxTimeStep = 0.1f;
    static constexpr float MaxSlice = 1.0f / 60.0f;
    static constexpr int32_t Substeps = 4;
    static constexpr float SpeculativeDistance = 0.02f;
    static constexpr float SleepTime = 0.5f;

    // The manifolds of the last slice, in the order they were solved.
    const RbManifold* GetManifolds() const { return Manifolds[Current].GetData(); }
    int32_t GetManifoldCount() const { return Manifolds[Current].GetCount(); }

private:
    void BeginStep(float timeStep);
    void EndStep();
    void Slice(float h);
    void Gather(float h);
    void QueryTerrain();
    void CastSensors();
    void CastSensorsAgainst(RbStepBody& owner, const RbBody& other);
    void CallControllers(float h);
    void NarrowPhase();
    void CollidePair(RbStepBody& a, RbStepBody& b, int32_t code);
    // Carries the previous slice's manifold of the key over when B kept its pose relative to A
    // (both rigid); false when it must be found again.
    bool ReuseManifold(uint64_t key, RbStepBody& a, RbStepBody& b, int32_t code);
    // The same for all terrain manifolds of a geometry when its body kept its pose.
    bool ReuseTerrain(uint64_t geometryKey, RbStepBody& body, int32_t code);
    static bool SamePose(const RbVector& position, const RbQuaternion& orientation, const RbManifold& m);
    bool CarryOver(const RbManifold& previous, RbStepBody& a, RbStepBody* b, int32_t code);
    void CollideTerrain(RbStepBody& body, int32_t code);
    void KeepUndetected();
    // The solve of a slice (RbStepper_Solve.cpp), job by job.
    void Solve(float h);
    void LoadSolverBodies();
    static RbSolverSettings SolverSettings(float hs);
    void PrepareManifolds();
    void IntegrateVelocities(float hs);
    void IntegratePositions(float hs);
    void Bounce(const RbSolverSettings& settings);
    void UpdateTouching(const RbSolverSettings& settings);
    void WriteBack();
    void Sleep(float h);
    void Report();

    // Slot in Hulls of the geometry's world hull for this slice, built on first use; -1 for
    // a geometry without a hull. Indices, not pointers: building may move the array.
    int32_t HullIndex(const RbGeometry* geometry, const RbStepBody& owner);
    RbManifold* NewManifold(uint64_t key, const RbContactResult& result, RbStepBody& a, RbStepBody* b, int32_t code,
                            int32_t materialA, int32_t materialB);
    // The previous slice's manifold of the key, or null.
    const RbManifold* FindPrevious(uint64_t key);
    // Clears what a slice accumulates in a manifold, takes over what the previous slice's (if
    // any) hands on, and combines the two materials (an index without a material counts as the
    // default one).
    void StartSlice(RbManifold* m, const RbManifold* previous, int32_t materialA, int32_t materialB) const;
    bool IsGathered(const RbBody* body) const;
    int32_t Find(int32_t i);

    RbSimulator* Simulator = nullptr;
    RbAllocator* Allocator = nullptr;
    RbGrowArray<RbStepBody> Work;
    RbGrowArray<RbSolverBody> Bodies;
    RbGrowArray<RbVector> Positions;
    RbGrowArray<RbManifold> Manifolds[2];
    int32_t Current = 0;
    struct KeyIndex {
        uint64_t Key;
        int32_t Index;
    };
    RbGrowArray<KeyIndex> PreviousKeys;  // the previous slice's manifolds by key
    int32_t PreviousHint = 0;  // where in the previous slice's list the next lookup looks first
    RbGrowArray<RbTerrainCandidate> TerrainIndices;
    RbGrowArray<RbTerrainCandidate> TerrainCache;  // the previous slice's TerrainIndices
    RbTerrainQueryCallback CachedQuery = nullptr;
    // Per terrain triangle: the last query that listed it, and its bounds, computed once
    // per terrain (Generation says for which; empty bounds for a record that has none).
    struct TriangleInfo {
        uint32_t Query;
        uint32_t Generation;
        float Lower[3];
        float Upper[3];
    };
    RbGrowArray<TriangleInfo> TriangleInfos;
    uint32_t QueryNumber = 0;
    // The terrain the bounds belong to.
    uint32_t TerrainGeneration = 0;
    const RbTerrainTriangle* BoundsTriangles = nullptr;
    const RbVector* BoundsVertices = nullptr;
    int32_t BoundsTriangleCount = 0;
    uint32_t BoundsRevision = 0;
    uint32_t AnsweredRevision = 0;  // the terrain revision the bodies' last answers belong to
    RbGrowArray<RbHull> Hulls;
    RbGrowArray<int32_t> HullSlots;   // per geometry pool index: slot in Hulls or -1
    RbGrowArray<uint32_t> HullStamps;  // per geometry pool index: slice the slot belongs to
    RbGrowArray<int32_t> Parents;     // islands (union-find over work indices)
    RbHull TriangleHull;  // scratch for the terrain's triangles
    uint32_t SliceNumber = 0;
    float StepTime = 0.0f;
    bool Created = false;
};
