// Physics data of a node: shape records scaled by "weight_div", moves reaching the right body,
// and Refresh / OnStep against bodies of the rigid-body library.
#include "core/ConfigVars.h"
#include "physics/RbInertia.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

struct SimulatorDeleter {
    void operator()(RbSimulator* simulator) const { RbSimulator::Destroy(simulator); }
};
using SimulatorPtr = std::unique_ptr<RbSimulator, SimulatorDeleter>;

class PhysicDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cfg::ResetDefaults();
        Cfg::weight_div = 10;
    }
    void TearDown() override { Cfg::ResetDefaults(); }
};

TEST_F(PhysicDataTest, NewDataHasNoBodiesAndEmptyLists) {
    CPGameObject owner("owner");
    CPPhysicData data(&owner);
    EXPECT_EQ(data.Owner, &owner);
    EXPECT_EQ(data.GetTypeName(), "CPPhysicData");
    EXPECT_EQ(data.RigidBody, nullptr);
    EXPECT_EQ(data.KinematicBody, nullptr);
    EXPECT_EQ(data.Controller, nullptr);
    EXPECT_TRUE(data.Shapes.empty());
    EXPECT_FALSE(data.Active);
    EXPECT_FALSE(data.HoldMotion);
    EXPECT_FALSE(data.AttachController);
    EXPECT_FALSE(data.IsParticle);
    EXPECT_EQ(data.TerrainTriangleCount, 0);
    EXPECT_EQ(data.HeldVelocity.x, 0.0f);
    EXPECT_EQ(data.MainShape.Geometry, nullptr);
}

TEST_F(PhysicDataTest, ShapeRecordsAreScaledByWeightDiv) {
    CPPhysicData data(nullptr);
    data.SetShape(1, 2, 3, 1500);
    EXPECT_EQ(data.MainShape.Kind, CPPhysicShape::KindBox);
    EXPECT_EQ(data.MainShape.Size, D3DXVECTOR3(2, 1, 3));
    EXPECT_EQ(data.MainShape.Mass, 150.0f);

    const D3DXVECTOR3 at(0.5f, -1, 2);
    const D3DXQUATERNION turn(0, 0, 0.70710677f, 0.70710677f);
    data.AddBox(at, turn, 4, 5, 6, 20);
    data.AddCylinder(D3DXVECTOR3(1, 1, 1), D3DXQUATERNION(0, 0, 0, 1), 0.8f, 2.0f, 50);
    ASSERT_EQ(data.Shapes.size(), 2u);
    const CPPhysicShape& box = data.Shapes[0];
    EXPECT_EQ(box.Kind, CPPhysicShape::KindBox);
    EXPECT_EQ(box.Geometry, nullptr);
    EXPECT_EQ(box.Position, at);
    EXPECT_EQ(box.Rotation, turn);
    EXPECT_EQ(box.Size, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(box.Mass, 2.0f);
    const CPPhysicShape& cylinder = data.Shapes[1];
    EXPECT_EQ(cylinder.Kind, CPPhysicShape::KindCylinder);
    EXPECT_EQ(cylinder.Size, D3DXVECTOR3(5.0f, 2.0f, 5.0f));
    EXPECT_EQ(cylinder.Diameter, 0.8f);
    EXPECT_EQ(cylinder.Mass, 5.0f);

    // A negative mass (a kinematic body) keeps its sign.
    data.SetShape(1, 1, 1, -10);
    EXPECT_EQ(data.MainShape.Mass, -1.0f);
}

TEST_F(PhysicDataTest, WeightDivOfZeroOrBelowCountsAsOne) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    for (int32_t divisor : {0, -4}) {
        Cfg::weight_div = divisor;
        CPPhysicData data(nullptr);
        data.SetShape(1, 2, 3, 100);
        EXPECT_EQ(data.MainShape.Mass, 100.0f);
        data.AddBox(D3DXVECTOR3(0, 0, 0), D3DXQUATERNION(0, 0, 0, 1), 1, 1, 1, 30);
        EXPECT_EQ(data.Shapes.back().Mass, 30.0f);
        data.SetShape(1, 1, 1, 0);
        EXPECT_EQ(data.MainShape.Mass, 0.0f);
    }
    // A mass that is no positive finite number makes a static body with no inertia, never
    // a NaN in the body.
    for (float mass : {0.0f, -5.0f, NAN, INFINITY}) {
        CPPhysicData data(nullptr);
        data.RigidBody = sim->CreateRigidBody();
        data.SetShape(1, 1, 1, mass);
        data.Refresh();
        EXPECT_EQ(data.RigidBody->InverseMass, 0.0f) << mass;
        EXPECT_TRUE(std::isfinite(data.RigidBody->Mass)) << mass;
        EXPECT_EQ(data.RigidBody->InverseInertia.Rows[0].x, 1.0f) << mass;  // untouched
    }
}

