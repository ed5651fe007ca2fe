// The physics world in motion: bodies falling onto the terrain grid, bodies hitting each other
// (the reported impulse against the momentum they exchanged, flags, sparks, the impact
// sound), parking and removal, and the fixed-step clock.
#include "PhysicWorldFixture.h"

#include "Render/CPRenderObject.h"
#include "game/CPCar.h"
#include "scene/CPParticleManager.h"
#include "tests/game/SpecialSoundFixture.h"

#include <cmath>

using namespace PhysicWorldFixture;

namespace {

// The node of a test car: counts its collision flags and sums the damage amounts it gets.
class TestCar : public CPGameObject, public CPCarContact {
public:
    explicit TestCar(std::string name) : CPGameObject(std::move(name)) {}
    void SetCollisionFlag() override { ++Flags; }
    bool IsFollowedCar() const override { return Followed; }
    void AddCollisionDamage(float amount) override { Damage += amount; }
    int Flags = 0;
    bool Followed = false;
    float Damage = 0.0f;
};

// The "iskra" template: counts the sparks it is asked for.
class SparkCounter : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(SparkCounter); }
    std::string GetTypeName() const override { return "SparkCounter"; }
    void Update() override {}
    int GetKind() const override { return 0; }
    void Emit(const CPParticleParams& params) override {
        ++Emitted;
        LastVelocity = params.Velocity;
    }
    void Reset() override {}
    int Emitted = 0;
    D3DXVECTOR3 LastVelocity;
};

// Every contact the simulator reports, then the world's own handling of it.
std::vector<RbCollisionInfo> Reports;
void RecordAndHandle(RbCollisionInfo& info) {
    Reports.push_back(info);
    CPPhysicWorld::OnCollision(info);
}

class PhysicWorldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        Reports.clear();
        sparks = new SparkCounter;
        particles.Templates["iskra"] = sparks;
        CPParticleManager::Instance = &particles;
        ASSERT_TRUE(world->CreateSimulator());
    }
    void TearDown() override {
        CPParticleManager::Instance = nullptr;
        particles.Templates.clear();
        particles.Active.clear();
        delete sparks;
        WorldTest::TearDown();
    }
    static float Speed(const RbVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

    CPParticleManager particles;
    SparkCounter* sparks = nullptr;
};

}  // namespace

TEST_F(PhysicWorldTest, SimulatorHasTheGameLimitsAndCallbacks) {
    const RbSizeLimits& limits = world->Simulator->GetLimits();
    EXPECT_EQ(limits.rigidBodiesCount, 500);
    EXPECT_EQ(limits.kinematicBodiesCount, 1000);
    EXPECT_EQ(limits.geometriesCount, 5000);
    EXPECT_EQ(limits.pairsCount, 1500);
    EXPECT_EQ(world->Simulator->GetGravity().z, -9.8f);
    EXPECT_EQ(world->Simulator->GetCollisionTable()->Get(0, 0), 3);
    EXPECT_EQ(world->Simulator->GetCollisionTable()->Get(0, -1), 3);
    EXPECT_EQ(world->Simulator->GetMaterial(1)->Friction, Cfg::friction);
    EXPECT_EQ(world->Simulator->GetCollisionCallback(), &CPPhysicWorld::OnCollision);
    EXPECT_EQ(world->Simulator->GetTerrainQueryCallback(), &CPPhysicScene::TerrainQueryCallback);
}

