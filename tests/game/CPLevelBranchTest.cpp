// The level's spatial tree: its split rule on small scenes, its ray picks and sphere queries
// against a brute-force scan of random scenes, its bounded depth, and culling with detail levels.
#include "game/CPLevelBranch.h"

#include "core/ConfigVars.h"
#include "scene/CPPickInfo.h"
#include "tests/Render/BatchFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <list>
#include <memory>
#include <random>
#include <set>

namespace {

using RenderFixtures::BatchTest;

// Nodes with a visual box and a collision box, deleted by the test.
class Scene {
public:
    // A node at position with a visual box of half size `visual` and, unless collision is 0, a
    // collision box of that half size placed `offset` from the node.
    CPGameObject* Add(const D3DXVECTOR3& position, float visual, float collision,
                      const D3DXVECTOR3& offset = D3DXVECTOR3(0, 0, 0)) {
        nodes.push_back(std::make_unique<CPGameObject>("n" + std::to_string(nodes.size())));
        CPGameObject* node = nodes.back().get();
        node->SetBounds(CPBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(visual, visual, visual)));
        if (collision > 0.0f) {
            CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(collision, collision, collision));
            D3DXMatrixTranslation(&box.Local, offset.x, offset.y, offset.z);
            node->CollisionBoxes.push_back(box);
        }
        node->SetPosition(position);
        node->UpdateTransform();
        return node;
    }
    std::vector<CPtr<CPGameObject>> All() const {
        std::vector<CPtr<CPGameObject>> all;
        for (const auto& node : nodes) all.emplace_back(node.get());
        return all;
    }
    std::vector<std::unique_ptr<CPGameObject>> nodes;
};

// Depth of the deepest leaf, and the objects of all leaves (each once).
int Depth(const CPLevelBranch& branch) {
    return branch.IsLeaf() ? 0 : 1 + std::max(Depth(*branch.Left), Depth(*branch.Right));
}
void LeafObjects(const CPLevelBranch& branch, std::vector<CPGameObject*>& out) {
    if (branch.IsLeaf()) {
        for (const auto& object : branch.Objects) out.push_back(object.Get());
        return;
    }
    LeafObjects(*branch.Left, out);
    LeafObjects(*branch.Right, out);
}

TEST(CPLevelBranch, SplitsAtTheMidpointOfTheCentres) {
    Scene scene;
    CPLevelBranch one;
    one.Build({scene.Add({3, 4, 5}, 1, 1)});
    one.Split();
    EXPECT_TRUE(one.IsLeaf());
    EXPECT_EQ(one.Objects.size(), 1u);

    CPGameObject* a = scene.Add({0, 0, 0}, 1, 1);
    CPGameObject* b = scene.Add({10, 0, 0}, 1, 1);
    CPLevelBranch two;
    two.Build({a, nullptr, b});  // null objects are left out
    EXPECT_EQ(two.Objects.size(), 2u);
    EXPECT_FLOAT_EQ(two.Bounds.Min.x, -1.0f);
    EXPECT_FLOAT_EQ(two.Bounds.Max.x, 11.0f);
    two.Split();
    ASSERT_FALSE(two.IsLeaf());
    // The cut at x = 5: Left takes the centre above it.
    ASSERT_EQ(two.Left->Objects.size(), 1u);
    EXPECT_EQ(two.Left->Objects[0].Get(), b);
    EXPECT_EQ(two.Right->Objects[0].Get(), a);
    EXPECT_TRUE(two.Left->IsLeaf() && two.Right->IsLeaf());

    // As few materials either way (none here): the axis the centres spread farther along.
    CPLevelBranch tall;
    tall.Build({scene.Add({0, 0, 0}, 1, 1), scene.Add({4, 0, 0}, 1, 1), scene.Add({0, 100, 0}, 1, 1),
                scene.Add({4, 100, 0}, 1, 1)});
    tall.Split();
    ASSERT_FALSE(tall.IsLeaf());
    ASSERT_EQ(tall.Left->Objects.size(), 2u);
    EXPECT_FLOAT_EQ(tall.Left->Objects[0]->GetPosition().y, 100.0f);
    EXPECT_FLOAT_EQ(tall.Left->Objects[1]->GetPosition().y, 100.0f);

    // Equal centres cannot be separated.
    CPLevelBranch same;
    same.Build({scene.Add({1, 1, 1}, 1, 1), scene.Add({1, 1, 1}, 2, 2)});
    same.Split();
    EXPECT_TRUE(same.IsLeaf());

    // Static and dynamic objects are listed apart.
    b->SetStatic(false);
    CPLevelBranch sorted;
    sorted.Build({a, b});
    EXPECT_EQ(sorted.StaticObjects.size(), 1u);
    ASSERT_EQ(sorted.DynamicObjects.size(), 1u);
    EXPECT_EQ(sorted.DynamicObjects[0].Get(), b);
    b->Active = true;
    a->Active = true;
    sorted.DeactivateDynamic();
    EXPECT_FALSE(b->Active);
    EXPECT_TRUE(a->Active);
    a->Active = false;
}

