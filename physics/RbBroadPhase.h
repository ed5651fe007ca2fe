// Sweep-and-prune broad phase: per axis a sorted list of the lower and upper bounds of every
// body in it, and the records of the body pairs whose bounds overlap. A body enters with a
// record and a place in the new-bodies queue; the step sorts queued bodies in (their
// endpoints) and keeps the lists sorted as bounds move. Every pool is sized at creation
// for all bodies of the simulator, so entering never allocates.
//
// No dense pair table is kept: pairs live in a pool of pairsCount records with a small hash
// index beside it.
#pragma once

#include "physics/RbAllocator.h"
#include "physics/RbGrowArray.h"
#include "physics/RbPool.h"

#include <cstdint>

class RbBody;
class RbSimulator;
struct RbSizeLimits;

struct RbBroadPhaseRecord {
    RbBody* Body = nullptr;
};

struct RbPairRecord {
    RbBody* First = nullptr;
    RbBody* Second = nullptr;
};

// One bound of one body on one axis, in that axis's sorted list.
struct RbEndpoint {
    RbBody* Body = nullptr;
    float Value = 0.0f;
    int32_t IsUpper = 0;
    RbEndpoint* Prev = nullptr;
    RbEndpoint* Next = nullptr;
};

struct RbNewBody {
    RbBody* Body = nullptr;
    int32_t Hint = 0;
};

class RbBroadPhase {
public:
    struct Axis {
        int32_t Number = 0;
        uint32_t Bit = 0;
        RbBroadPhase* Owner = nullptr;
        RbPool<RbEndpoint> Endpoints;  // 2 per body
        RbEndpoint* First = nullptr;   // sorted by Value, ascending
        RbEndpoint* Last = nullptr;
    };

    RbBroadPhase() = default;
    ~RbBroadPhase() { Destroy(); }
    RbBroadPhase(const RbBroadPhase&) = delete;
    RbBroadPhase& operator=(const RbBroadPhase&) = delete;

    // Sizes every pool for the simulator's limits; false (and empty) when memory fails.
    bool Create(RbSimulator* owner, RbAllocator* allocator, const RbSizeLimits& limits);
    void Destroy();
    bool IsCreated() const { return Created; }

    // Enters a body: nothing when it already has a record (or none is left). The body is
    // queued for sorting in, with the hint, whenever it has no endpoints, including a body
    // that was removed earlier.
    void Add(RbBody* body, int32_t hint);
    // Takes the body out: its endpoints leave every axis list, its record and every pair
    // that names it return to their pools, and it leaves the new-bodies queue.
    void Remove(RbBody* body);

    // Sorts the queued bodies in at their world bounds, then restores the order of every
    // axis after bounds moved (RbBody::UpdateWorldBounds writes the endpoint values), adding
    // a pair record when two boxes come to overlap on all axes (touching counts) and
    // returning it when they separate. Two kinematic bodies never get a pair. World bounds must be current for every body in it.
    void Update();

    // The pair record of two bodies in either order, or null.
    RbPairRecord* FindPair(const RbBody* a, const RbBody* b) const;
    // Pairs in the order they were found: Pairs.FirstUsed() / Pairs.NextUsed().
    int32_t GetPairCount() const { return Pairs.GetUsedCount(); }

    const RbGrowArray<RbNewBody>& GetNewBodies() const { return NewBodies; }
    int32_t GetBodyCount() const { return Records.GetUsedCount(); }
    const Axis& GetAxis(int32_t i) const { return Axes[i]; }

    RbSimulator* Owner = nullptr;
    int32_t RigidCount = 0;      // R
    int32_t KinematicCount = 0;  // K
    int32_t ParticleCount = 0;   // P
    uint32_t AxisMask = 7;       // all three axes
    RbPool<RbBroadPhaseRecord> Records;
    RbPool<RbPairRecord> Pairs;
    Axis Axes[3];

private:
    void InsertNewBodies();
    void SortAxis(Axis& axis);
    void AddPair(RbBody* a, RbBody* b);
    void RemovePair(const RbBody* a, const RbBody* b);
    void ReleasePair(RbPairRecord* pair);
    int32_t FindSlot(const RbBody* a, const RbBody* b) const;
    void EraseSlot(int32_t slot);

    RbGrowArray<RbNewBody> NewBodies;  // capacity: every body once; never grows
    // Open-addressed index of the pair records by their two body ids (linear probing,
    // at most half full); sized with the pair pool, so it never grows.
    RbPairRecord** PairSlots = nullptr;
    RbEndpoint** Sorting = nullptr;  // scratch of two entries per body for sorting bodies in
    uint32_t PairSlotMask = 0;
    RbAllocator* Allocator = nullptr;
    bool Created = false;
};
