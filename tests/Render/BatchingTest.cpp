// Render batchers sorting nodes into material blocks and lights into the light table, the
// vertex-buffer ring writing objects once and refusing what it cannot write, and the scene
// quadtree culling a level's objects by frustum and view distance.
#include "BatchFixture.h"

#include "Render/CPIVertexBuffer.h"
#include "Render/CPQuadTreeNode.h"
#include "platform/d3d9/D3D9Buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <set>

using namespace RenderFixtures;

namespace {

class BatcherTest : public BatchTest {};

TEST_F(BatcherTest, OneBlockPerMaterialWithTheSumsOfTheCounts) {
    CPGameObject* root = Node("root", CPGameObject::RenderGroup);
    Mesh("a", stone, 4, 0.0f, root);
    Mesh("b", stone, 6, 2.0f, root);
    Mesh("c", glow, 3, 4.0f, root);
    CPGameObject* shared = Mesh("shared", stone, 5, 6.0f, root);
    MeshOf(shared)->SetExcluded(true);

    frameBatcher->AddTree(root);

    ASSERT_EQ(frameBatcher->FrameBlocks.size(), 2u);
    EXPECT_EQ(frameBatcher->FrameOrder, (std::vector<CPMaterial*>{stone, glow}));
    const CPIVBlock& stones = *frameBatcher->FrameBlocks[stone];
    EXPECT_EQ(stones.Objects.size(), 3u);  // the excluded mesh is listed ...
    EXPECT_EQ(stones.VertexTotal, 10u);    // ... but not counted
    EXPECT_EQ(stones.IndexTotal, 18u);
    EXPECT_EQ(stones.Ring.Get(), frameBatcher->VertexRing.Get());
    EXPECT_EQ(frameBatcher->FrameBlocks[glow]->VertexTotal, 3u);

    // Emptied for the next frame; the blocks themselves stay.
    frameBatcher->EndFrame();
    EXPECT_TRUE(frameBatcher->FrameBlocks.empty());
    EXPECT_TRUE(frameBatcher->FrameOrder.empty());
    EXPECT_EQ(frameBatcher->Blocks.size(), 2u);
    EXPECT_TRUE(frameBatcher->Blocks[stone]->Objects.empty());
    EXPECT_EQ(frameBatcher->Blocks[stone]->VertexTotal, 0u);
}

TEST_F(BatcherTest, VisibilityAndStaticOnlyDecideWhatIsVisited) {
    // root (not static) -> child (static) ; hidden -> under ; shown -> off (invisible) -> deep
    CPGameObject* root = Mesh("root", stone, 3);
    root->Static = false;
    CPGameObject* child = Mesh("child", glow, 3, 0.0f, root);
    child->Static = true;
    CPGameObject* hidden = Node("hidden", CPGameObject::RenderGroup);
    hidden->Visible = false;
    Mesh("under", stone, 3, 0.0f, hidden);
    CPGameObject* shown = Node("shown", CPGameObject::RenderGroup);
    CPGameObject* off = Mesh("off", stone, 3, 0.0f, shown);
    off->Visible = false;
    Mesh("deep", glow, 3, 0.0f, off);

    struct Case {
        const char* name;
        CPGameObject* tree;
        bool staticOnly;
        size_t objects;
    };
    const Case cases[] = {
        {"static child of a non-static parent", root, true, 0},
        {"the same tree without StaticOnly", root, false, 2},
        {"visible children of an invisible parent", hidden, false, 0},
        {"an invisible child's visible subtree", shown, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frameBatcher->StaticOnly = c.staticOnly;
        frameBatcher->AddTree(c.tree);
        size_t batched = 0;
        for (auto& [material, block] : frameBatcher->FrameBlocks) {
            batched += block->Objects.size();
        }
        EXPECT_EQ(batched, c.objects);
        frameBatcher->EndFrame();
    }
}

TEST_F(BatcherTest, RenderObjectsOfTheWrongClassOrNoneAreSkipped) {
    CPGameObject* sprite = Sprite("sprite", glow);
    CPGameObject* mesh = Mesh("mesh", stone, 3);
    CPGameObject* light = Light("light", D3DLIGHT_POINT);
    // Each node's kind names a class its render object is not.
    struct Case {
        CPGameObject* node;
        int32_t kind;
    };
    const Case cases[] = {
        {sprite, CPGameObject::RenderMesh},         {sprite, CPGameObject::RenderAnimatedMesh},
        {mesh, CPGameObject::RenderSprite},         {mesh, CPGameObject::RenderLight},
        {light, CPGameObject::RenderMesh},          {Node("empty", CPGameObject::RenderMesh), CPGameObject::RenderMesh},
        {Node("nolight", CPGameObject::RenderLight), CPGameObject::RenderLight},
    };
    for (const Case& c : cases) {
        c.node->RenderKind = c.kind;
        frameBatcher->AddObject(c.node);
    }
    EXPECT_TRUE(frameBatcher->FrameBlocks.empty());
    EXPECT_EQ(render->LightCount, 0);
}

TEST_F(BatcherTest, LightsGoToTheTableUntilItHoldsThirty) {
    CPGameObject* root = Node("root", CPGameObject::RenderGroup);
    CPGameObject* lamp = Light("lamp", D3DLIGHT_POINT, root);
    lamp->SetPosition(D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    root->UpdateTransform();
    frameBatcher->AddTree(root);
    ASSERT_EQ(render->LightCount, 1);
    EXPECT_EQ(render->Lights[0].Type, D3DLIGHT_POINT);
    EXPECT_FLOAT_EQ(render->Lights[0].Position.y, 2.0f);  // follows its node

    render->LightCount = CPRender::MaxLights;
    frameBatcher->AddObject(lamp);
    EXPECT_EQ(render->LightCount, CPRender::MaxLights);
}

TEST_F(BatcherTest, StaticTreesWriteVisibleStaticMeshesOfSubtreesAndDetailLevels) {
    CPGameObject* root = Mesh("root", stone, 4);
    CPGameObject* moving = Mesh("moving", stone, 5, 0.0f, root);
    moving->Static = false;
    CPGameObject* hidden = Mesh("hidden", stone, 6, 0.0f, root);
    hidden->Visible = false;
    CPGameObject* figure = Sprite("sprite", glow, root);
    CPGameObject* lod = Mesh("lod", stone, 7);
    root->AddLodLevel(root, 0);
    root->AddLodLevel(nullptr, 50);
    root->AddLodLevel(lod, 100);

    ASSERT_TRUE(levelBatcher->FillStatic({root}));
    CPIVertexBuffer& ring = *levelBatcher->VertexRing;
    std::set<std::string> written;
    for (auto& [object, base] : ring.Written) {
        written.insert(dynamic_cast<CPRenderObject*>(object)->Owner->Name);
    }
    EXPECT_EQ(written, (std::set<std::string>{"root", "lod"}));
    EXPECT_EQ(ring.WriteVertex, 11u);
    (void)figure;
}

// --- the ring ---

class RingTest : public BatchTest {
protected:
    D3D9VertexBuffer* Vertices(CPIVertexBuffer& ring, int slot) {
        return D3D9VertexBuffer::From(ring.VertexBuffers[static_cast<size_t>(slot)]);
    }
    D3D9IndexBuffer* Indices(CPIVertexBuffer& ring, int slot) {
        return D3D9IndexBuffer::From(ring.IndexBuffers[static_cast<size_t>(slot)]);
    }
    size_t Refusals() const {
        return static_cast<size_t>(std::count_if(reports.begin(), reports.end(), [](const CPLogReport& r) {
            return r.Text.find("CPIVertexBuffer::Add refused") != std::string::npos;
        }));
    }
};

TEST_F(RingTest, LocksCycleThroughTheSlots) {
    CPIVertexBuffer ring(3, 16, 48);
    EXPECT_EQ(ring.SlotCount, 3);
    ring.Unlock(true);  // unlocked: nothing, Current stays
    EXPECT_EQ(ring.Current, 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ring.Lock(0, 0, true, -1));
        EXPECT_FALSE(ring.Lock(0, 0, true, -1));  // locked: refused, nothing changes
        EXPECT_EQ(ring.Current, i);
        ring.Unlock(true);
    }
    EXPECT_EQ(ring.Current, 0);
    ASSERT_TRUE(ring.Lock(0, 0, true, 2));
    EXPECT_EQ(ring.Current, 2);
    EXPECT_TRUE(Vertices(ring, 2)->IsLocked());
    EXPECT_EQ(Vertices(ring, 2)->Locks().back().flags, D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK);
    ring.Unlock(true);
    EXPECT_FALSE(Vertices(ring, 2)->IsLocked());
    EXPECT_FALSE(Indices(ring, 2)->IsLocked());
    EXPECT_EQ(ring.Current, 0);
    ring.Append = true;
    ASSERT_TRUE(ring.Lock(4, 6, true, -1));
    EXPECT_EQ(Vertices(ring, 0)->Locks().back().flags, D3DLOCK_NOSYSLOCK);
    EXPECT_EQ(Vertices(ring, 0)->Locks().back().size, 4 * sizeof(CPVertex));
    EXPECT_EQ(ring.VerticesLeft(), 4u);
    ring.Unlock(true);
}

TEST_F(RingTest, WritesEachObjectOnceWithItsBaseVertex) {
    CPGameObject* ten = Mesh("ten", stone, 10);
    CPGameObject* twenty = Mesh("twenty", stone, 20);
    CPGameObject* none = Mesh("none", stone, 0);
    CPGameObject* loose = Mesh("loose", stone, 3);
    MeshOf(loose)->Indices.clear();
    CPIVertexBuffer ring(1, 64, 128);
    ASSERT_TRUE(ring.Lock(0, 0, true, -1));
    EXPECT_TRUE(ring.Add(MeshOf(ten)));
    EXPECT_FALSE(ring.Add(MeshOf(ten)));  // written before
    EXPECT_TRUE(ring.Add(MeshOf(twenty)));
    EXPECT_FALSE(ring.Add(MeshOf(none)));
    EXPECT_TRUE(ring.Add(MeshOf(loose)));  // vertices without indices
    EXPECT_EQ(ring.Written.at(MeshOf(ten)), 0u);
    EXPECT_EQ(ring.Written.at(MeshOf(twenty)), 10u);
    EXPECT_FALSE(ring.Written.contains(MeshOf(none)));
    EXPECT_EQ(ring.WriteVertex, 33u);
    EXPECT_EQ(ring.IndicesWritten, 24u + 54u);
    ring.Unlock(true);
    // The second object's first triangle in the buffer: its indices plus 10.
    const D3D9IndexBuffer* indices = Indices(ring, 0);
    EXPECT_EQ(indices->Index(24), 10u);
    EXPECT_EQ(indices->Index(25), 11u);
    EXPECT_EQ(indices->Index(26), 12u);
    EXPECT_EQ(Refusals(), 0u);
}

TEST_F(RingTest, RefusesWhatItCannotWriteAndSaysSo) {
    CPGameObject* small = Mesh("small", stone, 4);
    CPGameObject* big = Mesh("big", stone, 40);
    CPGameObject* shared = Mesh("shared", stone, 4);
    MeshOf(shared)->SetExcluded(true);
    CPIVertexBuffer ring(1, 32, 256);

    struct Case {
        const char* name;
        CPGameObject* node;
        bool lock;
    };
    const Case cases[] = {
        {"unlocked", small, false},
        {"past the locked vertices", big, true},
        {"excluded", shared, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = Refusals();
        if (c.lock) {
            ASSERT_TRUE(ring.Lock(0, 0, true, -1));
        }
        EXPECT_FALSE(ring.Add(MeshOf(c.node)));
        EXPECT_EQ(ring.VerticesWritten, 0u);
        EXPECT_EQ(ring.WriteVertex, 0u);
        EXPECT_FALSE(ring.Written.contains(MeshOf(c.node)));
        EXPECT_EQ(Refusals(), before + 1);
        ring.Unlock(true);
    }
    // Past the locked indices: room for 12 indices is not room for the 18 of 8 vertices.
    CPGameObject* eight = Mesh("eight", stone, 8);
    ASSERT_TRUE(ring.Lock(16, 12, true, -1));
    EXPECT_FALSE(ring.Add(MeshOf(eight)));
    EXPECT_TRUE(ring.Add(MeshOf(small)));
    ring.Unlock(true);
}

TEST_F(RingTest, SixteenBitIndicesReachNoFurtherThan65536VerticesFromTheLock) {
    CPGameObject* half = Mesh("half", stone, 32768);
    CPGameObject* other = Mesh("other", stone, 32768);
    CPGameObject* one = Mesh("one", stone, 3);
    CPIVertexBuffer ring(2, 70000, 3 * 70000);
    ASSERT_TRUE(ring.Lock(0, 0, true, -1));
    EXPECT_TRUE(ring.Add(MeshOf(half)));
    EXPECT_TRUE(ring.Add(MeshOf(other)));
    EXPECT_FALSE(ring.Add(MeshOf(one)));  // would be vertex 65536
    ring.Unlock(true);
    // The next lock starts again from 0: the object's indices count from its buffer's start.
    ASSERT_TRUE(ring.Lock(0, 0, true, -1));
    EXPECT_TRUE(ring.Add(MeshOf(one)));
    ring.Unlock(true);
    EXPECT_EQ(Indices(ring, 1)->Index(0), 0u);
    CPIVertexBuffer::Placement place;
    ASSERT_TRUE(ring.Find(MeshOf(one), place));
    EXPECT_EQ(place.Slot, 1);
    EXPECT_EQ(place.Vertex, 0u);
    EXPECT_EQ(ring.Written.at(MeshOf(one)), 65536u);
}

TEST_F(RingTest, AnObjectIsFoundWhereEachRingPutItAfterOtherRingsAndForgets) {
    CPGameObject* first = Mesh("first", stone, 5);
    CPGameObject* mesh = Mesh("mesh", stone, 3);
    CPIVertexBuffer a(1, 64, 192);
    CPIVertexBuffer b(1, 64, 192);
    auto write = [this](CPIVertexBuffer& ring, std::initializer_list<CPGameObject*> nodes) {
        ASSERT_TRUE(ring.Lock(0, 0, true, -1));
        for (CPGameObject* node : nodes) {
            EXPECT_TRUE(ring.Add(MeshOf(node)));
        }
        ring.Unlock(true);
    };
    auto vertexIn = [&](const CPIVertexBuffer& ring) {
        CPIVertexBuffer::Placement place;
        return ring.Find(MeshOf(mesh), place) ? static_cast<int>(place.Vertex) : -1;
    };
    write(a, {first, mesh});
    write(b, {mesh});  // the later ring's place does not hide the earlier one's
    EXPECT_EQ(vertexIn(a), 5);
    EXPECT_EQ(vertexIn(b), 0);
    a.Forget();
    EXPECT_EQ(vertexIn(a), -1);
    EXPECT_EQ(vertexIn(b), 0);
    write(a, {mesh});  // written again after the forget, at another place
    EXPECT_EQ(vertexIn(a), 0);
    b.Forget();
    EXPECT_EQ(vertexIn(b), -1);
    EXPECT_EQ(vertexIn(a), 0);
    a.Forget();  // the ring that wrote it last forgets it too
    EXPECT_EQ(vertexIn(a), -1);
}

TEST_F(RingTest, AFailedLockUnlocksOnlyWhatItLocked) {
    CPIVertexBuffer ring(1, 16, 48);
    D3D9Faults::Fail(D3D9Fault::LockVertexBuffer, E_FAIL);
    EXPECT_FALSE(ring.Lock(0, 0, true, -1));
    EXPECT_FALSE(ring.Locked);
    EXPECT_FALSE(Indices(ring, 0)->IsLocked());  // never locked after the vertex failure
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().File, "Render/PIVertexBuffer");
    EXPECT_EQ(reports.back().Line, 167);

    D3D9Faults::Fail(D3D9Fault::LockIndexBuffer, E_FAIL);
    EXPECT_FALSE(ring.Lock(0, 0, true, -1));
    EXPECT_FALSE(Vertices(ring, 0)->IsLocked());
    EXPECT_EQ(reports.back().Line, 190);
    EXPECT_TRUE(ring.Lock(0, 0, true, -1));  // the ring works again
    ring.Unlock(true);
}

TEST_F(RingTest, ARingWithoutBuffersRefusesEveryLock) {
    D3D9Faults::Fail(D3D9Fault::CreateIndexBuffer, E_OUTOFMEMORY, 1);
    CPIVertexBuffer ring(3, 16, 48);
    EXPECT_FALSE(ring.HasBuffers());
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_FALSE(ring.Lock(0, 0, true, slot));
    }
}

TEST_F(RingTest, ALostDeviceEmptiesTheRingAndTheBatcherWritesItsTreesAgain) {
    CPGameObject* root = Mesh("root", stone, 4);
    Mesh("child", glow, 6, 0.0f, root);
    ASSERT_TRUE(levelBatcher->FillStatic({root}));
    CPIVertexBuffer& ring = *levelBatcher->VertexRing;
    EXPECT_EQ(ring.Written.size(), 2u);

    CPDeviceObject::LoseAll();
    EXPECT_TRUE(ring.Written.empty());
    EXPECT_EQ(ring.WriteVertex, 0u);
    EXPECT_FALSE(ring.HasBuffers());
    CPDeviceObject::ResetAll();
    EXPECT_TRUE(ring.HasBuffers());
    EXPECT_TRUE(ring.Refill);

    levelBatcher->RefillIfLost();
    EXPECT_FALSE(ring.Refill);
    EXPECT_EQ(ring.Written.size(), 2u);
    EXPECT_EQ(ring.WriteVertex, 10u);
    CPIVertexBuffer::Placement place;
    ASSERT_TRUE(ring.Find(MeshOf(root->Children[0].Get()), place));
    EXPECT_EQ(place.Vertex, 4u);
    // The vertices are in the new buffer.
    const auto& bytes = Vertices(ring, 0)->Bytes();
    CPVertex written;
    std::memcpy(&written, bytes.data() + 4 * sizeof(CPVertex), sizeof(CPVertex));
    EXPECT_EQ(written.Diffuse, 0xFFFFFFFFu);

    // A new level: nothing is remembered.
    levelBatcher->ForgetStatic();
    EXPECT_TRUE(ring.Written.empty());
    CPDeviceObject::LoseAll();
    CPDeviceObject::ResetAll();
    levelBatcher->RefillIfLost();
    EXPECT_TRUE(ring.Written.empty());
}

TEST_F(RingTest, ALevelFillThatCannotLockIsWrittenByTheNextRefill) {
    CPGameObject* root = Mesh("root", stone, 4);
    D3D9Faults::Fail(D3D9Fault::LockVertexBuffer, D3DERR_INVALIDCALL, 0, 2);
    CPIVertexBuffer& ring = *levelBatcher->VertexRing;
    EXPECT_FALSE(levelBatcher->FillStatic({root}));
    EXPECT_TRUE(ring.Refill);
    levelBatcher->RefillIfLost();  // still refused: tried again later
    EXPECT_TRUE(ring.Refill);
    EXPECT_TRUE(ring.Written.empty());
    levelBatcher->RefillIfLost();
    EXPECT_FALSE(ring.Refill);
    EXPECT_EQ(ring.Written.size(), 1u);
}

// --- the quadtree ---

class QuadTreeTest : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        Aim(camera, D3DXVECTOR3(0.0f, -150.0f, 20.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }
    // A mesh node whose bounds are a box of half size 1 around (x, y, z).
    CPGameObject* Placed(const std::string& name, float x, float y, float z = 0.0f) {
        CPGameObject* node = Mesh(name, stone, 3);
        node->SetBounds(CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f)));
        node->SetPosition(D3DXVECTOR3(x, y, z));
        node->UpdateTransform();
        return node;
    }
    std::unique_ptr<CPQuadTreeNode> Build(std::vector<CPGameObject*> list, float half = 100.0f) {
        auto root = std::make_unique<CPQuadTreeNode>();
        root->SetBounds(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(half, half, 100.0f));
        std::vector<CPtr<CPGameObject>> objects(list.begin(), list.end());
        root->Build(objects, 0);
        return root;
    }
    std::set<std::string> Submitted() {
        std::set<std::string> names;
        for (auto& [material, block] : frameBatcher->FrameBlocks) {
            for (auto& object : block->Objects) {
                names.insert(dynamic_cast<CPRenderObject*>(object.Get())->Owner->Name);
            }
        }
        frameBatcher->EndFrame();
        return names;
    }
    static int Leaves(const CPQuadTreeNode& node) {
        int leaves = 0;
        bool inner = false;
        for (const auto& child : node.Children) {
            if (child) {
                inner = true;
                leaves += Leaves(*child);
            }
        }
        return inner ? leaves : 1;
    }

    CPPerspectiveCamera camera;
};

