#include "scene/CPRenderQueueEntry.h"

CPRenderQueueEntry::CPRenderQueueEntry(const CPRenderQueueEntry& other)
    : CPRenderQueueItem(other), Primary(other.Primary), Secondary(other.Secondary) {
    Counters.Construct();
}

CPRenderQueueEntry::~CPRenderQueueEntry() {
    Secondary = nullptr;
    Primary = nullptr;
    Counters.Destroy();
}

CPObject* CPRenderQueueEntry::Dequeue() {
    CPObject* object = Secondary.Get();
    if (auto* mark = dynamic_cast<CPRenderQueueMark*>(object)) {
        mark->Queued = 0;
    }
    return object;
}
