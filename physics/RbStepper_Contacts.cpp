// The step's contacts: world hulls, manifolds and their carry-over from slice to slice,
// body pairs and terrain triangles.
#include "physics/RbStepper.h"

#include "physics/RbSimulator.h"
#include "physics/RbStepShared.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

using namespace RbStep;

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

const RbManifold* RbStepper::FindPrevious(uint64_t key) {
    // Pairs are visited in the same order every slice, so the manifold after the last one
    // found is most often the one asked for; keys are unique in a list, so a hit there is
    // what the search would find.
    const RbGrowArray<RbManifold>& list = Manifolds[Current];
    if (PreviousHint < list.GetCount() && list[PreviousHint].Key == key) {
        return &list[PreviousHint++];
    }
    const KeyIndex* begin = PreviousKeys.GetData();
    const KeyIndex* end = begin + PreviousKeys.GetCount();
    const KeyIndex* found =
        std::lower_bound(begin, end, key, [](const KeyIndex& entry, uint64_t k) { return entry.Key < k; });
    if (found == end || found->Key != key) {
        return nullptr;
    }
    PreviousHint = found->Index + 1;
    return &list[found->Index];
}

void RbStepper::StartSlice(RbManifold* m, const RbManifold* previous, int32_t materialA, int32_t materialB) const {
    m->Solve = 0;
    m->Touching = 0;
    m->Impulse = 0.0f;
    m->ApproachSpeed = 0.0f;
    m->EndGap = 0.0f;
    m->BounceImpulse = 0.0f;
    m->WasTouching = previous != nullptr ? previous->Touching : 0;
    m->PendingImpulse =
        previous != nullptr && previous->Touching == 0 ? previous->Impulse + previous->PendingImpulse : 0.0f;
    const RbMaterial fallback;
    const RbMaterial* ma = Simulator->GetMaterial(materialA);
    const RbMaterial* mb = Simulator->GetMaterial(materialB);
    Combine(ma != nullptr ? *ma : fallback, mb != nullptr ? *mb : fallback, &m->Friction, &m->Restitution);
}

RbManifold* RbStepper::NewManifold(uint64_t key, const RbContactResult& result, RbStepBody& a, RbStepBody* b,
                                   int32_t code, int32_t materialA, int32_t materialB) {
    // Filled field by field: a manifold is large and most of its points go unused.
    RbManifold* m = Manifolds[Current ^ 1].AppendUninitialised();
    if (m == nullptr) {
        return nullptr;
    }
    const RbManifold* previous = FindPrevious(key);
    StartSlice(m, previous, materialA, materialB);
    m->Key = key;
    m->BodyA = a.Body;
    m->BodyB = b != nullptr ? b->Body : nullptr;
    m->SolverA = a.Body->StepIndex;
    m->SolverB = b != nullptr ? b->Body->StepIndex : 0;
    m->Triangle = (key & TerrainKeyBit) != 0 ? static_cast<int32_t>(key & 0x7FFFFFFFu) : -1;
    m->Code = code;
    m->Normal = result.Normal;
    Tangents(result.Normal, &m->Tangent1, &m->Tangent2);
    const RbMatrix3 toA = RbTranspose(a.Rotation);
    m->LocalNormal = RbTransform(result.Normal, toA);
    if (b != nullptr && b->Rigid != nullptr) {
        m->SnapshotPosition = RbTransform(RbSub(b->Position, a.Position), toA);
        const RbQuaternion& qa = a.Orientation;
        m->SnapshotOrientation = RbQuaternionMultiply(RbQuaternion{-qa.x, -qa.y, -qa.z, qa.w}, b->Orientation);
    } else if (b == nullptr) {
        m->SnapshotPosition = a.Position;  // against the terrain: A's own pose
        m->SnapshotOrientation = a.Orientation;
    } else {
        m->SnapshotOrientation = RbQuaternion{0.0f, 0.0f, 0.0f, 2.0f};
    }
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
        RbContactAnchor& anchor = m->Anchors[i];
        cp.NormalImpulse = 0.0f;
        anchor.PriorRelativeVelocity = 0.0f;
        anchor.Point = result.Points[i].Point;
        cp.Separation = result.Points[i].Separation;
        // Matched by the point on A's surface, which stays put while the gap closes.
        const RbVector onA = Madd(anchor.Point, result.Normal, -0.5f * cp.Separation);
        anchor.LocalA = RbTransform(RbSub(onA, a.Position), toA);
        if (previous == nullptr) {
            continue;
        }
        // Warm start from the nearest point of the last slice, its friction impulse turned
        // into the new tangent frame.
        int32_t nearest = -1;
        float best = MatchDistanceSquared;
        for (int32_t j = 0; j < previous->PointCount; ++j) {
            const float d = RbLengthSquared(RbSub(previous->Anchors[j].LocalA, anchor.LocalA));
            if (d < best) {
                best = d;
                nearest = j;
            }
        }
        if (nearest >= 0) {
            cp.NormalImpulse = previous->Points[nearest].NormalImpulse;
            if (previous->Touching == 0 && previous->Impulse > 0.0f) {
                anchor.PriorRelativeVelocity = previous->Anchors[nearest].MeasuredVelocity;
            }
        }
    }
    return m;
}