TEST_F(PhysicWorldTest, DroppedBoxComesToRestOnTheTerrainWithoutSinking) {
    auto ground = [](float x, float y) { return 0.04f * x + 0.2f * std::sin(0.15f * y) + 2.0f; };
    Build(MakeTerrain(20, 3.0f, -30.0f, -30.0f, ground));
    CPGameObject* box = AddBox("crate", D3DXVECTOR3(1.0f, 2.0f, ground(1, 2) + 4.0f), 1.0f, 1.0f, 1.0f, 80.0f);
    RbRigidBody* body = box->Physics->RigidBody;
    ASSERT_NE(body, nullptr);
    float lowest = INFINITY;
    for (int frame = 0; frame < 100; ++frame) {  // 5 s at 1/20 s
        Frame(0.05f);
        ASSERT_EQ(world->LastStepCount, 3);
        const RbVector& p = body->GetPosition();
        const float clearance = p.z - world->GetHeight(D3DXVECTOR3(p.x, p.y, p.z));
        lowest = std::min(lowest, clearance);
        // The node follows its body, its world matrix too (it is drawn and picked before
        // anything else moves it).
        EXPECT_EQ(box->Position.x, p.x);
        EXPECT_EQ(box->Position.z, p.z);
        EXPECT_FALSE(box->TransformDirty);
        EXPECT_FLOAT_EQ(box->WorldMatrix._43, p.z);
    }
    EXPECT_GT(lowest, 0.45f) << "sank into the terrain";
    const RbVector& p = body->GetPosition();
    EXPECT_NEAR(p.z - world->GetHeight(D3DXVECTOR3(p.x, p.y, p.z)), 0.5f, 0.03f);
    EXPECT_LT(Speed(body->GetVelocity()), 0.05f);
    EXPECT_GT(box->Physics->TerrainTriangleCount, 0);  // the decal's triangles are there
}

TEST_F(PhysicWorldTest, FastBodyNeverFallsThroughAtLongFrames) {
    Build(MakeTerrain(20, 4.0f, -40.0f, -40.0f, [](float, float) { return 0.0f; }));
    CPGameObject* box = AddBox("crate", D3DXVECTOR3(0, 0, 40.0f), 2.0f, 4.0f, 1.0f, 1200.0f);
    RbRigidBody* body = box->Physics->RigidBody;
    body->SetVelocity(RbVec(3.0f, 0.0f, -25.0f));
    for (int frame = 0; frame < 300; ++frame) {
        Frame(0.05f);
        ASSERT_GT(body->GetPosition().z, 0.45f) << "frame " << frame;
    }
    EXPECT_NEAR(body->GetPosition().z, 0.5f, 0.03f);
}

TEST_F(PhysicWorldTest, TwoCarsCollideOnceWithTheMomentumTheyExchange) {
    SpecialSoundFixture slam({"slam"}, "physworld_slam");
    world->Simulator->SetCollisionCallback(&RecordAndHandle);
    SparkCooldown = 1.0f;
    // Head on in the air, 10 m/s closing, restitution 0: each loses its 5 m/s.
    const float mass = 100.0f;
    TestCar* a = AddBox<TestCar>("a", D3DXVECTOR3(-1.5f, 0, 30.0f), 1.0f, 1.0f, 1.0f, mass);
    TestCar* b = AddBox<TestCar>("b", D3DXVECTOR3(1.5f, 0, 30.0f), 1.0f, 1.0f, 1.0f, mass);
    b->Followed = true;
    a->Physics->RigidBody->SetVelocity(RbVec(5.0f, 0, 0));
    b->Physics->RigidBody->SetVelocity(RbVec(-5.0f, 0, 0));
    for (int frame = 0; frame < 30; ++frame) {
        Frame(1.0f / 60.0f);
    }
    ASSERT_EQ(Reports.size(), 1u);
    const RbCollisionInfo& hit = Reports.front();
    EXPECT_EQ(hit.KindA, 1);
    EXPECT_EQ(hit.KindB, 1);
    // The reported impulse is the momentum A lost, and B lost as much: at least what stops
    // the closing (restitution 0), at most a little more for pushing the overlap apart.
    const float impulse = Speed(hit.Contact);
    const float vA = a->Physics->RigidBody->GetVelocity().x;
    const float vB = b->Physics->RigidBody->GetVelocity().x;
    EXPECT_NEAR(impulse, mass * (5.0f - vA), mass * 5.0f * 0.05f);
    EXPECT_NEAR(vA + vB, 0.0f, 0.01f);
    EXPECT_GE(impulse, mass * 5.0f * 0.95f);
    EXPECT_LE(impulse, mass * 5.0f * 1.3f);
    EXPECT_LE(vA, 0.05f);  // they no longer close
    EXPECT_EQ(a->Flags, 1);
    EXPECT_EQ(b->Flags, 1);
    // Both cars count the dent amount of the contact, 0.08 per N·s, towards their damage.
    EXPECT_FLOAT_EQ(a->Damage, 0.08f * impulse);
    EXPECT_FLOAT_EQ(b->Damage, 0.08f * impulse);
    EXPECT_EQ(sparks->Emitted, Cfg::psystems);
    EXPECT_EQ(SparkCooldown, 0.0f);
    EXPECT_EQ(slam.Plays("slam"), 1);
}

