// The scene-graph node: defaults, the transform update over a tree with its bounds, name
// lookups, destruction, level-of-detail mirroring, flag setters and the part-animation hook.
#include "core/CPBoundingBox.h"
#include "core/CPLog.h"
#include "core/CPScriptTask.h"
#include "core/Singletons.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr float kQuarterTurn = 1.5707964f;

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXQUATERNION TurnAboutZ(float angle) {
    D3DXQUATERNION q;
    const D3DXVECTOR3 axis(0, 0, 1);
    D3DXQuaternionRotationAxis(&q, &axis, angle);
    return q;
}

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float tol = 1e-5f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = 1e-5f) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << r << "," << c;
    }
}

D3DXVECTOR3 Origin(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

CPBox MakeBox(float cx, float cy, float cz, float hx, float hy, float hz) {
    return CPBox(D3DXVECTOR3(cx, cy, cz), D3DXVECTOR3(hx, hy, hz));
}

// Nodes are deleted explicitly, as everywhere in the engine; tests own theirs through this.
struct Nodes {
    std::vector<std::unique_ptr<CPGameObject>> owned;

    CPGameObject* Make(const std::string& name, CPGameObject* parent = nullptr) {
        owned.push_back(std::make_unique<CPGameObject>(name));
        CPGameObject* node = owned.back().get();
        if (parent != nullptr) parent->AddChild(node);
        return node;
    }
    // Deletes one node before the others (children first is not required).
    void Delete(CPGameObject* node) {
        for (auto& p : owned) {
            if (p.get() == node) p.reset();
        }
    }
    ~Nodes() {
        // Leaves first, so no node is destroyed while a deleted one is still referenced.
        for (auto it = owned.rbegin(); it != owned.rend(); ++it) it->reset();
    }
};

class ShadowMatrixGuard {
public:
    ShadowMatrixGuard() : saved(ShadowMatrix) {}
    ~ShadowMatrixGuard() { ShadowMatrix = saved; }

private:
    D3DXMATRIX saved;
};

TEST(GameObject, NewNodeDefaults) {
    CPGameObject node("crate");
    EXPECT_EQ(node.GetName(), "crate");
    EXPECT_EQ(node.GetTypeName(), "CPGameObject - crate");
    EXPECT_EQ(node.ParentMatrix, Identity());
    EXPECT_EQ(node.LocalMatrix, Identity());
    EXPECT_EQ(node.WorldMatrix, Identity());
    EXPECT_EQ(node.Orientation, D3DXQUATERNION(0, 0, 0, 1));
    EXPECT_EQ(node.Position, D3DXVECTOR3(0, 0, 0));
    EXPECT_TRUE(node.Visible);
    EXPECT_TRUE(node.Static);
    EXPECT_TRUE(node.Collision);
    EXPECT_TRUE(node.CastShadow);
    EXPECT_TRUE(node.TransformDirty);
    EXPECT_TRUE(node.TransformUpdated);
    EXPECT_FALSE(node.Active);
    EXPECT_FALSE(node.HasPartAnimations());
    EXPECT_EQ(node.FlameType, -1);
    EXPECT_EQ(node.LineColor, 0xFF4E4E4Eu);
    EXPECT_EQ(node.RenderKind, CPGameObject::RenderGroup);
    EXPECT_EQ(node.GetParent(), nullptr);
    EXPECT_EQ(node.GetScriptObject(), nullptr);
    EXPECT_GT(node.CollisionBounds.Min.x, node.CollisionBounds.Max.x);
}

TEST(GameObject, CleanNodeDoesNotUpdateEvenWithADirtyChild) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* child = nodes.Make("child", root);
    root->UpdateTransform();
    EXPECT_FALSE(root->TransformDirty);

    child->SetPosition(D3DXVECTOR3(5, 0, 0));
    EXPECT_TRUE(child->TransformDirty);
    EXPECT_FALSE(child->TransformUpdated);
    root->UpdateTransform();
    EXPECT_TRUE(child->TransformDirty);
    EXPECT_EQ(child->WorldMatrix, Identity());
}