void RbStepper::NarrowPhase() {
    Manifolds[Current ^ 1].Clear();
    PreviousHint = 0;
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
        if (RbCollisionTable::Meets(code)) {
            CollidePair(*a, *b, code);
        }
    }
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Rigid != nullptr && work.Processed && work.TerrainCount > 0) {
            const int32_t code = table.Get(work.Body->CollisionGroup, RbCollisionTable::TerrainGroup);
            if (RbCollisionTable::Meets(code)) {
                CollideTerrain(work, code);
            }
        }
    }
}

bool RbStepper::ReuseManifold(uint64_t key, RbStepBody& a, RbStepBody& b, int32_t code) {
    const RbManifold* previous = FindPrevious(key);
    if (previous == nullptr || b.Rigid == nullptr || previous->SnapshotOrientation.w > 1.0f ||
        previous->PointCount == 0) {
        return false;
    }
    const RbQuaternion& qa = a.Orientation;
    if (!SamePose(RbTransform(RbSub(b.Position, a.Position), RbTranspose(a.Rotation)),
                  RbQuaternionMultiply(RbQuaternion{-qa.x, -qa.y, -qa.z, qa.w}, b.Orientation), *previous)) {
        return false;
    }
    return CarryOver(*previous, a, &b, code);
}

bool RbStepper::ReuseTerrain(uint64_t geometryKey, RbStepBody& body, int32_t code) {
    // The geometry's terrain manifolds of the last slice: consecutive in key order.
    const uint64_t first = geometryKey | TerrainKeyBit;
    const KeyIndex* begin = PreviousKeys.GetData();
    const KeyIndex* end = begin + PreviousKeys.GetCount();
    const KeyIndex* from =
        std::lower_bound(begin, end, first, [](const KeyIndex& entry, uint64_t k) { return entry.Key < k; });
    const KeyIndex* to = from;
    while (to != end && to->Key <= (first | MergedTriangles)) {
        const RbManifold& m = Manifolds[Current][to->Index];
        if (m.BodyA != body.Body || m.PointCount == 0 || !SamePose(body.Position, body.Orientation, m)) {
            return false;
        }
        ++to;
    }
    if (to == from) {
        return false;
    }
    for (const KeyIndex* k = from; k != to; ++k) {
        if (!CarryOver(Manifolds[Current][k->Index], body, nullptr, code)) {
            return false;
        }
    }
    return true;
}

bool RbStepper::SamePose(const RbVector& position, const RbQuaternion& orientation, const RbManifold& m) {
    if (RbLengthSquared(RbSub(position, m.SnapshotPosition)) > ReuseDistance * ReuseDistance) {
        return false;
    }
    const RbQuaternion& s = m.SnapshotOrientation;
    return std::fabs(orientation.x * s.x + orientation.y * s.y + orientation.z * s.z + orientation.w * s.w) >=
           ReuseCosine;
}

