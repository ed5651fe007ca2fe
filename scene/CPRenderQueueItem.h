// The base of the render queue: layers hold groups, groups hold entries, all kept by value in
// hash maps and copied with them. Every class of the queue counts its instances process-wide
// (live, constructed, destroyed); a copy is an instance like any other, so the live count is
// always constructed − destroyed and never goes below zero.
#pragma once

#include <cstdint>

class CPObject;

struct CPRenderQueueCounters {
    int64_t Live = 0;
    int64_t Constructed = 0;
    int64_t Destroyed = 0;

    void Construct() {
        ++Live;
        ++Constructed;
    }
    void Destroy() {
        --Live;
        ++Destroyed;
    }
};

class CPRenderQueueItem {
public:
    CPRenderQueueItem() { Counters.Construct(); }
    CPRenderQueueItem(const CPRenderQueueItem& other) : Index(other.Index), UseCount(other.UseCount), Data(other.Data) {
        Counters.Construct();
    }
    CPRenderQueueItem& operator=(const CPRenderQueueItem&) = default;
    virtual ~CPRenderQueueItem() { Counters.Destroy(); }

    // Takes the item's object off the queue: an entry clears the queued mark of its
    // Secondary object and returns it; every other item returns null.
    virtual CPObject* Dequeue() { return nullptr; }

    static inline CPRenderQueueCounters Counters;

    int32_t Index = -1;
    // Raised by every SetLayerCamera and SetLayerMatrix of a layer.
    int32_t UseCount = 0;
    int32_t Data = 0;
};
