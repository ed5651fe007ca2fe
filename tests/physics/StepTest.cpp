// Physical results of the simulation step, against closed forms with tolerances.
#include "SimulatorFixture.h"

#include "physics/RbInertia.h"
#include "physics/RbSimulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr float G = 9.8f;
constexpr float Dt = 1.0f / 60.0f;

using PhysicsFixture::CountingAllocator;
using PhysicsFixture::SimulatorPtr;

// A triangle soup answering the simulator's terrain query by brute force.
struct Terrain {
    std::vector<RbVector> Vertices;
    std::vector<RbTerrainTriangle> Triangles;
    std::vector<int32_t> Candidates;
    int32_t Queries = 0;
    // Hands over this many extra candidates (garbage indices) after the real ones.
    int32_t Garbage = 0;

    void AddTriangle(const RbVector& a, const RbVector& b, const RbVector& c) {
        const int32_t base = static_cast<int32_t>(Vertices.size());
        Vertices.push_back(a);
        Vertices.push_back(b);
        Vertices.push_back(c);
        RbTerrainTriangle t;
        t.Vertices[0] = base;
        t.Vertices[1] = base + 1;
        t.Vertices[2] = base + 2;
        Triangles.push_back(t);
    }
    // A flat square grid at height z from -half to +half on x and y, cells of the given size.
    void AddFlat(float half, float cell, float z) {
        const int n = static_cast<int>(std::lround(2.0f * half / cell));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                const float x0 = -half + cell * static_cast<float>(i);
                const float y0 = -half + cell * static_cast<float>(j);
                const float x1 = x0 + cell;
                const float y1 = y0 + cell;
                AddTriangle(RbVec(x0, y0, z), RbVec(x1, y0, z), RbVec(x1, y1, z));
                AddTriangle(RbVec(x0, y0, z), RbVec(x1, y1, z), RbVec(x0, y1, z));
            }
        }
    }
};

Terrain* ActiveTerrain = nullptr;

void QueryTerrain(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                  const RbTerrainTriangle*& triangles, const RbVector*& vertices, int32_t& candidateCount,
                  int32_t& triangleCount, RbBody*) {
    Terrain& t = *ActiveTerrain;
    ++t.Queries;
    t.Candidates.clear();
    for (size_t i = 0; i < t.Triangles.size(); ++i) {
        RbVector lo = RbVec(1e30f, 1e30f, 1e30f);
        RbVector hi = RbVec(-1e30f, -1e30f, -1e30f);
        for (int32_t v : t.Triangles[i].Vertices) {
            if (v >= 0) {
                lo = RbMin(lo, t.Vertices[static_cast<size_t>(v)]);
                hi = RbMax(hi, t.Vertices[static_cast<size_t>(v)]);
            }
        }
        if (lo.x <= upper.x && hi.x >= lower.x && lo.y <= upper.y && hi.y >= lower.y && lo.z <= upper.z &&
            hi.z >= lower.z) {
            t.Candidates.push_back(static_cast<int32_t>(i));
        }
    }
    for (int32_t i = 0; i < t.Garbage; ++i) {
        t.Candidates.push_back(i % 3 == 0 ? -5 : static_cast<int32_t>(t.Triangles.size()) + i);
    }
    candidates = t.Candidates.data();
    triangles = t.Triangles.data();
    vertices = t.Vertices.data();
    candidateCount = static_cast<int32_t>(t.Candidates.size());
    triangleCount = static_cast<int32_t>(t.Triangles.size());
}

std::vector<RbCollisionInfo> Reports;
void RecordCollision(RbCollisionInfo& info) { Reports.push_back(info); }

// A simulator with gravity along -z and an optional flat terrain at z = 0.
class StepTest : public testing::Test {
protected:
    void SetUp() override {
        ActiveTerrain = &Ground;
        Reports.clear();
    }
    void TearDown() override { ActiveTerrain = nullptr; }

    void MakeWorld(float gravity = G, bool withGround = true) {
        const RbVector g = RbVec(0.0f, 0.0f, -gravity);
        Sim.reset(RbSimulator::Create(nullptr, nullptr, &g));
        if (withGround) {
            Ground.AddFlat(20.0f, 4.0f, 0.0f);
            Sim->SetTerrainQueryCallback(QueryTerrain);
        }
    }

    // A box body of the given full sizes and mass with the inertia of a solid box.
    RbRigidBody* AddBox(const RbVector& size, float mass, const RbVector& position) {
        RbRigidBody* body = Sim->CreateRigidBody();
        body->AddGeometry()->SetBoxSize(size);
        body->UpdateBoundingInfo();
        body->SetMass(mass);
        body->SetInertiaTensor(RbVec(mass / 12.0f * (size.y * size.y + size.z * size.z),
                                     mass / 12.0f * (size.x * size.x + size.z * size.z),
                                     mass / 12.0f * (size.x * size.x + size.y * size.y)));
        body->SetPosition(RbVec(position.x, position.y, position.z, 1.0f));
        return body;
    }

    void Run(float seconds, float dt = Dt) {
        const int steps = static_cast<int>(std::lround(seconds / dt));
        for (int i = 0; i < steps; ++i) {
            Sim->Step(dt);
        }
    }

    Terrain Ground;
    SimulatorPtr Sim;
};

TEST_F(StepTest, FreeFallFollowsTheClosedForm) {
    MakeWorld(G, false);
    RbRigidBody* body = AddBox(RbVec(1, 1, 1), 2.0f, RbVec(0, 0, 100));
    body->SetVelocity(RbVec(1.0f, -2.0f, 3.0f));
    // Frame times the game may hand over, one slice and three.
    for (float dt : {Dt, 1.0f / 20.0f}) {
        body->SetPosition(RbVec(0, 0, 100, 1));
        body->SetVelocity(RbVec(1.0f, -2.0f, 3.0f));
        Run(2.0f, dt);
        const float t = 2.0f;
        EXPECT_NEAR(body->GetPosition().x, 1.0f * t, 1e-3f);
        EXPECT_NEAR(body->GetPosition().y, -2.0f * t, 1e-3f);
        EXPECT_NEAR(body->GetPosition().z, 100.0f + 3.0f * t - 0.5f * G * t * t, 2e-3f);
        EXPECT_NEAR(body->GetVelocity().z, 3.0f - G * t, 1e-3f);
        EXPECT_FALSE(body->IsResting());
    }
}

