#include "physics/RbSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};
using SimulatorPtr = std::unique_ptr<RbSimulator, SimulatorDeleter>;

using PairSet = std::set<std::pair<int32_t, int32_t>>;

// Rigid bodies move their bounds by hand here, as the step does for them.
void Place(RbBody* body, float x, float y = 0, float z = 0) {
    body->UpdateWorldBounds(RbMatrix3::Identity(), RbVec(x, y, z));
}

RbBody* AddCube(RbSimulator& sim, float x, float y = 0, float z = 0) {
    RbRigidBody* body = sim.CreateRigidBody();
    body->AddGeometry()->SetBoxSize(2, 2, 2);
    body->UpdateBoundingInfo();
    Place(body, x, y, z);
    return body;
}

RbKinematicBody* AddKinematicCube(RbSimulator& sim, float x, float y = 0, float z = 0) {
    RbKinematicBody* body = sim.CreateKinematicBody();
    body->AddGeometry()->SetBoxSize(2, 2, 2);
    body->UpdateBoundingInfo();
    body->SetPosition(RbVec(x, y, z));
    return body;
}

PairSet Pairs(RbBroadPhase& broadPhase) {
    PairSet pairs;
    for (RbPairRecord* pair = broadPhase.Pairs.FirstUsed(); pair != nullptr; pair = broadPhase.Pairs.NextUsed(pair)) {
        EXPECT_EQ(broadPhase.FindPair(pair->Second, pair->First), pair);
        pairs.insert({std::min(pair->First->Id, pair->Second->Id), std::max(pair->First->Id, pair->Second->Id)});
    }
    return pairs;
}

// Every axis list is sorted, links both ways, and holds two entries per sorted-in body.
void ExpectSortedAxes(RbBroadPhase& broadPhase, int bodies) {
    for (int k = 0; k < 3; ++k) {
        const RbBroadPhase::Axis& axis = broadPhase.GetAxis(k);
        int count = 0;
        const RbEndpoint* prev = nullptr;
        for (const RbEndpoint* e = axis.First; e != nullptr; e = e->Next) {
            EXPECT_EQ(e->Prev, prev);
            if (prev != nullptr) {
                EXPECT_LE(prev->Value, e->Value);
            }
            EXPECT_EQ(e->IsUpper ? e->Body->UpperEndpoints[k] : e->Body->LowerEndpoints[k], e);
            prev = e;
            ++count;
        }
        EXPECT_EQ(axis.Last, prev);
        EXPECT_EQ(count, 2 * bodies);
    }
}

TEST(RbBroadPhase, PairsFollowMovingBodies) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    RbBroadPhase& broadPhase = sim->GetBroadPhase();
    RbBody* a = AddCube(*sim, 0);
    RbBody* b = AddCube(*sim, 1.5f);
    RbBody* c = AddCube(*sim, 5);
    broadPhase.Update();
    EXPECT_EQ(broadPhase.GetNewBodies().GetCount(), 0);
    ExpectSortedAxes(broadPhase, 3);
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{a->Id, b->Id}}));

    Place(c, 3.2f);  // reaches b, not a
    broadPhase.Update();
    ExpectSortedAxes(broadPhase, 3);
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{a->Id, b->Id}, {b->Id, c->Id}}));

    Place(a, -5);
    broadPhase.Update();
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{b->Id, c->Id}}));

    // Overlap on x alone is not a pair.
    Place(a, 1.5f, 0, 3);
    broadPhase.Update();
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{b->Id, c->Id}}));

    // Touching boxes are a pair.
    Place(a, 0, 0, 2);
    broadPhase.Update();
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{a->Id, b->Id}, {b->Id, c->Id}}));

    // Leaving takes the endpoints and the pairs; coming back sorts the body in again.
    b->SetActive(false, 0);
    ExpectSortedAxes(broadPhase, 2);
    EXPECT_EQ(Pairs(broadPhase), PairSet{});
    EXPECT_EQ(b->LowerEndpoints[0], nullptr);
    b->SetActive(true, 0);
    broadPhase.Update();
    ExpectSortedAxes(broadPhase, 3);
    EXPECT_EQ(Pairs(broadPhase), (PairSet{{a->Id, b->Id}, {b->Id, c->Id}}));
}

TEST(RbBroadPhase, PairPoolExhaustion) {
    RbSizeLimits limits;
    limits.pairsCount = 1;
    SimulatorPtr sim(RbSimulator::Create(&limits, nullptr, nullptr));
    AddCube(*sim, 0);
    AddCube(*sim, 0.5f);
    AddCube(*sim, 1);
    sim->GetBroadPhase().Update();
    EXPECT_EQ(sim->GetBroadPhase().GetPairCount(), 1);
    EXPECT_STREQ(RbSimulator::GetErrorText(), "Run out of Pairs. Increase 'pairsCount'.\n");
}