bool RbStepper::CarryOver(const RbManifold& previous, RbStepBody& a, RbStepBody* b, int32_t code) {
    RbManifold* m = Manifolds[Current ^ 1].AppendUninitialised();
    if (m == nullptr) {
        return false;
    }
    // The same points in A's axes, where A is now; the gaps are what they were. Copied part
    // by part: what the slice works out again (the friction patch's rows, set by the
    // preparation before any pass reads them) and the unused points are left out, a good
    // part of a manifold that was the largest single cost of carrying a settled pile over.
    m->PointCount = previous.PointCount;
    m->Patch.TwistImpulse = previous.Patch.TwistImpulse;
    for (int32_t i = 0; i < previous.PointCount; ++i) {
        m->Points[i] = previous.Points[i];
        m->Anchors[i] = previous.Anchors[i];
    }
    m->Key = previous.Key;
    m->BodyA = previous.BodyA;
    m->BodyB = previous.BodyB;
    m->Triangle = previous.Triangle;
    m->SnapshotPosition = previous.SnapshotPosition;
    m->SnapshotOrientation = previous.SnapshotOrientation;
    m->LocalNormal = previous.LocalNormal;
    m->SolverA = a.Body->StepIndex;
    m->SolverB = b != nullptr ? b->Body->StepIndex : 0;
    m->Code = code;
    m->Normal = RbNormalize(RbTransform(m->LocalNormal, a.Rotation));
    Tangents(m->Normal, &m->Tangent1, &m->Tangent2);
    // The materials as they are now (they may have been set since).
    const RbGeometry* ga = Simulator->Geometries.At(static_cast<int32_t>(m->Key >> 32));
    const RbGeometry* gb =
        (m->Key & TerrainKeyBit) != 0 ? nullptr : Simulator->Geometries.At(static_cast<int32_t>(m->Key & 0x7FFFFFFFu));
    StartSlice(m, &previous, ga != nullptr ? ga->MaterialIndex : -1, gb != nullptr ? gb->MaterialIndex : 0);
    const RbFrictionPatch& old = previous.Patch;
    const RbVector friction = Madd(RbScale(previous.Tangent1, old.Impulse[0]), previous.Tangent2, old.Impulse[1]);
    m->Patch.Impulse[0] = RbDot(friction, m->Tangent1);
    m->Patch.Impulse[1] = RbDot(friction, m->Tangent2);
    for (int32_t i = 0; i < m->PointCount; ++i) {
        RbContactAnchor& anchor = m->Anchors[i];
        const RbVector onA = RbAdd(RbTransform(anchor.LocalA, a.Rotation), a.Position);
        anchor.Point = Madd(onA, m->Normal, 0.5f * m->Points[i].Separation);
        anchor.PriorRelativeVelocity =
            previous.Touching == 0 && previous.Impulse > 0.0f ? previous.Anchors[i].MeasuredVelocity : 0.0f;
    }
    return true;
}

void RbStepper::CollidePair(RbStepBody& a, RbStepBody& b, int32_t code) {
    const float margin = a.Margin + b.Margin - SpeculativeDistance;
    bool touched = false;
    for (const RbGeometry* ga = a.Body->Geometries; ga != nullptr; ga = ga->Next) {
        const uint64_t keyA = static_cast<uint64_t>(Simulator->Geometries.IndexOf(ga)) << 32;
        int32_t ia = -2;  // built on first need
        for (const RbGeometry* gb = b.Body->Geometries; gb != nullptr; gb = gb->Next) {
            if (ReuseManifold(keyA | static_cast<uint64_t>(Simulator->Geometries.IndexOf(gb)), a, b, code)) {
                touched = true;
                continue;
            }
            if (ia == -2) {
                ia = HullIndex(ga, a);
            }
            if (ia < 0) {
                break;
            }
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
            const uint64_t key = keyA | static_cast<uint64_t>(Simulator->Geometries.IndexOf(gb));
            if (NewManifold(key, result, a, &b, code, ga->MaterialIndex, gb->MaterialIndex) != nullptr) {
                touched = true;
            }
        }
    }
    // A moving body that reaches a resting one wakes it.
    if (touched && RbCollisionTable::Resolves(code)) {
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
        const uint64_t geometryKey = static_cast<uint64_t>(Simulator->Geometries.IndexOf(g)) << 32;
        if (ReuseTerrain(geometryKey, body, code)) {
            continue;
        }
        const int32_t ih = HullIndex(g, body);
        if (ih < 0) {
            continue;
        }
        int32_t found = 0;
        bool agree = true;
        // Nothing in the loop adds hulls or candidates, so both stay where they are.
        const RbHull& hull = Hulls[ih];
        const RbTerrainCandidate* candidates = TerrainIndices.GetData() + body.TerrainFirst;
        const int32_t candidateCount = body.TerrainCount;
        for (int32_t c = 0; c < candidateCount; ++c) {
            const RbTerrainCandidate& candidate = candidates[c];
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
        for (RbContactAnchor& anchor : kept->Anchors) {
            anchor.PriorRelativeVelocity = 0.0f;
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
