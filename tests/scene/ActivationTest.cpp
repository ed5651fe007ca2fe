// A node tree during play: activation and deactivation with their commands, part animations,
// damage reaching the script and the enemy controller, burning, the fire material, ray picks
// through nested boxes, the script owner lookup and the physics world's active set.
#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "core/ObjectAddress.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSimulator.h"
#include "scene/CPEnemyController.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPPhysicScene.h"
#include "scene/CPPickInfo.h"
#include "scene/CPRenderObjectFactory.h"
#include "scene/CPSceneLoader.h"
#include "scene/CPPartAnimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct RecordingController : CPEnemyController {
    struct Hit {
        D3DXVECTOR3 Position, Impact;
        float Amount;
        bool NoEffect, Silent;
    };
    void OnAnimationStopped() override {}
    void OnAnimationReport() override {}
    void OnDamage(const D3DXVECTOR3& position, const D3DXVECTOR3& impact, float amount, bool noEffect,
                  bool silent) override {
        hits.push_back({position, impact, amount, noEffect, silent});
    }
    std::vector<Hit> hits;
};

// Records which render objects were given which material.
struct RecordingFactory : CPRenderObjectFactory {
    CPtr<CPObject> CopyRenderObject(int32_t, CPObject*, CPGameObject*) override { return nullptr; }
    void SetMaterial(CPObject* renderObject, const CPtr<CPObject>& material) override {
        given.emplace_back(renderObject, material.Get());
    }
    std::vector<std::pair<CPObject*, CPObject*>> given;
};

// A render object or material stand-in: any counted object will do.
struct Thing : CPObject {
    size_t GetObjectSize() const override { return sizeof(Thing); }
    std::string GetTypeName() const override { return "Thing"; }
};

struct Task : CPTask {
    void Update() override {}
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(Task); }
    std::string GetTypeName() const override { return "Task"; }
};

CPBox BoxAt(float x, float y, float z, float half) {
    return CPBox(D3DXVECTOR3(x, y, z), D3DXVECTOR3(half, half, half));
}

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPScheduler::Instance = &scheduler;
        CPCommandDispatcher::Instance = &dispatcher;
        CPParticleManager::Instance = &particles;
        CPRenderObjectFactory::Instance = &factory;
    }
    void TearDown() override {
        // The engine frees nothing on release: the scheduler's list goes first, then the
        // nodes (whose destructors still talk to their tasks), then the tasks.
        scheduler.Tasks.clear();
        std::vector<CPtr<CPGameObject>> all;
        for (const auto& node : nodes) {
            if (node->Parent == nullptr) node->CollectTree(all);
        }
        std::vector<CPObject*> flameTasks;
        std::vector<CPGameObject*> flames;
        for (const CPtr<CPGameObject>& node : all) {
            if (node->Name == "flame") {
                flameTasks.push_back(node->RenderObject.Get());
                flames.push_back(node.Get());
            }
        }
        all.clear();
        for (CPGameObject* flame : flames) delete flame;
        nodes.clear();
        for (CPObject* task : flameTasks) delete task;
        CPRenderObjectFactory::Instance = nullptr;
        CPParticleManager::Instance = nullptr;
        CPCommandDispatcher::Instance = nullptr;
        CPScheduler::Instance = nullptr;
    }

    CPGameObject* Make(const std::string& name, CPGameObject* parent = nullptr) {
        nodes.push_back(std::make_unique<CPGameObject>(name));
        CPGameObject* node = nodes.back().get();
        if (parent != nullptr) parent->AddChild(node);
        return node;
    }
    // Commands of the task in the order they were sent, as "name:param".
    static std::vector<std::string> Sent(const CPScriptTask& task) {
        std::vector<std::string> out;
        for (auto it = task.Commands.rbegin(); it != task.Commands.rend(); ++it) {
            std::string text = it->Name;
            for (const std::string& param : it->Params) text += ":" + param;
            out.push_back(text);
        }
        return out;
    }
    static std::string Says(const char* command, const CPGameObject* node) {
        return std::string(command) + ":" + AddressToText(node);
    }
    int Listed(const CPTask* task) const {
        return static_cast<int>(std::count(scheduler.Tasks.begin(), scheduler.Tasks.end(), task));
    }

    CPScheduler scheduler;
    CPCommandDispatcher dispatcher;
    CPParticleManager particles;
    RecordingFactory factory;
    CPScriptTask script;
    // Declared last, destroyed first: nodes go before the tasks they point at.
    std::vector<std::unique_ptr<CPGameObject>> nodes;
};

