// One entry of a render-queue group: two counted objects. Secondary is the object the frame
// drawing queued; when it carries the queued mark (CPRenderQueueMark), Dequeue clears it.
#pragma once

#include "core/CPObject.h"
#include "core/CPtr.h"
#include "scene/CPRenderQueueItem.h"

// The one-byte mark of an object that sits in a render queue; a class that can be queued
// derives from it beside CPObject.
class CPRenderQueueMark {
public:
    virtual ~CPRenderQueueMark() = default;

    uint8_t Queued = 0;
};

class CPRenderQueueEntry : public CPRenderQueueItem {
public:
    CPRenderQueueEntry() { Counters.Construct(); }
    CPRenderQueueEntry(const CPRenderQueueEntry& other);
    CPRenderQueueEntry& operator=(const CPRenderQueueEntry&) = default;
    ~CPRenderQueueEntry() override;

    CPObject* Dequeue() override;

    static inline CPRenderQueueCounters Counters;

    CPtr<CPObject> Primary;
    CPtr<CPObject> Secondary;
};
