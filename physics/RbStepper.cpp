// The step: slices, bodies, terrain, sensors, controllers, contacts, solve, rest, reports.
#include "physics/RbStepper.h"

#include "physics/RbSimulator.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <new>

namespace {

// Plain comparisons: the library calls behind std::fmin and std::fmax cost more than the
// NaN handling they add, and no NaN reaches these.
inline float Min(float a, float b) { return a < b ? a : b; }
inline float Max(float a, float b) { return a > b ? a : b; }
inline RbVector MinV(const RbVector& a, const RbVector& b) { return {Min(a.x, b.x), Min(a.y, b.y), Min(a.z, b.z), 0.0f}; }
inline RbVector MaxV(const RbVector& a, const RbVector& b) { return {Max(a.x, b.x), Max(a.y, b.y), Max(a.z, b.z), 0.0f}; }

constexpr uint64_t TerrainKeyBit = 0x80000000u;
// Triangle part of the key of a geometry's merged terrain manifold.
constexpr uint64_t MergedTriangles = 0x7FFFFFFFu;
// Points of consecutive slices within this distance (in A's body space) are one point.
constexpr float MatchDistanceSquared = 0.04f * 0.04f;
// Contact frequency and damping of the soft contacts (Box2D v3's defaults).
constexpr float ContactHertz = 30.0f;
constexpr float ContactDampingRatio = 10.0f;
// Bodies closer than this count as touching.
constexpr float LinearSlop = 0.005f;
// How far beyond a body's box the terrain is asked for, so slow bodies reuse the answer.
constexpr float TerrainReach = 0.25f;

bool IsNegligible(const RbVector& v) {
    return std::fabs(v.x) < 1e-6f && std::fabs(v.y) < 1e-6f && std::fabs(v.z) < 1e-6f;
}

inline RbVector Madd(const RbVector& a, const RbVector& b, float s) {
    return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s, 0.0f};
}

bool IsFiniteMatrix(const RbMatrix3& m) {
    return RbIsFinite(m.Rows[0]) && RbIsFinite(m.Rows[1]) && RbIsFinite(m.Rows[2]);
}

// World bounds of a body's refitted box (geometries and sensor lines) at a pose.
void BoxBounds(const RbBody& body, const RbMatrix3& rotation, const RbVector& position, RbVector* lower, RbVector* upper) {
    RbVector axes[3];
    for (int i = 0; i < 3; ++i) {
        axes[i] = RbTransform(body.ObbAxes[i], rotation);
    }
    const RbVector centre = RbAdd(RbTransform(body.ObbCentre, rotation), position);
    const RbVector extent = RbVec(std::fabs(axes[0].x) + std::fabs(axes[1].x) + std::fabs(axes[2].x),
                                  std::fabs(axes[0].y) + std::fabs(axes[1].y) + std::fabs(axes[2].y),
                                  std::fabs(axes[0].z) + std::fabs(axes[1].z) + std::fabs(axes[2].z));
    *lower = RbSub(centre, extent);
    *upper = RbAdd(centre, extent);
}

bool BoxesOverlap(const RbVector& lowerA, const RbVector& upperA, const RbVector& lowerB, const RbVector& upperB,
                  float margin) {
    return lowerA.x <= upperB.x + margin && lowerB.x <= upperA.x + margin && lowerA.y <= upperB.y + margin &&
           lowerB.y <= upperA.y + margin && lowerA.z <= upperB.z + margin && lowerB.z <= upperA.z + margin;
}

// A unit tangent pair completing the unit normal n (right-handed: t1 × t2 = n).
void Tangents(const RbVector& n, RbVector* t1, RbVector* t2) {
    const RbVector axis = std::fabs(n.x) < 0.57735f ? RbVec(1.0f, 0.0f, 0.0f) : RbVec(0.0f, 1.0f, 0.0f);
    *t1 = RbNormalize(RbCross(axis, n));
    *t2 = RbCross(n, *t1);
}

// Two materials act as one: friction by the geometric mean (so equal materials keep theirs
// and a frictionless one makes the contact frictionless), restitution by the larger.
void Combine(const RbMaterial& a, const RbMaterial& b, float* friction, float* restitution) {
    const float f = std::sqrt(Max(a.Friction, 0.0f) * Max(b.Friction, 0.0f));
    *friction = std::isfinite(f) ? f : 0.0f;
    const float e = Max(a.Restitution, b.Restitution);
    *restitution = std::isfinite(e) ? Min(Max(e, 0.0f), 1.0f) : 0.0f;
}

}  // namespace

