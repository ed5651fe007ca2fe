#include "scene/CPRenderQueueGroup.h"

CPRenderQueueGroup::CPRenderQueueGroup(const CPRenderQueueGroup& other)
    : CPRenderQueueItem(other), Owner(other.Owner), Entries(other.Entries) {
    Counters.Construct();
}

CPRenderQueueGroup::~CPRenderQueueGroup() {
    Entries.clear();
    Owner = nullptr;
    Counters.Destroy();
}
