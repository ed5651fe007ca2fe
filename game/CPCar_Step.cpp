// The car's physics slice: per-wheel spring, damper, grip, drive and locked-wheel braking
// from the sensors' contacts, then drag and nitro, handed to the body's controller.
#include "game/CPCar.h"

#include "Render/CPRender.h"
#include "core/FrameTime.h"
#include "core/Geometry.h"
#include "core/Singletons.h"
#include "interface/CPGameData.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSensor.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t FrontWheels = 2;
// Steering fades with speed (1 - 0.025·speed) down to this share of the input.
constexpr float SteerFadePerSpeed = 0.025f;
constexpr float MaxSteerFade = 0.9f;
// Longitudinal drag, N per m/s.
constexpr float Drag = 0.5f;
// Nitro push per unit of AccelFront and of request, N·s (the push is scaled by the slice).
constexpr float NitroGain = 80.0f;
// Locked-wheel braking, N per m/s of each wheel.
constexpr float LockedBrakeGain = 2.0f;
// Uphill drive grows by this per radian of slope.
constexpr float SlopeDriveGain = 5.0f;

D3DXVECTOR3 ToD3DX(const RbVector& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

// RbBody::GetVelocityAtPoint for a rigid body, inline: v + ω × arm, arm from the body's
// position (world axes).
RbVector PointVelocity(const RbRigidBody& body, const RbVector& arm) {
    return RbAdd(body.GetVelocity(), RbCross(body.GetAngularVelocity(), arm));
}

}  // namespace

void CPCar::OnStep(RbController* controller, float dt) {
    RbRigidBody* body = controller != nullptr ? controller->Body : nullptr;
    if (body == nullptr) {
        return;
    }

    if (Braking) {
        SlideAmount = Slide;
    } else {
        SlideAmount = std::max(SlideAmount - 3.0f * dt, 0.0f);
    }

    const RbMatrix4 transform = body->GetTransform();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            BodyTransform.m[r][c] = transform.M[r][c];
        }
    }
    for (int r = 0; r < 3; ++r) {
        Rotation.Rows[r] = RbVec(transform.M[r][0], transform.M[r][1], transform.M[r][2]);
    }
    Translation = transform.Translation();
    // Rigid inverse: the transposed rotation, translation -t·Rᵀ.
    const RbMatrix3 transposed = RbTranspose(Rotation);
    const RbVector inverseTranslation = RbScale(RbTransform(Translation, transposed), -1.0f);
    D3DXMatrixIdentity(&InverseTransform);
    for (int r = 0; r < 3; ++r) {
        InverseTransform.m[r][0] = transposed.Rows[r].x;
        InverseTransform.m[r][1] = transposed.Rows[r].y;
        InverseTransform.m[r][2] = transposed.Rows[r].z;
    }
    InverseTransform.m[3][0] = inverseTranslation.x;
    InverseTransform.m[3][1] = inverseTranslation.y;
    InverseTransform.m[3][2] = inverseTranslation.z;

    std::fill(std::begin(WheelContact), std::end(WheelContact), false);
    Velocity = body->GetVelocity();
    Speed = RbLength(Velocity);

    // Steering weakens with speed, to a tenth from 36 m/s on, unless the rear slides.
    const float fade = SlideAmount == 0.0f ? 1.0f - std::min(SteerFadePerSpeed * Speed, MaxSteerFade) : 1.0f;
    const float angle = fade * SteerInput;
    RbVector steer = RbTransform(RbVec(std::sin(angle), std::cos(angle), 0.0f), Rotation);
    steer.z = 0.0f;
    SteerDirection = RbNormalize(steer);

    // The share of the mass each wheel on the ground stops from slipping (see UpdateWheel).
    int32_t contacts = 0;
    for (int32_t i = 0; i < WheelCount; ++i) {
        contacts += Sensors[i] != nullptr && Sensors[i]->GetDetectDepth() > 0.0f ? 1 : 0;
    }
    const float mass = body->InverseMass > 0.0f ? 1.0f / body->InverseMass : 0.0f;
    WheelMass = contacts > 0 ? mass / static_cast<float>(contacts) : 0.0f;
    SliceTime = dt;

    RbVector force;
    RbVector torque;
    for (int32_t i = 0; i < WheelCount; ++i) {
        UpdateWheel(i, force, torque);
    }
    for (int32_t i = 0; i < WheelCount; ++i) {
        UpdateWheelEffects(i, dt, Velocity);
    }

    const RbVector& r1 = Rotation.Rows[1];
    force = RbAdd(force, RbScale(r1, -Drag * RbDot(Velocity, r1)));
    const RbVector nitro = RbScale(RbNormalize(RbScale(r1, -1.0f)), NitroGain * AccelFront * Nitro * dt);
    if (Nitro > 0.0f && HasSound && Sounds[NitroSound] != nullptr && !Sounds[NitroSound]->IsPlaying()) {
        Sounds[NitroSound]->Rewind();
        Sounds[NitroSound]->Play(0, 0);
    }
    controller->SetForce(RbAdd(force, nitro));
    controller->SetTorque(torque);

    // Nitro fuel, glow and engine sound once per rendered frame, from the race's start.
    if (FrameNumber != LastFrame) {
        const CPGameData* game = GetGameData();
        if (game != nullptr && game->LevelStarted) {
            UpdateFrame();
        }
    }
}