TEST_F(StepTest, BoxDroppedOnFlatTerrainRestsWithoutSinkingOrCreepingThenSleeps) {
    MakeWorld();
    RbRigidBody* box = AddBox(RbVec(1, 1, 1), 10.0f, RbVec(0.3f, -0.2f, 1.5f));
    float lowest = 1e9f;
    for (int i = 0; i < 180; ++i) {
        Sim->Step(Dt);
        lowest = std::fmin(lowest, box->GetPosition().z);
    }
    EXPECT_GT(lowest, 0.5f - 0.01f) << "penetration under 1 cm";
    const RbVector settled = box->GetPosition();
    EXPECT_NEAR(settled.z, 0.5f, 0.01f);
    Run(10.0f);
    const RbVector later = box->GetPosition();
    EXPECT_LT(std::fabs(later.x - settled.x), 1e-3f);
    EXPECT_LT(std::fabs(later.y - settled.y), 1e-3f);
    EXPECT_LT(std::fabs(later.z - settled.z), 1e-3f);
    EXPECT_TRUE(box->IsResting());
    // Still level.
    EXPECT_NEAR(box->GetTransform().M[2][2], 1.0f, 1e-3f);
}

// The step keeps what it learnt of the terrain's triangles; a terrain rewritten in place
// and announced is seen at once: the falling box lands on the lowered ground.
TEST_F(StepTest, TerrainRewrittenInPlaceIsSeenAfterTerrainChanged) {
    MakeWorld();
    RbRigidBody* box = AddBox(RbVec(1, 1, 1), 10.0f, RbVec(0.3f, -0.2f, 3.0f));
    Run(0.2f);
    const RbVector* vertices = Ground.Vertices.data();
    for (RbVector& v : Ground.Vertices) {
        v.z -= 2.0f;
    }
    ASSERT_EQ(Ground.Vertices.data(), vertices);
    Sim->TerrainChanged();
    Run(3.0f);
    EXPECT_NEAR(box->GetPosition().z, -1.5f, 0.01f);
}

TEST_F(StepTest, SlidingBoxStopsAtTheFrictionDistance) {
    for (float mu : {0.3f, 0.6f}) {
        Ground = Terrain{};
        MakeWorld();
        ASSERT_TRUE(Sim->SetMaterial(0, mu, 0.0f));
        RbRigidBody* box = AddBox(RbVec(1, 1, 0.5f), 5.0f, RbVec(-15.0f, 0.0f, 0.25f));
        Run(0.3f);  // settle on the ground
        const float start = box->GetPosition().x;
        const float v = 6.0f;
        box->SetVelocity(RbVec(v, 0.0f, 0.0f));
        Run(4.0f);
        const float expected = v * v / (2.0f * mu * G);
        EXPECT_NEAR(box->GetPosition().x - start, expected, 0.05f * expected) << "friction " << mu;
        EXPECT_NEAR(box->GetPosition().y, 0.0f, 1e-2f);
    }
}

TEST_F(StepTest, BounceRisesToRestitutionSquaredOfTheDropHeight) {
    MakeWorld();
    const float e = 0.6f;
    ASSERT_TRUE(Sim->SetMaterial(0, 0.5f, e));
    const float drop = 2.0f;
    RbRigidBody* box = AddBox(RbVec(0.5f, 0.5f, 0.5f), 1.0f, RbVec(0.0f, 0.0f, 0.25f + drop));
    bool bounced = false;
    float peak = 0.0f;
    for (int i = 0; i < 240; ++i) {
        Sim->Step(Dt);
        if (box->GetVelocity().z > 0.0f) {
            bounced = true;
        }
        if (bounced) {
            peak = std::fmax(peak, box->GetPosition().z - 0.25f);
            if (box->GetVelocity().z < 0.0f) {
                break;
            }
        }
    }
    ASSERT_TRUE(bounced);
    EXPECT_NEAR(peak, e * e * drop, 0.1f * e * e * drop);
}

TEST_F(StepTest, StackOfEightBoxesStands) {
    // At the game's usual frame time and at the longest it must stay stable with.
    for (float dt : {Dt, 1.0f / 20.0f}) {
        Ground = Terrain{};
        MakeWorld();
        std::vector<RbRigidBody*> stack;
        for (int i = 0; i < 8; ++i) {
            stack.push_back(AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0.0f, 0.0f, 0.5f + static_cast<float>(i))));
        }
        Run(20.0f, dt);
        for (int i = 0; i < 8; ++i) {
            const RbVector p = stack[static_cast<size_t>(i)]->GetPosition();
            EXPECT_NEAR(p.x, 0.0f, 0.02f) << i;
            EXPECT_NEAR(p.y, 0.0f, 0.02f) << i;
            EXPECT_NEAR(p.z, 0.5f + static_cast<float>(i), 0.05f) << i;
        }
        EXPECT_TRUE(stack.back()->IsResting());
    }
}

TEST_F(StepTest, RigidParticleFallsAndRestsLikeARigidBody) {
    MakeWorld();
    RbRigidBody* particle = Sim->CreateRigidParticle();
    ASSERT_NE(particle, nullptr);
    particle->AddGeometry()->SetBoxSize(0.2f, 0.2f, 0.2f);
    particle->UpdateBoundingInfo();
    particle->SetMass(0.1f);
    particle->SetInertiaTensor(RbVec(0.1f * 0.08f / 12.0f, 0.1f * 0.08f / 12.0f, 0.1f * 0.08f / 12.0f));
    particle->SetPosition(RbVec(1.0f, 1.0f, 2.0f, 1.0f));
    Run(3.0f);
    EXPECT_NEAR(particle->GetPosition().z, 0.1f, 0.01f);
    EXPECT_TRUE(particle->IsResting());
}

