#include "physics/RbInertia.h"
#include "physics/RbSimulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};
using SimulatorPtr = std::unique_ptr<RbSimulator, SimulatorDeleter>;

void ExpectVector(const RbVector& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

class RbRigidBodyTest : public testing::Test {
protected:
    SimulatorPtr Sim{RbSimulator::Create(nullptr, nullptr, nullptr)};
    RbRigidBody* Body = Sim->CreateRigidBody();

    // Marks the body as resting with a stale snapshot, so a wake-up shows.
    void Settle() {
        Body->RestCounter = 7;
        Body->StepCounter = 3;
        Body->Snapshot = RbWakeSnapshot{};
        Body->Snapshot.Velocity.x = 99.0f;
    }
    bool WasWoken() const { return Body->RestCounter == 0 && Body->StepCounter == 0 && Body->Snapshot.Velocity.x != 99.0f; }
};

TEST(RbInertia, Helpers) {
    const RbVector box = RbInertia::Box(RbVec(1, 2, 3), 2);
    EXPECT_EQ(box.x, 12.0f);
    EXPECT_EQ(box.y, 12.0f);
    EXPECT_EQ(box.z, 12.0f);
    const RbVector cylinder = RbInertia::Cylinder(2, 6, 1);
    EXPECT_FLOAT_EQ(cylinder.x, 3.25f);
    EXPECT_FLOAT_EQ(cylinder.y, 0.5f);
    EXPECT_FLOAT_EQ(cylinder.z, 3.25f);
}

TEST_F(RbRigidBodyTest, MassAndItsInverse) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float mass;
        float storedMass;
        float inverse;
    } cases[] = {
        {2.0f, 2.0f, 0.5f},  {1200.0f, 1200.0f, 1.0f / 1200.0f},
        {0.0f, 0.0f, 0.0f},  {-3.0f, -3.0f, 0.0f},  // not movable rather than infinitely light
        {inf, 0.0f, 0.0f},   {nan, 0.0f, 0.0f},
        {1e-45f, 1e-45f, 0.0f},  // the reciprocal would overflow
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mass);
        Body->SetMass(c.mass);
        EXPECT_EQ(Body->Mass, c.storedMass);
        EXPECT_EQ(Body->InverseMass, c.inverse);
    }
}

TEST_F(RbRigidBodyTest, InertiaTensorAndSingularTensors) {
    Body->SetInertiaTensor(RbVec(2, 4, 8));
    EXPECT_EQ(Body->Inertia.Rows[2].z, 8.0f);
    ExpectVector(Body->InverseInertia.Rows[0], 0.5f, 0, 0);
    ExpectVector(Body->InverseInertia.Rows[1], 0, 0.25f, 0);
    ExpectVector(Body->InverseInertia.Rows[2], 0, 0, 0.125f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const RbVector& singular : {RbVec(0, 1, 1), RbVec(1e-6f, 1e-6f, 1e-6f), RbVec(nan, 1, 1)}) {
        SCOPED_TRACE(singular.x);
        Body->SetInertiaTensor(singular);
        EXPECT_EQ(Body->Inertia.Rows[1].y, singular.y);
        ExpectVector(Body->InverseInertia.Rows[0], 0.5f, 0, 0);
        ExpectVector(Body->InverseInertia.Rows[2], 0, 0, 0.125f);
    }
}

TEST_F(RbRigidBodyTest, PoseAndTransform) {
    Settle();
    Body->SetPosition(RbVec(1, 2, 3));
    EXPECT_TRUE(WasWoken());
    ExpectVector(Body->Snapshot.Position, 1, 2, 3);
    const float s = std::sqrt(0.5f);
    Settle();
    Body->SetRotation({0, 0, s, s});  // 90 degrees about z
    EXPECT_TRUE(WasWoken());
    EXPECT_EQ(Body->Snapshot.Orientation.z, s);
    const RbMatrix4 t = Body->GetTransform();
    ExpectVector(t.Row(0), 0, 1, 0);
    ExpectVector(t.Row(1), -1, 0, 0);
    ExpectVector(t.Row(2), 0, 0, 1);
    ExpectVector(t.Row(3), 1, 2, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.M[i][3], 0.0f);
    }
    EXPECT_EQ(t.M[3][3], 1.0f);
}