TEST_F(PhysicWorldTest, ImpactSoundPlaysOncePerFrameAndNotOverItself) {
    SpecialSoundFixture slam({"slam"}, "physworld_slam");
    TestCar* car = AddBox<TestCar>("car", D3DXVECTOR3(0, 0, 5.0f), 1, 1, 1, 100);
    car->Followed = true;
    RbCollisionInfo info;
    info.BodyA = car->Physics->RigidBody;
    info.KindA = 1;
    info.KindB = 0;
    info.Contact = RbVec(0, 0, 50.0f);
    info.Normal = RbVec(0, 0, 1.0f);
    FrameNumber = 7;
    for (int i = 0; i < 5; ++i) {
        CPPhysicWorld::OnCollision(info);
    }
    EXPECT_EQ(slam.Plays("slam"), 1);
    EXPECT_EQ(car->Flags, 0);  // the ground carrying the car is no hit
    EXPECT_FLOAT_EQ(car->Damage, 5 * 0.008f * 50.0f);  // but it still dents, 0.008 per N·s
    slam.Sound("slam").Stop();
    CPPhysicWorld::OnCollision(info);  // same frame: still once
    EXPECT_EQ(slam.Plays("slam"), 1);
    FrameNumber = 8;
    CPPhysicWorld::OnCollision(info);
    EXPECT_EQ(slam.Plays("slam"), 2);
    // A slanted push is a hit; an unfollowed car makes no sound.
    info.Normal = RbVec(0.6f, 0, 0.8f);
    car->Followed = false;
    slam.Sound("slam").Stop();
    FrameNumber = 9;
    CPPhysicWorld::OnCollision(info);
    EXPECT_EQ(car->Flags, 1);
    EXPECT_EQ(slam.Plays("slam"), 2);
}

