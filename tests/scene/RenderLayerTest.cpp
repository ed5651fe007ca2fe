// Render layers and their queue: defaults, value copies that share counted objects, and
// the process-wide instance counters of every queue class.
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPRenderLayer.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class QueuedThing : public CPObject, public CPRenderQueueMark {
public:
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "QueuedThing"; }
};

class PlainThing : public CPObject {
public:
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "PlainThing"; }
};

struct CounterSnapshot {
    CPRenderQueueCounters item, entry, group, layer;

    static CounterSnapshot Take() {
        return {CPRenderQueueItem::Counters, CPRenderQueueEntry::Counters, CPRenderQueueGroup::Counters,
                CPRenderLayer::Counters};
    }
};

void ExpectConsistent(const CPRenderQueueCounters& c) {
    EXPECT_GE(c.Live, 0);
    EXPECT_EQ(c.Live, c.Constructed - c.Destroyed);
}

TEST(RenderLayer, Defaults) {
    CPRenderLayer layer;
    EXPECT_EQ(layer.Index, -1);
    EXPECT_EQ(layer.UseCount, 0);
    EXPECT_EQ(layer.Data, 0);
    EXPECT_EQ(layer.Number, 0);
    EXPECT_EQ(layer.Camera, nullptr);
    EXPECT_FALSE(layer.MatrixSet);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(layer.Matrix, identity);
    EXPECT_TRUE(layer.Groups.empty());
    EXPECT_GE(layer.Groups.bucket_count(), CPRenderLayer::GroupBuckets);
    EXPECT_EQ(layer.Dequeue(), nullptr);

    CPRenderQueueGroup group;
    EXPECT_EQ(group.Index, -1);
    EXPECT_EQ(group.Owner, nullptr);
    EXPECT_EQ(group.Dequeue(), nullptr);
}

TEST(RenderLayer, CopiesAreDeepAndShareCountedObjects) {
    CPPerspectiveCamera camera;
    PlainThing owner, primary;
    QueuedThing secondary;

    std::map<int32_t, CPRenderLayer> layers;
    {
        CPRenderLayer layer;
        layer.Number = 19;
        layer.Camera = &camera;
        layer.UseCount = 1;
        CPRenderQueueGroup& group = layer.Groups[7];
        group.Owner = &owner;
        CPRenderQueueEntry& entry = group.Entries[3];
        entry.Primary = &primary;
        entry.Secondary = &secondary;
        layers.emplace(19, layer);
        EXPECT_EQ(camera.GetRefCount(), 2);  // the local layer and its copy in the map
    }
    // Release only zeroes the count, as everywhere in the engine.
    EXPECT_EQ(camera.GetRefCount(), 0);

    CPRenderLayer copy = layers.at(19);
    EXPECT_EQ(copy.Number, 19);
    EXPECT_EQ(copy.UseCount, 1);
    EXPECT_EQ(copy.Camera.Get(), &camera);
    ASSERT_EQ(copy.Groups.count(7), 1u);
    copy.Groups[7].Entries[3].Primary = nullptr;
    copy.Groups[8].Owner = &owner;
    EXPECT_EQ(layers.at(19).Groups.at(7).Entries.at(3).Primary.Get(), &primary);
    EXPECT_EQ(layers.at(19).Groups.count(8), 0u);
}

TEST(RenderLayer, EntryDequeueClearsTheMarkOfItsSecondaryObject) {
    QueuedThing queued;
    PlainThing plain;
    queued.Queued = 1;

    CPRenderQueueEntry entry;
    EXPECT_EQ(entry.Dequeue(), nullptr);
    entry.Primary = &plain;
    entry.Secondary = &queued;
    EXPECT_EQ(entry.Dequeue(), &queued);
    EXPECT_EQ(queued.Queued, 0);

    entry.Secondary = &plain;  // an object without the mark is only handed back
    EXPECT_EQ(entry.Dequeue(), &plain);
}

TEST(RenderLayer, CountersCountCopiesAndNeverGoNegative) {
    const CounterSnapshot before = CounterSnapshot::Take();
    {
        std::map<int32_t, CPRenderLayer> layers;
        CPRenderLayer layer;
        layer.Groups[1].Entries[1];
        layer.Groups[1].Entries[2];
        layer.Groups[2];
        layers.emplace(1, layer);   // a copy of the layer, its two groups and two entries
        layers[2] = layers.at(1);   // a default layer, then assignment (no new instances)
        CPRenderLayer third(layers.at(2));

        const CounterSnapshot during = CounterSnapshot::Take();
        EXPECT_EQ(during.layer.Live - before.layer.Live, 4);
        EXPECT_EQ(during.group.Live - before.group.Live, 8);
        EXPECT_EQ(during.entry.Live - before.entry.Live, 8);
        EXPECT_EQ(during.item.Live - before.item.Live, 20);
    }
    const CounterSnapshot after = CounterSnapshot::Take();
    for (const CPRenderQueueCounters* c : {&after.item, &after.entry, &after.group, &after.layer}) {
        ExpectConsistent(*c);
    }
    EXPECT_EQ(after.layer.Live, before.layer.Live);
    EXPECT_EQ(after.group.Live, before.group.Live);
    EXPECT_EQ(after.entry.Live, before.entry.Live);
    EXPECT_EQ(after.item.Live, before.item.Live);
    EXPECT_GT(after.layer.Destroyed, before.layer.Destroyed);
}

}  // namespace
