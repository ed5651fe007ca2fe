// A dynamic body (or a rigid particle): mass properties, the motion state and the forces,
// impulses and controllers through which the game drives it. Units: kg, m, s; vectors in
// world axes unless said otherwise; rotations in the row layout of RbMath.h.
//
// The setters reject NaN and infinity: a call with a non-finite argument changes nothing
// and wakes nothing, so one bad value cannot spread through the simulation.
#pragma once

#include "physics/RbBody.h"
#include "physics/RbController.h"
#include "physics/RbMath.h"

#include <cstdint>

struct RbMotionState {
    RbQuaternion Orientation;
    RbVector Spare;
    RbVector AngularMomentum;  // kg·m²/s
    RbMatrix3 Rotation = RbMatrix3::Identity();  // rows from Orientation
    RbVector Position = RbVec(0.0f, 0.0f, 0.0f, 1.0f);
};

// The state a body had when it was last woken.
struct RbWakeSnapshot {
    RbVector Position;
    RbQuaternion Orientation;
    RbVector Velocity;
    RbVector AngularVelocity;
};

class RbRigidBody : public RbBody {
public:
    RbRigidBody() { Kind = KindRigid; }

    // mass := m, inverse mass := 1/m. A mass that is not a positive finite number makes the
    // body immovable (inverse mass 0); a non-finite mass is stored as 0.
    void SetMass(float mass);
    // Body-space diagonal inertia (kg·m²). A singular or non-finite tensor keeps the
    // previous inverse.
    void SetInertiaTensor(const RbVector& diagonal);

    const RbVector& GetPosition() const { return Motion.Position; }
    void SetPosition(const RbVector& position);
    const RbQuaternion& GetOrientation() const { return Motion.Orientation; }
    // Orientation := q (expected unit; a zero quaternion is the identity), rotation rows
    // from it.
    void SetRotation(const RbQuaternion& q);
    // Rotation rows then the position, with fourth components (0, 0, 0, 1).
    RbMatrix4 GetTransform();

    const RbVector& GetVelocity() const { return Velocity; }
    // Wakes the body, or every body of its constraint group.
    void SetVelocity(const RbVector& velocity);
    const RbVector& GetAngularVelocity() const { return AngularVelocity; }
    // Angular velocity := L through the world-space inverse inertia, and the quaternion
    // derivative from it; wakes like SetVelocity.
    void SetAngularMomentum(const RbVector& momentum);

    // Persistent force at a world point (torque about the body's position); acts every step
    // until changed. A force with every component below 1e-6 does not wake the body.
    void SetForce(const RbVector& force, const RbVector& point);
    void SetTorque(const RbVector& torque);
    // Instant change of momentum (N·s) at a world point.
    void ApplyImpulse(const RbVector& impulse, const RbVector& point);

    // A controller at the end of the body's list, or null with the pool exhausted.
    RbController* AddController(RbControllerCallback* callback, int32_t period);
    void SetBodyFlag(int32_t flag) { BodyFlag = flag; }

    // Whether the step has put the body to rest: it stays where it is, unmoved and unmoved
    // by gravity, until something wakes it (a pose, velocity, impulse or force change, a
    // controller's force, or a contact with a moving body).
    bool IsResting() const { return Resting != 0; }

    void Wake();
    void WakeGroup();
    // World inverse inertia := Rᵀ·I⁻¹·R for the current rotation rows R (what the step keeps).
    void UpdateWorldInverseInertia();

    float Mass = 1.0f;
    float InverseMass = 1.0f;
    RbMatrix3 InverseInertia = RbMatrix3::Identity();  // body space
    RbMatrix3 Inertia = RbMatrix3::Identity();         // body space
    RbVector PersistentForce;
    RbVector PersistentTorque;
    int32_t RestCounter = 0;
    int32_t StepCounter = 0;
    int32_t BodyFlag = 1;
    RbMotionState Motion;
    RbVector Velocity;
    RbVector AngularVelocity;
    RbQuaternion OrientationDerivative{0.0f, 0.0f, 0.0f, 0.0f};
    RbMatrix3 WorldInverseInertia;  // zero until the step (or UpdateWorldInverseInertia) sets it
    RbController* Controllers = nullptr;
    int32_t IsParticle = 0;
    float RestThreshold = 0.2f;
    RbWakeSnapshot Snapshot;
    // Rest state kept by the step: seconds spent slow since the last wake-up, and the mark.
    float RestTime = 0.0f;
    int32_t Resting = 0;
    // Set when the rotation or the inertia changed since WorldInverseInertia was derived.
    int32_t InertiaStale = 1;

private:
    // Angular velocity and quaternion derivative from the current angular momentum.
    void DeriveAngularMotion();
};