// Counts its calls; pushes nothing.
class CountingController final : public RbControllerCallback {
public:
    int Calls = 0;
    float LastStep = 0.0f;
    void OnStep(RbController*, float timeStep) override {
        ++Calls;
        LastStep = timeStep;
    }
};

TEST_F(StepTest, ControllersAreCalledWhenDueWithTheSlice) {
    MakeWorld(0.0f, false);
    RbRigidBody* body = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0, 0, 0));
    CountingController every;
    CountingController third;
    body->AddController(&every, 1);
    body->AddController(&third, 3);
    Run(1.0f);
    EXPECT_EQ(every.Calls, 60);
    EXPECT_EQ(third.Calls, 20);
    EXPECT_FLOAT_EQ(every.LastStep, Dt);
    // A 1/20 s frame runs as three slices.
    Sim->Step(1.0f / 20.0f);
    EXPECT_EQ(every.Calls, 63);
    EXPECT_NEAR(every.LastStep, 1.0f / 60.0f, 1e-6f);
}

TEST_F(StepTest, SensorsSeeOtherBodiesAndTheNearestHit) {
    MakeWorld();
    // A kinematic slab 0.5 m thick with its top at z = 1, under the first of two sensors.
    RbKinematicBody* slab = Sim->CreateKinematicBody();
    slab->AddGeometry()->SetBoxSize(2.0f, 2.0f, 0.5f);
    slab->UpdateBoundingInfo();
    slab->SetPosition(RbVec(0.0f, 0.0f, 0.75f, 1.0f));
    RbRigidBody* probe = AddBox(RbVec(0.2f, 0.2f, 0.2f), 1.0f, RbVec(0.0f, 0.0f, 3.0f));
    probe->SetMass(0.0f);  // held in place
    RbSensor* overSlab = probe->AddSensor();
    overSlab->SetLine(RbVec(0, 0, 0), RbVec(0, 0, -4));
    RbSensor* overGround = probe->AddSensor();
    overGround->SetLine(RbVec(3, 0, 0), RbVec(0, 0, -4));
    RbSensor* tooShort = probe->AddSensor();
    tooShort->SetLine(RbVec(0, 0, 0), RbVec(0, 0, -1));
    probe->UpdateBoundingInfo();
    Sim->Step(Dt);
    EXPECT_NEAR(overSlab->GetDetectDepth(), 2.0f, 1e-4f);  // hit at 2 m of 4
    EXPECT_NEAR(overSlab->GetDetectContactPoint().z, 1.0f, 1e-4f);
    EXPECT_NEAR(overSlab->GetDetectNormal().z, 1.0f, 1e-5f);
    EXPECT_NEAR(overGround->GetDetectDepth(), 1.0f, 1e-4f);  // the ground at 3 m of 4
    EXPECT_NEAR(overGround->GetDetectContactPoint().x, 3.0f, 1e-4f);
    EXPECT_EQ(tooShort->GetDetectDepth(), 0.0f);
}

TEST_F(StepTest, KinematicSensorSeesALyingCylinder) {
    MakeWorld(G, false);
    // A barrel lying along y (the cylinder's axis is its local y) with its axis at z = 1.
    RbRigidBody* barrel = Sim->CreateRigidBody();
    barrel->AddGeometry()->SetCylinder(1.0f, 2.0f);
    barrel->UpdateBoundingInfo();
    barrel->SetMass(0.0f);  // held in place
    barrel->SetPosition(RbVec(0.0f, 0.0f, 1.0f, 1.0f));
    RbKinematicBody* probe = Sim->CreateKinematicBody();
    probe->AddGeometry()->SetBoxSize(0.1f, 0.1f, 0.1f);
    RbSensor* down = probe->AddSensor();
    down->SetLine(RbVec(0.0f, 0.0f, 0.0f), RbVec(0.0f, 0.0f, -2.0f));
    probe->UpdateBoundingInfo();
    probe->SetPosition(RbVec(0.0f, 0.5f, 2.5f, 1.0f));
    Sim->Step(Dt);
    // The prism's top corner lies on the circle: the top at z = 1.5, 1 m below the start.
    EXPECT_NEAR(down->GetDetectDepth(), 1.0f, 1e-4f);
    EXPECT_NEAR(down->GetDetectContactPoint().z, 1.5f, 1e-4f);
    EXPECT_GT(down->GetDetectNormal().z, 0.8f);
}

TEST_F(StepTest, SpinningBoxKeepsItsAngularMomentum) {
    MakeWorld(0.0f, false);
    RbRigidBody* box = AddBox(RbVec(1.0f, 2.0f, 3.0f), 3.0f, RbVec(0, 0, 0));
    // Mostly about the intermediate axis, the unstable one: the box tumbles.
    const RbVector momentum = RbVec(0.05f, 2.0f, 0.1f);
    box->SetAngularMomentum(momentum);
    Run(10.0f);
    const RbVector l = box->Motion.AngularMomentum;
    const float error = RbLength(RbSub(l, momentum)) / RbLength(momentum);
    EXPECT_LT(error, 0.01f);
    // The orientation stays a unit quaternion and the rotation follows it.
    const RbQuaternion q = box->GetOrientation();
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-4f);
    // It did turn.
    EXPECT_LT(std::fabs(q.w), 0.999f);
    // The world inverse inertia follows the rotation: in column terms R·I⁻¹·Rᵀ, which for
    // the row layout (rows = body axes in the world) is Σ_k row_k ⊗ row_k / I_k.
    const RbMatrix4 t = box->GetTransform();
    const float inertia[3] = {3.0f / 12.0f * (4.0f + 9.0f), 3.0f / 12.0f * (1.0f + 9.0f), 3.0f / 12.0f * (1.0f + 4.0f)};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            float expected = 0.0f;
            for (int k = 0; k < 3; ++k) {
                expected += t.M[k][i] * t.M[k][j] / inertia[k];
            }
            EXPECT_NEAR(RbComponent(box->WorldInverseInertia.Rows[i], j), expected, 1e-4f) << i << j;
        }
    }
    // ω = I⁻¹(world)·L.
    const RbVector w = RbTransform(l, box->WorldInverseInertia);
    EXPECT_NEAR(w.x, box->GetAngularVelocity().x, 1e-5f);
    EXPECT_NEAR(w.y, box->GetAngularVelocity().y, 1e-5f);
}