TEST(GameObject, QuarterTurnedRootPlacesItsChild) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* child = nodes.Make("child", root);
    root->SetPosition(D3DXVECTOR3(1, 2, 3));
    root->SetOrientation(TurnAboutZ(kQuarterTurn));
    child->SetPosition(D3DXVECTOR3(1, 0, 0));
    root->UpdateTransform();

    D3DXMATRIX rotation, translation, expected;
    D3DXMatrixRotationZ(&rotation, kQuarterTurn);
    D3DXMatrixTranslation(&translation, 1, 2, 3);
    D3DXMatrixMultiply(&expected, &rotation, &translation);
    ExpectMatrixNear(root->WorldMatrix, expected);
    ExpectVec(Origin(child->WorldMatrix), 1, 3, 3);
    EXPECT_EQ(child->ParentMatrix, root->WorldMatrix);
    EXPECT_TRUE(root->TransformUpdated);
    EXPECT_TRUE(child->TransformUpdated);
    EXPECT_FALSE(child->TransformDirty);
}

TEST(GameObject, MovingTheMiddleOfThreeLevels) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* middle = nodes.Make("middle", root);
    CPGameObject* leaf = nodes.Make("leaf", middle);
    root->SetPosition(D3DXVECTOR3(10, 0, 0));
    middle->SetPosition(D3DXVECTOR3(0, 5, 0));
    leaf->SetPosition(D3DXVECTOR3(0, 0, 1));
    root->UpdateTransform();
    ExpectVec(Origin(leaf->WorldMatrix), 10, 5, 1);

    // Moving the middle leaves the clean root alone; the middle's own update carries the
    // move down with the parent matrix it was last given.
    middle->SetPosition(D3DXVECTOR3(0, -5, 0));
    middle->SetOrientation(TurnAboutZ(kQuarterTurn));
    leaf->SetPosition(D3DXVECTOR3(2, 0, 1));
    root->UpdateTransform();
    ExpectVec(Origin(leaf->WorldMatrix), 10, 5, 1);
    middle->UpdateTransform();
    ExpectVec(Origin(middle->WorldMatrix), 10, -5, 0);
    ExpectVec(Origin(leaf->WorldMatrix), 10, -3, 1);  // (2, 0, 1) turned a quarter: (0, 2, 1)

    D3DXMATRIX expected;
    D3DXMatrixMultiply(&expected, &leaf->LocalMatrix, &middle->LocalMatrix);
    D3DXMatrixMultiply(&expected, &expected, &root->LocalMatrix);
    ExpectMatrixNear(leaf->WorldMatrix, expected);

    // A root marked dirty recomputes everything below it.
    root->SetPosition(D3DXVECTOR3(0, 0, 0));
    root->UpdateTransform();
    ExpectVec(Origin(leaf->WorldMatrix), 0, -3, 1);
}

