#include "SimulatorFixture.h"

#include "physics/RbSimulator.h"

#include "platform/win32/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using PhysicsFixture::CountingAllocator;
using PhysicsFixture::SimulatorPtr;

SimulatorPtr MakeSimulator(const RbSizeLimits& limits, RbAllocator* allocator = nullptr,
                           const RbVector* gravity = nullptr) {
    return SimulatorPtr(RbSimulator::Create(&limits, allocator, gravity));
}

TEST(RbSimulator, ConstructionDefaults) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->GetStatus(), 1);
    EXPECT_EQ(sim->GetLimits().rigidBodiesCount, 50);
    EXPECT_EQ(sim->GetLimits().pairsCount, 1225);
    EXPECT_EQ(sim->GetLimits().nodesGrowByCount, -1);
    EXPECT_EQ(sim->GetGravityMagnitude(), 0.0f);
    for (int i : {0, 17, 255}) {
        const RbMaterial* m = sim->GetMaterial(i);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Friction, 0.5f);
        EXPECT_EQ(m->Restitution, 0.4f);
        EXPECT_EQ(m->ThirdCoefficient, 1.0f);
    }
    const RbCollisionTable* table = sim->GetCollisionTable();
    for (int a = 0; a < 64; ++a) {
        EXPECT_EQ(table->Terrain[a], 1);
        for (int b = 0; b < 64; ++b) {
            ASSERT_EQ(table->Entries[a][b], 1);
        }
    }
    for (int kind = 0; kind < RbBodyListCount; ++kind) {
        EXPECT_EQ(sim->GetBodyList(static_cast<RbBodyListKind>(kind)).Count, 0);
    }
    EXPECT_EQ(sim->GetCollisionCallback(), nullptr);
    EXPECT_EQ(sim->GetTerrainQueryCallback(), nullptr);
    const RbMatrix4 identity;
    EXPECT_EQ(std::memcmp(&sim->GetTerrainTransform(), &identity, sizeof(identity)), 0);
}

TEST(RbSimulator, RigidPoolExhaustion) {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 2;
    SimulatorPtr sim = MakeSimulator(limits);
    RbRigidBody* first = sim->CreateRigidBody();
    RbRigidBody* second = sim->CreateRigidBody();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->Id, 0);
    EXPECT_EQ(second->Id, 1);
    EXPECT_EQ(sim->CreateRigidBody(), nullptr);
    EXPECT_STREQ(RbSimulator::GetErrorText(), "Run out of RigidBodies. Increase 'rigidBodiesCount'.\n");
    EXPECT_EQ(sim->GetBodyList(RbActiveRigidBodies).Count, 2);
}

struct ExhaustionCase {
    const char* name;
    std::function<void(RbSizeLimits&)> limit;
    std::function<bool(RbSimulator&)> createTwice;  // true when the second creation failed
    const char* message;
};

TEST(RbSimulator, OtherPoolsExhaustWithTheirMessage) {
    const ExhaustionCase cases[] = {
        {"particle", [](RbSizeLimits& l) { l.rigidParticleCount = 1; },
         [](RbSimulator& s) { return s.CreateRigidParticle() != nullptr && s.CreateRigidParticle() == nullptr; },
         "Run out of RigidBodies. Increase 'rigidParticleCount'.\n"},
        {"geometry", [](RbSizeLimits& l) { l.geometriesCount = 1; },
         [](RbSimulator& s) {
             RbRigidBody* b = s.CreateRigidBody();
             return b->AddGeometry() != nullptr && b->AddGeometry() == nullptr && b->GeometryCount == 1;
         },
         "Run out of Geometries. Increase 'geometriesCount'.\n"},
        {"sensor", [](RbSizeLimits& l) { l.sensorsCount = 1; },
         [](RbSimulator& s) {
             RbRigidBody* b = s.CreateRigidBody();
             return b->AddSensor() != nullptr && b->AddSensor() == nullptr;
         },
         "Run out of Sensors. Increase 'sensorsCount'.\n"},
        {"controller", [](RbSizeLimits& l) { l.constraintSetsCount = 1; },
         [](RbSimulator& s) {
             RbRigidBody* b = s.CreateRigidBody();
             return b->AddController(nullptr, 1) != nullptr && b->AddController(nullptr, 1) == nullptr;
         },
         "Run out of Controllers. Increase 'constraintSetsCount'.\n"},
    };
    for (const ExhaustionCase& c : cases) {
        SCOPED_TRACE(c.name);
        RbSizeLimits limits;
        c.limit(limits);
        SimulatorPtr sim = MakeSimulator(limits);
        EXPECT_TRUE(c.createTwice(*sim));
        EXPECT_STREQ(RbSimulator::GetErrorText(), c.message);
    }
}