bool RbStepper::Create(RbSimulator* simulator, RbAllocator* allocator) {
    Destroy();
    Simulator = simulator;
    Allocator = allocator;
    const int32_t geometries = std::max(simulator->GetLimits().geometriesCount, 0);
    bool ok = Work.Create(allocator, 64, -1) && Bodies.Create(allocator, 64, -1) && Positions.Create(allocator, 64, -1) &&
              Manifolds[0].Create(allocator, 256, -1) && Manifolds[1].Create(allocator, 256, -1) &&
              PreviousKeys.Create(allocator, 256, -1) && TerrainIndices.Create(allocator, 1024, -1) &&
              TriangleStamps.Create(allocator, 0, -1) && TerrainCache.Create(allocator, 1024, -1) && Hulls.Create(allocator, 64, -1) &&
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
    TriangleStamps.Destroy();
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
        if (k.Stepped != 0) {
            k.Velocity = RbScale(RbSub(k.Position, k.PreviousPosition), 1.0f / timeStep);
            // For a small rotation each axis turns as a' = a + θ × a, and Σ a × a' = 2θ.
            RbVector twice;
            for (int i = 0; i < 3; ++i) {
                twice = RbAdd(twice, RbCross(k.PreviousRotation.Rows[i], k.Rotation.Rows[i]));
            }
            k.AngularVelocity = RbScale(twice, 0.5f / timeStep);
            if (!RbIsFinite(k.Velocity) || !RbIsFinite(k.AngularVelocity)) {
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
    NarrowPhase(h);
    KeepUndetected();
    Solve(h);
    WriteBack(h);
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
                work->Processed = !IsNegligible(k.Velocity) || !IsNegligible(k.AngularVelocity);
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
                    r.UpdateWorldInverseInertia();
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

namespace {
bool TriangleCorners(const RbTerrainTriangle& t, const RbVector* vertices, RbVector* a, RbVector* b, RbVector* c);
}  // namespace

void RbStepper::QueryTerrain() {
    const RbTerrainQueryCallback query = Simulator->GetTerrainQueryCallback();
    // Last slice's candidates become the cache this slice copies from.
    TerrainCache.Swap(TerrainIndices);
    TerrainIndices.Clear();
    if (query == nullptr) {
        return;
    }
    const RbCollisionTable& table = *Simulator->GetCollisionTable();
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        RbBody& body = *work.Body;
        if (table.Get(body.CollisionGroup, RbCollisionTable::TerrainGroup) == 0) {
            continue;
        }
        const bool contacts = work.Rigid != nullptr && work.Processed && body.GeometryCount > 0;
        const bool sensors = body.Sensors != nullptr && (work.Processed || work.Kinematic != nullptr);
        if (!contacts && !sensors) {
            continue;
        }
        RbVector lower;
        RbVector upper;
        BoxBounds(body, work.Rotation, work.Position, &lower, &upper);
        const RbVector m = RbVec(work.Margin, work.Margin, work.Margin);
        lower = RbSub(lower, m);
        upper = RbAdd(upper, m);
        if (!RbIsFinite(lower) || !RbIsFinite(upper)) {
            continue;
        }
        work.TerrainQueried = 1;
        // The terrain is static: while the box stays inside the widened box of the last
        // query (made in the previous slice), its triangles are still the candidates.
        if (body.TerrainSlice == SliceNumber - 1 && body.TerrainSlice != 0 && query == CachedQuery &&
            lower.x >= body.TerrainLower.x &&
            lower.y >= body.TerrainLower.y && lower.z >= body.TerrainLower.z && upper.x <= body.TerrainUpper.x &&
            upper.y <= body.TerrainUpper.y && upper.z <= body.TerrainUpper.z) {
            work.TerrainFirst = TerrainIndices.GetCount();
            for (int32_t c = 0; c < body.TerrainCount; ++c) {
                RbTerrainCandidate* slot = TerrainIndices.AppendUninitialised();
                if (slot == nullptr) {
                    break;
                }
                *slot = TerrainCache[body.TerrainFirst + c];
            }
            work.TerrainCount = TerrainIndices.GetCount() - work.TerrainFirst;
            work.Triangles = body.TerrainTriangles;
            work.Vertices = body.TerrainVertices;
            body.TerrainFirst = work.TerrainFirst;
            body.TerrainCount = work.TerrainCount;
            body.TerrainSlice = SliceNumber;
            continue;
        }
        lower = RbSub(lower, RbVec(TerrainReach, TerrainReach, TerrainReach));
        upper = RbAdd(upper, RbVec(TerrainReach, TerrainReach, TerrainReach));
        const int32_t* candidates = nullptr;
        const RbTerrainTriangle* triangles = nullptr;
        const RbVector* vertices = nullptr;
        int32_t candidateCount = 0;
        int32_t triangleCount = 0;
        query(lower, upper, candidates, triangles, vertices, candidateCount, triangleCount, &body);
        body.TerrainSlice = SliceNumber;
        body.TerrainLower = lower;
        body.TerrainUpper = upper;
        body.TerrainFirst = TerrainIndices.GetCount();
        body.TerrainCount = 0;
        body.TerrainTriangles = nullptr;
        body.TerrainVertices = nullptr;
        if (candidates == nullptr || triangles == nullptr || vertices == nullptr || candidateCount <= 0 ||
            triangleCount <= 0) {
            continue;
        }
        // A list longer than the work array is cut; indices outside the triangle array, and
        // records with an index below 0, are dropped; a triangle listed by several grid cells
        // is kept once; triangles whose bounds miss the box are dropped.
        while (TriangleStamps.GetCount() < triangleCount) {
            uint32_t* stamp = TriangleStamps.Append();
            if (stamp == nullptr) {
                break;
            }
        }
        if (++QueryNumber == 0) {
            for (int32_t t = 0; t < TriangleStamps.GetCount(); ++t) {
                TriangleStamps[t] = 0;
            }
            QueryNumber = 1;
        }
        const int32_t stamped = TriangleStamps.GetCount();
        work.TerrainFirst = TerrainIndices.GetCount();
        const int32_t taken = std::min(candidateCount, MaxTerrainCandidates);
        for (int32_t c = 0; c < taken; ++c) {
            const int32_t t = candidates[c];
            if (t < 0 || t >= triangleCount || t >= stamped || TriangleStamps[t] == QueryNumber) {
                continue;
            }
            TriangleStamps[t] = QueryNumber;
            RbVector p0, p1, p2;
            if (!TriangleCorners(triangles[t], vertices, &p0, &p1, &p2)) {
                continue;
            }
            const RbVector lo = MinV(MinV(p0, p1), p2);
            const RbVector hi = MaxV(MaxV(p0, p1), p2);
            if (!BoxesOverlap(lo, hi, lower, upper, 0.0f)) {
                continue;
            }
            RbTerrainCandidate* slot = TerrainIndices.AppendUninitialised();
            if (slot == nullptr) {
                break;
            }
            slot->Index = t;
            slot->Lower = lo;
            slot->Upper = hi;
        }
        CachedQuery = query;
        work.TerrainCount = TerrainIndices.GetCount() - work.TerrainFirst;
        work.Triangles = triangles;
        work.Vertices = vertices;
        body.TerrainCount = work.TerrainCount;
        body.TerrainTriangles = triangles;
        body.TerrainVertices = vertices;
    }
}

int32_t RbStepper::HullIndex(const RbGeometry* geometry, const RbStepBody& owner) {
    const int32_t index = Simulator->Geometries.IndexOf(geometry);
    if (index < 0 || index >= HullSlots.GetCount()) {
        return -1;
    }
    if (HullStamps[index] != SliceNumber) {
        HullStamps[index] = SliceNumber;
        HullSlots[index] = -1;
        RbHull* hull = Hulls.AppendUninitialised();
        if (hull != nullptr) {
            if (RbBuildGeometryHull(*geometry, owner.Rotation, owner.Position, hull)) {
                HullSlots[index] = Hulls.GetCount() - 1;
            } else {
                Hulls.RemoveLast();
            }
        }
    }
    return HullSlots[index];
}

namespace {

// A terrain triangle's corners, false for a record with an index below 0.
bool TriangleCorners(const RbTerrainTriangle& t, const RbVector* vertices, RbVector* a, RbVector* b, RbVector* c) {
    if (t.Vertices[0] < 0 || t.Vertices[1] < 0 || t.Vertices[2] < 0) {
        return false;
    }
    *a = vertices[t.Vertices[0]];
    *b = vertices[t.Vertices[1]];
    *c = vertices[t.Vertices[2]];
    return true;
}

// Keeps the nearer of the sensor's current result and a hit at distance along the line.
void RecordHit(RbSensor& sensor, const RbVector& origin, const RbVector& direction, const RbRayHit& hit) {
    const float depth = sensor.Length - hit.Distance;
    if (depth > sensor.Depth && std::isfinite(depth)) {
        sensor.Depth = depth;
        sensor.Normal = hit.Normal;
        sensor.ContactPoint = Madd(origin, direction, hit.Distance);
    }
}

}  // namespace

void RbStepper::CastSensors() {
    const RbCollisionTable& table = *Simulator->GetCollisionTable();
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Body->Sensors == nullptr || !(work.Processed || work.Kinematic != nullptr)) {
            continue;  // a resting body's sensors keep their last results
        }
        for (RbSensor* sensor = work.Body->Sensors; sensor != nullptr; sensor = sensor->Next) {
            sensor->Depth = 0.0f;
            sensor->Normal = RbVector{};
            sensor->ContactPoint = RbVector{};
            if (!(sensor->Length > 0.0f) || !std::isfinite(sensor->Length) || !RbIsFinite(sensor->Start)) {
                continue;
            }
            const RbVector origin = RbAdd(RbTransform(sensor->Start, work.Rotation), work.Position);
            const RbVector direction = RbTransform(sensor->Direction, work.Rotation);
            if (!RbIsFinite(origin) || !RbIsFinite(direction)) {
                continue;
            }
            if (table.Get(work.Body->CollisionGroup, RbCollisionTable::TerrainGroup) == 0) {
                continue;
            }
            const RbVector end = Madd(origin, direction, sensor->Length);
            const RbVector lineLower = MinV(origin, end);
            const RbVector lineUpper = MaxV(origin, end);
            for (int32_t c = 0; c < work.TerrainCount; ++c) {
                const RbTerrainCandidate& candidate = TerrainIndices[work.TerrainFirst + c];
                if (!BoxesOverlap(candidate.Lower, candidate.Upper, lineLower, lineUpper, 0.0f)) {
                    continue;
                }
                RbVector a, b, cc;
                if (!TriangleCorners(work.Triangles[candidate.Index], work.Vertices, &a, &b, &cc)) {
                    continue;
                }
                RbRayHit hit;
                if (RbCastTriangle(a, b, cc, origin, direction, sensor->Length, &hit)) {
                    RecordHit(*sensor, origin, direction, hit);
                }
            }
        }
    }
    // Other bodies: those whose bounds the broad phase pairs with the sensor's body.
    RbBroadPhase& broadPhase = Simulator->GetBroadPhase();
    for (RbPairRecord* pair = broadPhase.Pairs.FirstUsed(); pair != nullptr; pair = broadPhase.Pairs.NextUsed(pair)) {
        if (!IsGathered(pair->First) || !IsGathered(pair->Second)) {
            continue;
        }
        if (table.Get(pair->First->CollisionGroup, pair->Second->CollisionGroup) == 0) {
            continue;
        }
        RbStepBody& first = Work[pair->First->StepIndex];
        RbStepBody& second = Work[pair->Second->StepIndex];
        if (first.Body->Sensors != nullptr && (first.Processed || first.Kinematic != nullptr)) {
            CastSensorsAgainst(first, *second.Body);
        }
        if (second.Body->Sensors != nullptr && (second.Processed || second.Kinematic != nullptr)) {
            CastSensorsAgainst(second, *first.Body);
        }
    }
}