TEST(GameObject, BoundsAndCollisionBoundsMergeUpTheTree) {
    ShadowMatrixGuard guard;
    ShadowMatrix = D3DXMATRIX();  // no level: no shadow widening
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* a = nodes.Make("a", root);
    CPGameObject* b = nodes.Make("b", root);
    CPGameObject* leaf = nodes.Make("leaf", b);
    root->SetBounds(MakeBox(0, 0, 1, 1, 1, 1));
    a->SetBounds(MakeBox(0, 0, 0, 0.5f, 0.5f, 0.5f));
    a->SetPosition(D3DXVECTOR3(-5, 0, 0));
    b->SetPosition(D3DXVECTOR3(4, 0, 0));
    leaf->SetBounds(MakeBox(0, 0, 0, 1, 2, 3));
    leaf->SetPosition(D3DXVECTOR3(0, 0, 10));
    // Collision boxes only on the leaf, one placed by its own local matrix.
    CPBox hull = MakeBox(0, 0, 0, 1, 1, 1);
    D3DXMatrixTranslation(&hull.Local, 0, 3, 0);
    leaf->CollisionBoxes.push_back(hull);
    root->UpdateTransform();

    ExpectVec(root->Bounds.Min, -5.5f, -2, -0.5f);
    ExpectVec(root->Bounds.Max, 5, 2, 13);
    ExpectVec(root->Bounds.Centre, -0.25f, 0, 6.25f);
    ExpectVec(root->CollisionBounds.Min, 3, 2, 9);
    ExpectVec(root->CollisionBounds.Max, 5, 4, 11);
    ExpectVec(b->CollisionBounds.Min, 3, 2, 9);
    // A subtree without collision boxes keeps the empty bounds.
    EXPECT_GT(a->CollisionBounds.Min.x, a->CollisionBounds.Max.x);
    EXPECT_GT(a->CollisionBounds.Min.z, a->CollisionBounds.Max.z);
    // The boxes were placed in the world.
    ExpectVec(leaf->CollisionBoxes[0].Min, 3, 2, 9);

    // With a level's shadow matrix the shadow on the ground widens the bounds.
    D3DXVECTOR4 light(1, 0, 1, 0);  // a direction: the sun
    D3DXPLANE ground(0, 0, 1, 0);
    D3DXMatrixShadow(&ShadowMatrix, &light, &ground);
    root->SetPosition(D3DXVECTOR3(0, 0, 0));
    root->UpdateTransform();
    // The leaf's box x 3..5, z 7..13 falls along −(1, 0, 1) onto the ground: x − z.
    EXPECT_NEAR(leaf->Bounds.Min.x, -10.0f, 1e-4f);
    EXPECT_NEAR(leaf->Bounds.Max.x, 5.0f, 1e-4f);
    EXPECT_NEAR(leaf->Bounds.Min.z, 0.0f, 1e-4f);
    EXPECT_NEAR(leaf->Bounds.Max.z, 13.0f, 1e-4f);
    EXPECT_NEAR(leaf->Bounds.Centre.x, -2.5f, 1e-4f);
    // Every level widens what its children gave it again, so the bounds only grow upwards.
    for (CPGameObject* node : {b, root}) {
        EXPECT_LE(node->Bounds.Min.x, -10.0f);
        EXPECT_GE(node->Bounds.Max.x, 5.0f);
        EXPECT_LE(node->Bounds.Min.z, 0.0f);
        EXPECT_GE(node->Bounds.Max.z, 13.0f);
    }
    EXPECT_LT(root->Bounds.Min.x, b->Bounds.Min.x);
    // Collision bounds never take the shadow.
    ExpectVec(root->CollisionBounds.Min, 3, 2, 9);

    // Without CastShadow on the whole tree the bounds are the boxes' again.
    root->SetCastShadow(false);
    EXPECT_FALSE(leaf->CastShadow);
    root->SetPosition(D3DXVECTOR3(0, 0, 0));
    root->UpdateTransform();
    ExpectVec(root->Bounds.Min, -5.5f, -2, -0.5f);
}

TEST(GameObject, SetBoundsTouchesOnlyTheNodesBox) {
    CPGameObject node("n");
    node.CollisionBoxes.push_back(MakeBox(0, 0, 0, 1, 1, 1));
    CPBox box = MakeBox(1, 2, 3, 1, 1, 1);
    box.Update();
    node.SetBounds(box);
    EXPECT_EQ(node.Box.Centre, D3DXVECTOR3(1, 2, 3));
    ExpectVec(node.Bounds.Min, 0, 1, 2);
    ExpectVec(node.Bounds.Max, 2, 3, 4);
    EXPECT_GT(node.CollisionBounds.Min.x, node.CollisionBounds.Max.x);  // until UpdateTransform
}

