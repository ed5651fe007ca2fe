// Entering and leaving the broad phase.
#include "physics/RbBroadPhase.h"

#include "physics/RbBody.h"
#include "physics/RbSimulator.h"

#include <algorithm>

bool RbBroadPhase::Create(RbSimulator* owner, RbAllocator* allocator, const RbSizeLimits& limits) {
    Destroy();
    Owner = owner;
    RigidCount = std::max(limits.rigidBodiesCount, 0);
    KinematicCount = std::max(limits.kinematicBodiesCount, 0);
    ParticleCount = std::max(limits.rigidParticleCount, 0);
    const int32_t bodies = RigidCount + KinematicCount + ParticleCount;
    bool ok = Records.Create(allocator, bodies) && Pairs.Create(allocator, limits.pairsCount) &&
              NewBodies.Create(allocator, bodies, 0);
    for (int32_t i = 0; i < 3 && ok; ++i) {
        Axes[i].Number = i;
        Axes[i].Bit = 1u << i;
        Axes[i].Owner = this;
        ok = Axes[i].Endpoints.Create(allocator, 2 * bodies);
    }
    if (!ok) {
        Destroy();
        return false;
    }
    Created = true;
    return true;
}

void RbBroadPhase::Destroy() {
    Records.Destroy();
    Pairs.Destroy();
    NewBodies.Destroy();
    for (Axis& axis : Axes) {
        axis.Endpoints.Destroy();
        axis.First = nullptr;
        axis.Last = nullptr;
    }
    Created = false;
}

void RbBroadPhase::Add(RbBody* body, int32_t hint) {
    if (body->BroadPhaseRecord != nullptr) {
        return;
    }
    RbBroadPhaseRecord* record = Records.Take();
    if (record == nullptr) {
        return;
    }
    record->Body = body;
    body->BroadPhaseRecord = record;
    // A body that left earlier has no endpoints any more, so it is queued again like a new one.
    if (RbNewBody* entry = NewBodies.Append()) {
        entry->Body = body;
        entry->Hint = hint;
    }
    body->BroadPhaseState = RbAdded;
}

void RbBroadPhase::Remove(RbBody* body) {
    if (body->BroadPhaseRecord == nullptr) {
        return;
    }
    if (body->BroadPhaseState == RbAdded) {
        body->BroadPhaseState = RbRemoved;
    }
    for (Axis& axis : Axes) {
        if ((AxisMask & axis.Bit) == 0) {
            continue;
        }
        for (RbEndpoint** slot : {&body->LowerEndpoints[axis.Number], &body->UpperEndpoints[axis.Number]}) {
            RbEndpoint* endpoint = *slot;
            if (endpoint == nullptr) {
                continue;
            }
            (endpoint->Prev != nullptr ? endpoint->Prev->Next : axis.First) = endpoint->Next;
            (endpoint->Next != nullptr ? endpoint->Next->Prev : axis.Last) = endpoint->Prev;
            *endpoint = RbEndpoint{};
            axis.Endpoints.Give(endpoint);
            *slot = nullptr;
        }
    }
    Records.Give(body->BroadPhaseRecord);
    body->BroadPhaseRecord = nullptr;
    for (RbPairRecord* pair = Pairs.FirstUsed(); pair != nullptr;) {
        RbPairRecord* next = Pairs.NextUsed(pair);
        if (pair->First == body || pair->Second == body) {
            *pair = RbPairRecord{};
            Pairs.Give(pair);
        }
        pair = next;
    }
    // A body still waiting to be sorted in leaves the queue, so it is never queued twice.
    for (int32_t i = 0; i < NewBodies.GetCount(); ++i) {
        if (NewBodies[i].Body == body) {
            for (int32_t j = i + 1; j < NewBodies.GetCount(); ++j) {
                NewBodies[j - 1] = NewBodies[j];
            }
            NewBodies.RemoveLast();
            break;
        }
    }
}