// Kinematic scenery never collides with itself: a level of overlapping kinematic bodies
// records only their pairs with rigid bodies, however small the pair pool.
TEST(RbBroadPhase, KinematicBodiesNeverPairWithEachOther) {
    RbSizeLimits limits;
    limits.pairsCount = 4;
    limits.kinematicBodiesCount = 200;
    limits.geometriesCount = 300;
    SimulatorPtr sim(RbSimulator::Create(&limits, nullptr, nullptr));
    RbBroadPhase& broadPhase = sim->GetBroadPhase();
    sim->ReportError(0, "");  // a clean buffer to check against
    for (int i = 0; i < 200; ++i) {
        AddKinematicCube(*sim, 0.01f * static_cast<float>(i));
    }
    broadPhase.Update();
    EXPECT_EQ(broadPhase.GetPairCount(), 0);
    EXPECT_STREQ(RbSimulator::GetErrorText(), "");
    // Moving scenery over scenery (the incremental sort) adds none either.
    for (RbBody* body = sim->GetBodyList(RbActiveKinematicBodies).Head; body != nullptr; body = body->ListNext) {
        static_cast<RbKinematicBody*>(body)->SetPosition(RbVec(1.0f - 0.01f * static_cast<float>(body->Id), 0, 0));
    }
    broadPhase.Update();
    EXPECT_EQ(broadPhase.GetPairCount(), 0);
    // A rigid body at the scenery's edge pairs with the two kinematic bodies it reaches
    // (lower bounds at -2.49 and -2.48; its upper bound is -2.475).
    RbBody* rigid = AddCube(*sim, -3.475f);
    const RbBody* last = sim->GetBodyList(RbActiveKinematicBodies).Tail;
    broadPhase.Update();
    EXPECT_NE(broadPhase.FindPair(rigid, last), nullptr);
    EXPECT_EQ(broadPhase.GetPairCount(), 2);
    EXPECT_STREQ(RbSimulator::GetErrorText(), "");
}

// Random moves, departures and returns against a brute-force overlap test.
TEST(RbBroadPhase, AgreesWithBruteForce) {
    RbSizeLimits limits;
    limits.pairsCount = 2000;
    SimulatorPtr sim(RbSimulator::Create(&limits, nullptr, nullptr));
    RbBroadPhase& broadPhase = sim->GetBroadPhase();
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> place(-20.0f, 20.0f);
    std::uniform_real_distribution<float> step(-1.5f, 1.5f);
    std::vector<RbBody*> bodies;
    std::vector<RbVector> positions;
    for (int i = 0; i < 40; ++i) {
        positions.push_back(RbVec(place(random), place(random) * 0.2f, place(random) * 0.1f, 1));
        if (i % 4 == 0) {
            RbRigidBody* body = sim->CreateRigidBody();
            body->AddGeometry()->SetBoxSize(3, 1, 2);
            body->UpdateBoundingInfo();
            bodies.push_back(body);
        } else {
            RbKinematicBody* body = sim->CreateKinematicBody();
            body->AddGeometry()->SetBoxSize(2, 2, 2);
            body->UpdateBoundingInfo();
            bodies.push_back(body);
        }
    }
    const RbQuaternion tilted{0.1f, 0.2f, 0.3f, 0.927362f};
    for (int round = 0; round < 60; ++round) {
        for (size_t i = 0; i < bodies.size(); ++i) {
            positions[i].x += step(random);
            positions[i].y += step(random) * 0.5f;
            if (bodies[i]->Kind == RbBody::KindKinematic) {
                static_cast<RbKinematicBody*>(bodies[i])->SetPosition(positions[i]);
            } else {
                bodies[i]->UpdateWorldBounds(RbRotationFromQuaternion(tilted), positions[i]);
            }
        }
        RbBody* toggled = bodies[random() % bodies.size()];
        toggled->SetActive(!toggled->IsActive(), 0);
        broadPhase.Update();

        PairSet expected;
        int active = 0;
        for (size_t i = 0; i < bodies.size(); ++i) {
            active += bodies[i]->IsActive();
            for (size_t j = i + 1; j < bodies.size(); ++j) {
                const RbBody* p = bodies[i];
                const RbBody* q = bodies[j];
                const bool kinematicPair = p->Kind == RbBody::KindKinematic && q->Kind == RbBody::KindKinematic;
                if (p->IsActive() && q->IsActive() && !kinematicPair && p->WorldLower.x <= q->WorldUpper.x &&
                    q->WorldLower.x <= p->WorldUpper.x && p->WorldLower.y <= q->WorldUpper.y &&
                    q->WorldLower.y <= p->WorldUpper.y && p->WorldLower.z <= q->WorldUpper.z &&
                    q->WorldLower.z <= p->WorldUpper.z) {
                    expected.insert({std::min(p->Id, q->Id), std::max(p->Id, q->Id)});
                }
            }
        }
        ASSERT_EQ(Pairs(broadPhase), expected) << "round " << round;
        ExpectSortedAxes(broadPhase, active);
    }
}

}  // namespace