// A zero quaternion holds no rotation: both kinds of body take the identity, and a rigid body
// given one still turns when spun (a zero orientation would stay zero through integration).
TEST_F(RbRigidBodyTest, ZeroQuaternionIsTheIdentity) {
    const float s = std::sqrt(0.5f);
    RbKinematicBody* kinematic = Sim->CreateKinematicBody();
    for (const RbQuaternion& zero : {RbQuaternion{0, 0, 0, 0}, RbQuaternion{1e-4f, 0, -1e-4f, 0}}) {
        SCOPED_TRACE(zero.x);
        Body->SetRotation({0, 0, s, s});
        Settle();
        Body->SetRotation(zero);
        EXPECT_TRUE(WasWoken());
        const RbQuaternion& q = Body->GetOrientation();
        EXPECT_EQ(q.x, 0.0f);
        EXPECT_EQ(q.y, 0.0f);
        EXPECT_EQ(q.z, 0.0f);
        EXPECT_EQ(q.w, 1.0f);
        const RbMatrix4 t = Body->GetTransform();
        ExpectVector(t.Row(0), 1, 0, 0);
        ExpectVector(t.Row(1), 0, 1, 0);

        kinematic->SetRotation({0, 0, s, s});
        kinematic->SetRotation(zero);
        ExpectVector(kinematic->GetRotation().Rows[0], 1, 0, 0);
        ExpectVector(kinematic->GetRotation().Rows[1], 0, 1, 0);
        EXPECT_EQ(kinematic->TransformChanged, 1);
    }
    Body->SetInertiaTensor(RbVec(1, 1, 1));
    Body->SetAngularMomentum(RbVec(0, 0, 1));
    Sim->Step(1.0f / 60.0f);
    EXPECT_GT(Body->GetOrientation().z, 0.008f);
    EXPECT_NEAR(Body->GetOrientation().w, 1.0f, 1e-3f);
}

TEST_F(RbRigidBodyTest, VelocityWakesTheBodyOrItsGroup) {
    RbRigidBody* other = Sim->CreateRigidBody();
    Settle();
    Body->SetVelocity(RbVec(1, 0, 0));
    EXPECT_TRUE(WasWoken());
    ExpectVector(Body->Snapshot.Velocity, 1, 0, 0);

    RbConstraintGroup group;
    group.FirstBody = Body;
    Body->NextInGroup = other;
    Body->ConstraintGroup = &group;
    other->ConstraintGroup = &group;
    other->RestCounter = 9;
    Settle();
    Body->SetVelocity(RbVec(2, 0, 0));
    EXPECT_TRUE(WasWoken());
    EXPECT_EQ(other->RestCounter, 0);
}

TEST_F(RbRigidBodyTest, AngularMomentumThroughTheWorldInverseInertia) {
    // Not symmetric, so the row-vector order L·I shows.
    Body->WorldInverseInertia.Rows[0] = RbVec(1, 2, 0);
    Body->WorldInverseInertia.Rows[1] = RbVec(0, 1, 0);
    Body->WorldInverseInertia.Rows[2] = RbVec(0, 0, 3);
    const float s = std::sqrt(0.5f);
    Body->Motion.Orientation = {0, 0, s, s};
    Settle();
    Body->SetAngularMomentum(RbVec(1, 1, 1));
    EXPECT_TRUE(WasWoken());
    ExpectVector(Body->Motion.AngularMomentum, 1, 1, 1);
    ExpectVector(Body->GetAngularVelocity(), 1, 3, 3);
    EXPECT_EQ(Body->GetAngularVelocity().w, 0.0f);
    // ½ (ω, 0) q with q = (0, 0, s, s): vector s·ω + ω × (0, 0, s) = (4s, 2s, 3s), scalar -3s.
    EXPECT_NEAR(Body->OrientationDerivative.x, 2 * s, 1e-6f);
    EXPECT_NEAR(Body->OrientationDerivative.y, s, 1e-6f);
    EXPECT_NEAR(Body->OrientationDerivative.z, 1.5f * s, 1e-6f);
    EXPECT_NEAR(Body->OrientationDerivative.w, -1.5f * s, 1e-6f);
    ExpectVector(Body->Snapshot.AngularVelocity, 1, 3, 3);
}

TEST_F(RbRigidBodyTest, ImpulseChangesBothMomenta) {
    Body->SetMass(2.0f);
    Body->SetPosition(RbVec(1, 0, 0));
    Body->WorldInverseInertia = RbMatrix3::Diagonal(1, 2, 4);
    Body->Motion.AngularMomentum = RbVec(0, 1, 0);
    Settle();
    Body->ApplyImpulse(RbVec(0, 2, 0), RbVec(1, 0, 1));
    EXPECT_TRUE(WasWoken());
    ExpectVector(Body->GetVelocity(), 0, 1, 0);
    // (point - position) × j = (0, 0, 1) × (0, 2, 0) = (-2, 0, 0), added to (0, 1, 0).
    ExpectVector(Body->Motion.AngularMomentum, -2, 1, 0);
    ExpectVector(Body->GetAngularVelocity(), -2, 2, 0);
    ExpectVector(Body->Snapshot.Velocity, 0, 1, 0);
    // The identity orientation makes the derivative ½ ω.
    EXPECT_FLOAT_EQ(Body->OrientationDerivative.x, -1.0f);
    EXPECT_FLOAT_EQ(Body->OrientationDerivative.y, 1.0f);
    EXPECT_FLOAT_EQ(Body->OrientationDerivative.w, 0.0f);
    ExpectVector(Body->GetVelocityAtPoint(RbVec(0, 0, 1)), 2, 3, 0);
}