TEST(GameObject, FindChildAndGetChild) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* body = nodes.Make("body", root);
    CPGameObject* wheel = nodes.Make("wheel", body);
    CPGameObject* first = nodes.Make("door", root);
    CPGameObject* second = nodes.Make("door", root);

    // Both stay children; the name finds the later one.
    EXPECT_EQ(root->Children.size(), 3u);
    EXPECT_EQ(root->FindChild("door").Get(), second);
    EXPECT_EQ(root->GetChild("door").Get(), second);
    EXPECT_EQ(first->Parent, root);

    // A grandchild is found through the subtree, never by GetChild, and a GetChild of its
    // name neither inserts anything nor hides it from later searches.
    EXPECT_EQ(root->FindChild("wheel").Get(), wheel);
    EXPECT_EQ(root->GetChild("wheel"), nullptr);
    EXPECT_EQ(root->ChildrenByName.count("wheel"), 0u);
    EXPECT_EQ(root->FindChild("wheel").Get(), wheel);
    EXPECT_EQ(root->FindChild("nothing"), nullptr);
    EXPECT_EQ(root->GetChild("nothing"), nullptr);
    EXPECT_EQ(root->ChildrenByName.size(), 2u);
    EXPECT_EQ(body->FindChild("body"), nullptr);  // a node is not its own child

    // A null entry left by anyone is treated as absent.
    root->ChildrenByName["wheel"] = nullptr;
    EXPECT_EQ(root->FindChild("wheel").Get(), wheel);
}

TEST(GameObject, DestroyedChildIsNeverFoundByName) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* first = nodes.Make("door", root);
    CPGameObject* second = nodes.Make("door", root);
    CPGameObject* lamp = nodes.Make("lamp", root);
    CPGameObject* bulb = nodes.Make("bulb", lamp);

    nodes.Delete(second);
    EXPECT_EQ(root->Children.size(), 2u);
    EXPECT_EQ(root->FindChild("door").Get(), first);  // the earlier door takes the name back
    nodes.Delete(first);
    EXPECT_EQ(root->FindChild("door"), nullptr);
    EXPECT_EQ(root->GetChild("door"), nullptr);
    EXPECT_EQ(root->Children.size(), 1u);

    // A child renamed after it was added (a copy takes its source's name) still takes the
    // entry it was added under with it.
    CPGameObject* renamed = nodes.Make("lid", root);
    CPGameObject source("hatch");
    renamed->CopyFrom(&source);
    EXPECT_EQ(renamed->Name, "hatch");
    nodes.Delete(renamed);
    EXPECT_EQ(root->GetChild("lid"), nullptr);
    EXPECT_EQ(root->FindChild("lid"), nullptr);
    EXPECT_EQ(root->ChildrenByName.count("lid"), 0u);

    // Destroying a parent orphans its children.
    nodes.Delete(lamp);
    EXPECT_EQ(bulb->Parent, nullptr);
    EXPECT_EQ(root->FindChild("bulb"), nullptr);
    EXPECT_TRUE(root->Children.empty());
}

TEST(GameObject, AddChildKeepsOneParentAndNoCycles) {
    Nodes nodes;
    CPGameObject* a = nodes.Make("a");
    CPGameObject* b = nodes.Make("b");
    CPGameObject* child = nodes.Make("child", a);
    CPGameObject* grandchild = nodes.Make("grandchild", child);

    EXPECT_TRUE(b->AddChild(child));
    EXPECT_EQ(child->Parent, b);
    EXPECT_TRUE(a->Children.empty());
    EXPECT_EQ(a->FindChild("child"), nullptr);
    EXPECT_EQ(b->FindChild("grandchild").Get(), grandchild);

    int reports = 0;
    CPLog::GetInstance().SetSink([&](const CPLogReport&) { ++reports; });
    EXPECT_FALSE(grandchild->AddChild(b));
    EXPECT_FALSE(b->AddChild(b));
    EXPECT_FALSE(b->AddChild(nullptr));
    CPLog::GetInstance().SetSink(nullptr);
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(b->Parent, nullptr);
    EXPECT_EQ(grandchild->Children.size(), 0u);

    // Adding a child again moves it to the end instead of listing it twice.
    CPGameObject* other = nodes.Make("other", b);
    EXPECT_TRUE(b->AddChild(child));
    ASSERT_EQ(b->Children.size(), 2u);
    EXPECT_EQ(b->Children[0].Get(), other);
    EXPECT_EQ(b->Children[1].Get(), child);
}