TEST_F(PhysicWorldTest, SparksFollowTheImpulseAndTheFramesBudget) {
    TestCar* car = AddBox<TestCar>("car", D3DXVECTOR3(0, 0, 5.0f), 1, 1, 1, 100);
    car->Physics->RigidBody->SetVelocity(RbVec(8.0f, 0, 0));
    RbCollisionInfo info;
    info.BodyA = car->Physics->RigidBody;
    info.KindA = 1;
    info.KindB = 0;
    info.Normal = RbVec(-1.0f, 0, 0);
    // 25 · (0.008 · 50) · 0.5 = 5 sparks, flying back against the motion.
    info.Contact = RbVec(50.0f, 0, 0);
    world->HandleCollision(info);
    EXPECT_EQ(sparks->Emitted, 5);
    EXPECT_EQ(SparkCount, 5);
    EXPECT_LT(sparks->LastVelocity.x, 0.0f);
    // With 38 spent, a request for 25 gets 2.
    SparkCount = 38;
    world->SpawnSparks(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), 25);
    EXPECT_EQ(sparks->Emitted, 7);
    EXPECT_EQ(SparkCount, 40);
    world->SpawnSparks(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), 25);
    EXPECT_EQ(sparks->Emitted, 7);
    // The next frame has its budget back.
    Frame(1.0f / 60.0f);
    EXPECT_EQ(SparkCount, 0);
    // Cars meeting again within 0.038 s: dents and flags, no sparks.
    TestCar* other = AddBox<TestCar>("other", D3DXVECTOR3(3, 0, 5.0f), 1, 1, 1, 100);
    info.BodyB = other->Physics->RigidBody;
    info.KindB = 1;
    SparkCooldown = 0.02f;
    FrameNumber = 100;
    FrameTime = 0.01f;
    world->HandleCollision(info);
    EXPECT_EQ(car->Flags, 2);
    EXPECT_EQ(other->Flags, 1);
    EXPECT_EQ(sparks->Emitted, 7);
    // A rigid body whose node is no car: no flag to set, nothing breaks.
    CPGameObject* crate = AddBox("crate", D3DXVECTOR3(6, 0, 5.0f), 1, 1, 1, 100);
    info.BodyB = crate->Physics->RigidBody;
    info.BodyA = crate->Physics->RigidBody;
    SparkCooldown = 1.0f;
    world->HandleCollision(info);
    info.BodyA->SetUserData(nullptr);
    world->HandleCollision(info);
    info.BodyA->SetUserData(crate);
}

TEST_F(PhysicWorldTest, ContactsDentTheCarsMesh) {
    TestCar* car = AddBox<TestCar>("car", D3DXVECTOR3(0, 0, 5.0f), 2, 4, 1, 100);
    auto* mesh = new CPRenderObject(car);
    car->RenderObject = mesh;
    car->RenderKind = CPGameObject::RenderMesh;
    // A flat panel of vertices over the car's side at x = 1.
    for (int i = 0; i < 9; ++i) {
        CPVertex v;
        v.Position = D3DXVECTOR3(1.0f, -1.0f + 0.25f * static_cast<float>(i % 3), -0.25f + 0.25f * static_cast<float>(i / 3));
        mesh->Vertices.push_back(v);
    }
    mesh->Indices = {0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4, 3, 4, 6, 4, 7, 6, 4, 5, 7, 5, 8, 7};
    car->UpdateTransform();
    mesh->InitDamageModel();
    mesh->TransformToWorld();
    const std::vector<CPVertex> before = mesh->Vertices;
    RbCollisionInfo info;
    info.BodyA = car->Physics->RigidBody;
    info.KindA = 1;
    info.KindB = 0;
    info.PointA = RbVec(1.0f, -0.75f, 5.0f);
    info.Normal = RbVec(-1.0f, 0, 0);
    info.Contact = RbVec(-60.0f, 0, 0);
    world->HandleCollision(info);
    // A dent bends the normals and tints the vertices of the hit region.
    size_t dented = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        dented += mesh->Vertices[i].Diffuse != before[i].Diffuse ? 1 : 0;
    }
    EXPECT_GT(dented, 0u);
    car->RenderObject = nullptr;
    delete mesh;
}