TEST(RbSimulator, KinematicExhaustionLeavesNoMessage) {
    RbSizeLimits limits;
    limits.kinematicBodiesCount = 1;
    limits.rigidBodiesCount = 0;
    SimulatorPtr sim = MakeSimulator(limits);
    EXPECT_EQ(sim->CreateRigidBody(), nullptr);  // leaves the rigid-body message
    ASSERT_NE(sim->CreateKinematicBody(), nullptr);
    EXPECT_EQ(sim->CreateKinematicBody(), nullptr);
    EXPECT_STREQ(RbSimulator::GetErrorText(), "Run out of RigidBodies. Increase 'rigidBodiesCount'.\n");
}

TEST(RbSimulator, IdsFollowPoolOrder) {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 500;
    limits.kinematicBodiesCount = 1000;
    limits.rigidParticleCount = 500;
    SimulatorPtr sim = MakeSimulator(limits);
    EXPECT_EQ(sim->CreateRigidBody()->Id, 0);
    EXPECT_EQ(sim->CreateKinematicBody()->Id, 500);
    EXPECT_EQ(sim->CreateKinematicBody()->Id, 501);
    RbRigidBody* particle = sim->CreateRigidParticle();
    EXPECT_EQ(particle->Id, 1500);
    EXPECT_EQ(particle->IsParticle, 1);
    EXPECT_EQ(sim->CreateRigidParticle()->Id, 1501);
    EXPECT_EQ(sim->CreateRigidBody()->Id, 1);
}

TEST(RbSimulator, NewBodiesStartAtTheirDefaults) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    RbRigidBody* body = sim->CreateRigidBody();
    EXPECT_EQ(body->Kind, RbBody::KindRigid);
    EXPECT_TRUE(body->IsActive());
    EXPECT_EQ(body->Mass, 1.0f);
    EXPECT_EQ(body->InverseMass, 1.0f);
    EXPECT_EQ(body->BodyFlag, 1);
    EXPECT_EQ(body->RestThreshold, 0.2f);
    EXPECT_EQ(body->Motion.Orientation.w, 1.0f);
    EXPECT_EQ(body->Motion.Position.w, 1.0f);
    EXPECT_EQ(body->InverseInertia.Rows[1].y, 1.0f);
    EXPECT_EQ(body->WorldInverseInertia.Rows[1].y, 0.0f);
    EXPECT_EQ(body->Simulator, sim.get());
    EXPECT_EQ(body->GeometryCount, 0);
    EXPECT_EQ(body->BroadPhaseRecord, nullptr);
    EXPECT_EQ(body->ConstraintGroup, nullptr);
    EXPECT_EQ(sim->GetBodyList(RbActiveRigidBodies).Tail, body);

    RbKinematicBody* kinematic = sim->CreateKinematicBody();
    EXPECT_EQ(kinematic->Kind, RbBody::KindKinematic);
    EXPECT_EQ(kinematic->TransformChanged, 0);
    EXPECT_EQ(kinematic->Position.w, 1.0f);
    EXPECT_EQ(kinematic->Rotation.Rows[2].z, 1.0f);
    EXPECT_EQ(sim->GetBodyList(RbActiveKinematicBodies).Tail, kinematic);

    RbRigidBody* particle = sim->CreateRigidParticle();
    EXPECT_EQ(sim->GetBodyList(RbActiveRigidParticles).Tail, particle);
    EXPECT_EQ(sim->GetBodyList(RbActiveRigidBodies).Count, 1);
}