TEST(GameObject, CollectTreeIsPreOrder) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* a = nodes.Make("a", root);
    nodes.Make("a1", a);
    nodes.Make("a2", a);
    nodes.Make("b", root);
    std::vector<CPtr<CPGameObject>> out;
    root->CollectTree(out);
    std::vector<std::string> names;
    for (const auto& node : out) names.push_back(node->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"root", "a", "a1", "a2", "b"}));
}

TEST(GameObject, LevelOfDetailSubstitutesFollow) {
    ShadowMatrixGuard guard;
    ShadowMatrix = D3DXMATRIX();  // bounds without the shadow's widening
    Nodes nodes;  // substitutes made first, so the node that lists them goes first
    CPGameObject* far = nodes.Make("car_far");
    CPGameObject* farther = nodes.Make("car_farther");
    CPGameObject* root = nodes.Make("car");
    root->AddLodLevel(root, 0);
    root->AddLodLevel(far, 100);
    root->AddLodLevel(nullptr, 150);  // skipped
    root->AddLodLevel(farther, 200);
    far->SetBounds(MakeBox(0, 0, 0, 1, 1, 1));

    root->SetPosition(D3DXVECTOR3(7, 8, 9));
    root->SetOrientation(TurnAboutZ(kQuarterTurn));
    for (CPGameObject* sub : {far, farther}) {
        EXPECT_EQ(sub->Position, D3DXVECTOR3(7, 8, 9));
        EXPECT_EQ(sub->Orientation, TurnAboutZ(kQuarterTurn));
        EXPECT_TRUE(sub->TransformDirty);
    }
    root->UpdateTransform();
    ExpectVec(Origin(far->WorldMatrix), 7, 8, 9);
    ExpectVec(far->Bounds.Centre, 7, 8, 9);
    EXPECT_FALSE(farther->TransformDirty);

    root->SetStatic(false);
    EXPECT_FALSE(far->Static);
    EXPECT_FALSE(farther->Static);
    root->SetCastShadow(false);
    EXPECT_FALSE(far->CastShadow);
    root->SetVisible(false);
    EXPECT_TRUE(far->Visible);  // visibility is the node's own

    // A node whose only entry is itself does not recurse into itself.
    CPGameObject* single = nodes.Make("single");
    single->AddLodLevel(single, 0);
    single->SetPosition(D3DXVECTOR3(1, 1, 1));
    single->SetStatic(false);
    single->UpdateTransform();
    ExpectVec(Origin(single->WorldMatrix), 1, 1, 1);
}

TEST(GameObject, ScriptObjectMakesTheSubtreeDynamic) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* child = nodes.Make("child", root);
    CPGameObject* leaf = nodes.Make("leaf", child);
    CPScriptTask script, other;

    child->SetScriptObject(nullptr);
    EXPECT_EQ(child->ScriptObject, nullptr);
    EXPECT_TRUE(child->Static);

    child->SetScriptObject(&script);
    EXPECT_EQ(child->GetScriptObject().Get(), &script);
    EXPECT_TRUE(root->Static);
    EXPECT_FALSE(child->Static);
    EXPECT_FALSE(leaf->Static);

    leaf->Static = true;
    child->SetScriptObject(nullptr);  // keeps the task and the flags
    EXPECT_EQ(child->ScriptObject, &script);
    EXPECT_TRUE(leaf->Static);
    child->SetScriptObject(&other);
    EXPECT_EQ(child->ScriptObject, &other);
    EXPECT_FALSE(leaf->Static);
}