// Suspension of a car-like body: each wheel sensor pushes up with k·depth along the ground's
// normal and damps along its line.
class Suspension final : public RbControllerCallback {
public:
    float Stiffness = 2000.0f;
    float Damping = 300.0f;
    int Calls = 0;
    void OnStep(RbController* controller, float) override {
        ++Calls;
        RbRigidBody* body = controller->Body;
        const RbMatrix4 transform = body->GetTransform();
        RbMatrix3 rotation;
        for (int i = 0; i < 3; ++i) {
            rotation.Rows[i] = transform.Row(i);
            rotation.Rows[i].w = 0.0f;
        }
        RbVector force;
        RbVector torque;
        for (RbSensor* s = body->Sensors; s != nullptr; s = s->Next) {
            const float depth = s->GetDetectDepth();
            if (depth <= 0.0f) {
                continue;
            }
            RbVector n = s->GetDetectNormal();
            if (n.z < 0.0f) {
                n = RbScale(n, -1.0f);
            }
            const RbVector u = RbTransform(s->GetLineDirection(), rotation);
            const RbVector r = RbTransform(s->GetLinePosition(), rotation);
            const RbVector spring = RbScale(n, Stiffness * depth);
            const RbVector v = body->GetVelocityAtPoint(r);
            const RbVector damper = RbScale(u, -RbDot(v, u) * Damping);
            const RbVector f = RbAdd(spring, damper);
            force = RbAdd(force, f);
            torque = RbAdd(torque, RbCross(r, f));
        }
        controller->SetForce(force);
        controller->SetTorque(torque);
    }
};

TEST_F(StepTest, CarLikeBodySettlesAtTheSpringsRideHeight) {
    MakeWorld();
    const float mass = 100.0f;
    RbRigidBody* car = AddBox(RbVec(2.0f, 4.0f, 0.5f), mass, RbVec(2.0f, 1.0f, 1.2f));
    std::vector<RbSensor*> sensors;
    for (int i = 0; i < 4; ++i) {
        RbSensor* s = car->AddSensor();
        s->SetLine(RbVec(i % 2 == 0 ? -0.8f : 0.8f, i < 2 ? -1.5f : 1.5f, 0.0f), RbVec(0.0f, 0.0f, -1.0f));
        sensors.push_back(s);
    }
    car->UpdateBoundingInfo();
    Suspension suspension;
    RbController* controller = car->AddController(&suspension, 0);
    ASSERT_NE(controller, nullptr);
    Run(6.0f);
    // Four springs carry the weight: k·d·4 = m·g; the sensors start at the body's centre.
    const float depth = mass * G / (4.0f * suspension.Stiffness);
    EXPECT_NEAR(car->GetPosition().z, 1.0f - depth, 0.01f);
    EXPECT_NEAR(RbLength(car->GetVelocity()), 0.0f, 1e-2f);
    for (RbSensor* s : sensors) {
        EXPECT_NEAR(s->GetDetectDepth(), depth, 0.01f);
        EXPECT_NEAR(s->GetDetectContactPoint().z, 0.0f, 1e-4f);
        EXPECT_NEAR(std::fabs(s->GetDetectNormal().z), 1.0f, 1e-5f);
    }
    EXPECT_EQ(suspension.Calls, 360);
    EXPECT_FALSE(car->IsResting());
}

TEST_F(StepTest, KinematicBodyPushesARigidBody) {
    MakeWorld();
    ASSERT_TRUE(Sim->SetMaterial(0, 0.3f, 0.0f));
    RbKinematicBody* pusher = Sim->CreateKinematicBody();
    pusher->AddGeometry()->SetBoxSize(1.0f, 3.0f, 1.0f);
    pusher->UpdateBoundingInfo();
    pusher->SetPosition(RbVec(-3.0f, 0.0f, 0.5f, 1.0f));
    RbRigidBody* box = AddBox(RbVec(1, 1, 1), 2.0f, RbVec(-1.0f, 0.0f, 0.5f));
    Run(0.5f);
    EXPECT_NEAR(box->GetPosition().x, -1.0f, 1e-3f);
    const float speed = 1.5f;
    float x = -3.0f;
    for (int i = 0; i < 180; ++i) {
        x += speed * Dt;
        pusher->SetPosition(RbVec(x, 0.0f, 0.5f, 1.0f));
        Sim->Step(Dt);
    }
    // The box travels ahead of the pusher, in touch with it, at its speed.
    EXPECT_NEAR(box->GetPosition().x, x + 1.0f, 0.05f);
    EXPECT_NEAR(box->GetVelocity().x, speed, 0.1f);
    EXPECT_NEAR(box->GetPosition().z, 0.5f, 0.01f);
}

TEST_F(StepTest, TeleportedKinematicBodyPushesOutInsteadOfHitting) {
    MakeWorld();
    RbKinematicBody* wall = Sim->CreateKinematicBody();
    wall->AddGeometry()->SetBoxSize(1.0f, 4.0f, 2.0f);
    wall->UpdateBoundingInfo();
    wall->SetPosition(RbVec(-50.0f, 0.0f, 1.0f, 1.0f));
    RbRigidBody* box = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0.0f, 0.0f, 0.5f));
    Run(0.5f);
    wall->SetPosition(RbVec(-0.95f, 0.0f, 1.0f, 1.0f));  // 5 cm into the box
    Sim->Step(Dt);
    EXPECT_LT(RbLength(box->GetVelocity()), 4.0f);
    Run(0.5f);
    EXPECT_GT(box->GetPosition().x, 0.04f);
    EXPECT_LT(box->GetPosition().x, 0.5f);
}