void RbStepper::CastSensorsAgainst(RbStepBody& owner, const RbBody& other) {
    const RbStepBody& target = Work[other.StepIndex];
    for (RbSensor* sensor = owner.Body->Sensors; sensor != nullptr; sensor = sensor->Next) {
        if (!(sensor->Length > 0.0f) || !std::isfinite(sensor->Length)) {
            continue;
        }
        const RbVector origin = RbAdd(RbTransform(sensor->Start, owner.Rotation), owner.Position);
        const RbVector direction = RbTransform(sensor->Direction, owner.Rotation);
        for (const RbGeometry* g = other.Geometries; g != nullptr; g = g->Next) {
            const int32_t hull = HullIndex(g, target);
            RbRayHit hit;
            if (hull >= 0 && RbCastHull(Hulls[hull], origin, direction, sensor->Length, &hit)) {
                RecordHit(*sensor, origin, direction, hit);
            }
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

const RbManifold* RbStepper::FindPrevious(uint64_t key) const {
    const KeyIndex* begin = PreviousKeys.GetData();
    const KeyIndex* end = begin + PreviousKeys.GetCount();
    const KeyIndex* found =
        std::lower_bound(begin, end, key, [](const KeyIndex& entry, uint64_t k) { return entry.Key < k; });
    return found != end && found->Key == key ? &Manifolds[Current][found->Index] : nullptr;
}

RbManifold* RbStepper::NewManifold(uint64_t key, const RbContactResult& result, RbStepBody& a, RbStepBody* b,
                                   int32_t code, int32_t materialA, int32_t materialB) {
    // Filled field by field: a manifold is large and most of its points go unused.
    RbManifold* m = Manifolds[Current ^ 1].AppendUninitialised();
    if (m == nullptr) {
        return nullptr;
    }
    m->Solve = 0;
    m->Touching = 0;
    m->Impulse = 0.0f;
    m->ApproachSpeed = 0.0f;
    m->EndGap = 0.0f;
    m->BounceImpulse = 0.0f;
    m->Key = key;
    m->BodyA = a.Body;
    m->BodyB = b != nullptr ? b->Body : nullptr;
    m->SolverA = a.Body->StepIndex;
    m->SolverB = b != nullptr ? b->Body->StepIndex : 0;
    m->Triangle = (key & TerrainKeyBit) != 0 ? static_cast<int32_t>(key & 0x7FFFFFFFu) : -1;
    m->Code = code;
    m->Normal = result.Normal;
    Tangents(result.Normal, &m->Tangent1, &m->Tangent2);
    const RbMaterial fallback;
    const RbMaterial* ma = Simulator->GetMaterial(materialA);
    const RbMaterial* mb = Simulator->GetMaterial(materialB);
    Combine(ma != nullptr ? *ma : fallback, mb != nullptr ? *mb : fallback, &m->Friction, &m->Restitution);
    const RbMatrix3 toA = RbTranspose(a.Rotation);
    const RbManifold* previous = FindPrevious(key);
    m->WasTouching = previous != nullptr ? previous->Touching : 0;
    m->PendingImpulse =
        previous != nullptr && previous->Touching == 0 ? previous->Impulse + previous->PendingImpulse : 0.0f;
    m->PointCount = result.Count;
    // The friction of the last slice, turned into the new tangent frame.
    RbFrictionPatch& patch = m->Patch;
    patch.Impulse[0] = 0.0f;
    patch.Impulse[1] = 0.0f;
    patch.TwistImpulse = 0.0f;
    if (previous != nullptr) {
        const RbFrictionPatch& old = previous->Patch;
        const RbVector friction =
            Madd(RbScale(previous->Tangent1, old.Impulse[0]), previous->Tangent2, old.Impulse[1]);
        patch.Impulse[0] = RbDot(friction, m->Tangent1);
        patch.Impulse[1] = RbDot(friction, m->Tangent2);
        patch.TwistImpulse = old.TwistImpulse * RbDot(previous->Normal, m->Normal);
    }
    for (int32_t i = 0; i < result.Count; ++i) {
        RbContactPoint& cp = m->Points[i];
        cp.NormalImpulse = 0.0f;
        cp.PriorRelativeVelocity = 0.0f;
        cp.Point = result.Points[i].Point;
        cp.Separation = result.Points[i].Separation;
        // Matched by the point on A's surface, which stays put while the gap closes.
        const RbVector onA = Madd(cp.Point, result.Normal, -0.5f * cp.Separation);
        cp.LocalA = RbTransform(RbSub(onA, a.Position), toA);
        if (previous == nullptr) {
            continue;
        }
        // Warm start from the nearest point of the last slice, its friction impulse turned
        // into the new tangent frame.
        int32_t nearest = -1;
        float best = MatchDistanceSquared;
        for (int32_t j = 0; j < previous->PointCount; ++j) {
            const float d = RbLengthSquared(RbSub(previous->Points[j].LocalA, cp.LocalA));
            if (d < best) {
                best = d;
                nearest = j;
            }
        }
        if (nearest >= 0) {
            const RbContactPoint& old = previous->Points[nearest];
            cp.NormalImpulse = old.NormalImpulse;
            if (previous->Touching == 0 && previous->Impulse > 0.0f) {
                cp.PriorRelativeVelocity = old.MeasuredVelocity;
            }
        }
    }
    return m;
}

void RbStepper::NarrowPhase(float h) {
    (void)h;
    Manifolds[Current ^ 1].Clear();
    const RbCollisionTable& table = *Simulator->GetCollisionTable();
    RbBroadPhase& broadPhase = Simulator->GetBroadPhase();
    for (RbPairRecord* pair = broadPhase.Pairs.FirstUsed(); pair != nullptr; pair = broadPhase.Pairs.NextUsed(pair)) {
        if (!IsGathered(pair->First) || !IsGathered(pair->Second)) {
            continue;
        }
        RbStepBody* a = &Work[pair->First->StepIndex];
        RbStepBody* b = &Work[pair->Second->StepIndex];
        if (a->Kinematic != nullptr && b->Kinematic != nullptr) {
            continue;
        }
        if (a->Kinematic != nullptr) {
            std::swap(a, b);  // the rigid body is A against a kinematic body
        }
        if (!a->Processed && !b->Processed) {
            continue;  // neither moved: the previous slice's contacts stand
        }
        const int32_t code = table.Get(a->Body->CollisionGroup, b->Body->CollisionGroup);
        if ((code & 3) != 0) {
            CollidePair(*a, *b, code);
        }
    }
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid != nullptr && work.Processed && work.TerrainCount > 0) {
            const int32_t code = table.Get(work.Body->CollisionGroup, RbCollisionTable::TerrainGroup);
            if ((code & 3) != 0) {
                CollideTerrain(work, code);
            }
        }
    }
}

void RbStepper::CollidePair(RbStepBody& a, RbStepBody& b, int32_t code) {
    const float margin = a.Margin + b.Margin - SpeculativeDistance;
    bool touched = false;
    for (const RbGeometry* ga = a.Body->Geometries; ga != nullptr; ga = ga->Next) {
        const int32_t ia = HullIndex(ga, a);
        if (ia < 0) {
            continue;
        }
        for (const RbGeometry* gb = b.Body->Geometries; gb != nullptr; gb = gb->Next) {
            const int32_t ib = HullIndex(gb, b);
            if (ib < 0) {
                continue;
            }
            const RbHull& ha = Hulls[ia];
            const RbHull& hb = Hulls[ib];
            if (!BoxesOverlap(ha.Lower, ha.Upper, hb.Lower, hb.Upper, margin)) {
                continue;
            }
            RbContactResult result;
            if (!RbCollideHulls(ha, hb, margin, false, &result)) {
                continue;
            }
            const uint64_t key = (static_cast<uint64_t>(Simulator->Geometries.IndexOf(ga)) << 32) |
                                 static_cast<uint64_t>(Simulator->Geometries.IndexOf(gb));
            if (NewManifold(key, result, a, &b, code, ga->MaterialIndex, gb->MaterialIndex) != nullptr) {
                touched = true;
            }
        }
    }
    // A moving body that reaches a resting one wakes it.
    if (touched && (code & 1) != 0) {
        for (RbStepBody* w : {&a, &b}) {
            if (w->Rigid != nullptr && !w->Awake) {
                w->Rigid->Wake();
                w->Awake = 1;
            }
        }
    }
}

void RbStepper::CollideTerrain(RbStepBody& body, int32_t code) {
    // The triangles a geometry touches give one manifold when their normals agree (a flat
    // or gently curved piece of ground), so a box over several triangles rests on four
    // points, not four per triangle; across a crease each triangle keeps its own.
    constexpr int32_t MaxMerged = 32;
    constexpr float SameNormal = 0.9997f;  // within about 1.4 degrees
    const float margin = body.Margin;
    RbContactResult results[MaxMerged];
    int32_t triangles[MaxMerged];
    for (const RbGeometry* g = body.Body->Geometries; g != nullptr; g = g->Next) {
        const int32_t ih = HullIndex(g, body);
        if (ih < 0) {
            continue;
        }
        const uint64_t geometryKey = static_cast<uint64_t>(Simulator->Geometries.IndexOf(g)) << 32;
        int32_t found = 0;
        bool agree = true;
        for (int32_t c = 0; c < body.TerrainCount; ++c) {
            const RbTerrainCandidate& candidate = TerrainIndices[body.TerrainFirst + c];
            const RbHull& hull = Hulls[ih];
            if (!BoxesOverlap(hull.Lower, hull.Upper, candidate.Lower, candidate.Upper, margin)) {
                continue;
            }
            const int32_t t = candidate.Index;
            RbVector p0, p1, p2;
            if (!TriangleCorners(body.Triangles[t], body.Vertices, &p0, &p1, &p2)) {
                continue;
            }
            RbHull& triangle = TriangleHull;
            if (!RbBuildTriangleHull(p0, p1, p2, &triangle)) {
                continue;  // degenerate triangle: no contact
            }
            RbContactResult result;
            if (!RbCollideHulls(hull, triangle, margin, true, &result)) {
                continue;
            }
            if (found == MaxMerged) {
                NewManifold(geometryKey | TerrainKeyBit | static_cast<uint64_t>(t), result, body, nullptr, code,
                            g->MaterialIndex, 0);
                continue;
            }
            agree = agree && (found == 0 || RbDot(result.Normal, results[0].Normal) > SameNormal);
            results[found] = result;
            triangles[found] = t;
            ++found;
        }
        if (found == 1 || (found > 1 && !agree)) {
            for (int32_t i = 0; i < found; ++i) {
                NewManifold(geometryKey | TerrainKeyBit | static_cast<uint64_t>(triangles[i]), results[i], body, nullptr,
                            code, g->MaterialIndex, 0);
            }
        } else if (found > 1) {
            RbContactPointOut points[MaxMerged * 4];
            int32_t count = 0;
            int32_t deepest = 0;
            float least = 1e30f;
            for (int32_t i = 0; i < found; ++i) {
                for (int32_t k = 0; k < results[i].Count; ++k) {
                    if (results[i].Points[k].Separation < least) {
                        least = results[i].Points[k].Separation;
                        deepest = i;
                    }
                    points[count++] = results[i].Points[k];
                }
            }
            RbContactResult merged;
            merged.Normal = results[deepest].Normal;
            RbReduceContactPoints(points, count, merged.Normal, &merged);
            if (RbManifold* m = NewManifold(geometryKey | TerrainKeyBit | MergedTriangles, merged, body, nullptr, code,
                                            g->MaterialIndex, 0)) {
                m->Triangle = triangles[deepest];
            }
        }
    }
}

void RbStepper::KeepUndetected() {
    RbGrowArray<RbManifold>& next = Manifolds[Current ^ 1];
    const RbGrowArray<RbManifold>& old = Manifolds[Current];
    for (int32_t i = 0; i < old.GetCount(); ++i) {
        const RbManifold& m = old[i];
        if (!IsGathered(m.BodyA) || (m.BodyB != nullptr && !IsGathered(m.BodyB))) {
            continue;
        }
        const RbStepBody& a = Work[m.BodyA->StepIndex];
        const bool bProcessed = m.BodyB != nullptr && Work[m.BodyB->StepIndex].Processed;
        if (a.Processed || bProcessed) {
            continue;  // detected afresh (or gone)
        }
        RbManifold* kept = next.AppendUninitialised();
        if (kept == nullptr) {
            break;
        }
        *kept = m;
        kept->SolverA = m.BodyA->StepIndex;
        kept->SolverB = m.BodyB != nullptr ? m.BodyB->StepIndex : 0;
        kept->WasTouching = m.Touching;
        kept->PendingImpulse = 0.0f;
        for (RbContactPoint& cp : kept->Points) {
            cp.PriorRelativeVelocity = 0.0f;
        }
    }
    Current ^= 1;
    PreviousKeys.Clear();
    const RbGrowArray<RbManifold>& list = Manifolds[Current];
    for (int32_t i = 0; i < list.GetCount(); ++i) {
        KeyIndex* entry = PreviousKeys.Append();
        if (entry == nullptr) {
            break;
        }
        entry->Key = list[i].Key;
        entry->Index = i;
    }
    std::sort(PreviousKeys.GetData(), PreviousKeys.GetData() + PreviousKeys.GetCount(),
              [](const KeyIndex& x, const KeyIndex& y) { return x.Key < y.Key; });
}

void RbStepper::Solve(float h) {
    RbGrowArray<RbManifold>& list = Manifolds[Current];
    RbManifold* manifolds = list.GetData();
    const int32_t count = list.GetCount();
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
            if (!IsFiniteMatrix(body.InvI) || !std::isfinite(body.InvMass)) {
                body.InvMass = 0.0f;
                body.InvI = RbMatrix3{};
            }
        } else {
            body.InvMass = 0.0f;
            body.InvI = RbMatrix3{};
        }
    }
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        const bool moving = Work[manifold.SolverA].Awake || (manifold.SolverB > 0 && Work[manifold.SolverB].Awake);
        manifold.Solve = (manifold.Code & 1) != 0 && moving && manifold.PointCount > 0;
        manifold.Impulse = 0.0f;
        manifold.ApproachSpeed = 0.0f;
    }

    const float hs = h / static_cast<float>(Substeps);
    RbSolverSettings settings;
    const float hertz = Min(ContactHertz, 0.25f / hs);
    settings.Contact = RbMakeSoft(hertz, ContactDampingRatio, hs);
    settings.Static = RbMakeSoft(2.0f * hertz, ContactDampingRatio, hs);
    settings.InverseH = 1.0f / hs;

    RbPrepareContacts(manifolds, count, Bodies.GetData(), Positions.GetData());
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            manifold.ApproachSpeed = Max(manifold.ApproachSpeed, -manifold.Points[i].RelativeVelocity);
        }
    }

    const RbVector gravity = Simulator->GetGravity();
    RbSolverBody* bodies = Bodies.GetData();
    for (int32_t step = 0; step < Substeps; ++step) {
        for (int32_t i = 1; i < Work.GetCount(); ++i) {
            RbStepBody& work = Work[i];
            if (work.Rigid == nullptr || !work.Awake) {
                continue;
            }
            RbSolverBody& body = bodies[i];
            work.StartVelocity = body.V;  // this substep's starting velocity
            if (body.InvMass > 0.0f) {
                body.V = Madd(body.V, Madd(gravity, work.Force, body.InvMass), hs);
            }
            body.W = Madd(body.W, RbTransform(work.Torque, body.InvI), hs);
        }
        RbWarmStartContacts(manifolds, count, bodies);
        RbSolveContacts(manifolds, count, bodies, settings, true);
        for (int32_t i = 1; i < Work.GetCount(); ++i) {
            RbStepBody& work = Work[i];
            if (work.Rigid == nullptr || !work.Awake) {
                continue;
            }
            RbSolverBody& body = bodies[i];
            // A body in free flight moves by the mean of its velocities, exact under constant
            // forces; a touching body by its new velocity (semi-implicit Euler).
            const RbVector velocity =
                body.Touching ? body.V : RbScale(RbAdd(work.StartVelocity, body.V), 0.5f);
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
        RbSolveContacts(manifolds, count, bodies, settings, false);  // adds to Impulse
    }
    // A few passes, so bounces passed between touching bodies settle; none in a slice
    // without a new hit.
    bool bounce = false;
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        manifold.BounceImpulse = 0.0f;
        if (manifold.Solve && !manifold.WasTouching && manifold.Restitution > 0.0f) {
            for (int32_t i = 0; i < manifold.PointCount; ++i) {
                const RbContactPoint& cp = manifold.Points[i];
                bounce = bounce || (cp.RelativeVelocity <= -settings.RestitutionThreshold && cp.MaxNormalImpulse > 0.0f);
            }
        }
    }
    for (int32_t pass = 0; bounce && pass < 3; ++pass) {
        RbApplyRestitution(manifolds, count, bodies, Positions.GetData(), settings);
    }
    // A contact touches once its gap has closed and it no longer closes fast: an impact
    // caught speculatively before the bodies met is reported with the touch that follows.
    for (int32_t m = 0; m < count; ++m) {
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
        RbMeasureContacts(&manifold, 1, bodies, &gap, &closing);
        manifold.EndGap = gap;
        manifold.Touching =
            manifold.Impulse > 0.0f && gap <= LinearSlop && closing >= -settings.RestitutionThreshold;
    }
}

void RbStepper::WriteBack(float h) {
    (void)h;
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
        const RbMatrix3 inertia = RbMultiply(RbMultiply(RbTranspose(rotation), r.Inertia), rotation);
        const RbVector momentum =
            RbAdd(r.Motion.AngularMomentum, RbTransform(RbSub(body.W, work.StartAngularVelocity), inertia));
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
            if ((manifold.Code & 2) == 0 || !manifold.Touching) {
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
            const RbContactPoint& cp = manifold.Points[deepest];
            RbCollisionInfo info;
            info.BodyA = manifold.BodyA;
            info.BodyB = manifold.BodyB;
            info.KindA = RbBody::KindRigid;
            info.KindB = manifold.BodyB != nullptr && manifold.BodyB->Kind == RbBody::KindRigid ? 1 : 0;
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
