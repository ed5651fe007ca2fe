// Sweep and prune: entering, leaving, sorting in and the incremental re-sort with its pairs.
#include "physics/RbBroadPhase.h"

#include "physics/RbBody.h"
#include "physics/RbSimulator.h"

#include <algorithm>
#include <cstring>

namespace {


// Sort order: by value, and at equal values lower bounds before upper bounds, so boxes
// that touch are in overlapping order.
bool Precedes(const RbEndpoint* x, const RbEndpoint* y) {
    return x->Value < y->Value || (x->Value == y->Value && !x->IsUpper && y->IsUpper);
}

bool HasEndpoints(const RbBody* body) {
    return body->LowerEndpoints[0] != nullptr || body->LowerEndpoints[1] != nullptr || body->LowerEndpoints[2] != nullptr;
}

uint32_t PairHash(const RbBody* a, const RbBody* b) {
    const uint32_t lo = static_cast<uint32_t>(std::min(a->Id, b->Id));
    const uint32_t hi = static_cast<uint32_t>(std::max(a->Id, b->Id));
    return (lo * 0x9E3779B1u) ^ (hi * 0x85EBCA77u + (hi >> 7));
}

bool Names(const RbPairRecord* pair, const RbBody* a, const RbBody* b) {
    return (pair->First == a && pair->Second == b) || (pair->First == b && pair->Second == a);
}

}  // namespace