TEST_F(QuadTreeTest, SplitsToTheConfiguredDepthAtMostEight) {
    const std::pair<int, int> cases[] = {{-1, 1}, {1, 4}, {2, 16}, {20, 65536}};
    for (auto [levels, leaves] : cases) {
        Cfg::quadlevels = levels;
        auto root = Build({});
        EXPECT_EQ(Leaves(*root), leaves) << "quadlevels " << levels;
    }
}

TEST_F(QuadTreeTest, ObjectsOnDividingLinesOrOutsideTheRootAreDrawn) {
    Cfg::quadlevels = 2;
    Cfg::distance = 1000;
    Aim(camera, D3DXVECTOR3(0.0f, -300.0f, 50.0f), D3DXVECTOR3(0.0f, 0.0f, 50.0f));
    auto root = Build({Placed("inside", 30.0f, 30.0f), Placed("on x line", 0.0f, 20.0f),
                       Placed("on both", 0.0f, 0.0f), Placed("high", -30.0f, 10.0f, 101.0f),
                       Placed("beyond", 130.0f, 10.0f)});
    const int before = render->DrawCounter;
    root->Visit(&camera);
    EXPECT_EQ(Submitted(), (std::set<std::string>{"inside", "on x line", "on both", "high", "beyond"}));
    EXPECT_EQ(render->DrawCounter - before, 5);
    // The leaf holding the object outside grew to hold it.
    EXPECT_GE(root->Box->Max.x, 131.0f);
}