TEST_F(ActivationTest, ActivatingATreeAnnouncesEveryScriptedNodeOnce) {
    CPGameObject* root = Make("car");
    CPGameObject* body = Make("body", root);
    CPGameObject* wheel = Make("wheel", body);
    root->SetScriptObject(&script);
    wheel->SetScriptObject(&script);

    root->Activate(300);
    root->Activate(300);
    for (CPGameObject* node : {root, body, wheel}) EXPECT_TRUE(node->Active) << node->Name;
    EXPECT_TRUE(script.Running);
    EXPECT_EQ(script.Priority, 300);
    EXPECT_EQ(Listed(&script), 1);
    // Children first, then the node itself; the parsed address leads back to the node.
    ASSERT_EQ(Sent(script), (std::vector<std::string>{Says("add_object", wheel), Says("add_object", root)}));
    EXPECT_EQ(TextToAddress(script.Commands.front().Params[0]), root);
    // The node keeps a reference to itself while it is announced.
    EXPECT_GE(root->GetRefCount(), 1);
}

TEST_F(ActivationTest, ASharedScriptTaskTakesTheLastPriorityWithoutMoving) {
    Task early, late;
    early.Priority = 100;
    late.Priority = 200;
    scheduler.AddTask(CPtr<CPTask>(&early));
    CPGameObject* first = Make("first");
    CPGameObject* second = Make("second");
    first->SetScriptObject(&script);
    second->SetScriptObject(&script);

    first->Activate(150);
    scheduler.AddTask(CPtr<CPTask>(&late));
    second->Activate(300);
    EXPECT_EQ(script.Priority, 300);
    std::vector<const CPTask*> listed;
    for (const auto& task : scheduler.Tasks) listed.push_back(task.Get());
    EXPECT_EQ(listed, (std::vector<const CPTask*>{&early, &script, &late}));
    EXPECT_EQ(Sent(script), (std::vector<std::string>{Says("add_object", first), Says("add_object", second)}));
    scheduler.Tasks.clear();
}

TEST_F(ActivationTest, DeactivationStopsTheSubtreeAndKeepsTheScriptRunning) {
    CPGameObject* root = Make("gate");
    CPGameObject* arm = Make("arm", root);
    root->SetScriptObject(&script);
    arm->SetScriptObject(&script);
    auto idle = std::make_unique<CPPartAnimation>();
    arm->AddPartAnimation("idle", idle.get());
    root->Activate(250);
    EXPECT_TRUE(idle->Running);
    EXPECT_EQ(idle->Priority, 250);
    script.Commands.clear();

    root->Deactivate();
    root->Deactivate();
    EXPECT_FALSE(root->Active);
    EXPECT_FALSE(arm->Active);
    EXPECT_FALSE(idle->Running);
    EXPECT_TRUE(script.Running);
    EXPECT_EQ(Sent(script), (std::vector<std::string>{Says("delete_object", arm), Says("delete_object", root)}));

    // A deactivated tree can come back.
    root->Activate(250);
    EXPECT_TRUE(idle->Running);
    scheduler.Tasks.clear();
    arm->Animations.clear();
    arm->IdleAnimation = nullptr;
}

TEST_F(ActivationTest, DestroyingAnActiveNodeSaysGoodbye) {
    CPGameObject* node = Make("crate");
    node->SetScriptObject(&script);
    node->Activate(200);
    const std::string address = AddressToText(node);
    nodes.clear();
    ASSERT_FALSE(script.Commands.empty());
    EXPECT_EQ(script.Commands.front().Name, "delete_object");
    EXPECT_EQ(script.Commands.front().Params[0], address);
}

