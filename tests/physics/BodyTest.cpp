#include "physics/RbSimulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};
using SimulatorPtr = std::unique_ptr<RbSimulator, SimulatorDeleter>;

SimulatorPtr MakeSimulator() { return SimulatorPtr(RbSimulator::Create(nullptr, nullptr, nullptr)); }

RbMatrix4 Translation(float x, float y, float z) {
    RbMatrix4 m;
    m.M[3][0] = x;
    m.M[3][1] = y;
    m.M[3][2] = z;
    return m;
}

// Identity rotation with local y squashed to nothing, at a translation.
RbMatrix4 Flattened(float x, float y, float z) {
    RbMatrix4 m = Translation(x, y, z);
    m.M[1][1] = 0.0f;
    return m;
}

RbQuaternion AboutZ(float radians) { return {0.0f, 0.0f, std::sin(radians * 0.5f), std::cos(radians * 0.5f)}; }

void ExpectVector(const RbVector& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

std::vector<RbBody*> ListBodies(const RbBodyList& list) {
    std::vector<RbBody*> bodies;
    for (RbBody* b = list.Head; b != nullptr; b = b->ListNext) {
        bodies.push_back(b);
    }
    return bodies;
}

bool IsQueued(RbSimulator& sim, RbBody* body, int32_t hint) {
    const RbGrowArray<RbNewBody>& queue = sim.GetBroadPhase().GetNewBodies();
    int found = 0;
    for (int32_t i = 0; i < queue.GetCount(); ++i) {
        if (queue[i].Body == body) {
            ++found;
            EXPECT_EQ(queue[i].Hint, hint);
        }
    }
    EXPECT_LE(found, 1) << "queued twice";
    return found == 1;
}

struct Box {
    RbVector size;
    RbMatrix4 transform;
};
struct Line {
    RbVector start;
    RbVector vector;
};

TEST(RbBody, Refit) {
    struct Case {
        const char* name;
        std::vector<Box> boxes;
        std::vector<Line> lines;
        RbVector half;
        RbVector centre;
        float largestRadius;
    } cases[] = {
        {"one box", {{RbVec(2, 4, 6), RbMatrix4{}}}, {}, RbVec(1, 2, 3), RbVec(0, 0, 0), std::sqrt(14.0f)},
        {"two boxes",
         {{RbVec(2, 2, 2), RbMatrix4{}}, {RbVec(2, 2, 2), Translation(4, 0, 1)}},
         {},
         RbVec(3, 1, 1.5f),
         RbVec(2, 0, 0.5f),
         std::sqrt(3.0f) + std::sqrt(17.0f)},
        {"sensor below",
         {{RbVec(2, 2, 2), RbMatrix4{}}, {RbVec(2, 2, 2), Translation(4, 0, 1)}},
         {{RbVec(0, 0, 0), RbVec(0, 0, -3)}},
         RbVec(3, 1, 2.5f),
         RbVec(2, 0, -0.5f),
         std::sqrt(3.0f) + std::sqrt(17.0f)},
        {"one box and a sensor", {{RbVec(2, 2, 2), RbMatrix4{}}}, {{RbVec(0.5f, 0, -0.5f), RbVec(0, 0, -2)}},
         RbVec(1, 1, 1.75f), RbVec(0, 0, -0.75f), std::sqrt(3.0f)},
        {"sensors only", {}, {{RbVec(1, 0, 0), RbVec(0, 0, -2)}, {RbVec(-1, 0, 0), RbVec(0, 0, -2)}},
         RbVec(1, 0, 1), RbVec(0, 0, -1), 0.0f},
        // A flattened transform cannot carry a rotated box: the record falls back to body axes.
        {"flattened box", {{RbVec(2, 2, 2), Flattened(0.5f, 0, 0)}}, {{RbVec(0, 0, 0), RbVec(0, 3, 0)}},
         RbVec(1, 1.5f, 1), RbVec(0.5f, 1.5f, 0), std::sqrt(3.0f) + 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorPtr sim = MakeSimulator();
        RbRigidBody* body = sim->CreateRigidBody();
        for (const Box& box : c.boxes) {
            RbGeometry* g = body->AddGeometry();
            g->SetTransform(box.transform);
            g->SetBoxSize(box.size);
        }
        for (const Line& line : c.lines) {
            body->AddSensor()->SetLine(line.start, line.vector);
        }
        body->UpdateBoundingInfo();
        const RbGeometry& record = body->BoundingBox;
        EXPECT_EQ(record.Type, RbShapeBox);
        ExpectVector(RbVec(record.Shape[0], record.Shape[1], record.Shape[2]), c.half.x, c.half.y, c.half.z);
        ExpectVector(record.Transform.Translation(), c.centre.x, c.centre.y, c.centre.z);
        for (int i = 0; i < 3; ++i) {
            ExpectVector(record.Transform.Row(i), i == 0, i == 1, i == 2);
        }
        EXPECT_NEAR(body->LargestRadius, c.largestRadius, 1e-5f);
        ExpectVector(body->ObbAxes[0], c.half.x, 0, 0);
        ExpectVector(body->ObbAxes[1], 0, c.half.y, 0);
        ExpectVector(body->ObbAxes[2], 0, 0, c.half.z);
        ExpectVector(body->ObbCentre, c.centre.x, c.centre.y, c.centre.z);
    }
}

// A single rotated box keeps its rotation in the refitted record, and the record (widened by
// any sensor line in the box's own axes) still holds every corner of the box and the line.
TEST(RbBody, RefitOfOneRotatedBoxKeepsItsAxesAndHoldsEverything) {
    const RbMatrix3 rotation = RbRotationFromQuaternion(AboutZ(1.4f));  // about 80 degrees
    const RbVector translation = RbVec(1, 2, 0.5f);
    const RbVector half = RbVec(1.0f, 0.01f, 0.5f);
    struct Case {
        const char* name;
        std::vector<Line> lines;
    } cases[] = {
        {"box alone", {}},
        {"box and a line below", {{RbVec(0.5f, 0, -0.5f), RbVec(0, 0, -2)}}},
        {"box and a line across", {{RbVec(-3, 1, 0), RbVec(6, 0.5f, 0)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorPtr sim = MakeSimulator();
        RbRigidBody* body = sim->CreateRigidBody();
        RbGeometry* g = body->AddGeometry();
        RbMatrix4 transform = Translation(translation.x, translation.y, translation.z);
        for (int i = 0; i < 3; ++i) {
            transform.M[i][0] = rotation.Rows[i].x;
            transform.M[i][1] = rotation.Rows[i].y;
            transform.M[i][2] = rotation.Rows[i].z;
        }
        g->SetTransform(transform);
        g->SetBoxSize(2 * half.x, 2 * half.y, 2 * half.z);
        for (const Line& line : c.lines) {
            body->AddSensor()->SetLine(line.start, line.vector);
        }
        body->UpdateBoundingInfo();

        const RbGeometry& record = body->BoundingBox;
        for (int i = 0; i < 3; ++i) {
            ExpectVector(record.Transform.Row(i), rotation.Rows[i].x, rotation.Rows[i].y, rotation.Rows[i].z);
            ExpectVector(body->ObbAxes[i], rotation.Rows[i].x * record.Shape[i], rotation.Rows[i].y * record.Shape[i],
                         rotation.Rows[i].z * record.Shape[i]);
        }
        ExpectVector(body->ObbCentre, record.Transform.M[3][0], record.Transform.M[3][1], record.Transform.M[3][2]);
        if (c.lines.empty()) {
            // Nothing to widen: the record is the box itself.
            ExpectVector(RbVec(record.Shape[0], record.Shape[1], record.Shape[2]), half.x, half.y, half.z);
            ExpectVector(record.Transform.Translation(), translation.x, translation.y, translation.z);
        }

        std::vector<RbVector> points;
        for (int corner = 0; corner < 8; ++corner) {
            const RbVector local = RbVec(corner & 1 ? half.x : -half.x, corner & 2 ? half.y : -half.y,
                                         corner & 4 ? half.z : -half.z);
            points.push_back(RbAdd(RbTransform(local, rotation), translation));
        }
        for (const Line& line : c.lines) {
            points.push_back(line.start);
            points.push_back(RbAdd(line.start, line.vector));
        }
        for (const RbVector& p : points) {
            // Inside the oriented box: along each half-axis a, |(p - centre)·a| <= |a|².
            const RbVector d = RbSub(p, body->ObbCentre);
            for (const RbVector& axis : body->ObbAxes) {
                EXPECT_LE(std::fabs(RbDot(d, axis)), RbLengthSquared(axis) + 1e-5f)
                    << p.x << "," << p.y << "," << p.z;
            }
        }
    }
}

TEST(RbBody, ActivationMovesBetweenListsAndTheBroadPhase) {
    struct Case {
        const char* name;
        RbBody* (*create)(RbSimulator&);
        RbBodyListKind active;
        RbBodyListKind inactive;
    } cases[] = {
        {"rigid", [](RbSimulator& s) -> RbBody* { return s.CreateRigidBody(); }, RbActiveRigidBodies,
         RbInactiveRigidBodies},
        {"kinematic", [](RbSimulator& s) -> RbBody* { return s.CreateKinematicBody(); }, RbActiveKinematicBodies,
         RbInactiveKinematicBodies},
        {"particle", [](RbSimulator& s) -> RbBody* { return s.CreateRigidParticle(); }, RbActiveRigidParticles,
         RbInactiveRigidParticles},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorPtr sim = MakeSimulator();
        RbBody* a = c.create(*sim);
        RbBody* b = c.create(*sim);
        RbBody* bare = c.create(*sim);  // no geometry: never enters the broad phase
        EXPECT_EQ(a->BroadPhaseRecord, nullptr);
        a->AddGeometry();
        b->AddGeometry();
        ASSERT_NE(a->BroadPhaseRecord, nullptr);
        EXPECT_EQ(a->BroadPhaseRecord->Body, a);
        EXPECT_EQ(a->BroadPhaseState, RbAdded);
        EXPECT_TRUE(IsQueued(*sim, a, 0));
        EXPECT_EQ(sim->GetBroadPhase().GetBodyCount(), 2);

        a->SetActive(false, 0);
        EXPECT_FALSE(a->IsActive());
        EXPECT_EQ(ListBodies(sim->GetBodyList(c.active)), (std::vector<RbBody*>{b, bare}));
        EXPECT_EQ(ListBodies(sim->GetBodyList(c.inactive)), (std::vector<RbBody*>{a}));
        EXPECT_EQ(a->BroadPhaseRecord, nullptr);
        EXPECT_EQ(a->BroadPhaseState, RbRemoved);
        EXPECT_FALSE(IsQueued(*sim, a, 0));
        EXPECT_EQ(sim->GetBroadPhase().GetBodyCount(), 1);

        // Requests for the current state change nothing.
        a->SetActive(false, 0);
        b->SetActive(true, 0);
        EXPECT_EQ(sim->GetBodyList(c.inactive).Count, 1);
        EXPECT_EQ(sim->GetBodyList(c.active).Count, 2);

        // Back at the tail of the active list, and into the broad phase again with the hint.
        a->SetActive(true, 5);
        EXPECT_TRUE(a->IsActive());
        EXPECT_EQ(ListBodies(sim->GetBodyList(c.active)), (std::vector<RbBody*>{b, bare, a}));
        EXPECT_EQ(sim->GetBodyList(c.inactive).Count, 0);
        ASSERT_NE(a->BroadPhaseRecord, nullptr);
        EXPECT_EQ(a->BroadPhaseState, RbAdded);
        EXPECT_TRUE(IsQueued(*sim, a, 5));

        bare->SetActive(false, 0);
        bare->SetActive(true, 0);
        EXPECT_EQ(bare->BroadPhaseRecord, nullptr);
        EXPECT_FALSE(IsQueued(*sim, bare, 0));

        // An inactive body given a geometry stays out until activated.
        bare->SetActive(false, 0);
        bare->AddGeometry();
        EXPECT_EQ(bare->BroadPhaseRecord, nullptr);
        bare->SetActive(true, 2);
        EXPECT_TRUE(IsQueued(*sim, bare, 2));
    }
}

TEST(RbBody, GeometryAndSensorListsKeepOrder) {
    SimulatorPtr sim = MakeSimulator();
    RbKinematicBody* body = sim->CreateKinematicBody();
    RbGeometry* g1 = body->AddGeometry();
    RbGeometry* g2 = body->AddGeometry();
    EXPECT_EQ(body->Geometries, g1);
    EXPECT_EQ(g1->Next, g2);
    EXPECT_EQ(g2->Next, nullptr);
    EXPECT_EQ(body->GeometryCount, 2);
    EXPECT_EQ(g2->Type, RbShapeBox);
    EXPECT_EQ(g2->Shape[0], 0.5f);
    EXPECT_EQ(g2->MaterialIndex, 0);
    RbSensor* s1 = body->AddSensor();
    RbSensor* s2 = body->AddSensor();
    EXPECT_EQ(body->Sensors, s1);
    EXPECT_EQ(s1->Next, s2);
    body->SetUserData(&g1);
    EXPECT_EQ(body->GetUserData(), &g1);
}

TEST(RbKinematicBody, WorldBoundsFollowPositionAndRotation) {
    SimulatorPtr sim = MakeSimulator();
    RbKinematicBody* body = sim->CreateKinematicBody();
    body->SetPosition(RbVec(3, 0, 0));  // no geometry: no bounds yet
    EXPECT_EQ(body->TransformChanged, 1);
    ExpectVector(body->WorldUpper, 0, 0, 0);

    RbGeometry* g = body->AddGeometry();
    g->SetTransform(Translation(1, 0, 0));
    g->SetBoxSize(4, 2, 2);
    body->UpdateBoundingInfo();
    body->SetPosition(RbVec(10, 0, 0));
    ExpectVector(body->WorldLower, 9, -1, -1);
    ExpectVector(body->WorldUpper, 13, 1, 1);

    body->TransformChanged = 0;
    body->SetRotation(AboutZ(static_cast<float>(M_PI) * 0.5f));
    EXPECT_EQ(body->TransformChanged, 1);
    // The box's centre (1, 0, 0) turns to (0, 1, 0); its long side now lies along y.
    ExpectVector(body->WorldLower, 9, -1, -1);
    ExpectVector(body->WorldUpper, 11, 3, 1);
    ExpectVector(body->GetVelocityAtPoint(RbVec(5, 5, 5)), 0, 0, 0);
}

}  // namespace