TEST_F(PhysicWorldTest, RemovedBodiesAreParkedAndForgotten) {
    Build(MakeTerrain(10, 4.0f, -20.0f, -20.0f, [](float, float) { return 0.0f; }));
    world->Simulator->SetCollisionCallback(&RecordAndHandle);
    TestCar* a = AddBox<TestCar>("a", D3DXVECTOR3(0, 0, 0.5f), 1, 1, 1, 100);
    TestCar* b = AddBox<TestCar>("b", D3DXVECTOR3(5, 0, 0.5f), 1, 1, 1, 100);
    TestCar* c = AddBox<TestCar>("c", D3DXVECTOR3(-5, 0, 0.5f), 1, 1, 1, 100);
    RbRigidBody* bodyA = a->Physics->RigidBody;
    Frame(0.05f);
    const float h = world->ParkingHeight;
    a->Physics->RemoveBody();  // the way a killed car goes
    world->RemoveBody(b->Physics);
    world->RemoveBody(c->Physics);
    EXPECT_EQ(a->Physics->RigidBody, nullptr);
    EXPECT_FALSE(bodyA->IsActive());
    EXPECT_EQ(bodyA->GetPosition().z, h);
    EXPECT_EQ(world->ParkingHeight, h - 1500.0f);
    EXPECT_EQ(world->PendingRemovals.size(), 3u);
    a->Physics->RemoveBody();  // nothing left to remove
    EXPECT_EQ(world->PendingRemovals.size(), 3u);
    // The nodes may go at once; their bodies no longer name them.
    EXPECT_EQ(bodyA->GetUserData(), nullptr);
    const D3DXVECTOR3 stay = a->Position;
    Reports.clear();
    Frame(0.05f);
    EXPECT_EQ(world->PendingRemovals.size(), 3u);
    Frame(0.05f);
    EXPECT_TRUE(world->PendingRemovals.empty());
    EXPECT_TRUE(Reports.empty());
    EXPECT_EQ(a->Position, stay);  // its node no longer follows the parked body
    EXPECT_EQ(world->Simulator->GetBodyList(RbActiveRigidBodies).Count, 0);
    EXPECT_EQ(world->Simulator->GetBodyList(RbInactiveRigidBodies).Count, 3);
    // Parking wraps below -100000.
    world->ParkingHeight = -99800.0f;
    TestCar* d = AddBox<TestCar>("d", D3DXVECTOR3(0, 0, 0.5f), 1, 1, 1, 100);
    world->RemoveBody(d->Physics);
    EXPECT_EQ(world->ParkingHeight, CPPhysicScene::FirstParkingHeight);
}

TEST_F(PhysicWorldTest, FixedStepsFromTheFrameTimeWithLongFramesCapped) {
    struct Case {
        float frame;
        int steps;
    };
    // 1/20 s is three steps; two 1/120 s frames make one; a 1 s stall makes four and drops
    // the rest; a frame of nothing (or nonsense) makes none.
    for (const Case& c : {Case{0.05f, 3}, Case{1.0f / 120.0f, 0}, Case{1.0f / 120.0f, 1}, Case{1.0f, 4},
                          Case{0.0f, 0}, Case{NAN, 0}, Case{-1.0f, 0}, Case{1.0f / 60.0f, 1}}) {
        Frame(c.frame);
        EXPECT_EQ(world->LastStepCount, c.steps) << c.frame;
        EXPECT_LT(world->Accumulator, CPPhysicWorld::StepLength);
    }
    // Free fall over 30 frames of 1/20 s follows the steps it took: 1.5 s of gravity.
    CPGameObject* box = AddBox("crate", D3DXVECTOR3(0, 0, 100.0f), 1, 1, 1, 10);
    world->Accumulator = 0.0f;
    for (int i = 0; i < 30; ++i) {
        Frame(0.05f);
    }
    EXPECT_NEAR(box->Physics->RigidBody->GetVelocity().z, -9.8f * 1.5f, 0.05f);
    EXPECT_NEAR(box->Position.z, 100.0f - 0.5f * 9.8f * 1.5f * 1.5f, 0.05f);
}

TEST_F(PhysicWorldTest, NewSimulatorReplacesTheOldOne) {
    CPGameObject* box = AddBox("crate", D3DXVECTOR3(0, 0, 3.0f), 1, 1, 1, 10);
    ASSERT_NE(box->Physics->RigidBody, nullptr);
    RbSimulator* first = world->Simulator;
    ASSERT_TRUE(world->CreateSimulator());
    EXPECT_NE(world->Simulator, nullptr);
    (void)first;  // destroyed: the data let go of its body
    EXPECT_EQ(box->Physics->RigidBody, nullptr);
    EXPECT_EQ(box->Physics->Shapes.front().Geometry, nullptr);
    world->AddObject(CPtr<CPGameObject>(box), true, 1);
    EXPECT_NE(box->Physics->RigidBody, nullptr);
    EXPECT_EQ(box->Physics->RigidBody->GetUserData(), box);
    // Adding again keeps one body: the old one is parked.
    RbRigidBody* old = box->Physics->RigidBody;
    world->AddObject(CPtr<CPGameObject>(box), true, 1);
    EXPECT_NE(box->Physics->RigidBody, old);
    EXPECT_FALSE(old->IsActive());
}