TEST_F(QuadTreeTest, CullsBehindTheCameraAndBeyondTheViewDistance) {
    Cfg::quadlevels = 2;
    Cfg::distance = 200;
    // The camera at y = -150 looks along +y.
    auto root = Build({Placed("ahead", 10.0f, 10.0f), Placed("behind", -60.0f, -190.0f),
                       Placed("far", 150.0f, 150.0f, 0.0f)},
                      200.0f);
    root->Visit(&camera);
    EXPECT_EQ(Submitted(), (std::set<std::string>{"ahead"}));  // far: 150² + 300² + 20² > 200²
}

TEST_F(QuadTreeTest, ALeafAtExactlyTheViewDistanceSubmitsNothing) {
    Cfg::quadlevels = 0;  // the root is the leaf
    Aim(camera, D3DXVECTOR3(0.0f, -10.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    CPGameObject* object = Placed("object", 0.0f, 0.0f);
    CPQuadTreeNode leaf;
    leaf.SetBounds(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    leaf.AddObject(object);
    const std::pair<int, bool> cases[] = {{10, false}, {11, true}};
    for (auto [distance, drawn] : cases) {
        Cfg::distance = distance;
        leaf.Visit(&camera);
        EXPECT_EQ(Submitted().size(), drawn ? 1u : 0u) << "distance " << distance;
    }
    // SingleObjects alone submit nothing; a leaf without objects neither.
    CPQuadTreeNode single;
    single.SetBounds(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    single.SingleObjects.push_back(object);
    single.Visit(&camera);
    EXPECT_TRUE(Submitted().empty());
}

TEST_F(QuadTreeTest, TheDrawCounterWrapsInsteadOfOverflowing) {
    // A running count over hours of frames passes the int range: it wraps.
    Cfg::quadlevels = 1;
    Cfg::distance = 1000;
    Aim(camera, D3DXVECTOR3(0.0f, -300.0f, 50.0f), D3DXVECTOR3(0.0f, 0.0f, 50.0f));
    auto root = Build({Placed("a", 30.0f, 30.0f), Placed("b", 31.0f, 31.0f), Placed("c", 32.0f, 32.0f)});
    render->DrawCounter = INT32_MAX - 1;
    root->Visit(&camera);
    EXPECT_EQ(render->DrawCounter, INT32_MIN + 1);
    EXPECT_EQ(Submitted().size(), 3u);
}

TEST_F(QuadTreeTest, WithoutABatcherTheWalkSubmitsNothing) {
    Cfg::quadlevels = 1;
    auto root = Build({Placed("inside", 30.0f, 30.0f)});
    render->StaticBatcher = nullptr;
    const int before = render->DrawCounter;
    root->Visit(&camera);
    EXPECT_EQ(render->DrawCounter, before);
    render->StaticBatcher = frameBatcher.get();
    root->Visit(&camera);
    EXPECT_EQ(Submitted().size(), 1u);
}

}  // namespace