TEST_F(ActivationTest, ANodeOutlivingItsScriptTaskSendsNothing) {
    CPGameObject* node = Make("barrel");
    auto task = std::make_unique<CPScriptTask>();
    node->SetScriptObject(task.get());
    node->Activate(200);
    EXPECT_EQ(node->GetScriptObject().Get(), task.get());
    scheduler.Tasks.clear();
    task.reset();
    // Under AddressSanitizer a command sent to the freed task is a use after free.
    EXPECT_EQ(node->GetScriptObject(), nullptr);
    node->Damage(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), 5.0f, false, false);
    node->OnAnimationEnd();
    node->Deactivate();
    EXPECT_FALSE(node->Active);
    // A different object now at the task's address is not taken for it.
    auto thing = std::make_unique<Thing>();
    node->ScriptObject = reinterpret_cast<CPScriptTask*>(thing.get());
    EXPECT_EQ(node->LiveScriptObject(), nullptr);
    node->ScriptObject = nullptr;
}

TEST_F(ActivationTest, IdleAnimationIsTheExactNameOnlyAndIsScheduledOnce) {
    CPGameObject* node = Make("door");
    auto idle = std::make_unique<CPPartAnimation>();
    auto open = std::make_unique<CPPartAnimation>();
    node->AddPartAnimation("Idle", open.get());
    EXPECT_EQ(node->IdleAnimation, nullptr);
    EXPECT_FALSE(open->Loop);
    EXPECT_TRUE(node->PartAnimated);
    EXPECT_FALSE(node->Static);
    node->AddPartAnimation("idle", idle.get());
    EXPECT_EQ(node->IdleAnimation, idle.get());
    EXPECT_TRUE(idle->Loop);

    node->Activate(300);
    node->Activate(300);
    EXPECT_EQ(Listed(idle.get()), 1);
    EXPECT_EQ(Listed(open.get()), 0);
    scheduler.Tasks.clear();
    node->Animations.clear();
    node->IdleAnimation = nullptr;
}

TEST_F(ActivationTest, DeletingATreeTakesItsScheduledTasksOffTheListFirst) {
    // A tree the loader would build: a door whose part animations are its own.
    auto* door = new CPGameObject("door");
    auto* hinge = new CPGameObject("hinge");
    door->AddChild(hinge);
    auto* idle = new CPPartAnimation();
    auto* swing = new CPPartAnimation();
    idle->Target = door;
    swing->Target = hinge;
    door->AddPartAnimation("idle", idle);
    hinge->AddPartAnimation("swing", swing);
    // The idle one runs through activation; the other was started by a script while the
    // tree was not active, so deactivation does not reach it.
    swing->Priority = 200;
    scheduler.AddTask(CPtr<CPTask>(swing));
    door->Activate(200);
    ASSERT_EQ(Listed(idle), 1);
    ASSERT_EQ(Listed(swing), 1);
    door->Active = false;
    hinge->Active = false;
    CPSceneLoader::DeleteObject(door);
    EXPECT_EQ(Listed(idle), 0);
    EXPECT_EQ(Listed(swing), 0);
    EXPECT_TRUE(scheduler.Tasks.empty());
}

TEST_F(ActivationTest, APartAnimationOutlivingItsNodeLetsGoOfIt) {
    auto node = std::make_unique<CPGameObject>("barrier");
    CPPartAnimation lift;
    lift.Target = node.get();
    node->AddPartAnimation("lift", CPtr<CPPartAnimation>(&lift));
    node.reset();
    EXPECT_EQ(lift.Target, nullptr);
    lift.Update();  // moves nothing
}

TEST_F(ActivationTest, ParticleTaskStartsOnlyForAVisibleNode) {
    struct Case {
        bool Visible;
        bool Started;
    };
    for (const Case& c : {Case{true, true}, Case{false, false}}) {
        CPParticleSystem system(nullptr, {});
        {
            CPGameObject node("smoke");
            node.RenderKind = CPGameObject::RenderParticleTask;
            node.RenderObject = &system;
            node.Visible = c.Visible;
            node.Activate(180);
            EXPECT_EQ(system.Running, c.Started) << c.Visible;
            if (c.Started) {
                EXPECT_EQ(system.Priority, 180);
            }
            // Already active: becoming visible later starts nothing.
            node.Visible = true;
            node.Activate(180);
            EXPECT_EQ(system.Running, c.Started);
            node.Deactivate();
            EXPECT_FALSE(system.Running);
        }
        scheduler.Tasks.clear();
    }
}