TEST_F(PhysicWorldTest, KinematicObjectsTakeTheirPoseAtOnce) {
    auto node = std::make_unique<CPGameObject>("gate");
    node->Position = D3DXVECTOR3(4, 5, 6);
    node->Orientation = D3DXQUATERNION(0, 0, 0, 0);  // no rotation to give: the identity
    CPPhysicData data(node.get());
    node->Physics = &data;
    data.SetShape(1, 1, 1, -10);
    data.AddBox(D3DXVECTOR3(0, 0, 0), D3DXQUATERNION(0, 0, 0, 1), 1, 1, 1, 0);
    world->AddObject(CPtr<CPGameObject>(node.get()), true, 1);
    ASSERT_NE(data.KinematicBody, nullptr);
    EXPECT_EQ(data.RigidBody, nullptr);
    EXPECT_EQ(data.KinematicBody->GetPosition().y, 5.0f);
    EXPECT_EQ(data.KinematicBody->GetRotation().Rows[0].x, 1.0f);
    EXPECT_EQ(data.KinematicBody->GetUserData(), node.get());
    node.reset();  // the dying node takes its name off the body
    EXPECT_EQ(data.KinematicBody->GetUserData(), nullptr);
}

TEST_F(PhysicWorldTest, DriverControlsReachTheNodesCar) {
    CPGameObject* jeep = AddBox("jeep", D3DXVECTOR3(0, 0, 1.0f), 2, 4, 1, 1000);
    auto car = std::make_unique<CPCar>(jeep);
    jeep->Car = car.get();
    world->SetCarControls(CPtr<CPGameObject>(jeep), 1.0f, 0.3f);
    EXPECT_EQ(car->SteerInput, 0.3f);
    EXPECT_GT(car->DriveForce, 0.0f);
    world->SetCarControls(CPtr<CPGameObject>(jeep), 0.0f, 5.0f);
    EXPECT_EQ(car->SteerInput, CPCar::MaxSteer);
    jeep->Car = nullptr;
    // A node without a car, or none: nothing.
    world->SetCarControls(CPtr<CPGameObject>(jeep), 1.0f, 0.3f);
    world->SetCarControls(CPtr<CPGameObject>(), 1.0f, 0.3f);
}

TEST_F(PhysicWorldTest, RebuiltTerrainIsAskedForAgain) {
    // The simulator keeps a moving body's last terrain answer, pointers into the world's
    // arrays included, while the body stays inside the box it asked for; a new grid replaces
    // those arrays, so the next step must ask again.
    Build(MakeTerrain(10, 4.0f, -20.0f, -20.0f, [](float, float) { return 0.0f; }));
    CPGameObject* box = AddBox("crate", D3DXVECTOR3(0, 0, 0.5f), 1, 1, 1, 50);
    RbRigidBody* body = box->Physics->RigidBody;
    auto slide = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            body->SetVelocity(RbVec(0.5f, 0, body->GetVelocity().z));
            Frame(1.0f / 60.0f);
        }
    };
    slide(30);
    EXPECT_NEAR(body->GetPosition().z, 0.5f, 0.03f);
    // The ground rises by 0.2 m under the sliding box: it is pushed up onto the new ground.
    Build(MakeTerrain(12, 4.0f, -24.0f, -24.0f, [](float, float) { return 0.2f; }));
    slide(60);
    EXPECT_NEAR(body->GetPosition().z, 0.7f, 0.03f);
}