TEST(RbSimulator, Gravity) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    struct Case {
        RbVector gravity;
        RbVector stored;
        RbVector direction;
        float magnitude;
        float fraction;
    } cases[] = {
        {RbVec(0, 0, -9.8f), RbVec(0, 0, -9.8f), RbVec(0, 0, -1), 9.8f, 2.94f},
        {RbVec(0, 0, 0), RbVec(0, 0, 0), RbVec(0, 0, 0), 0.0f, 0.0f},
        {RbVec(3, 4, 0), RbVec(3, 4, 0), RbVec(0.6f, 0.8f, 0), 5.0f, 1.5f},
        {RbVec(0, 0, 1e-4f), RbVec(0, 0, 1e-4f), RbVec(0, 0, 0), 1e-4f, 3e-5f},  // too short for a direction
        // Its square overflows a float, its length does not.
        {RbVec(0, -1e20f, 0), RbVec(0, -1e20f, 0), RbVec(0, -1, 0), 1e20f, 3e19f},
        // Not finite, or no float holds the length: no gravity at all rather than NaN directions.
        {RbVec(inf, 0, 0), RbVec(0, 0, 0), RbVec(0, 0, 0), 0.0f, 0.0f},
        {RbVec(0, nan, 1), RbVec(0, 0, 0), RbVec(0, 0, 0), 0.0f, 0.0f},
        {RbVec(big, big, 0), RbVec(0, 0, 0), RbVec(0, 0, 0), 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gravity.x << "," << c.gravity.y << "," << c.gravity.z);
        SimulatorPtr sim = MakeSimulator(RbSizeLimits{}, nullptr, &c.gravity);
        EXPECT_EQ(sim->GetGravity().x, c.stored.x);
        EXPECT_EQ(sim->GetGravity().y, c.stored.y);
        EXPECT_EQ(sim->GetGravity().z, c.stored.z);
        EXPECT_FLOAT_EQ(sim->GetGravityDirection().x, c.direction.x);
        EXPECT_FLOAT_EQ(sim->GetGravityDirection().y, c.direction.y);
        EXPECT_FLOAT_EQ(sim->GetGravityDirection().z, c.direction.z);
        EXPECT_FLOAT_EQ(sim->GetGravityMagnitude(), c.magnitude);
        EXPECT_FLOAT_EQ(sim->GetGravityFraction(), c.fraction);
    }
}

TEST(RbSimulator, Materials) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    EXPECT_TRUE(sim->SetMaterial(0, 0.2f, 0.0f));
    EXPECT_TRUE(sim->SetMaterial(255, 0.7f, 0.1f));
    EXPECT_FALSE(sim->SetMaterial(256, 9.0f, 9.0f));
    EXPECT_FALSE(sim->SetMaterial(-1, 9.0f, 9.0f));
    EXPECT_EQ(sim->GetMaterial(0)->Friction, 0.2f);
    EXPECT_EQ(sim->GetMaterial(0)->ThirdCoefficient, 0.0f);
    EXPECT_EQ(sim->GetMaterial(255)->Restitution, 0.1f);
    EXPECT_EQ(sim->GetMaterial(1)->Friction, 0.5f);
    EXPECT_EQ(sim->GetMaterial(256), nullptr);
}

TEST(RbCollisionTable, SetTouchesOnlyTheNamedEntries) {
    struct Case {
        int a, b;
        std::vector<std::pair<int, int>> changed;  // (a, b) of the table, b = -1 for terrain
    } cases[] = {
        {0, -1, {{0, -1}}},
        {-1, 7, {{7, -1}}},
        {2, 5, {{2, 5}, {5, 2}}},
        {4, 4, {{4, 4}}},
        {-1, -1, {}},
        {64, 0, {}},
        {0, 64, {}},
        {-2, 3, {}},
        {-1, 64, {}},
        {1000000, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << "," << c.b);
        RbCollisionTable table;
        table.Set(c.a, c.b, 3);
        int changed = 0;
        for (int a = 0; a < 64; ++a) {
            changed += table.Terrain[a] != 1;
            for (int b = 0; b < 64; ++b) {
                changed += table.Entries[a][b] != 1;
            }
        }
        EXPECT_EQ(changed, static_cast<int>(c.changed.size()));
        for (auto [a, b] : c.changed) {
            EXPECT_EQ(b < 0 ? table.Terrain[a] : table.Entries[a][b], 3);
            EXPECT_EQ(table.Get(a, b), 3);
        }
    }
}