TEST_F(StepTest, TurningKinematicPaddleSweepsARigidBodyAlong) {
    MakeWorld();
    ASSERT_TRUE(Sim->SetMaterial(0, 0.2f, 0.0f));
    RbKinematicBody* paddle = Sim->CreateKinematicBody();
    paddle->AddGeometry()->SetBoxSize(6.0f, 0.4f, 1.0f);
    paddle->UpdateBoundingInfo();
    paddle->SetPosition(RbVec(0.0f, 0.0f, 0.5f, 1.0f));
    RbRigidBody* box = AddBox(RbVec(0.8f, 0.8f, 0.8f), 1.0f, RbVec(2.0f, 0.7f, 0.4f));
    Run(0.3f);
    const float rate = 1.0f;  // rad/s about z
    float angle = 0.0f;
    for (int i = 0; i < 60; ++i) {
        angle += rate * Dt;
        paddle->SetRotation(RbQuaternion{0.0f, 0.0f, std::sin(0.5f * angle), std::cos(0.5f * angle)});
        Sim->Step(Dt);
    }
    // In the paddle's frame the box stays in front of the arm: pushed, not passed through.
    const RbVector p = box->GetPosition();
    const float along = p.x * std::cos(angle) + p.y * std::sin(angle);
    const float ahead = -p.x * std::sin(angle) + p.y * std::cos(angle);
    EXPECT_GT(ahead, 0.2f + 0.4f - 0.05f);
    EXPECT_GT(along, 1.0f);
    EXPECT_GT(std::atan2(p.y, p.x), angle - 0.1f);
    // Carried at the arm's speed there: the paddle pushes with the velocity its turning gives
    // that point, not only by pushing the overlap out.
    const RbVector v = box->GetVelocity();
    const float sideways = -v.x * std::sin(angle) + v.y * std::cos(angle);
    EXPECT_NEAR(sideways, rate * along, 0.25f * rate * along);
}

TEST_F(StepTest, CollisionTableCodeDecidesWhetherBodiesMeet) {
    struct Case {
        int32_t Code;
        bool Pass;
        bool Reported;
    };
    for (const Case c : {Case{0, true, false}, Case{1, false, false}, Case{2, true, true}, Case{3, false, true}}) {
        Reports.clear();
        MakeWorld(0.0f, false);
        Sim->GetCollisionTable()->Set(0, 0, c.Code);
        Sim->SetCollisionCallback(RecordCollision);
        RbRigidBody* a = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(-2, 0, 0));
        RbRigidBody* b = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(2, 0, 0));
        a->SetVelocity(RbVec(2, 0, 0));
        b->SetVelocity(RbVec(-2, 0, 0));
        Run(2.0f);
        if (c.Pass) {
            EXPECT_GT(a->GetPosition().x, 1.0f) << c.Code;
            EXPECT_LT(b->GetPosition().x, -1.0f) << c.Code;
        } else {
            EXPECT_LT(a->GetPosition().x, -0.4f) << c.Code;
            EXPECT_GT(b->GetPosition().x, 0.4f) << c.Code;
        }
        EXPECT_EQ(!Reports.empty(), c.Reported) << c.Code;
        for (const RbCollisionInfo& info : Reports) {
            EXPECT_EQ(info.KindA, 1);
            EXPECT_EQ(info.KindB, 1);
        }
    }
}

TEST_F(StepTest, CollisionGroupsPickTheirTableEntry) {
    MakeWorld(0.0f, false);
    Sim->GetCollisionTable()->Set(1, 2, 0);  // groups 1 and 2 ignore each other
    RbRigidBody* a = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(-2, 0, 0));
    RbRigidBody* b = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(2, 0, 0));
    RbRigidBody* c = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(2, 3, 0));
    RbRigidBody* d = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(-2, 3, 0));
    a->SetCollisionGroup(1);
    b->SetCollisionGroup(2);
    c->SetCollisionGroup(1);  // against d in group 0: the default entry, 1
    c->SetCollisionGroup(64);  // out of range: stays 1
    EXPECT_EQ(c->GetCollisionGroup(), 1);
    EXPECT_EQ(d->GetCollisionGroup(), 0);
    a->SetVelocity(RbVec(2, 0, 0));
    b->SetVelocity(RbVec(-2, 0, 0));
    c->SetVelocity(RbVec(-2, 0, 0));
    d->SetVelocity(RbVec(2, 0, 0));
    Run(2.0f);
    EXPECT_GT(a->GetPosition().x, 1.0f);  // passed through b
    EXPECT_GT(c->GetPosition().x, d->GetPosition().x + 0.9f);  // met d and bounced back
}