TEST(CPLevelBranch, DepthIsBounded) {
    // Centres at 2^k along x: every cut separates the farthest object from the rest.
    Scene scene;
    float x = 1.0f;
    for (int k = 0; k < 120; ++k, x *= 2.0f) scene.Add({x, 0, 0}, 0.5f, 0.5f);
    CPLevelBranch root;
    root.Build(scene.All());
    root.Split();
    EXPECT_EQ(Depth(root), CPLevelBranch::MaxDepth);
    std::vector<CPGameObject*> leaves;
    LeafObjects(root, leaves);
    EXPECT_EQ(leaves.size(), scene.nodes.size());
    for (const auto& node : scene.nodes) {
        std::list<CPtr<CPGameObject>> found;
        root.CollectInSphere(node->GetPosition(), 0.25f, found);
        ASSERT_EQ(found.size(), 1u) << node->Name;
        EXPECT_EQ(found.front().Get(), node.get());
    }
}

// The same object, or one hit at exactly the same distance (a ray starting inside two boxes
// meets both at 0, and then the order of the tests decides).
bool SameHit(const CPPickInfo& a, const CPPickInfo& b) {
    if (a.Object == b.Object) return true;
    if (!a.Object || !b.Object) return false;
    CPPickInfo alone = a;
    alone.Distance = a.Distance + 1.0f;
    alone.Object = nullptr;
    return a.Object->RayPick(alone) && alone.Distance == b.Distance;
}

// Random scenes: the tree answers ray picks and sphere queries exactly as a scan of every
// object does, also for collision boxes that reach outside their object's visual box.
TEST(CPLevelBranch, QueriesMatchABruteForceScan) {
    std::mt19937 random(29);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto in = [&](float lo, float hi) { return lo + (hi - lo) * unit(random); };
    for (int round = 0; round < 4; ++round) {
        Scene scene;
        const int count = 100 + 150 * round;
        for (int i = 0; i < count; ++i) {
            const D3DXVECTOR3 p(in(-500, 500), in(-500, 500), in(0, 20));
            const float visual = in(0.5f, 10);
            const bool outside = i % 7 == 0;
            const D3DXVECTOR3 offset = outside ? D3DXVECTOR3(in(-30, 30), in(-30, 30), 0) : D3DXVECTOR3(0, 0, 0);
            CPGameObject* node = scene.Add(p, visual, i % 11 == 0 ? 0.0f : visual * in(0.2f, 1.0f), offset);
            if (i % 5 == 0) node->SetStatic(false);
            if (i % 13 == 0) node->Collision = false;
        }
        CPLevelBranch root;
        root.Build(scene.All());
        root.Split();
        ASSERT_FALSE(root.IsLeaf());
        EXPECT_LE(Depth(root), CPLevelBranch::MaxDepth);
        std::vector<CPGameObject*> leaves;
        LeafObjects(root, leaves);
        EXPECT_EQ(std::set<CPGameObject*>(leaves.begin(), leaves.end()).size(), static_cast<size_t>(count));

        // The root walks its query layout; any other branch walks the branches themselves.
        std::vector<CPGameObject*> leftObjects;
        for (const auto& object : root.Left->Objects) leftObjects.push_back(object.Get());
        int hits = 0;
        for (int r = 0; r < 300; ++r) {
            D3DXVECTOR3 direction(in(-1, 1), in(-1, 1), in(-0.05f, 0.05f));
            D3DXVec3Normalize(&direction, &direction);
            CPPickInfo tree;
            tree.Origin = D3DXVECTOR3(in(-520, 520), in(-520, 520), in(0, 20));
            tree.Direction = direction;
            tree.Distance = in(50, 600);
            CPPickInfo brute = tree;
            const bool treeHit = root.RayPick(tree);
            bool bruteHit = false;
            for (const auto& node : scene.nodes) bruteHit = node->RayPick(brute) || bruteHit;
            ASSERT_EQ(treeHit, bruteHit) << "ray " << r;
            EXPECT_EQ(tree.Distance, brute.Distance) << "ray " << r;
            EXPECT_TRUE(SameHit(tree, brute)) << "ray " << r;
            hits += treeHit;

            CPPickInfo branch = tree;
            branch.Distance = brute.Distance = in(50, 600);
            branch.Object = brute.Object = nullptr;
            CPPickInfo leftBrute = branch;
            const bool branchHit = root.Left->RayPick(branch);
            bool leftHit = false;
            for (CPGameObject* node : leftObjects) leftHit = node->RayPick(leftBrute) || leftHit;
            ASSERT_EQ(branchHit, leftHit) << "ray " << r << " on the left branch";
            EXPECT_EQ(branch.Distance, leftBrute.Distance) << "ray " << r;
            EXPECT_TRUE(SameHit(branch, leftBrute)) << "ray " << r;
        }
        EXPECT_GT(hits, 5);

        size_t touched = 0;
        for (int q = 0; q < 300; ++q) {
            const D3DXVECTOR3 centre(in(-520, 520), in(-520, 520), in(-10, 30));
            const float radius = in(1, 80);
            std::list<CPtr<CPGameObject>> found;
            root.CollectInSphere(centre, radius, found);
            std::vector<CPGameObject*> tree;
            for (const auto& object : found) tree.push_back(object.Get());
            std::vector<CPGameObject*> brute;
            for (const auto& node : scene.nodes) {
                if (node->CollisionBounds.IntersectSphere(centre, radius)) brute.push_back(node.get());
            }
            std::sort(tree.begin(), tree.end());
            std::sort(brute.begin(), brute.end());
            ASSERT_EQ(tree, brute) << "sphere " << q;
            touched += tree.size();

            // Both walks list the same objects in the same order.
            std::list<CPtr<CPGameObject>> byLayout;
            std::list<CPtr<CPGameObject>> byBranches;
            root.CollectInSphere(centre, radius * 4.0f, byLayout);
            root.Left->CollectInSphere(centre, radius * 4.0f, byBranches);
            root.Right->CollectInSphere(centre, radius * 4.0f, byBranches);
            ASSERT_TRUE(std::equal(byLayout.begin(), byLayout.end(), byBranches.begin(), byBranches.end()))
                << "sphere " << q;
        }
        EXPECT_GT(touched, 50u);
    }
}

