// The solve of a slice: solver bodies and manifolds are loaded, then each substep integrates
// velocities, warm starts, solves with the push-out bias, integrates positions and relaxes;
// bounces follow the substeps, and last each manifold learns whether it is touching.
#include "physics/RbStepper.h"

#include "physics/RbSimulator.h"
#include "physics/RbStepShared.h"

#include <cmath>

using namespace RbStep;

void RbStepper::Solve(float h) {
    LoadSolverBodies();
    const float hs = h / static_cast<float>(Substeps);
    const RbSolverSettings settings = SolverSettings(hs);
    PrepareManifolds();
    RbManifold* manifolds = Manifolds[Current].GetData();
    const int32_t count = Manifolds[Current].GetCount();
    RbSolverBody* bodies = Bodies.GetData();
    for (int32_t step = 0; step < Substeps; ++step) {
        IntegrateVelocities(hs);
        RbWarmStartContacts(manifolds, count, bodies);
        RbSolveContacts(manifolds, count, bodies, settings, true);
        IntegratePositions(hs);
        RbSolveContacts(manifolds, count, bodies, settings, false);  // adds to Impulse
    }
    Bounce(settings);
    UpdateTouching(settings);
}

void RbStepper::LoadSolverBodies() {
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        RbSolverBody& body = Bodies[i];
        body.DP = RbVector{};
        body.DR = RbVector{};
        body.Touching = 0;
        if (work.Rigid != nullptr && work.Awake) {
            RbRigidBody& r = *work.Rigid;
            if (!work.Processed) {
                r.UpdateWorldInverseInertia();  // woken during this slice
            }
            body.InvMass = r.InverseMass;
            body.InvI = r.WorldInverseInertia;
            // A body without mass is static: contacts neither push nor turn it.
            if (!IsFiniteMatrix(body.InvI) || !std::isfinite(body.InvMass) || body.InvMass == 0.0f) {
                body.InvMass = 0.0f;
                body.InvI = RbMatrix3{};
            }
        } else {
            // Kinematic and resting bodies: infinite mass, moving with their velocity.
            body.InvMass = 0.0f;
            body.InvI = RbMatrix3{};
        }
    }
}

RbSolverSettings RbStepper::SolverSettings(float hs) {
    // The contact spring stays below a quarter of the substep rate, where the soft step is
    // stable; contacts against things that do not move are twice as stiff.
    RbSolverSettings settings;
    const float hertz = Min(ContactHertz, 0.25f / hs);
    settings.Contact = RbMakeSoft(hertz, ContactDampingRatio, hs);
    settings.Static = RbMakeSoft(2.0f * hertz, ContactDampingRatio, hs);
    settings.InverseH = 1.0f / hs;
    return settings;
}

void RbStepper::PrepareManifolds() {
    // One pass over the manifolds: which are solved (the code resolves, there are points and
    // one of the bodies moves), their rows, and the approach speed each reports.
    RbManifold* manifolds = Manifolds[Current].GetData();
    const int32_t count = Manifolds[Current].GetCount();
    RbSolverBody* bodies = Bodies.GetData();
    const RbVector* positions = Positions.GetData();
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        const bool moving = Work[manifold.SolverA].Awake || (manifold.SolverB > 0 && Work[manifold.SolverB].Awake);
        manifold.Solve = RbCollisionTable::Resolves(manifold.Code) && moving && manifold.PointCount > 0;
        manifold.Impulse = 0.0f;
        manifold.ApproachSpeed = 0.0f;
        if (manifold.Solve) {
            RbPrepareContact(manifold, bodies, positions);
        }
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            manifold.ApproachSpeed = Max(manifold.ApproachSpeed, -manifold.Anchors[i].RelativeVelocity);
        }
    }
}

void RbStepper::IntegrateVelocities(float hs) {
    const RbVector gravity = Simulator->GetGravity();
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid == nullptr || !work.Awake) {
            continue;
        }
        RbSolverBody& body = Bodies[i];
        work.StartVelocity = body.V;  // this substep's starting velocity
        if (body.InvMass > 0.0f) {
            body.V = Madd(body.V, Madd(gravity, work.Force, body.InvMass), hs);
        }
        body.W = Madd(body.W, RbTransform(work.Torque, body.InvI), hs);
    }
}

void RbStepper::IntegratePositions(float hs) {
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid == nullptr || !work.Awake) {
            continue;
        }
        RbSolverBody& body = Bodies[i];
        // A body in free flight moves by the mean of its velocities, exact under constant
        // forces; a touching body by its new velocity (semi-implicit Euler).
        const RbVector velocity = body.Touching ? body.V : RbScale(RbAdd(work.StartVelocity, body.V), 0.5f);
        work.Position = Madd(work.Position, velocity, hs);
        body.DP = Madd(body.DP, velocity, hs);
        const RbQuaternion omega{body.W.x, body.W.y, body.W.z, 0.0f};
        const RbQuaternion dq = RbQuaternionMultiply(omega, work.Orientation);
        RbQuaternion& q = work.Orientation;
        q.x += 0.5f * hs * dq.x;
        q.y += 0.5f * hs * dq.y;
        q.z += 0.5f * hs * dq.z;
        q.w += 0.5f * hs * dq.w;
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        if (length > 0.0f && std::isfinite(length)) {
            q = {q.x / length, q.y / length, q.z / length, q.w / length};
        }
        body.DR = Madd(body.DR, body.W, hs);
    }
}

void RbStepper::Bounce(const RbSolverSettings& settings) {
    // A few passes, so bounces passed between touching bodies settle; none in a slice
    // without a new hit.
    RbManifold* manifolds = Manifolds[Current].GetData();
    const int32_t count = Manifolds[Current].GetCount();
    bool bounce = false;
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        manifold.BounceImpulse = 0.0f;
        if (manifold.Solve && !manifold.WasTouching && manifold.Restitution > 0.0f) {
            for (int32_t i = 0; i < manifold.PointCount; ++i) {
                bounce = bounce || (manifold.Anchors[i].RelativeVelocity <= -settings.RestitutionThreshold &&
                                    manifold.Points[i].MaxNormalImpulse > 0.0f);
            }
        }
    }
    for (int32_t pass = 0; bounce && pass < 3; ++pass) {
        RbApplyRestitution(manifolds, count, Bodies.GetData(), Positions.GetData(), settings);
    }
}

void RbStepper::UpdateTouching(const RbSolverSettings& settings) {
    // A contact touches once its gap has closed and it no longer closes fast: an impact
    // caught speculatively before the bodies met is reported with the touch that follows.
    RbManifold* manifolds = Manifolds[Current].GetData();
    for (int32_t m = 0; m < Manifolds[Current].GetCount(); ++m) {
        RbManifold& manifold = manifolds[m];
        float deepest = 1e30f;
        manifold.Impulse += manifold.BounceImpulse;
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            deepest = Min(deepest, manifold.Points[i].Separation);
        }
        if (!manifold.Solve) {
            manifold.Touching = deepest <= 0.0f;
            continue;
        }
        float gap = 0.0f;
        float closing = 0.0f;
        RbMeasureContacts(&manifold, 1, Bodies.GetData(), &gap, &closing);
        manifold.EndGap = gap;
        manifold.Touching = manifold.Impulse > 0.0f && gap <= LinearSlop && closing >= -settings.RestitutionThreshold;
    }
}