TEST_F(StepTest, CallbackReceivesTheImpulseOfABoxHittingAWall) {
    for (float e : {0.0f, 0.5f}) {
        Reports.clear();
        Ground = Terrain{};
        MakeWorld(0.0f, false);
        Sim->SetMaterial(0, 0.5f, e);
        Sim->GetCollisionTable()->Set(0, 0, 3);
        Sim->SetCollisionCallback(RecordCollision);
        RbKinematicBody* wall = Sim->CreateKinematicBody();
        wall->AddGeometry()->SetBoxSize(1.0f, 10.0f, 10.0f);
        wall->UpdateBoundingInfo();
        wall->SetPosition(RbVec(3.0f, 0.0f, 0.0f, 1.0f));
        const float mass = 4.0f;
        const float v = 5.0f;
        RbRigidBody* box = AddBox(RbVec(1, 1, 1), mass, RbVec(0, 0, 0));
        box->SetVelocity(RbVec(v, 0, 0));
        Run(1.0f);
        ASSERT_EQ(Reports.size(), 1u) << e;
        const RbCollisionInfo& info = Reports[0];
        EXPECT_EQ(info.BodyA, box);
        EXPECT_EQ(info.BodyB, wall);
        EXPECT_EQ(info.KindA, 1);
        EXPECT_EQ(info.KindB, 0);
        EXPECT_NEAR(RbLength(info.Contact), mass * v * (1.0f + e), 0.05f * mass * v * (1.0f + e)) << e;
        EXPECT_NEAR(info.Normal.x, -1.0f, 1e-4f);
        EXPECT_LT(info.Contact.x, 0.0f);
        EXPECT_NEAR(info.PointA.x, 2.5f, 0.05f);
        EXPECT_NEAR(box->GetVelocity().x, -e * v, 0.1f) << e;
    }
}

TEST_F(StepTest, GroundContactReportsOnceWithAVerticalNormal) {
    MakeWorld();
    Sim->GetCollisionTable()->Set(0, -1, 3);
    Sim->SetCollisionCallback(RecordCollision);
    AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0.5f, 0.5f, 1.0f));
    Run(2.0f);
    // The box bounces (restitution 0.4) a few times, each a new impact; then rests quietly.
    ASSERT_GE(Reports.size(), 1u);
    EXPECT_LE(Reports.size(), 4u);
    const size_t settled = Reports.size();
    Run(1.0f);
    EXPECT_EQ(Reports.size(), settled);
    EXPECT_EQ(Reports[0].BodyB, nullptr);
    EXPECT_EQ(Reports[0].KindB, 0);
    EXPECT_EQ(Reports[0].Normal.x, 0.0f);
    EXPECT_EQ(Reports[0].Normal.y, 0.0f);
    EXPECT_EQ(Reports[0].Normal.z, 1.0f);
    EXPECT_NEAR(Reports[0].PointA.z, 0.0f, 0.05f);
}

// A mass of 0 (or below, or not finite) makes a body static: a box dropped on its edge
// bounces off it without moving or turning it, and gravity leaves it where it was put.
TEST_F(StepTest, BodyWithoutMassIsStatic) {
    const float inf = std::numeric_limits<float>::infinity();
    for (float mass : {0.0f, -2.0f, inf}) {
        SCOPED_TRACE(mass);
        Ground = Terrain{};
        MakeWorld();
        RbRigidBody* anvil = AddBox(RbVec(2, 2, 1), 1.0f, RbVec(0, 0, 1.5f));
        anvil->SetMass(mass);
        EXPECT_EQ(anvil->InverseMass, 0.0f);
        RbRigidBody* falling = AddBox(RbVec(1, 1, 1), 5.0f, RbVec(0.6f, 0.0f, 3.5f));
        Run(1.5f);
        EXPECT_GT(falling->GetPosition().z, 2.4f);  // it met the anvil
        EXPECT_EQ(anvil->GetPosition().x, 0.0f);
        EXPECT_EQ(anvil->GetPosition().z, 1.5f);
        EXPECT_EQ(anvil->GetOrientation().w, 1.0f);
        EXPECT_EQ(anvil->GetOrientation().y, 0.0f);
    }
}

TEST_F(StepTest, ARestingBoxWakesWhenHit) {
    MakeWorld();
    RbRigidBody* below = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0, 0, 0.5f));
    Run(1.5f);
    ASSERT_TRUE(below->IsResting());
    RbRigidBody* above = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0.2f, 0, 3.0f));
    bool woke = false;
    for (int i = 0; i < 120; ++i) {
        Sim->Step(Dt);
        woke = woke || !below->IsResting();
    }
    EXPECT_TRUE(woke);
    EXPECT_NEAR(above->GetPosition().z, 1.5f, 0.02f);
    // A force wakes a resting body; a controller that pushes too.
    Run(2.0f);
    ASSERT_TRUE(above->IsResting());
    above->SetForce(RbVec(0, 0, 1), above->GetPosition());
    EXPECT_FALSE(above->IsResting());
}

// Walks the state of every active rigid body into one hash.
uint64_t StateHash(RbSimulator& sim) {
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](const void* data, size_t size) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash = (hash ^ bytes[i]) * 1099511628211ull;
        }
    };
    for (RbBodyListKind kind : {RbActiveRigidBodies, RbActiveRigidParticles}) {
        for (RbBody* b = sim.GetBodyList(kind).Head; b != nullptr; b = b->ListNext) {
            const RbRigidBody& r = static_cast<const RbRigidBody&>(*b);
            mix(&r.Motion.Position, 12);
            mix(&r.Motion.Orientation, 16);
            mix(&r.Velocity, 12);
            mix(&r.Motion.AngularMomentum, 12);
        }
    }
    return hash;
}