TEST(GameObject, AnimatedTransformStandsInForThePlacement) {
    Nodes nodes;
    CPGameObject* root = nodes.Make("root");
    CPGameObject* arm = nodes.Make("arm", root);
    CPGameObject* hand = nodes.Make("hand", arm);
    root->SetPosition(D3DXVECTOR3(0, 0, 1));
    arm->SetPosition(D3DXVECTOR3(100, 100, 100));  // ignored while animated
    hand->SetPosition(D3DXVECTOR3(1, 0, 0));
    root->UpdateTransform();

    D3DXMATRIX key;
    D3DXMatrixRotationZ(&key, kQuarterTurn);
    key._41 = 2;
    arm->SetAnimatedTransform(key);
    EXPECT_TRUE(arm->TransformDirty);
    EXPECT_FALSE(arm->TransformUpdated);
    arm->UpdateTransform();  // what a part animation does after blending its keys
    EXPECT_EQ(arm->LocalMatrix, key);
    ExpectVec(Origin(arm->WorldMatrix), 2, 0, 1);
    ExpectVec(Origin(hand->WorldMatrix), 2, 1, 1);

    // A whole-tree update keeps the animated placement.
    root->SetPosition(D3DXVECTOR3(0, 0, 2));
    root->UpdateTransform();
    ExpectVec(Origin(hand->WorldMatrix), 2, 1, 2);

    arm->ClearAnimatedTransform();
    arm->UpdateTransform();
    ExpectVec(Origin(arm->WorldMatrix), 100, 100, 102);
}

class StopRecordingTask : public CPTask {
public:
    void Update() override {}
    int GetKind() const override { return 1; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "StopRecordingTask"; }
    void Stop() override {
        ++stops;
        CPTask::Stop();
    }
    int stops = 0;
};

TEST(GameObject, DestroyingAParticleNodeStopsItsTask) {
    StopRecordingTask task;
    task.Start();
    {
        CPGameObject flame("flame");
        flame.RenderKind = CPGameObject::RenderParticleTask;
        flame.RenderObject = &task;
    }
    EXPECT_EQ(task.stops, 1);
    EXPECT_FALSE(task.Running);
    {
        CPGameObject group("group");  // another kind keeps its object running
        task.Start();
        group.RenderObject = &task;
    }
    EXPECT_EQ(task.stops, 1);
}

TEST(GameObject, DestroyedNodeLeavesThePhysicsWorld) {
    CPPhysicScene world;
    EXPECT_EQ(CPPhysicScene::Current, &world);
    auto node = std::make_unique<CPGameObject>("barrel");
    CPGameObject keep("keep");
    world.ActiveObjects.insert(node.get());
    world.ActiveObjects.insert(&keep);
    node.reset();
    EXPECT_EQ(world.ActiveObjects.size(), 1u);
    EXPECT_EQ(world.ActiveObjects.count(&keep), 1u);
}

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};

TEST(GameObject, MovesReachTheBodyOfThePhysicsData) {
    std::unique_ptr<RbSimulator, SimulatorDeleter> sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    RbKinematicBody* kinematic = sim->CreateKinematicBody();
    RbRigidBody* rigid = sim->CreateRigidBody();
    ASSERT_NE(kinematic, nullptr);
    ASSERT_NE(rigid, nullptr);

    auto physics = std::make_unique<CPPhysicData>(nullptr);  // outlives the node that holds it
    CPGameObject node("gate");
    physics->Owner = &node;
    node.Physics = physics.get();

    // Right after loading there is no body: nothing to move.
    node.SetPosition(D3DXVECTOR3(1, 2, 3));

    node.Physics->KinematicBody = kinematic;
    node.Physics->RigidBody = rigid;
    const D3DXQUATERNION turn = TurnAboutZ(kQuarterTurn);
    node.SetOrientation(turn);
    node.SetPosition(D3DXVECTOR3(4, 5, 6));
    // The kinematic body wins; the rigid body is untouched.
    EXPECT_NEAR(kinematic->Rotation.Rows[0].y, 1.0f, 1e-6f);
    EXPECT_EQ(kinematic->Position.x, 4.0f);
    EXPECT_EQ(kinematic->Position.z, 6.0f);
    EXPECT_EQ(rigid->GetOrientation().w, 1.0f);
    EXPECT_EQ(rigid->GetPosition().x, 0.0f);

    node.Physics->KinematicBody = nullptr;
    node.SetOrientation(turn);
    node.SetPosition(D3DXVECTOR3(7, 8, 9));
    EXPECT_EQ(rigid->GetOrientation().z, turn.z);
    EXPECT_EQ(rigid->GetPosition().y, 8.0f);
}

}  // namespace