TEST_F(RbRigidBodyTest, PersistentForceAndTorque) {
    struct Case {
        RbVector force;
        bool wakes;
    } cases[] = {
        {RbVec(0, 0, 0), false},
        {RbVec(0, 9e-7f, -9e-7f), false},
        {RbVec(0, 1e-5f, 0), true},
        {RbVec(0, 0, 10), true},
    };
    Body->SetPosition(RbVec(0, 0, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.force.z);
        Settle();
        Body->SetForce(c.force, RbVec(1, 0, 0));
        EXPECT_EQ(WasWoken(), c.wakes);
        ExpectVector(Body->PersistentForce, c.force.x, c.force.y, c.force.z);
        const RbVector torque = RbCross(RbVec(1, 0, 0), c.force);
        ExpectVector(Body->PersistentTorque, torque.x, torque.y, torque.z);
        Settle();
        Body->SetTorque(c.force);
        EXPECT_EQ(WasWoken(), c.wakes);
        ExpectVector(Body->PersistentTorque, c.force.x, c.force.y, c.force.z);
    }
}

struct CountingCallback final : RbControllerCallback {
    void OnStep(RbController* controller, float) override { controller->SetForce(RbVec(1, 2, 3)); }
};

TEST_F(RbRigidBodyTest, ControllersAndFlag) {
    CountingCallback callback;
    RbController* first = Body->AddController(&callback, 1);
    RbController* second = Body->AddController(&callback, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Body->Controllers, first);
    EXPECT_EQ(first->Next, second);
    EXPECT_EQ(first->Period, 1);
    EXPECT_EQ(first->Countdown, 1);
    EXPECT_EQ(first->Callback, &callback);
    EXPECT_EQ(first->Body, Body);
    first->Callback->OnStep(first, 1.0f / 60.0f);
    ExpectVector(first->Force, 1, 2, 3);
    first->SetTorque(RbVec(0, 0, 4));
    ExpectVector(first->Torque, 0, 0, 4);
    Body->SetBodyFlag(5);
    EXPECT_EQ(Body->BodyFlag, 5);
}

TEST_F(RbRigidBodyTest, WorldInverseInertiaFollowsTheRotation) {
    Body->SetInertiaTensor(RbVec(1, 0.5f, 1.0f / 3.0f));  // inverse diag(1, 2, 3)
    const float s = std::sqrt(0.5f);
    Body->SetRotation({0, 0, s, s});  // body x along world y
    Body->UpdateWorldInverseInertia();
    ExpectVector(Body->WorldInverseInertia.Rows[0], 2, 0, 0);
    ExpectVector(Body->WorldInverseInertia.Rows[1], 0, 1, 0);
    ExpectVector(Body->WorldInverseInertia.Rows[2], 0, 0, 3);
}

TEST_F(RbRigidBodyTest, NonFiniteArgumentsChangeNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const RbVector bad[] = {RbVec(nan, 0, 0), RbVec(0, inf, 0), RbVec(0, 0, -inf)};
    const RbVector fine = RbVec(1, 2, 3);
    Body->SetPosition(fine);
    Body->SetVelocity(fine);
    Body->SetAngularMomentum(fine);
    Body->SetForce(fine, fine);
    for (const RbVector& v : bad) {
        Settle();
        Body->SetPosition(v);
        Body->SetVelocity(v);
        Body->SetAngularMomentum(v);
        Body->SetForce(v, fine);
        Body->SetForce(fine, v);
        Body->SetTorque(v);
        Body->ApplyImpulse(v, fine);
        Body->ApplyImpulse(fine, v);
        Body->SetRotation({v.x, v.y, v.z, 1});
        EXPECT_FALSE(WasWoken());
        ExpectVector(Body->GetPosition(), 1, 2, 3);
        ExpectVector(Body->GetVelocity(), 1, 2, 3);
        ExpectVector(Body->Motion.AngularMomentum, 1, 2, 3);
        ExpectVector(Body->PersistentForce, 1, 2, 3);
        EXPECT_EQ(Body->GetOrientation().w, 1.0f);
        EXPECT_TRUE(RbIsFinite(Body->PersistentTorque));

        RbKinematicBody* kinematic = Sim->CreateKinematicBody();
        kinematic->SetPosition(v);
        kinematic->SetRotation({v.x, v.y, v.z, 1});
        EXPECT_EQ(kinematic->TransformChanged, 0);
        EXPECT_EQ(kinematic->GetPosition().w, 1.0f);

        RbController controller;
        controller.SetForce(v);
        controller.SetTorque(v);
        ExpectVector(controller.Force, 0, 0, 0);
        ExpectVector(controller.Torque, 0, 0, 0);
    }
}

}  // namespace
