// The step's terrain queries (with their reuse) and the sensors' line casts.
#include "physics/RbStepper.h"

#include "physics/RbSimulator.h"
#include "physics/RbStepShared.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

using namespace RbStep;

namespace {

constexpr float Infinity = std::numeric_limits<float>::infinity();
constexpr float HullCastSlack = 0.05f;

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
    // A terrain said to have changed is asked again by every body.
    const bool terrainChanged = Simulator->GetTerrainRevision() != AnsweredRevision;
    AnsweredRevision = Simulator->GetTerrainRevision();
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        RbBody& body = *work.Body;
        if (table.Get(body.CollisionGroup, RbCollisionTable::TerrainGroup) == RbCollisionTable::PassThrough) {
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
        if (body.TerrainSlice == SliceNumber - 1 && body.TerrainSlice != 0 && query == CachedQuery && !terrainChanged &&
            lower.x >= body.TerrainLower.x &&
            lower.y >= body.TerrainLower.y && lower.z >= body.TerrainLower.z && upper.x <= body.TerrainUpper.x &&
            upper.y <= body.TerrainUpper.y && upper.z <= body.TerrainUpper.z) {
            work.TerrainFirst = TerrainIndices.GetCount();
            work.TerrainCount = TerrainIndices.AppendRange(TerrainCache.GetData() + body.TerrainFirst, body.TerrainCount);
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
        while (TriangleInfos.GetCount() < triangleCount) {
            if (TriangleInfos.Append() == nullptr) {
                break;
            }
        }
        if (++QueryNumber == 0) {
            for (int32_t t = 0; t < TriangleInfos.GetCount(); ++t) {
                TriangleInfos[t].Query = 0;
            }
            QueryNumber = 1;
        }
        // Bounds computed for other arrays, or before the terrain changed, are stale.
        if (triangles != BoundsTriangles || vertices != BoundsVertices || triangleCount != BoundsTriangleCount ||
            Simulator->GetTerrainRevision() != BoundsRevision || TerrainGeneration == 0) {
            BoundsTriangles = triangles;
            BoundsVertices = vertices;
            BoundsTriangleCount = triangleCount;
            BoundsRevision = Simulator->GetTerrainRevision();
            if (++TerrainGeneration == 0) {
                for (int32_t t = 0; t < TriangleInfos.GetCount(); ++t) {
                    TriangleInfos[t].Generation = 0;
                }
                TerrainGeneration = 1;
            }
        }
        // Indices at or beyond this are outside the triangle array (or had no room for a record).
        const uint32_t limit = static_cast<uint32_t>(std::min(triangleCount, TriangleInfos.GetCount()));
        TriangleInfo* const infos = TriangleInfos.GetData();
        const uint32_t number = QueryNumber;
        const uint32_t generation = TerrainGeneration;
        work.TerrainFirst = TerrainIndices.GetCount();
        const int32_t taken = std::min(candidateCount, MaxTerrainCandidates);
        for (int32_t c = 0; c < taken; ++c) {
            const int32_t t = candidates[c];
            if (static_cast<uint32_t>(t) >= limit) {
                continue;  // below 0 or past the array
            }
            TriangleInfo& info = infos[t];
            if (info.Generation != generation) {
                info.Generation = generation;
                RbVector p0, p1, p2;
                RbVector lo = RbVec(Infinity, Infinity, Infinity);  // a record without corners meets no box
                RbVector hi = RbVec(-Infinity, -Infinity, -Infinity);
                if (TriangleCorners(triangles[t], vertices, &p0, &p1, &p2)) {
                    lo = MinV(MinV(p0, p1), p2);
                    hi = MaxV(MaxV(p0, p1), p2);
                }
                info.Lower[0] = lo.x;
                info.Lower[1] = lo.y;
                info.Lower[2] = lo.z;
                info.Upper[0] = hi.x;
                info.Upper[1] = hi.y;
                info.Upper[2] = hi.z;
            }
            // BoxesTouch, written out on the stored floats.
            if (!((info.Lower[0] <= upper.x) & (lower.x <= info.Upper[0]) & (info.Lower[1] <= upper.y) &
                  (lower.y <= info.Upper[1]) & (info.Lower[2] <= upper.z) & (lower.z <= info.Upper[2]))) {
                continue;
            }
            // A triangle listed twice is kept once. Only kept ones need the stamp: a repeat
            // has the same bounds, so it misses the box whenever its first listing did.
            if (info.Query == number) {
                continue;
            }
            info.Query = number;
            RbTerrainCandidate* slot = TerrainIndices.AppendUninitialised();
            if (slot == nullptr) {
                break;
            }
            slot->Index = t;
            slot->Lower = RbVec(info.Lower[0], info.Lower[1], info.Lower[2]);
            slot->Upper = RbVec(info.Upper[0], info.Upper[1], info.Upper[2]);
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

void RbStepper::CastSensors() {
    const RbCollisionTable& table = *Simulator->GetCollisionTable();
    bool casting = false;  // a body casts this slice
    for (int32_t i = 1; i < Work.GetCount(); ++i) {
        RbStepBody& work = Work[i];
        if (work.Body->Sensors == nullptr || !(work.Processed || work.Kinematic != nullptr)) {
            continue;  // a resting body's sensors keep their last results
        }
        casting = true;
        for (RbSensor* sensor = work.Body->Sensors; sensor != nullptr; sensor = sensor->Next) {
            sensor->Depth = 0.0f;
            sensor->Normal = RbVector{};
            sensor->ContactPoint = RbVector{};
            if (!(sensor->Length > 0.0f) || !std::isfinite(sensor->Length)) {
                continue;
            }
            // Kept for the casts against other bodies below.
            sensor->WorldOrigin = RbAdd(RbTransform(sensor->Start, work.Rotation), work.Position);
            sensor->WorldDirection = RbTransform(sensor->Direction, work.Rotation);
            if (!RbIsFinite(sensor->Start)) {
                continue;
            }
            const RbVector origin = sensor->WorldOrigin;
            const RbVector direction = sensor->WorldDirection;
            if (!RbIsFinite(origin) || !RbIsFinite(direction)) {
                continue;
            }
            if (table.Get(work.Body->CollisionGroup, RbCollisionTable::TerrainGroup) == RbCollisionTable::PassThrough) {
                continue;
            }
            const RbVector end = Madd(origin, direction, sensor->Length);
            const RbVector lineLower = MinV(origin, end);
            const RbVector lineUpper = MaxV(origin, end);
            // In locals: the cast is a call, after which members would be read again.
            const RbTerrainCandidate* candidates = TerrainIndices.GetData() + work.TerrainFirst;
            const int32_t candidateCount = work.TerrainCount;
            for (int32_t c = 0; c < candidateCount; ++c) {
                const RbTerrainCandidate& candidate = candidates[c];
                if (!BoxesTouch(candidate.Lower, candidate.Upper, lineLower, lineUpper)) {
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
    // Other bodies: those whose bounds the broad phase pairs with the sensor's body (none to
    // walk the pairs for in a world whose moving bodies carry no sensors, such as a pile).
    if (!casting) {
        return;
    }
    RbBroadPhase& broadPhase = Simulator->GetBroadPhase();
    for (RbPairRecord* pair = broadPhase.Pairs.FirstUsed(); pair != nullptr; pair = broadPhase.Pairs.NextUsed(pair)) {
        if (!IsGathered(pair->First) || !IsGathered(pair->Second)) {
            continue;
        }
        if (table.Get(pair->First->CollisionGroup, pair->Second->CollisionGroup) == RbCollisionTable::PassThrough) {
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
    // Geometry by geometry, each hull looked up once for all the lines; every line still meets
    // the geometries in list order, so its nearest hit is the same.
    const RbStepBody& target = Work[other.StepIndex];
    for (const RbGeometry* g = other.Geometries; g != nullptr; g = g->Next) {
        int32_t hull = -2;  // looked up for the first line cast
        for (RbSensor* sensor = owner.Body->Sensors; sensor != nullptr; sensor = sensor->Next) {
            if (!(sensor->Length > 0.0f) || !std::isfinite(sensor->Length)) {
                continue;
            }
            const RbVector& origin = sensor->WorldOrigin;
            const RbVector& direction = sensor->WorldDirection;
            const RbVector end = Madd(origin, direction, sensor->Length);
            const RbVector lineLower = MinV(origin, end);
            const RbVector lineUpper = MaxV(origin, end);
            if (hull == -2) {
                hull = HullIndex(g, target);
            }
            if (hull < 0) {
                break;
            }
            // A line that stays clear of the hull's box cannot hit it; the slack covers the
            // rounding of the hull's planes against its corners.
            if (!BoxesOverlap(Hulls[hull].Lower, Hulls[hull].Upper, lineLower, lineUpper, HullCastSlack)) {
                continue;
            }
            RbRayHit hit;
            if (RbCastHull(Hulls[hull], origin, direction, sensor->Length, &hit)) {
                RecordHit(*sensor, origin, direction, hit);
            }
        }
    }
}