void CollisionA(RbCollisionInfo&) {}
void CollisionB(RbCollisionInfo&) {}
std::string LoggedText;
void Log(const char* text) { LoggedText += text; }

TEST(RbSimulator, CallbacksAndLog) {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 0;
    SimulatorPtr sim = MakeSimulator(limits);
    EXPECT_EQ(sim->SetCollisionCallback(CollisionA), nullptr);
    EXPECT_EQ(sim->SetCollisionCallback(CollisionB), CollisionA);

    LoggedText.clear();
    sim->CreateRigidBody();  // reported with level 1; the default log level 0 keeps it quiet
    EXPECT_EQ(LoggedText, "");
    sim->SetLogCallback(Log, 0);
    sim->CreateRigidBody();
    EXPECT_EQ(LoggedText, "");
    sim->SetLogCallback(Log, 1);
    sim->CreateRigidBody();
    EXPECT_EQ(LoggedText, "Run out of RigidBodies. Increase 'rigidBodiesCount'.\n");
}

TEST(RbSimulator, AllocationFailures) {
    // Allocation order: rigid, kinematic and particle pools, the broad phase, then the
    // remaining pools.
    {
        CountingAllocator allocator(1);
        SimulatorPtr sim = MakeSimulator(RbSizeLimits{}, &allocator);
        ASSERT_NE(sim, nullptr);
        EXPECT_STREQ(RbSimulator::GetErrorText(), "Failed to allocate memory.\n");
        EXPECT_EQ(sim->CreateRigidBody(), nullptr);
        EXPECT_EQ(sim->CreateKinematicBody(), nullptr);
        EXPECT_EQ(sim->CreateRigidParticle(), nullptr);
        EXPECT_FALSE(sim->GetBroadPhase().IsCreated());
        sim.reset();
        EXPECT_EQ(allocator.Outstanding, 0);
    }
    {
        CountingAllocator allocator(3);
        SimulatorPtr sim = MakeSimulator(RbSizeLimits{}, &allocator);
        EXPECT_STREQ(RbSimulator::GetErrorText(), "Failed to allocate memory.\n");
        EXPECT_EQ(sim->CreateRigidParticle(), nullptr);
        // Bodies of the pools that exist still work, outside the broad phase.
        RbKinematicBody* body = sim->CreateKinematicBody();
        ASSERT_NE(body, nullptr);
        ASSERT_NE(body->AddGeometry(), nullptr);
        EXPECT_EQ(body->BroadPhaseRecord, nullptr);
        body->SetActive(false, 0);
        body->SetActive(true, 0);
        EXPECT_EQ(body->BroadPhaseRecord, nullptr);
        sim.reset();
        EXPECT_EQ(allocator.Outstanding, 0);
    }
    {
        // Every block is freed on destruction.
        CountingAllocator allocator;
        SimulatorPtr sim = MakeSimulator(RbSizeLimits{}, &allocator);
        EXPECT_GT(allocator.Outstanding, 8);
        sim.reset();
        EXPECT_EQ(allocator.Outstanding, 0);
    }
}

TEST(RbHeapAllocator, CountsAllocatedBytes) {
    RbHeapAllocator allocator;
    void* a = allocator.Alloc(100, 0);
    void* b = allocator.Alloc(28, 0);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 128u);
    allocator.Free(a);
    allocator.Free(b);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 128u);
}

TEST(RbPerfTimer, CalibratesOnAStoppedClock) {
    PlatformClock::UseManual(1000);
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    PlatformClock::UseReal();
    EXPECT_EQ(sim->GetPerfTimer().Overhead, 0);
    EXPECT_EQ(sim->GetPerfTimer().FrequencyBits, 0);
    for (uint32_t counter : sim->GetPerfTimer().Counters) {
        EXPECT_EQ(counter, 0u);
    }
}

}  // namespace
