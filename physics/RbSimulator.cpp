// Construction, pools, body creation, materials, gravity and error reporting of the
// simulator.
#include "physics/RbSimulator.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace {

// One buffer for the process, as every simulator reports into it.
char ErrorText[256] = "";

}  // namespace

RbSimulator* RbSimulator::Create(const RbSizeLimits* limits, RbAllocator* allocator, const RbVector* gravity) {
    RbSimulator* simulator = new (std::nothrow) RbSimulator();
    if (simulator != nullptr) {
        simulator->Construct(limits, allocator, gravity);
    }
    return simulator;
}

void RbSimulator::Destroy(RbSimulator* simulator) { delete simulator; }

const char* RbSimulator::GetErrorText() { return ErrorText; }

void RbSimulator::Construct(const RbSizeLimits* limits, RbAllocator* allocator, const RbVector* gravity) {
    if (limits != nullptr) {
        Limits = *limits;
    }
    Allocator = allocator != nullptr ? allocator : &HeapAllocator;
    Initialise(gravity != nullptr ? *gravity : RbVector{});
    // Materials start at their defaults (member initialisers); the remaining pools follow.
    // A pool that cannot be allocated stays empty, and taking from it reports exhaustion.
    ConstraintGroups.Create(Allocator, Limits.constraintGroupsCount);
    Controllers.Create(Allocator, Limits.constraintSetsCount);
    Sensors.Create(Allocator, Limits.sensorsCount);
    Geometries.Create(Allocator, Limits.geometriesCount);
    PerfTimer.Calibrate();
}

bool RbSimulator::Initialise(const RbVector& gravity) {
    Status = 1;
    SetGravity(gravity);
    if (!RigidBodies.Create(Allocator, Limits.rigidBodiesCount) ||
        !KinematicBodies.Create(Allocator, Limits.kinematicBodiesCount) ||
        !RigidParticles.Create(Allocator, Limits.rigidParticleCount)) {
        ReportError(1, "Failed to allocate memory.\n");
        return false;
    }
    if (!BroadPhase.Create(this, Allocator, Limits)) {
        ReportError(1, "Failed to allocate memory.\n");
        return false;
    }
    TerrainTransform = RbMatrix4{};
    return true;
}

void RbSimulator::SetGravity(const RbVector& gravity) {
    // The length is taken in double: a finite vector whose square overflows a float still
    // has a length a float holds.
    const double x = gravity.x;
    const double y = gravity.y;
    const double z = gravity.z;
    const double squared = x * x + y * y + z * z;
    const double length = std::sqrt(squared);
    if (!RbIsFinite(gravity) || !(length <= std::numeric_limits<float>::max())) {
        // Infinite or NaN components, or a length no float holds: no gravity rather than
        // NaN directions.
        Gravity = RbVector{};
        GravityDirection = RbVector{};
        GravityMagnitude = 0.0f;
        GravityFraction = 0.0f;
        return;
    }
    const float magnitude = static_cast<float>(length);
    Gravity = gravity;
    GravityMagnitude = magnitude;
    GravityFraction = 0.3f * magnitude;
    GravityDirection = squared < RbZeroLengthSquared || magnitude == 0.0f
                           ? RbVector{}
                           : RbVec(gravity.x / magnitude, gravity.y / magnitude, gravity.z / magnitude);
}

void RbSimulator::ReportError(int32_t level, const char* message) {
    std::snprintf(ErrorText, sizeof(ErrorText), "%s", message);
    if (LogCallback != nullptr && level <= LogLevel) {
        LogCallback(ErrorText);
    }
}

void RbSimulator::SetLogCallback(RbLogCallback callback, int32_t maxLevel) {
    LogCallback = callback;
    LogLevel = maxLevel;
}

RbCollisionCallback RbSimulator::SetCollisionCallback(RbCollisionCallback callback) {
    const RbCollisionCallback previous = CollisionCallback;
    CollisionCallback = callback;
    return previous;
}

bool RbSimulator::SetMaterial(int32_t index, float friction, float restitution) {
    if (index < 0 || index >= MaterialCount) {
        return false;
    }
    Materials[index] = {friction, restitution, 0.0f};
    return true;
}

const RbMaterial* RbSimulator::GetMaterial(int32_t index) const {
    return index >= 0 && index < MaterialCount ? &Materials[index] : nullptr;
}

RbRigidBody* RbSimulator::CreateRigidBody() { return CreateBody(0); }

RbRigidBody* RbSimulator::CreateRigidParticle() { return CreateBody(1); }

RbRigidBody* RbSimulator::CreateBody(int32_t particleFlag) {
    RbPool<RbRigidBody>& pool = particleFlag != 0 ? RigidParticles : RigidBodies;
    RbRigidBody* body = pool.Take();
    if (body == nullptr) {
        ReportError(1, particleFlag != 0 ? "Run out of RigidBodies. Increase 'rigidParticleCount'.\n"
                                         : "Run out of RigidBodies. Increase 'rigidBodiesCount'.\n");
        return nullptr;
    }
    *body = RbRigidBody{};
    body->IsParticle = particleFlag;
    body->Id = particleFlag != 0 ? pool.IndexOf(body) + RigidBodies.GetCapacity() + KinematicBodies.GetCapacity()
                                 : pool.IndexOf(body);
    body->BoundingBox.Reset();
    body->Simulator = this;
    Lists[particleFlag != 0 ? RbActiveRigidParticles : RbActiveRigidBodies].Append(body);
    return body;
}

RbKinematicBody* RbSimulator::CreateKinematicBody() {
    RbKinematicBody* body = KinematicBodies.Take();
    if (body == nullptr) {
        return nullptr;
    }
    *body = RbKinematicBody{};
    body->Id = KinematicBodies.IndexOf(body) + RigidBodies.GetCapacity();
    body->BoundingBox.Reset();
    body->Simulator = this;
    Lists[RbActiveKinematicBodies].Append(body);
    return body;
}

RbGeometry* RbSimulator::TakeGeometry() {
    RbGeometry* geometry = Geometries.Take();
    if (geometry == nullptr) {
        ReportError(1, "Run out of Geometries. Increase 'geometriesCount'.\n");
    }
    return geometry;
}

RbSensor* RbSimulator::TakeSensor() {
    RbSensor* sensor = Sensors.Take();
    if (sensor == nullptr) {
        ReportError(1, "Run out of Sensors. Increase 'sensorsCount'.\n");
    }
    return sensor;
}

RbController* RbSimulator::TakeController() {
    RbController* controller = Controllers.Take();
    if (controller == nullptr) {
        ReportError(1, "Run out of Controllers. Increase 'constraintSetsCount'.\n");
    }
    return controller;
}

RbBodyList& RbSimulator::ListOf(const RbBody& body, bool active) {
    if (body.Kind == RbBody::KindKinematic) {
        return Lists[active ? RbActiveKinematicBodies : RbInactiveKinematicBodies];
    }
    if (static_cast<const RbRigidBody&>(body).IsParticle != 0) {
        return Lists[active ? RbActiveRigidParticles : RbInactiveRigidParticles];
    }
    return Lists[active ? RbActiveRigidBodies : RbInactiveRigidBodies];
}