TEST(CPLevelBranch, ARayThatMissesTheRootTestsNoObject) {
    Scene scene;
    CPGameObject* node = scene.Add({0, 0, 0}, 1, 1);
    CPLevelBranch root;
    root.Build({node});
    CPPickInfo pick;
    pick.Origin = D3DXVECTOR3(0, 5, 0);
    pick.Direction = D3DXVECTOR3(1, 0, 0);
    pick.Distance = 100.0f;
    EXPECT_FALSE(root.RayPick(pick));
    EXPECT_EQ(pick.Distance, 100.0f);
    pick.Origin = D3DXVECTOR3(-5, 0, 0);
    EXPECT_TRUE(root.RayPick(pick));
    EXPECT_FLOAT_EQ(pick.Distance, 4.0f);
    EXPECT_EQ(pick.Object.Get(), node);
}

TEST(CPLevelBranch, DetailLevelsByDistance) {
    Cfg::ResetDefaults();
    ASSERT_EQ(Cfg::distance, 200);
    CPGameObject object("tree");
    CPGameObject near("near");
    CPGameObject far("far");
    object.LodLevels = {{&object, 0}, {&near, 50}, {&far, 120}};
    struct Case {
        float distance;
        CPGameObject* drawn;
    };
    const Case cases[] = {{0, &object}, {30, &object}, {50, &object}, {80, &near}, {120, &near},
                          {150, &far},  {200, &far},   {250, nullptr}};
    for (const Case& c : cases) {
        EXPECT_EQ(CPLevelBranch::DetailToDraw(object, c.distance * c.distance), c.drawn) << c.distance;
    }
    object.LodLevels.clear();
}

class CPLevelBranchDraw : public BatchTest {};