// A particle node with no render object, or one that is not a task, schedules nothing and is
// otherwise activated and deactivated as any node.
TEST_F(ActivationTest, ParticleNodeWithoutATaskIsSkipped) {
    CPGameObject* node = Make("empty_smoke");
    node->RenderKind = CPGameObject::RenderParticleTask;
    for (bool withThing : {false, true}) {
        SCOPED_TRACE(withThing);
        if (withThing) {
            node->RenderObject = new Thing;
        }
        node->Activate(100);
        EXPECT_TRUE(node->Active);
        EXPECT_TRUE(scheduler.Tasks.empty());
        node->Deactivate();
        EXPECT_FALSE(node->Active);
        EXPECT_TRUE(scheduler.Tasks.empty());
    }
    delete node->RenderObject.Get();
    node->RenderObject.MakeNull();
}

TEST_F(ActivationTest, DamageReachesScriptUnlessSilentAndTheControllerAlways) {
    struct Case {
        float Amount;
        bool Silent;
        const char* Command;  // null: none
    };
    const Case cases[] = {{12.345f, false, "damage:12.35"}, {0.5f, false, "damage:0.50"}, {7.0f, true, nullptr}};
    for (const Case& c : cases) {
        CPGameObject node("enemy");
        RecordingController controller;
        node.Controller = &controller;
        node.SetScriptObject(&script);
        script.Start();
        script.Commands.clear();
        const D3DXVECTOR3 at(1, 2, 3), impact(0, 0, -1);
        node.Damage(at, impact, c.Amount, true, c.Silent);
        if (c.Command != nullptr) {
            EXPECT_EQ(Sent(script), std::vector<std::string>{c.Command});
        } else {
            EXPECT_TRUE(script.Commands.empty());
        }
        ASSERT_EQ(controller.hits.size(), 1u);
        EXPECT_EQ(controller.hits[0].Amount, c.Amount);
        EXPECT_EQ(controller.hits[0].Position.y, 2.0f);
        EXPECT_EQ(controller.hits[0].Impact.z, -1.0f);
        EXPECT_TRUE(controller.hits[0].NoEffect);
        EXPECT_EQ(controller.hits[0].Silent, c.Silent);
    }
}

TEST_F(ActivationTest, SpawnFlameBurnsEachFlammableNodeOnce) {
    CPParticleSystem prototype(nullptr, {});
    prototype.Duration = 3.0f;
    particles.FlamePrototypes.push_back(CPtr<CPTask>(&prototype));
    CPGameObject* root = Make("car");
    CPGameObject* left = Make("left", root);
    CPGameObject* right = Make("right", root);
    CPGameObject* odd = Make("odd", root);
    left->FlameType = 0;
    right->FlameType = 0;
    odd->FlameType = 7;  // no such prototype
    right->SetPosition(D3DXVECTOR3(2, 0, 0));
    root->UpdateTransform();

    root->SpawnFlame(1.0f);
    root->SpawnFlame(1.0f);
    std::vector<CPTask*> flames;
    for (CPGameObject* node : {left, right}) {
        EXPECT_EQ(node->FlameType, -1);
        ASSERT_EQ(node->Children.size(), 1u) << node->Name;
        CPGameObject* flame = node->Children[0].Get();
        EXPECT_EQ(flame->Name, "flame");
        EXPECT_EQ(node->FindChild("flame"), flame);
        EXPECT_EQ(flame->RenderKind, CPGameObject::RenderParticleTask);
        auto* system = dynamic_cast<CPParticleSystem*>(flame->RenderObject.Get());
        ASSERT_NE(system, nullptr);
        EXPECT_NE(system, &prototype);
        EXPECT_EQ(system->Owner, flame);
        EXPECT_EQ(system->Duration, 3.0f);
        EXPECT_EQ(system->Priority, 200);
        EXPECT_TRUE(system->Running);
        EXPECT_EQ(Listed(system), 1);
        EXPECT_EQ(flame->Position, D3DXVECTOR3(0, 0, 0));
        flames.push_back(system);
    }
    EXPECT_NE(flames[0], flames[1]);
    // The flame sits at its node's origin.
    EXPECT_EQ(right->Children[0]->WorldMatrix._41, 2.0f);
    EXPECT_TRUE(odd->Children.empty());
    EXPECT_EQ(odd->FlameType, 7);
    EXPECT_TRUE(root->Children.size() == 3u);
    particles.FlamePrototypes.clear();
}

