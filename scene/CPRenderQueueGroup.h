// A group of the render queue: an owner and its entries by key.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "scene/CPRenderQueueEntry.h"

#include <unordered_map>

class CPRenderQueueGroup : public CPRenderQueueItem {
public:
    CPRenderQueueGroup() { Counters.Construct(); }
    CPRenderQueueGroup(const CPRenderQueueGroup& other);
    CPRenderQueueGroup& operator=(const CPRenderQueueGroup&) = default;
    ~CPRenderQueueGroup() override;

    static inline CPRenderQueueCounters Counters;

    CPtr<CPObject> Owner;
    std::unordered_map<int32_t, CPRenderQueueEntry> Entries;
};