TEST_F(CPLevelBranchDraw, TheCutWithFewerMaterialsWins) {
    // Stone on the left (x < 0), glow on the right; the y cut would mix them.
    CPLevelBranch clean;
    clean.Build({Placed("a", stone, {-10, -10, 0}), Placed("b", stone, {-10, 10, 0}), Placed("c", glow, {10, -10, 0}),
                 Placed("d", glow, {10, 10, 0})});
    EXPECT_EQ(clean.Materials.size(), 2u);
    clean.Split();
    ASSERT_FALSE(clean.IsLeaf());
    EXPECT_EQ(clean.Left->Materials.size() + clean.Right->Materials.size(), 2u);
    EXPECT_EQ(clean.Left->Objects[0]->Name, "c");

    // Stone below (y < 0): the y cut wins over the mixed x cut.
    CPLevelBranch byY;
    byY.Build({Placed("e", stone, {-10, -10, 0}), Placed("f", glow, {-10, 10, 0}), Placed("g", stone, {10, -10, 0}),
               Placed("h", glow, {10, 10, 0})});
    byY.Split();
    ASSERT_FALSE(byY.IsLeaf());
    EXPECT_EQ(byY.Left->Objects.size(), 2u);
    EXPECT_EQ(byY.Left->Objects[0]->Name, "f");
    EXPECT_EQ(byY.Left->Objects[1]->Name, "h");

    // One material everywhere: equal sums keep the x cut.
    CPLevelBranch tie;
    tie.Build({Placed("i", stone, {-10, -10, 0}), Placed("j", stone, {10, 10, 0})});
    tie.Split();
    ASSERT_FALSE(tie.IsLeaf());
    EXPECT_EQ(tie.Left->Objects[0]->Name, "j");
    EXPECT_FLOAT_EQ(tie.Left->Bounds.Min.x, 9.0f);

    // Shadow materials of shadow casters count too; dynamic nodes' materials do not.
    CPGameObject* shadowed = Placed("k", stone, {0, 0, 0});
    shadowed->CastShadow = true;
    shadowed->SetShadowMaterial(glow);
    CPGameObject* moving = Placed("l", glow, {5, 0, 0});
    moving->SetStatic(false);
    CPLevelBranch counted;
    counted.Build({shadowed});
    EXPECT_EQ(counted.Materials.size(), 2u);
    counted.Build({moving});
    EXPECT_EQ(counted.Materials.size(), 0u);
}

TEST_F(CPLevelBranchDraw, CullDrawsTheVisibleLeavesWithTheirDetailLevels) {
    CPGameObject* ahead = Placed("ahead", stone, {0, 50, 0});
    CPGameObject* behind = Placed("behind", stone, {0, -50, 0});
    CPGameObject* moving = Placed("moving", glow, {5, 60, 0});
    moving->SetStatic(false);
    // A static object with two detail levels, 80 units from the eye: its 50-entry is drawn.
    CPGameObject* detailed = Placed("detailed", stone, {-5, 80, 0});
    CPGameObject* mid = Placed("mid", glow, {-5, 80, 0});
    CPGameObject* low = Placed("low", glow, {-5, 80, 0});
    detailed->LodLevels = {{detailed, 0}, {mid, 50}, {low, 120}};

    CPLevelBranch root;
    root.Build({ahead, behind, moving, detailed});
    root.Split();
    CPPerspectiveCamera camera;
    Aim(camera, {0, 0, 0}, {0, 1, 0});
    MainView = &camera;
    render->DrawCounter = 0;
    root.Cull(&camera);

    EXPECT_EQ(Drawn(stone, ahead), 1u);
    EXPECT_EQ(Drawn(stone, behind), 0u);
    EXPECT_EQ(Drawn(glow, moving), 1u);
    EXPECT_EQ(Drawn(stone, detailed), 0u);
    EXPECT_EQ(Drawn(glow, mid), 1u);
    EXPECT_EQ(Drawn(glow, low), 0u);
    EXPECT_EQ(render->DrawCounter, 3);  // the objects of the visible leaves
    detailed->LodLevels.clear();

    // Looking away, nothing is drawn.
    frameBatcher->EndFrame();
    Aim(camera, {0, 0, 0}, {1, 0, 0});
    root.Cull(&camera);
    EXPECT_EQ(Drawn(stone, ahead) + Drawn(glow, moving), 0u);
}

TEST_F(CPLevelBranchDraw, StaticMeshesAreWrittenOnceWhenConfigured) {
    Cfg::staticGeometry = 1;
    std::vector<CPtr<CPGameObject>> objects;
    for (int i = 0; i < 8; ++i) objects.emplace_back(Placed("s" + std::to_string(i), stone, {i * 10.0f, 0, 0}));
    ASSERT_TRUE(levelBatcher->VertexRing->Lock(0, 0, true, -1));
    CPLevelBranch root;
    root.Build(objects);
    root.Split();
    EXPECT_EQ(levelBatcher->VertexRing->VerticesWritten, 24u);  // three a mesh, once each
    EXPECT_EQ(levelBatcher->VertexRing->Written.size(), 8u);
    levelBatcher->VertexRing->Unlock(true);
    EXPECT_GT(Depth(root), 1);
}

}  // namespace
