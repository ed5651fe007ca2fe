// Mass properties, pose, velocities, forces and impulses of rigid bodies.
#include "physics/RbRigidBody.h"

#include "physics/RbSimulator.h"

#include <cmath>

namespace {

// Every component below 1e-6 in magnitude: too small to wake a body.
bool IsNegligible(const RbVector& v) {
    return std::fabs(v.x) < 1e-6f && std::fabs(v.y) < 1e-6f && std::fabs(v.z) < 1e-6f;
}

}  // namespace

void RbRigidBody::SetMass(float mass) {
    Mass = std::isfinite(mass) ? mass : 0.0f;
    const float inverse = mass > 0.0f ? 1.0f / mass : 0.0f;
    InverseMass = std::isfinite(mass) && std::isfinite(inverse) ? inverse : 0.0f;
}

void RbRigidBody::SetInertiaTensor(const RbVector& diagonal) {
    Inertia = RbMatrix3::Diagonal(diagonal.x, diagonal.y, diagonal.z);
    RbInverse(Inertia, 1e-17f, &InverseInertia);
    InertiaStale = 1;
}

void RbRigidBody::SetPosition(const RbVector& position) {
    if (!RbIsFinite(position)) {
        return;
    }
    Motion.Position = position;
    Wake();
}

void RbRigidBody::SetRotation(const RbQuaternion& q) {
    if (!RbIsFinite(q)) {
        return;
    }
    Motion.Orientation = RbNonZeroQuaternion(q);
    Motion.Rotation = RbRotationFromQuaternion(Motion.Orientation);
    InertiaStale = 1;
    Wake();
}

RbMatrix4 RbRigidBody::GetTransform() {
    for (RbVector& row : Motion.Rotation.Rows) {
        row.w = 0.0f;
    }
    Motion.Position.w = 1.0f;
    RbMatrix4 transform;
    for (int i = 0; i < 3; ++i) {
        const RbVector& row = Motion.Rotation.Rows[i];
        transform.M[i][0] = row.x;
        transform.M[i][1] = row.y;
        transform.M[i][2] = row.z;
        transform.M[i][3] = row.w;
    }
    transform.M[3][0] = Motion.Position.x;
    transform.M[3][1] = Motion.Position.y;
    transform.M[3][2] = Motion.Position.z;
    transform.M[3][3] = Motion.Position.w;
    return transform;
}

void RbRigidBody::SetVelocity(const RbVector& velocity) {
    if (!RbIsFinite(velocity)) {
        return;
    }
    Velocity = velocity;
    WakeGroup();
}

void RbRigidBody::SetAngularMomentum(const RbVector& momentum) {
    if (!RbIsFinite(momentum)) {
        return;
    }
    Motion.AngularMomentum = momentum;
    DeriveAngularMotion();
    WakeGroup();
}

void RbRigidBody::DeriveAngularMotion() {
    // ω = L·I⁻¹(world); dq/dt = ½ (ω, 0) q, with ω as a pure quaternion on the left because
    // ω is in world axes.
    AngularVelocity = RbTransform(Motion.AngularMomentum, WorldInverseInertia);
    const RbQuaternion omega{AngularVelocity.x, AngularVelocity.y, AngularVelocity.z, 0.0f};
    const RbQuaternion product = RbQuaternionMultiply(omega, Motion.Orientation);
    OrientationDerivative = {product.x * 0.5f, product.y * 0.5f, product.z * 0.5f, product.w * 0.5f};
}

void RbRigidBody::SetForce(const RbVector& force, const RbVector& point) {
    if (!RbIsFinite(force) || !RbIsFinite(point)) {
        return;
    }
    PersistentForce = force;
    PersistentTorque = RbCross(RbSub(point, Motion.Position), force);
    if (!IsNegligible(force)) {
        Wake();
    }
}

void RbRigidBody::SetTorque(const RbVector& torque) {
    if (!RbIsFinite(torque)) {
        return;
    }
    PersistentTorque = torque;
    if (!IsNegligible(torque)) {
        Wake();
    }
}

void RbRigidBody::ApplyImpulse(const RbVector& impulse, const RbVector& point) {
    if (!RbIsFinite(impulse) || !RbIsFinite(point)) {
        return;
    }
    Velocity.x += impulse.x * InverseMass;
    Velocity.y += impulse.y * InverseMass;
    Velocity.z += impulse.z * InverseMass;
    const RbVector angular = RbCross(RbSub(point, Motion.Position), impulse);
    Motion.AngularMomentum.x += angular.x;
    Motion.AngularMomentum.y += angular.y;
    Motion.AngularMomentum.z += angular.z;
    DeriveAngularMotion();
    Wake();
}

RbController* RbRigidBody::AddController(RbControllerCallback* callback, int32_t period) {
    RbController* controller = Simulator->TakeController();
    if (controller == nullptr) {
        return nullptr;
    }
    *controller = RbController{};
    controller->Period = period;
    controller->Countdown = period;
    controller->Callback = callback;
    controller->Body = this;
    RbController** link = &Controllers;
    while (*link != nullptr) {
        link = &(*link)->Next;
    }
    *link = controller;
    return controller;
}

void RbRigidBody::Wake() {
    RestCounter = 0;
    RestTime = 0.0f;
    Resting = 0;
    StepCounter = 0;
    Snapshot.Position = Motion.Position;
    Snapshot.Orientation = Motion.Orientation;
    Snapshot.Velocity = Velocity;
    Snapshot.AngularVelocity = AngularVelocity;
}

void RbRigidBody::WakeGroup() {
    if (ConstraintGroup == nullptr) {
        Wake();
        return;
    }
    for (RbRigidBody* body = ConstraintGroup->FirstBody; body != nullptr; body = body->NextInGroup) {
        body->Wake();
    }
}

void RbRigidBody::UpdateWorldInverseInertia() {
    InertiaStale = 0;
    const RbMatrix3& rotation = Motion.Rotation;
    const RbVector* d = InverseInertia.Rows;
    if (d[0].y == 0.0f && d[0].z == 0.0f && d[1].x == 0.0f && d[1].z == 0.0f && d[2].x == 0.0f && d[2].y == 0.0f) {
        // A diagonal tensor (every tensor this library makes): M_ij = Σ_k R_ki · d_k · R_kj.
        const RbVector* r = rotation.Rows;
        const float dk[3] = {d[0].x, d[1].y, d[2].z};
        float m[3][3] = {};
        for (int k = 0; k < 3; ++k) {
            const float row[3] = {r[k].x, r[k].y, r[k].z};
            for (int i = 0; i < 3; ++i) {
                const float s = row[i] * dk[k];
                for (int j = 0; j < 3; ++j) {
                    m[i][j] += s * row[j];
                }
            }
        }
        for (int i = 0; i < 3; ++i) {
            WorldInverseInertia.Rows[i] = {m[i][0], m[i][1], m[i][2], 0.0f};
        }
        return;
    }
    WorldInverseInertia = RbMultiply(RbMultiply(RbTranspose(rotation), InverseInertia), rotation);
}