TEST_F(PhysicDataTest, MovesGoToTheKinematicBodyFirst) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    CPPhysicData data(nullptr);
    const D3DXQUATERNION turn(0, 0, 0.70710677f, 0.70710677f);
    data.SetPosition(D3DXVECTOR3(1, 2, 3));  // no body: nothing
    data.SetOrientation(turn);

    RbKinematicBody* kinematic = sim->CreateKinematicBody();
    RbRigidBody* rigid = sim->CreateRigidBody();
    data.KinematicBody = kinematic;
    data.RigidBody = rigid;
    data.SetOrientation(turn);
    data.SetPosition(D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(kinematic->Position.y, 2.0f);
    EXPECT_NEAR(kinematic->Rotation.Rows[0].y, 1.0f, 1e-6f);
    EXPECT_EQ(kinematic->TransformChanged, 1);
    EXPECT_EQ(rigid->GetPosition().y, 0.0f);
    EXPECT_EQ(rigid->GetOrientation().z, 0.0f);

    data.KinematicBody = nullptr;
    data.SetOrientation(turn);  // passed on unchanged
    data.SetPosition(D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(rigid->GetOrientation().z, 0.70710677f);
    EXPECT_EQ(rigid->GetOrientation().w, 0.70710677f);
    EXPECT_EQ(rigid->GetPosition().z, 6.0f);
}

struct RefreshCase {
    const char* what;
    int32_t kind;
    float mass;  // already divided
    D3DXQUATERNION ownerOrientation;
    bool expectInertia;
};

TEST_F(PhysicDataTest, RefreshReappliesMassInertiaAndPose) {
    const RefreshCase cases[] = {
        {"box", CPPhysicShape::KindBox, 150.0f, {0, 0, 0, 2}, true},
        {"cylinder", CPPhysicShape::KindCylinder, 12.0f, {0, 0, 3, 4}, true},
        {"massless", CPPhysicShape::KindBox, 0.0f, {0, 0, 0, 1}, false},
        {"kinematic mass", CPPhysicShape::KindBox, -1.0f, {0, 0, 0, 1}, false},
        {"unknown kind", 7, 10.0f, {0, 0, 0, 1}, false},
    };
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
        RbRigidBody* body = sim->CreateRigidBody();
        ASSERT_NE(body, nullptr);
        body->SetInertiaTensor(RbVec(7, 7, 7));

        CPGameObject owner("owner");
        owner.Position = D3DXVECTOR3(1, 2, 3);
        owner.Orientation = c.ownerOrientation;
        CPPhysicData data(&owner);
        data.MainShape.Kind = c.kind;
        data.MainShape.Size = D3DXVECTOR3(2, 1, 4);
        data.MainShape.Diameter = 0.8f;
        data.MainShape.Mass = c.mass;
        data.RigidBody = body;
        data.Refresh();

        RbVector expected = RbVec(7, 7, 7);
        if (c.expectInertia) {
            expected = c.kind == CPPhysicShape::KindBox ? RbInertia::Box(RbVec(2, 4, 1), c.mass)
                                                        : RbInertia::Cylinder(0.8f, 1.0f, c.mass);
        }
        EXPECT_EQ(body->Inertia.Rows[0].x, expected.x);
        EXPECT_EQ(body->Inertia.Rows[1].y, expected.y);
        EXPECT_EQ(body->Inertia.Rows[2].z, expected.z);
        EXPECT_EQ(body->Mass, c.mass);
        EXPECT_EQ(body->GetPosition().x, 1.0f);
        EXPECT_EQ(body->GetPosition().z, 3.0f);
        const float length = std::sqrt(c.ownerOrientation.z * c.ownerOrientation.z +
                                       c.ownerOrientation.w * c.ownerOrientation.w);
        EXPECT_FLOAT_EQ(body->GetOrientation().z, c.ownerOrientation.z / length);
        EXPECT_FLOAT_EQ(body->GetOrientation().w, c.ownerOrientation.w / length);
        EXPECT_EQ(data.Controller, nullptr);  // not asked to attach
    }
}

