// The step: slices, gathering the bodies, controllers, writing back, rest and reports.
// Terrain queries and sensors are RbStepper_Sensors.cpp, contacts RbStepper_Contacts.cpp, the
// solve RbStepper_Solve.cpp.
#include "physics/RbStepper.h"

#include "physics/RbSimulator.h"
#include "physics/RbStepShared.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

using namespace RbStep;

bool RbStepper::Create(RbSimulator* simulator, RbAllocator* allocator) {
    Destroy();
    Simulator = simulator;
    Allocator = allocator;
    const int32_t geometries = std::max(simulator->GetLimits().geometriesCount, 0);
    bool ok = Work.Create(allocator, 64, -1) && Bodies.Create(allocator, 64, -1) && Positions.Create(allocator, 64, -1) &&
              Manifolds[0].Create(allocator, 256, -1) && Manifolds[1].Create(allocator, 256, -1) &&
              PreviousKeys.Create(allocator, 256, -1) && TerrainIndices.Create(allocator, 1024, -1) &&
              TriangleInfos.Create(allocator, 0, -1) && TerrainCache.Create(allocator, 1024, -1) && Hulls.Create(allocator, 64, -1) &&
              HullSlots.Create(allocator, geometries, 0) && HullStamps.Create(allocator, geometries, 0) &&
              Parents.Create(allocator, 64, -1);
    for (int32_t i = 0; ok && i < geometries; ++i) {
        ok = HullSlots.Append() != nullptr && HullStamps.Append() != nullptr;
    }
    if (!ok) {
        Destroy();
        return false;
    }
    Created = true;
    return true;
}

void RbStepper::Destroy() {
    Work.Destroy();
    Bodies.Destroy();
    Positions.Destroy();
    Manifolds[0].Destroy();
    Manifolds[1].Destroy();
    PreviousKeys.Destroy();
    TerrainIndices.Destroy();
    TriangleInfos.Destroy();
    TerrainCache.Destroy();
    Hulls.Destroy();
    HullSlots.Destroy();
    HullStamps.Destroy();
    Parents.Destroy();
    Created = false;
}

void RbStepper::Step(float timeStep) {
    if (!Created || !std::isfinite(timeStep) || timeStep <= 0.0f) {
        return;
    }
    const float dt = Min(timeStep, MaxTimeStep);
    // Equal slices of at most MaxSlice; the small tolerance keeps 1/60 one slice.
    int32_t slices = static_cast<int32_t>(std::ceil(dt / MaxSlice - 1e-3f));
    slices = std::max(slices, 1);
    const float h = dt / static_cast<float>(slices);
    BeginStep(dt);
    for (int32_t i = 0; i < slices; ++i) {
        Slice(h);
    }
    EndStep();
}

void RbStepper::BeginStep(float timeStep) {
    StepTime = timeStep;
    // A kinematic body pushes with the velocity of its pose change since the last step;
    // a body the step has not seen yet was only placed, not moved.
    const RbBodyList& list = Simulator->GetBodyList(RbActiveKinematicBodies);
    for (RbBody* body = list.Head; body != nullptr; body = body->ListNext) {
        RbKinematicBody& k = static_cast<RbKinematicBody&>(*body);
        k.Velocity = RbVector{};
        k.AngularVelocity = RbVector{};
        k.Moved = k.Stepped == 0 || std::memcmp(&k.Position, &k.PreviousPosition, 3 * sizeof(float)) != 0 ||
                  std::memcmp(&k.Rotation, &k.PreviousRotation, sizeof(RbMatrix3)) != 0;
        if (k.Stepped != 0) {
            k.Velocity = RbScale(RbSub(k.Position, k.PreviousPosition), 1.0f / timeStep);
            // For a small rotation each axis turns as a' = a + θ × a, and Σ a × a' = 2θ.
            RbVector twice;
            for (int i = 0; i < 3; ++i) {
                twice = RbAdd(twice, RbCross(k.PreviousRotation.Rows[i], k.Rotation.Rows[i]));
            }
            k.AngularVelocity = RbScale(twice, 0.5f / timeStep);
            // A jump faster than anything drives is a teleport (a respawn, a parked body):
            // it moves the body, it does not hit with that speed.
            if (!RbIsFinite(k.Velocity) || !RbIsFinite(k.AngularVelocity) ||
                RbLengthSquared(k.Velocity) > MaxKinematicSpeed * MaxKinematicSpeed ||
                RbLengthSquared(k.AngularVelocity) > MaxKinematicTurn * MaxKinematicTurn) {
                k.Velocity = RbVector{};
                k.AngularVelocity = RbVector{};
            }
        }
    }
}