// A scene that goes through every part of the step: tumbling boxes falling into a stack, a
// rolling barrel, a bouncing box, a kinematic paddle sweeping through, a sensor probe, two
// materials and reported contacts. Returns the hash of the state after two seconds, with the
// reported impulses mixed in.
uint64_t RunMixedScene(Terrain& ground, SimulatorPtr& sim) {
    ground = Terrain{};
    Reports.clear();
    const RbVector g = RbVec(0.0f, 0.0f, -G);
    sim.reset(RbSimulator::Create(nullptr, nullptr, &g));
    ground.AddFlat(20.0f, 4.0f, 0.0f);
    sim->SetTerrainQueryCallback(QueryTerrain);
    sim->SetCollisionCallback(RecordCollision);
    sim->GetCollisionTable()->Set(0, 0, 3);
    sim->GetCollisionTable()->Set(0, -1, 3);
    sim->SetMaterial(1, 0.8f, 0.6f);
    auto box = [&sim](const RbVector& size, float mass, const RbVector& position) {
        RbRigidBody* body = sim->CreateRigidBody();
        body->AddGeometry()->SetBoxSize(size);
        body->UpdateBoundingInfo();
        body->SetMass(mass);
        body->SetInertiaTensor(RbVec(mass / 12.0f * (size.y * size.y + size.z * size.z),
                                     mass / 12.0f * (size.x * size.x + size.z * size.z),
                                     mass / 12.0f * (size.x * size.x + size.y * size.y)));
        body->SetPosition(RbVec(position.x, position.y, position.z, 1.0f));
        return body;
    };
    for (int i = 0; i < 6; ++i) {
        RbRigidBody* b = box(RbVec(1.0f, 0.8f, 0.6f), 1.0f + static_cast<float>(i),
                             RbVec(0.3f * static_cast<float>(i), 0.1f, 0.5f + 1.1f * static_cast<float>(i)));
        b->SetAngularMomentum(RbVec(0.1f * static_cast<float>(i), 0.0f, 0.2f));
    }
    RbRigidBody* barrel = sim->CreateRigidBody();
    barrel->AddGeometry()->SetCylinder(0.8f, 1.2f);
    barrel->UpdateBoundingInfo();
    barrel->SetInertiaTensor(RbInertia::Cylinder(0.8f, 1.2f, 1.0f));
    barrel->SetPosition(RbVec(3.0f, 0.0f, 2.0f, 1.0f));
    barrel->SetVelocity(RbVec(-1.0f, 0.0f, 0.0f));
    RbRigidBody* bouncer = box(RbVec(0.5f, 0.5f, 0.5f), 2.0f, RbVec(-3.0f, 2.0f, 3.0f));
    bouncer->Geometries->SetMaterialIndex(1);
    RbRigidBody* probe = box(RbVec(0.4f, 0.4f, 0.4f), 0.0f, RbVec(-3.0f, -3.0f, 2.0f));
    RbSensor* sensor = probe->AddSensor();
    sensor->SetLine(RbVec(0, 0, 0), RbVec(0, 0, -3));
    probe->UpdateBoundingInfo();
    RbKinematicBody* paddle = sim->CreateKinematicBody();
    paddle->AddGeometry()->SetBoxSize(3.0f, 0.4f, 1.0f);
    paddle->UpdateBoundingInfo();
    paddle->SetPosition(RbVec(-3.0f, -6.0f, 0.5f, 1.0f));
    box(RbVec(0.8f, 0.8f, 0.8f), 1.0f, RbVec(-3.0f, -4.5f, 0.4f));  // in the paddle's way
    uint64_t sensed = 0;
    for (int i = 0; i < 120; ++i) {
        paddle->SetPosition(RbVec(-3.0f, -6.0f + 0.03f * static_cast<float>(i), 0.5f, 1.0f));
        sim->Step(Dt);
        float depth = sensor->GetDetectDepth();
        uint32_t bits = 0;
        std::memcpy(&bits, &depth, sizeof(bits));
        sensed = sensed * 31u + bits;
    }
    uint64_t hash = StateHash(*sim) ^ sensed;
    for (const RbCollisionInfo& info : Reports) {
        uint32_t bits[3] = {};
        std::memcpy(bits, &info.Contact, sizeof(bits));
        hash = (hash ^ bits[0] ^ (uint64_t{bits[1]} << 21) ^ (uint64_t{bits[2]} << 42)) * 1099511628211ull;
    }
    return hash ^ Reports.size();
}

TEST_F(StepTest, TwoRunsAreBitIdentical) {
    const uint64_t first = RunMixedScene(Ground, Sim);
    EXPECT_GT(Reports.size(), 8u);
    EXPECT_EQ(RunMixedScene(Ground, Sim), first);
}

// The same scene against the hash it gave when it was written: a change to the step that is
// meant to keep results (a refactoring, a speed-up) must keep this number. A change that is
// meant to alter the physics updates it, and says so.
TEST_F(StepTest, MixedSceneKeepsItsStateHash) {
    EXPECT_EQ(RunMixedScene(Ground, Sim), 17995574509227308060ull);
}

TEST_F(StepTest, CylinderRestsOnItsSideAndOnItsEnd) {
    MakeWorld();
    // Axis along local Y: upright when local Y is world Z.
    RbRigidBody* upright = Sim->CreateRigidBody();
    RbGeometry* g = upright->AddGeometry();
    g->SetCylinder(1.0f, 2.0f);
    upright->UpdateBoundingInfo();
    const float s = std::sqrt(0.5f);
    upright->SetRotation(RbQuaternion{s, 0.0f, 0.0f, s});  // local Y onto world Z
    upright->SetPosition(RbVec(-5.0f, 0.0f, 1.2f, 1.0f));
    RbRigidBody* lying = Sim->CreateRigidBody();
    lying->AddGeometry()->SetCylinder(1.0f, 2.0f);
    lying->UpdateBoundingInfo();
    lying->SetPosition(RbVec(5.0f, 0.0f, 0.8f, 1.0f));
    Run(3.0f);
    EXPECT_NEAR(upright->GetPosition().z, 1.0f, 0.01f);
    // The 12-sided prism lies on a side or a corner edge: its centre sits between the
    // polygon's inner radius and the cylinder's radius.
    EXPECT_GT(lying->GetPosition().z, 0.5f * std::cos(3.14159265f / 12.0f) - 0.01f);
    EXPECT_LT(lying->GetPosition().z, 0.5f + 0.01f);
}

// A unit quaternion from the game's generator, for tumbling starts.
RbQuaternion RandomOrientation(uint32_t* seed) {
    float q[4];
    float length = 0.0f;
    for (float& c : q) {
        *seed = *seed * 214013u + 2531011u;
        c = static_cast<float>((*seed >> 16) & 0x7FFF) / 32767.0f - 0.5f;
        length += c * c;
    }
    length = std::sqrt(length);
    return RbQuaternion{q[0] / length, q[1] / length, q[2] / length, q[3] / length};
}