void CPCar::UpdateWheel(int32_t i, RbVector& force, RbVector& torque) {
    RbSensor* sensor = Sensors[i];
    RbRigidBody* body = GetRigidBody();
    if (sensor == nullptr || body == nullptr) {
        return;
    }
    const bool front = i < FrontWheels;
    const float stiffness = front ? Spring1 : Spring2;
    const float depth = sensor->GetDetectDepth();
    if (!(depth > 0.0f)) {
        return;  // in the air: no force, the mesh keeps its last offset
    }
    const RbVector point = sensor->GetDetectContactPoint();
    const RbVector start = RbAdd(RbTransform(sensor->GetLinePosition(), Rotation), Translation);
    if (Debug) {
        if (CPRender* render = GetRender()) {
            render->AddLine(0xffff00ff, ToD3DX(start), ToD3DX(point));
        }
    }
    WheelContact[i] = true;
    ContactPoints[i] = ToD3DX(point);

    if (FixedMax) {
        WheelOffsets[i] = Radius - Length;
    } else {
        const float limit = front ? FrontMinRadius : BackMinRadius;
        WheelOffsets[i] = FixedMin ? limit : std::min(Radius - (Length - depth), limit);
    }

    RbVector normal = sensor->GetDetectNormal();
    if (normal.z < 0.0f) {
        normal = RbScale(normal, -1.0f);
    }
    const RbVector line = RbTransform(sensor->GetLineDirection(), Rotation);
    const RbVector& position = body->GetPosition();
    const RbVector startArm = RbSub(start, position);

    const RbVector spring = RbScale(normal, stiffness * depth);
    force = RbAdd(force, spring);
    torque = RbAdd(torque, RbCross(startArm, spring));

    const RbVector startVelocity = PointVelocity(*body, startArm);
    const RbVector damper = RbScale(line, -RbDot(startVelocity, line) * Damping);
    force = RbAdd(force, damper);
    torque = RbAdd(torque, RbCross(startArm, damper));

    const RbVector& r0 = Rotation.Rows[0];
    const RbVector& r1 = Rotation.Rows[1];
    const RbVector contactArm = RbSub(point, position);
    const RbVector contactVelocity = PointVelocity(*body, contactArm);
    WheelSpeeds[i] = -RbDot(contactVelocity, r1);

    // Lateral grip: a constant force against the slip across the wheel on the ground plane,
    // but never more than stops the wheel's share of the mass within the slice. A constant
    // force alone reverses a small slip every slice, and the car shakes sideways by
    // grip·dt/mass (0.3 m/s for a typical car at 60 Hz) instead of rolling straight.
    const RbVector ground = RbSub(contactVelocity, RbScale(normal, RbDot(contactVelocity, normal)));
    const RbVector& along = front ? SteerDirection : r1;
    const RbVector slip = RbSub(ground, RbScale(along, RbDot(ground, along)));
    const float grip = front ? FrictionFront : FrictionBack * (1.0f - SlideAmount);
    const float stopping = SliceTime > 0.0f ? WheelMass * RbLength(slip) / SliceTime : grip;
    const RbVector gripForce = RbScale(RbNormalize(slip), -std::min(grip, stopping));
    const RbVector flatGrip = RbVec(gripForce.x, gripForce.y, 0.0f);
    force = RbAdd(force, flatGrip);
    torque = RbAdd(torque, RbCross(contactArm, flatGrip));

    if (!Locked) {
        // Front wheels drive along their steering; rear ones along the ground's normal
        // turned by +π/2 about r0 (Rodrigues at a quarter turn: r0 × n + r0·(r0·n)), which
        // for a level car is its nose.
        const RbVector direction = front ? RbNormalize(RbScale(SteerDirection, -1.0f))
                                         : RbAdd(RbCross(r0, normal), RbScale(r0, RbDot(r0, normal)));
        if (DriveForce != 0.0f) {
            const float slope = static_cast<float>(
                ClampedAcos(RbDot(RbNormalize(direction), RbNormalize(RbVec(direction.x, direction.y, 0.0f)))));
            const float gain = DriveForce > 0.0f ? AccelFront : -AccelBack;
            const RbVector drive = RbScale(direction, (1.0f + SlopeDriveGain * std::fabs(slope)) * gain);
            force = RbAdd(force, drive);
            torque = RbAdd(torque, RbCross(contactArm, drive));
        }
    } else {
        const RbVector direction = front ? RbScale(SteerDirection, -1.0f) : RbScale(r1, -1.0f);
        const RbVector brake = RbScale(direction, LockedBrakeGain * RbDot(contactVelocity, r1));
        force = RbAdd(force, brake);
        torque = RbAdd(torque, RbCross(contactArm, RbScale(brake, InertionPitch)));
    }
}