void RbStepper::EndStep() {
    for (RbBodyListKind kind : {RbActiveKinematicBodies, RbInactiveKinematicBodies}) {
        for (RbBody* body = Simulator->GetBodyList(kind).Head; body != nullptr; body = body->ListNext) {
            RbKinematicBody& k = static_cast<RbKinematicBody&>(*body);
            k.PreviousPosition = k.Position;
            k.PreviousRotation = k.Rotation;
            k.TransformChanged = 0;
            k.Stepped = 1;
        }
    }
}

void RbStepper::Slice(float h) {
    ++SliceNumber;
    Gather(h);
    Simulator->GetBroadPhase().Update();
    QueryTerrain();
    CastSensors();
    CallControllers(h);
    NarrowPhase();
    KeepUndetected();
    Solve(h);
    WriteBack();
    Sleep(h);
    Report();
}

bool RbStepper::IsGathered(const RbBody* body) const {
    const int32_t i = body->StepIndex;
    return i > 0 && i < Work.GetCount() && Work[i].Body == body;
}

void RbStepper::Gather(float h) {
    Work.Clear();
    Bodies.Clear();
    Positions.Clear();
    Hulls.Clear();
    // Index 0: the static world (terrain), never moving.
    if (Work.Append() == nullptr || Bodies.Append() == nullptr || Positions.Append() == nullptr) {
        return;
    }
    Work[0].Rotation = RbMatrix3::Identity();
    for (RbBodyListKind kind : {RbActiveRigidBodies, RbActiveRigidParticles, RbActiveKinematicBodies}) {
        for (RbBody* body = Simulator->GetBodyList(kind).Head; body != nullptr; body = body->ListNext) {
            RbStepBody* work = Work.Append();
            RbSolverBody* solver = Bodies.Append();
            RbVector* position = Positions.Append();
            if (work == nullptr || solver == nullptr || position == nullptr) {
                return;  // out of memory: the remaining bodies sit this slice out
            }
            body->StepIndex = Work.GetCount() - 1;
            work->Body = body;
            if (kind == RbActiveKinematicBodies) {
                RbKinematicBody& k = static_cast<RbKinematicBody&>(*body);
                work->Kinematic = &k;
                work->Rotation = k.Rotation;
                work->Position = k.Position;
                work->Processed = k.Moved;
                solver->V = k.Velocity;
                solver->W = k.AngularVelocity;
                work->Margin = SpeculativeDistance + h * (RbLength(k.Velocity) + RbLength(k.AngularVelocity) * body->LargestRadius);
            } else {
                RbRigidBody& r = static_cast<RbRigidBody&>(*body);
                work->Rigid = &r;
                work->Rotation = r.Motion.Rotation;
                work->Position = r.Motion.Position;
                work->Orientation = r.Motion.Orientation;
                work->Awake = work->Processed = r.Resting == 0;
                if (work->Awake) {
                    // The state is kept as angular momentum; the angular velocity follows
                    // from it through the current world inverse inertia.
                    if (r.InertiaStale != 0) {
                        r.UpdateWorldInverseInertia();
                    }
                    r.AngularVelocity = RbTransform(r.Motion.AngularMomentum, r.WorldInverseInertia);
                    solver->V = r.Velocity;
                    solver->W = r.AngularVelocity;
                    const float reach = RbLength(r.Velocity) + RbLength(r.AngularVelocity) * body->LargestRadius;
                    work->Margin = SpeculativeDistance + h * Min(reach, 1e4f);
                    if (body->GeometryCount > 0) {
                        RbVector lower;
                        RbVector upper;
                        BoxBounds(*body, work->Rotation, work->Position, &lower, &upper);
                        const RbVector m = RbVec(work->Margin, work->Margin, work->Margin);
                        body->WorldLower = RbSub(lower, m);
                        body->WorldUpper = RbAdd(upper, m);
                        for (int k = 0; k < 3; ++k) {
                            if (body->LowerEndpoints[k] != nullptr) {
                                body->LowerEndpoints[k]->Value = RbComponent(body->WorldLower, k);
                                body->UpperEndpoints[k]->Value = RbComponent(body->WorldUpper, k);
                            }
                        }
                    }
                } else {
                    work->Margin = SpeculativeDistance;
                }
                work->StartVelocity = r.Velocity;
                work->StartAngularVelocity = r.AngularVelocity;
            }
            *position = work->Position;
        }
    }
}