TEST_F(ActivationTest, FireMaterialGoesToMeshesAndFiguresOfTheSubtree) {
    Thing fire, meshObject, figureObject, spriteObject;
    CPGameObject* root = Make("truck");
    CPGameObject* mesh = Make("mesh", root);
    CPGameObject* figure = Make("figure", mesh);
    CPGameObject* sprite = Make("sprite", root);
    CPGameObject* plain = Make("plain", root);
    mesh->RenderKind = CPGameObject::RenderMesh;
    mesh->RenderObject = &meshObject;
    figure->RenderKind = CPGameObject::RenderAnimatedMesh;
    figure->RenderObject = &figureObject;
    sprite->RenderKind = CPGameObject::RenderSprite;
    sprite->RenderObject = &spriteObject;
    plain->RenderKind = CPGameObject::RenderMesh;  // no render object
    for (CPGameObject* node : {mesh, figure, sprite, plain}) node->SetFireMaterial(&fire);

    root->ApplyFireMaterial();
    using Given = std::vector<std::pair<CPObject*, CPObject*>>;
    EXPECT_EQ(factory.given, (Given{{&meshObject, &fire}, {&figureObject, &fire}}));
    for (CPGameObject* node : {mesh, figure, sprite, plain}) {
        node->RenderObject = nullptr;
        node->FireMaterial = nullptr;
    }
}

class PickTest : public ActivationTest {
protected:
    // A root with a box at x = 10 and a child with boxes at x = 5 and x = 3 (in that order),
    // a grandchild at x = 8 that has the script task.
    void SetUp() override {
        ActivationTest::SetUp();
        root = Make("root");
        child = Make("child", root);
        grandchild = Make("grandchild", child);
        root->CollisionBoxes.push_back(BoxAt(10, 0, 0, 0.5f));
        child->CollisionBoxes.push_back(BoxAt(5, 0, 0, 0.5f));
        child->CollisionBoxes.push_back(BoxAt(3, 0, 0, 0.5f));
        grandchild->CollisionBoxes.push_back(BoxAt(8, 0, 0, 0.5f));
        grandchild->SetScriptObject(&script);
        root->UpdateTransform();
    }
    CPPickInfo Ray(float distance = 100.0f) {
        CPPickInfo pick;
        pick.Origin = D3DXVECTOR3(0, 0, 0);
        pick.Direction = D3DXVECTOR3(1, 0, 0);
        pick.Distance = distance;
        return pick;
    }

public:
    CPGameObject* root = nullptr;
    CPGameObject* child = nullptr;
    CPGameObject* grandchild = nullptr;
};

TEST_F(PickTest, NearestBoxWinsWhateverTheOrder) {
    CPPickInfo pick = Ray();
    EXPECT_TRUE(root->RayPick(pick));
    EXPECT_FLOAT_EQ(pick.Distance, 2.5f);
    EXPECT_EQ(pick.Object, child);
    EXPECT_EQ(pick.Owner, root);  // no script task up from the child: the root
    EXPECT_FLOAT_EQ(pick.HitFace.a * pick.Distance + pick.HitFace.d, 0.0f);

    std::swap(child->CollisionBoxes[0], child->CollisionBoxes[1]);
    child->TransformDirty = true;
    root->TransformDirty = true;
    root->UpdateTransform();
    CPPickInfo again = Ray();
    EXPECT_TRUE(root->RayPick(again));
    EXPECT_FLOAT_EQ(again.Distance, 2.5f);
}