TEST_F(StepTest, TumblingBoxesAndCylindersComeToRestOnTheirFaces) {
    // Each dropped apart from the others, from a random orientation: corners and edges hit
    // first, and every body must end lying still on a face.
    MakeWorld();
    uint32_t seed = 7;
    std::vector<RbRigidBody*> bodies;
    for (int i = 0; i < 10; ++i) {
        RbRigidBody* body = Sim->CreateRigidBody();
        RbGeometry* g = body->AddGeometry();
        if (i % 3 == 2) {
            g->SetCylinder(0.8f, 1.0f);
        } else {
            g->SetBoxSize(1.0f, 0.6f, 0.8f);
        }
        body->UpdateBoundingInfo();
        body->SetMass(2.0f);
        body->SetInertiaTensor(RbVec(0.3f, 0.3f, 0.3f));
        body->SetRotation(RandomOrientation(&seed));
        body->SetPosition(RbVec(-12.0f + 2.5f * static_cast<float>(i), 0.3f * static_cast<float>(i % 2),
                                1.0f + 0.3f * static_cast<float>(i), 1.0f));
        bodies.push_back(body);
    }
    Run(10.0f);
    for (RbRigidBody* body : bodies) {
        const RbVector p = body->GetPosition();
        EXPECT_GT(p.z, 0.29f) << "no body sinks below its smallest half size";
        EXPECT_TRUE(body->IsResting());
        const RbMatrix4 t = body->GetTransform();
        if (body->Geometries->Type == RbShapeCylinder) {
            // On an end (axis vertical) or on a side (axis level).
            const float up = std::fabs(t.M[1][2]);
            EXPECT_TRUE(up > 0.99f || up < 0.01f) << up;
        } else {
            // On a face: some body axis is vertical.
            float most = 0.0f;
            for (int k = 0; k < 3; ++k) {
                most = std::fmax(most, std::fabs(t.M[k][2]));
            }
            EXPECT_GT(most, 0.99f);
        }
    }
}

TEST_F(StepTest, ARunningSceneAllocatesNothing) {
    CountingAllocator allocator;
    const RbVector g = RbVec(0.0f, 0.0f, -G);
    Sim.reset(RbSimulator::Create(nullptr, &allocator, &g));
    Ground.AddFlat(20.0f, 4.0f, 0.0f);
    Sim->SetTerrainQueryCallback(QueryTerrain);
    for (int i = 0; i < 6; ++i) {
        AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0.2f * static_cast<float>(i), 0.0f, 0.5f + 1.05f * static_cast<float>(i)));
    }
    RbRigidBody* slider = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(-10.0f, 0.0f, 0.5f));
    Run(1.0f);
    const int warm = allocator.Calls;
    slider->SetVelocity(RbVec(3.0f, 0.0f, 0.0f));
    Run(2.0f);
    EXPECT_EQ(allocator.Calls, warm);
    Sim.reset();
    EXPECT_EQ(allocator.Outstanding, 0) << "the step's arrays go back through the allocator";
}

TEST_F(StepTest, DegenerateInputNeverPutsNaNIntoTheState) {
    MakeWorld();
    // A degenerate terrain triangle right under the bodies, and garbage candidate indices.
    Ground.AddTriangle(RbVec(0, 0, 0.1f), RbVec(1, 1, 0.1f), RbVec(2, 2, 0.1f));
    Ground.AddTriangle(RbVec(0, 0, 0.2f), RbVec(0, 0, 0.2f), RbVec(0, 0, 0.2f));
    RbTerrainTriangle unfilled;  // indices -1
    Ground.Triangles.push_back(unfilled);
    Ground.Garbage = 3000;  // far more candidates than a body's work array holds
    RbRigidBody* zeroBox = AddBox(RbVec(0, 0, 0), 1.0f, RbVec(0, 0, 1));
    RbRigidBody* a = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(3, 3, 2));
    RbRigidBody* b = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(3, 3, 2));  // coincident centres
    RbSensor* sensor = a->AddSensor();
    sensor->SetLine(RbVec(0, 0, 0), RbVec(0, 0, 0));  // zero length
    a->UpdateBoundingInfo();
    RbRigidBody* flat = Sim->CreateRigidBody();
    flat->AddGeometry()->SetCylinder(0.0f, 0.0f);
    flat->UpdateBoundingInfo();
    flat->SetPosition(RbVec(-3, -3, 1, 1));
    for (float dt : {Dt, 0.0f, -1.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                     1e30f, Dt}) {
        Sim->Step(dt);
    }
    Run(1.0f);
    for (RbRigidBody* body : {zeroBox, a, b, flat}) {
        EXPECT_TRUE(RbIsFinite(body->GetPosition()));
        EXPECT_TRUE(RbIsFinite(body->GetVelocity()));
        EXPECT_TRUE(RbIsFinite(body->GetOrientation()));
        EXPECT_TRUE(RbIsFinite(body->Motion.AngularMomentum));
    }
    EXPECT_EQ(sensor->GetDetectDepth(), 0.0f);
    // The overlapping pair was pushed apart.
    EXPECT_GT(RbLength(RbSub(a->GetPosition(), b->GetPosition())), 0.9f);
    EXPECT_GT(Ground.Queries, 0);
}

TEST_F(StepTest, HugeForcesLeaveTheStateFinite) {
    MakeWorld();
    RbRigidBody* box = AddBox(RbVec(1, 1, 1), 1.0f, RbVec(0, 0, 0.5f));
    box->SetForce(RbVec(3e38f, 0, 0), RbVec(0, 0, 3));
    Run(0.5f);
    EXPECT_TRUE(RbIsFinite(box->GetPosition()));
    EXPECT_TRUE(RbIsFinite(box->GetVelocity()));
    EXPECT_TRUE(RbIsFinite(box->Motion.AngularMomentum));
}

}  // namespace