void RbStepper::CallControllers(float h) {
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        RbRigidBody* body = work.Rigid;
        if (body == nullptr) {
            continue;
        }
        for (RbController* c = body->Controllers; c != nullptr; c = c->Next) {
            bool due = c->Period <= 1;
            if (!due && --c->Countdown <= 0) {
                due = true;
                c->Countdown = c->Period;
            }
            if (due && c->Callback != nullptr) {
                c->Callback->OnStep(c, h);
                // A controller that pushes wakes its body, as SetForce does.
                if ((!IsNegligible(c->Force) || !IsNegligible(c->Torque)) && body->Resting != 0) {
                    body->Wake();
                    work.Awake = 1;
                }
            }
            work.Force = RbAdd(work.Force, c->Force);
            work.Torque = RbAdd(work.Torque, c->Torque);
        }
        work.Force = RbAdd(work.Force, body->PersistentForce);
        work.Torque = RbAdd(work.Torque, body->PersistentTorque);
    }
}

void RbStepper::WriteBack() {
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid == nullptr || !work.Awake) {
            continue;
        }
        RbRigidBody& r = *work.Rigid;
        const RbSolverBody& body = Bodies[i];
        // Angular momentum changes by what torques and contacts changed the angular velocity,
        // through the inertia the slice used; free spin keeps it exactly.
        const RbMatrix3& rotation = work.Rotation;
        const RbVector change = RbSub(body.W, work.StartAngularVelocity);
        const RbVector* d = r.Inertia.Rows;
        RbVector momentumChange;
        if (d[0].y == 0.0f && d[0].z == 0.0f && d[1].x == 0.0f && d[1].z == 0.0f && d[2].x == 0.0f && d[2].y == 0.0f) {
            // Diagonal inertia: into body axes, scale, back.
            const float k[3] = {d[0].x, d[1].y, d[2].z};
            for (int i = 0; i < 3; ++i) {
                momentumChange = Madd(momentumChange, rotation.Rows[i], RbDot(change, rotation.Rows[i]) * k[i]);
            }
        } else {
            momentumChange =
                RbTransform(change, RbMultiply(RbMultiply(RbTranspose(rotation), r.Inertia), rotation));
        }
        const RbVector momentum = RbAdd(r.Motion.AngularMomentum, momentumChange);
        const RbQuaternion& q = work.Orientation;
        if (!RbIsFinite(work.Position) || !RbIsFinite(q) || !RbIsFinite(body.V) || !RbIsFinite(momentum)) {
            continue;  // a degenerate input never reaches the state: the body stays as it was
        }
        r.Motion.Position = RbVec(work.Position.x, work.Position.y, work.Position.z, 1.0f);
        r.Motion.Orientation = q;
        r.Motion.Rotation = RbRotationFromQuaternion(q);
        r.Velocity = body.V;
        r.Motion.AngularMomentum = momentum;
        r.UpdateWorldInverseInertia();
        r.AngularVelocity = RbTransform(momentum, r.WorldInverseInertia);
        const RbQuaternion omega{r.AngularVelocity.x, r.AngularVelocity.y, r.AngularVelocity.z, 0.0f};
        const RbQuaternion dq = RbQuaternionMultiply(omega, q);
        r.OrientationDerivative = {0.5f * dq.x, 0.5f * dq.y, 0.5f * dq.z, 0.5f * dq.w};
        ++r.StepCounter;
    }
}

int32_t RbStepper::Find(int32_t i) {
    while (Parents[i] != i) {
        Parents[i] = Parents[Parents[i]];
        i = Parents[i];
    }
    return i;
}