TEST_F(PickTest, ExcludedAndNonCollidingSubtreesAreSkipped) {
    struct Case {
        const char* What;
        std::function<void(PickTest&, CPPickInfo&)> Prepare;
        bool Hit;
        float Distance;
        const char* Object;
    };
    const Case cases[] = {
        {"exclude child", [](PickTest& t, CPPickInfo& p) { p.Exclude = t.child; }, true, 9.5f, "root"},
        {"child off", [](PickTest& t, CPPickInfo&) { t.child->Collision = false; }, true, 9.5f, "root"},
        {"root off", [](PickTest& t, CPPickInfo&) { t.root->Collision = false; }, false, 100.0f, nullptr},
        {"exclude root", [](PickTest& t, CPPickInfo& p) { p.Exclude = t.root; }, false, 100.0f, nullptr},
        {"short ray", [](PickTest&, CPPickInfo& p) { p.Distance = 2.0f; }, false, 2.0f, nullptr},
        {"boxes of the child off", [](PickTest& t, CPPickInfo&) { t.child->CollisionBoxes.clear(); }, true, 7.5f,
         "grandchild"},
    };
    for (const Case& c : cases) {
        root->Collision = child->Collision = true;
        CPPickInfo pick = Ray();
        c.Prepare(*this, pick);
        EXPECT_EQ(root->RayPick(pick), c.Hit) << c.What;
        EXPECT_FLOAT_EQ(pick.Distance, c.Distance) << c.What;
        if (c.Object == nullptr) {
            EXPECT_EQ(pick.Object, nullptr) << c.What;
        } else {
            ASSERT_NE(pick.Object, nullptr) << c.What;
            EXPECT_EQ(pick.Object->Name, c.Object) << c.What;
        }
    }
}

TEST_F(PickTest, OwnerOfAHitIsTheNearestScriptedNodeUp) {
    child->CollisionBoxes.clear();
    root->CollisionBoxes.clear();
    root->TransformDirty = true;
    root->UpdateTransform();
    CPPickInfo pick = Ray();
    EXPECT_TRUE(root->RayPick(pick));
    EXPECT_EQ(pick.Object, grandchild);
    EXPECT_EQ(pick.Owner, grandchild);

    EXPECT_EQ(grandchild->FindScriptOwner(), grandchild);
    EXPECT_EQ(child->FindScriptOwner(), root);
    child->SetScriptObject(&script);
    EXPECT_EQ(child->FindScriptOwner(), child);
    CPGameObject* lone = Make("lone");
    EXPECT_EQ(lone->FindScriptOwner(), lone);
}

TEST_F(ActivationTest, PhysicWorldSwitchesANodesPhysicsOnAndOff) {
    struct SimulatorDeleter {
        void operator()(RbSimulator* s) const { RbSimulator::Destroy(s); }
    };
    std::unique_ptr<RbSimulator, SimulatorDeleter> simulator(RbSimulator::Create(nullptr, nullptr, nullptr));
    CPPhysicScene world;
    CPGameObject* bare = Make("bare");
    CPGameObject* node = Make("crate");
    auto physics = std::make_unique<CPPhysicData>(node);
    node->Physics = physics.get();
    physics->RigidBody = simulator->CreateRigidBody();
    physics->RigidBody->SetActive(true, 0);

    world.ActivateObject(bare);
    EXPECT_TRUE(world.ActiveObjects.empty());
    world.ActivateObject(node);
    world.ActivateObject(node);
    EXPECT_EQ(world.ActiveObjects.size(), 1u);
    EXPECT_TRUE(world.ActiveObjects.contains(node));
    EXPECT_TRUE(physics->Active);

    world.DeactivateObject(node);
    EXPECT_TRUE(world.ActiveObjects.empty());
    EXPECT_FALSE(physics->Active);
    EXPECT_FALSE(physics->RigidBody->IsActive());
    world.DeactivateObject(node);  // a second time changes nothing
    EXPECT_FALSE(physics->RigidBody->IsActive());
    node->Physics = nullptr;
}

}  // namespace