bool RbBroadPhase::Create(RbSimulator* owner, RbAllocator* allocator, const RbSizeLimits& limits) {
    Destroy();
    Owner = owner;
    Allocator = allocator;
    RigidCount = std::max(limits.rigidBodiesCount, 0);
    KinematicCount = std::max(limits.kinematicBodiesCount, 0);
    ParticleCount = std::max(limits.rigidParticleCount, 0);
    const int64_t bodies = int64_t{RigidCount} + KinematicCount + ParticleCount;
    const int64_t pairs = std::max(limits.pairsCount, 0);
    // Two endpoints per body per axis and a half-full pair index must fit 32-bit counts.
    if (2 * bodies > INT32_MAX || 2 * pairs > (int64_t{1} << 30)) {
        return false;
    }
    bool ok = Records.Create(allocator, static_cast<int32_t>(bodies)) &&
              Pairs.Create(allocator, static_cast<int32_t>(pairs)) &&
              NewBodies.Create(allocator, static_cast<int32_t>(bodies), 0);
    for (int32_t i = 0; i < 3 && ok; ++i) {
        Axes[i].Number = i;
        Axes[i].Bit = 1u << i;
        Axes[i].Owner = this;
        ok = Axes[i].Endpoints.Create(allocator, static_cast<int32_t>(2 * bodies));
    }
    if (ok) {
        Sorting = static_cast<RbEndpoint**>(allocator->Alloc(sizeof(RbEndpoint*) * static_cast<size_t>(2 * bodies + 1), 0));
        ok = Sorting != nullptr;
    }
    if (ok) {
        uint32_t slots = 2;
        while (slots < 2 * pairs) {
            slots *= 2;
        }
        PairSlots = static_cast<RbPairRecord**>(allocator->Alloc(sizeof(RbPairRecord*) * slots, 0));
        ok = PairSlots != nullptr;
        if (ok) {
            std::memset(static_cast<void*>(PairSlots), 0, sizeof(RbPairRecord*) * slots);
            PairSlotMask = slots - 1;
        }
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
    if (PairSlots != nullptr) {
        Allocator->Free(PairSlots);
    }
    if (Sorting != nullptr) {
        Allocator->Free(Sorting);
    }
    Sorting = nullptr;
    PairSlots = nullptr;
    PairSlotMask = 0;
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
            ReleasePair(pair);
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

void RbBroadPhase::Update() {
    if (!Created) {
        return;
    }
    InsertNewBodies();
    for (Axis& axis : Axes) {
        if ((AxisMask & axis.Bit) != 0) {
            SortAxis(axis);
        }
    }
}

namespace {

// Both boxes overlap (or touch) on every axis of the mask. The bounds are read from the
// bodies, which hold the values their endpoints carry, rather than through six endpoints.
bool Overlap(const RbBody* a, const RbBody* b, uint32_t mask) {
    for (int k = 0; k < 3; ++k) {
        if ((mask & (1u << k)) != 0 && (RbComponent(a->WorldLower, k) > RbComponent(b->WorldUpper, k) ||
                                        RbComponent(b->WorldLower, k) > RbComponent(a->WorldUpper, k))) {
            return false;
        }
    }
    return true;
}

}  // namespace

void RbBroadPhase::InsertNewBodies() {
    // All queued bodies at once: their endpoints sorted per axis and merged into the lists in
    // one walk, then one sweep along x finds the pairs with a new body, so filling a level
    // costs n·log n plus the overlaps rather than n² for one body after another.
    int32_t fresh = 0;
    for (int32_t n = 0; n < NewBodies.GetCount(); ++n) {
        RbBody* body = NewBodies[n].Body;
        if (body->BroadPhaseRecord == nullptr || HasEndpoints(body)) {
            continue;
        }
        body->SortingIn = 1;
        ++fresh;
    }
    NewBodies.Clear();
    if (fresh == 0) {
        return;
    }
    for (Axis& axis : Axes) {
        if ((AxisMask & axis.Bit) == 0) {
            continue;
        }
        int32_t taken = 0;
        for (RbBroadPhaseRecord* record = Records.FirstUsed(); record != nullptr; record = Records.NextUsed(record)) {
            RbBody* body = record->Body;
            if (body->SortingIn == 0) {
                continue;
            }
            RbEndpoint* lower = axis.Endpoints.Take();
            RbEndpoint* upper = axis.Endpoints.Take();
            if (lower == nullptr || upper == nullptr) {
                axis.Endpoints.Give(lower);
                continue;  // cannot happen: the pool holds two entries per body
            }
            *lower = {body, RbComponent(body->WorldLower, axis.Number), 0, nullptr, nullptr};
            *upper = {body, RbComponent(body->WorldUpper, axis.Number), 1, nullptr, nullptr};
            body->LowerEndpoints[axis.Number] = lower;
            body->UpperEndpoints[axis.Number] = upper;
            Sorting[taken++] = lower;
            Sorting[taken++] = upper;
        }
        std::stable_sort(Sorting, Sorting + taken, Precedes);
        RbEndpoint* next = axis.First;
        for (int32_t i = 0; i < taken; ++i) {
            RbEndpoint* endpoint = Sorting[i];
            while (next != nullptr && !Precedes(endpoint, next)) {
                next = next->Next;
            }
            RbEndpoint* prev = next != nullptr ? next->Prev : axis.Last;
            endpoint->Prev = prev;
            endpoint->Next = next;
            (prev != nullptr ? prev->Next : axis.First) = endpoint;
            (next != nullptr ? next->Prev : axis.Last) = endpoint;
        }
    }
    // Every pair overlapping on x: the body whose lower bound comes first sees the other's
    // lower bound before its own upper bound.
    const int k = (AxisMask & 1u) != 0 ? 0 : ((AxisMask & 2u) != 0 ? 1 : 2);
    for (RbEndpoint* e = Axes[k].First; e != nullptr; e = e->Next) {
        if (e->IsUpper) {
            continue;
        }
        RbBody* body = e->Body;
        for (RbEndpoint* f = e->Next; f != nullptr && f != body->UpperEndpoints[k]; f = f->Next) {
            if (!f->IsUpper && (body->SortingIn != 0 || f->Body->SortingIn != 0) && Overlap(body, f->Body, AxisMask)) {
                AddPair(body, f->Body);
            }
        }
    }
    for (RbBroadPhaseRecord* record = Records.FirstUsed(); record != nullptr; record = Records.NextUsed(record)) {
        record->Body->SortingIn = 0;
    }
}

void RbBroadPhase::SortAxis(Axis& axis) {
    // Insertion sort of a nearly sorted list. Only leftward moves happen: a lower bound
    // passing an upper bound may start an overlap, an upper passing a lower ends one.
    RbEndpoint* next = nullptr;
    for (RbEndpoint* endpoint = axis.First; endpoint != nullptr; endpoint = next) {
        next = endpoint->Next;
        RbEndpoint* before = endpoint->Prev;
        while (before != nullptr && Precedes(endpoint, before)) {
            if (before->Body != endpoint->Body) {
                if (!endpoint->IsUpper && before->IsUpper) {
                    if (Overlap(endpoint->Body, before->Body, AxisMask)) {
                        AddPair(endpoint->Body, before->Body);
                    }
                } else if (endpoint->IsUpper && !before->IsUpper) {
                    RemovePair(endpoint->Body, before->Body);
                }
            }
            before = before->Prev;
        }
        if (before == endpoint->Prev) {
            continue;
        }
        // Unlink, then insert after `before` (at the front when null).
        endpoint->Prev->Next = endpoint->Next;
        (endpoint->Next != nullptr ? endpoint->Next->Prev : axis.Last) = endpoint->Prev;
        RbEndpoint* after = before != nullptr ? before->Next : axis.First;
        endpoint->Prev = before;
        endpoint->Next = after;
        (before != nullptr ? before->Next : axis.First) = endpoint;
        after->Prev = endpoint;
    }
}

int32_t RbBroadPhase::FindSlot(const RbBody* a, const RbBody* b) const {
    for (uint32_t slot = PairHash(a, b) & PairSlotMask;; slot = (slot + 1) & PairSlotMask) {
        const RbPairRecord* pair = PairSlots[slot];
        if (pair == nullptr || Names(pair, a, b)) {
            return static_cast<int32_t>(slot);
        }
    }
}

RbPairRecord* RbBroadPhase::FindPair(const RbBody* a, const RbBody* b) const {
    return PairSlots != nullptr ? PairSlots[FindSlot(a, b)] : nullptr;
}

void RbBroadPhase::AddPair(RbBody* a, RbBody* b) {
    // Two kinematic bodies never collide: a level full of kinematic scenery would otherwise
    // fill the pair pool with pairs nothing reads.
    if (a->Kind == RbBody::KindKinematic && b->Kind == RbBody::KindKinematic) {
        return;
    }
    const int32_t slot = FindSlot(a, b);
    if (PairSlots[slot] != nullptr) {
        return;
    }
    RbPairRecord* pair = Pairs.Take();
    if (pair == nullptr) {
        if (Owner != nullptr) {
            Owner->ReportError(1, "Run out of Pairs. Increase 'pairsCount'.\n");
        }
        return;
    }
    pair->First = a->Id < b->Id ? a : b;
    pair->Second = a->Id < b->Id ? b : a;
    PairSlots[slot] = pair;
}

void RbBroadPhase::RemovePair(const RbBody* a, const RbBody* b) {
    const int32_t slot = FindSlot(a, b);
    if (RbPairRecord* pair = PairSlots[slot]) {
        EraseSlot(slot);
        *pair = RbPairRecord{};
        Pairs.Give(pair);
    }
}

void RbBroadPhase::ReleasePair(RbPairRecord* pair) {
    if (PairSlots != nullptr && pair->First != nullptr && pair->Second != nullptr) {
        const int32_t slot = FindSlot(pair->First, pair->Second);
        if (PairSlots[slot] == pair) {
            EraseSlot(slot);
        }
    }
    *pair = RbPairRecord{};
    Pairs.Give(pair);
}

void RbBroadPhase::EraseSlot(int32_t slot) {
    // Backward-shift deletion keeps every probe chain unbroken without tombstones.
    uint32_t hole = static_cast<uint32_t>(slot);
    PairSlots[hole] = nullptr;
    for (uint32_t i = (hole + 1) & PairSlotMask; PairSlots[i] != nullptr; i = (i + 1) & PairSlotMask) {
        const uint32_t home = PairHash(PairSlots[i]->First, PairSlots[i]->Second) & PairSlotMask;
        // Move the entry into the hole when its home lies cyclically outside (hole, i].
        const bool homeInRange = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
        if (!homeInRange) {
            PairSlots[hole] = PairSlots[i];
            PairSlots[i] = nullptr;
            hole = i;
        }
    }
}