TEST_F(PhysicDataTest, RefreshWithoutARigidBodyDoesNothing) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    CPGameObject owner("owner");
    owner.Position = D3DXVECTOR3(1, 2, 3);
    CPPhysicData data(&owner);
    data.KinematicBody = sim->CreateKinematicBody();
    data.AttachController = true;
    data.Refresh();
    EXPECT_EQ(data.KinematicBody->Position.x, 0.0f);
    EXPECT_EQ(data.Controller, nullptr);
}

TEST_F(PhysicDataTest, ControllerIsAttachedOnceAndRetriedWhenThePoolIsEmpty) {
    RbSizeLimits limits;
    limits.constraintSetsCount = 1;
    SimulatorPtr sim(RbSimulator::Create(&limits, nullptr, nullptr));
    RbRigidBody* first = sim->CreateRigidBody();
    RbRigidBody* second = sim->CreateRigidBody();

    CPGameObject a("a"), b("b");
    CPPhysicData dataA(&a), dataB(&b);
    dataA.RigidBody = first;
    dataB.RigidBody = second;
    dataA.AttachController = dataB.AttachController = true;

    dataA.Refresh();
    ASSERT_NE(dataA.Controller, nullptr);
    EXPECT_EQ(dataA.Controller->Callback, &dataA);
    EXPECT_EQ(dataA.Controller->Period, 1);
    RbController* attached = dataA.Controller;
    dataA.Refresh();
    EXPECT_EQ(dataA.Controller, attached);
    EXPECT_EQ(attached->Next, nullptr);  // still one controller on the body

    dataB.Refresh();  // the pool is used up
    EXPECT_EQ(dataB.Controller, nullptr);
}

TEST_F(PhysicDataTest, OnStepHoldsTheMotionOfTheOwnersBody) {
    SimulatorPtr sim(RbSimulator::Create(nullptr, nullptr, nullptr));
    RbRigidBody* body = sim->CreateRigidBody();
    body->UpdateWorldInverseInertia();  // as the step keeps it
    auto data = std::make_unique<CPPhysicData>(nullptr);
    CPGameObject owner("enemy");
    data->Owner = &owner;
    owner.Physics = data.get();
    data->RigidBody = body;
    data->HeldVelocity = RbVec(1, 2, 3);
    data->HeldAngularMomentum = RbVec(0, 0, 0.5f);

    data->OnStep(nullptr, 1.0f / 60);  // not holding: untouched
    EXPECT_EQ(body->GetVelocity().x, 0.0f);

    data->HoldMotion = true;
    data->OnStep(nullptr, 1.0f / 60);
    EXPECT_EQ(body->GetVelocity().x, 1.0f);
    EXPECT_EQ(body->GetVelocity().z, 3.0f);
    EXPECT_NE(body->GetAngularVelocity().z, 0.0f);

    // Without the owner's link to its data the step has no body to reach.
    body->SetVelocity(RbVec(0, 0, 0));
    owner.Physics = nullptr;
    data->OnStep(nullptr, 1.0f / 60);
    EXPECT_EQ(body->GetVelocity().x, 0.0f);
}

}  // namespace
