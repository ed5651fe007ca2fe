#include "scene/CPPhysicData.h"

#include "core/ConfigVars.h"
#include "physics/RbInertia.h"
#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicScene.h"

#include <cmath>

namespace {

// A divisor of 0 or below counts as 1.
float ScaledMass(float mass) {
    const int32_t divisor = Cfg::weight_div > 0 ? Cfg::weight_div : 1;
    return mass / static_cast<float>(divisor);
}

// Positions carry w = 1, as the library keeps them.
RbVector ToRbPoint(const D3DXVECTOR3& v) { return RbVec(v.x, v.y, v.z, 1.0f); }

RbQuaternion ToRbQuaternion(const D3DXQUATERNION& q) { return RbQuaternion{q.x, q.y, q.z, q.w}; }

}  // namespace

CPPhysicData::CPPhysicData(CPGameObject* owner) : Owner(owner) {}

void CPPhysicData::SetShape(float a, float b, float c, float mass) {
    MainShape.Kind = CPPhysicShape::KindBox;
    MainShape.Geometry = nullptr;
    MainShape.Size = D3DXVECTOR3(b, a, c);
    MainShape.Mass = ScaledMass(mass);
}

void CPPhysicData::AddBox(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, float sx, float sy, float sz,
                          float mass) {
    CPPhysicShape shape;
    shape.Kind = CPPhysicShape::KindBox;
    shape.Position = position;
    shape.Rotation = rotation;
    shape.Size = D3DXVECTOR3(sx, sy, sz);
    shape.Mass = ScaledMass(mass);
    Shapes.push_back(shape);
}

void CPPhysicData::AddCylinder(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, float diameter,
                               float height, float mass) {
    CPPhysicShape shape;
    shape.Kind = CPPhysicShape::KindCylinder;
    shape.Position = position;
    shape.Rotation = rotation;
    shape.Size = D3DXVECTOR3(CPPhysicShape::CylinderSizeFiller, height, CPPhysicShape::CylinderSizeFiller);
    shape.Diameter = diameter;
    shape.Mass = ScaledMass(mass);
    Shapes.push_back(shape);
}

void CPPhysicData::Refresh() {
    if (RigidBody == nullptr) {
        return;
    }
    const float mass = MainShape.Mass;
    if (mass > 0.0f && std::isfinite(mass)) {
        // The box tensor takes Size with its last two components swapped.
        if (MainShape.Kind == CPPhysicShape::KindBox) {
            const RbVector size = RbVec(MainShape.Size.x, MainShape.Size.z, MainShape.Size.y);
            RigidBody->SetInertiaTensor(RbInertia::Box(size, mass));
        } else if (MainShape.Kind == CPPhysicShape::KindCylinder) {
            RigidBody->SetInertiaTensor(RbInertia::Cylinder(MainShape.Diameter, MainShape.Size.y, mass));
        }
    }
    RigidBody->SetMass(mass);
    if (Owner != nullptr) {
        RigidBody->SetPosition(ToRbPoint(Owner->Position));
        const D3DXQUATERNION& q = Owner->Orientation;
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        // A zero quaternion has no rotation to give; the body keeps its own.
        if (length > 0.0f) {
            RigidBody->SetRotation(RbQuaternion{q.x / length, q.y / length, q.z / length, q.w / length});
        }
    }
    if (AttachController && Controller == nullptr) {
        Controller = RigidBody->AddController(this, 1);
    }
    RigidBody->UpdateBoundingInfo();
}

void CPPhysicData::SetPosition(const D3DXVECTOR3& position) {
    if (KinematicBody != nullptr) {
        KinematicBody->SetPosition(ToRbPoint(position));
    } else if (RigidBody != nullptr) {
        RigidBody->SetPosition(ToRbPoint(position));
    }
}

void CPPhysicData::SetOrientation(const D3DXQUATERNION& rotation) {
    if (KinematicBody != nullptr) {
        KinematicBody->SetRotation(ToRbQuaternion(rotation));
    } else if (RigidBody != nullptr) {
        RigidBody->SetRotation(ToRbQuaternion(rotation));
    }
}

void CPPhysicData::RemoveBody() {
    RbBody* body = RigidBody != nullptr ? static_cast<RbBody*>(RigidBody) : static_cast<RbBody*>(KinematicBody);
    if (body == nullptr) {
        return;
    }
    CPPhysicScene* world = CPPhysicScene::OfSimulator(body->Simulator);
    if (world == nullptr) {
        world = CPPhysicScene::Current;
    }
    if (world != nullptr) {
        world->RemoveBody(CPtr<CPPhysicData>(this));
    }
}

void CPPhysicData::OnStep(RbController* /*controller*/, float /*timeStep*/) {
    if (!HoldMotion || Owner == nullptr || Owner->Physics == nullptr) {
        return;
    }
    RbRigidBody* body = Owner->Physics->RigidBody;
    if (body == nullptr) {
        return;
    }
    body->SetAngularMomentum(HeldAngularMomentum);
    body->SetVelocity(HeldVelocity);
}