void RbStepper::Sleep(float h) {
    Parents.Clear();
    for (int32_t i = 0; i < Work.GetCount(); ++i) {
        int32_t* p = Parents.Append();
        if (p == nullptr) {
            return;
        }
        *p = i;
    }
    const RbManifold* manifolds = Manifolds[Current].GetData();
    for (int32_t m = 0; m < Manifolds[Current].GetCount(); ++m) {
        const RbManifold& manifold = manifolds[m];
        if (!manifold.Solve || manifold.SolverB == 0) {
            continue;
        }
        const RbStepBody& a = Work[manifold.SolverA];
        const RbStepBody& b = Work[manifold.SolverB];
        if (a.Rigid != nullptr && b.Rigid != nullptr && a.Awake && b.Awake) {
            const int32_t ra = Find(manifold.SolverA);
            const int32_t rb = Find(manifold.SolverB);
            if (ra != rb) {
                Parents[ra < rb ? rb : ra] = ra < rb ? ra : rb;
            }
        }
    }
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        Work[i].IslandRest = 1e30f;
    }
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid == nullptr || !work.Awake) {
            continue;
        }
        RbRigidBody& r = *work.Rigid;
        const float slow = 0.25f * r.RestThreshold;
        const float reach = Max(r.LargestRadius, 0.1f);
        const bool isSlow = RbLengthSquared(r.Velocity) < slow * slow &&
                            RbLengthSquared(r.AngularVelocity) * reach * reach < slow * slow;
        if (isSlow) {
            r.RestTime += h;
            ++r.RestCounter;
        } else {
            r.RestTime = 0.0f;
            r.RestCounter = 0;
        }
        RbStepBody& root = Work[Find(i)];
        root.IslandRest = Min(root.IslandRest, r.RestTime);
    }
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid == nullptr || !work.Awake || Work[Find(i)].IslandRest < SleepTime) {
            continue;
        }
        RbRigidBody& r = *work.Rigid;
        r.Resting = 1;
        r.Velocity = RbVector{};
        r.AngularVelocity = RbVector{};
        r.Motion.AngularMomentum = RbVector{};
        r.OrientationDerivative = RbQuaternion{0.0f, 0.0f, 0.0f, 0.0f};
    }
}

void RbStepper::Report() {
    const RbCollisionCallback callback = Simulator->GetCollisionCallback();
    if (callback == nullptr) {
        return;
    }
    const RbGrowArray<RbManifold>& list = Manifolds[Current];
    const int32_t count = list.GetCount();
    // One report per pair of bodies (or body and terrain) and slice: the manifolds of a pair
    // are consecutive. A pair reports when it starts touching or hits hard.
    int32_t first = 0;
    while (first < count) {
        int32_t end = first + 1;
        while (end < count && list[end].BodyA == list[first].BodyA && list[end].BodyB == list[first].BodyB) {
            ++end;
        }
        bool report = false;
        float impulse = 0.0f;
        int32_t best = -1;
        for (int32_t m = first; m < end; ++m) {
            const RbManifold& manifold = list[m];
            if (!RbCollisionTable::Reports(manifold.Code) || !manifold.Touching) {
                continue;
            }
            report = report || !manifold.WasTouching || manifold.ApproachSpeed > 1.0f;
            impulse += manifold.Impulse + manifold.PendingImpulse;
            if (best < 0 || manifold.Impulse + manifold.PendingImpulse > list[best].Impulse + list[best].PendingImpulse) {
                best = m;
            }
        }
        if (report && best >= 0) {
            const RbManifold& manifold = list[best];
            int32_t deepest = 0;
            for (int32_t i = 1; i < manifold.PointCount; ++i) {
                if (manifold.Points[i].Separation < manifold.Points[deepest].Separation) {
                    deepest = i;
                }
            }
            const RbContactAnchor& cp = manifold.Anchors[deepest];
            RbCollisionInfo info;
            info.BodyA = manifold.BodyA;
            info.BodyB = manifold.BodyB;
            info.KindA = RbCollisionInfo::KindRigid;
            info.KindB = manifold.BodyB != nullptr && manifold.BodyB->Kind == RbBody::KindRigid
                             ? RbCollisionInfo::KindRigid
                             : RbCollisionInfo::KindTerrainOrKinematic;
            // Where the point of A is now, and the point of B across the remaining gap.
            const RbRigidBody& a = static_cast<const RbRigidBody&>(*manifold.BodyA);
            info.PointA = RbAdd(RbTransform(cp.LocalA, a.Motion.Rotation), a.Motion.Position);
            info.PointB = Madd(info.PointA, manifold.Normal, manifold.EndGap);
            info.Normal = RbScale(manifold.Normal, -1.0f);
            info.Contact = RbScale(info.Normal, impulse);
            callback(info);
        }
        first = end;
    }
}
