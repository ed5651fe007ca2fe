// Small helpers and tuning constants shared by the step's source files (RbStepper*.cpp).
// Internal to the library.
#pragma once

#include "physics/RbNarrowPhase.h"
#include "physics/RbSimulator.h"

#include <cmath>
#include <cstdint>
#include <xmmintrin.h>

namespace RbStep {

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
// Above these a kinematic body's pose change is taken as a teleport (m/s, rad/s).
constexpr float MaxKinematicSpeed = 100.0f;
constexpr float MaxKinematicTurn = 30.0f;
// Two rigid bodies whose relative pose moved less than this since their contact points were
// found keep those points (m, and the cosine of half the turn: about 0.1 degree).
constexpr float ReuseDistance = 0.0005f;
constexpr float ReuseCosine = 0.9999996f;
// Bodies closer than this count as touching.
constexpr float LinearSlop = 0.005f;
// How far beyond a body's box the terrain is asked for, so slow bodies reuse the answer.
constexpr float TerrainReach = 0.25f;

inline bool IsNegligible(const RbVector& v) {
    return std::fabs(v.x) < 1e-6f && std::fabs(v.y) < 1e-6f && std::fabs(v.z) < 1e-6f;
}

inline RbVector Madd(const RbVector& a, const RbVector& b, float s) {
    return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s, 0.0f};
}

inline bool IsFiniteMatrix(const RbMatrix3& m) {
    return RbIsFinite(m.Rows[0]) && RbIsFinite(m.Rows[1]) && RbIsFinite(m.Rows[2]);
}

// World bounds of a body's refitted box (geometries and sensor lines) at a pose.
inline void BoxBounds(const RbBody& body, const RbMatrix3& rotation, const RbVector& position, RbVector* lower, RbVector* upper) {
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

// The candidate loops test thousands of boxes per slice with outcomes close to random, so
// the six comparisons are two lane-wise compares and one mask test instead of six branches.
// Lane 3 is left out of the mask. Adding the margin lane by lane rounds as the scalar sums.
inline bool BoxesOverlap(const RbVector& lowerA, const RbVector& upperA, const RbVector& lowerB, const RbVector& upperB,
                  float margin) {
    const __m128 m = _mm_set1_ps(margin);
    const __m128 below = _mm_cmple_ps(_mm_loadu_ps(&lowerA.x), _mm_add_ps(_mm_loadu_ps(&upperB.x), m));
    const __m128 above = _mm_cmple_ps(_mm_loadu_ps(&lowerB.x), _mm_add_ps(_mm_loadu_ps(&upperA.x), m));
    return (_mm_movemask_ps(_mm_and_ps(below, above)) & 7) == 7;
}

// BoxesOverlap with a margin of 0 (adding 0 changes no comparison).
inline bool BoxesTouch(const RbVector& lowerA, const RbVector& upperA, const RbVector& lowerB, const RbVector& upperB) {
    const __m128 below = _mm_cmple_ps(_mm_loadu_ps(&lowerA.x), _mm_loadu_ps(&upperB.x));
    const __m128 above = _mm_cmple_ps(_mm_loadu_ps(&lowerB.x), _mm_loadu_ps(&upperA.x));
    return (_mm_movemask_ps(_mm_and_ps(below, above)) & 7) == 7;
}

// A unit tangent pair completing the unit normal n (right-handed: t1 × t2 = n).
inline void Tangents(const RbVector& n, RbVector* t1, RbVector* t2) {
    const RbVector axis = std::fabs(n.x) < 0.57735f ? RbVec(1.0f, 0.0f, 0.0f) : RbVec(0.0f, 1.0f, 0.0f);
    *t1 = RbNormalize(RbCross(axis, n));
    *t2 = RbCross(n, *t1);
}

// Two materials act as one: friction by the geometric mean (so equal materials keep theirs
// and a frictionless one makes the contact frictionless), restitution by the larger.
inline void Combine(const RbMaterial& a, const RbMaterial& b, float* friction, float* restitution) {
    const float f = std::sqrt(Max(a.Friction, 0.0f) * Max(b.Friction, 0.0f));
    *friction = std::isfinite(f) ? f : 0.0f;
    const float e = Max(a.Restitution, b.Restitution);
    *restitution = std::isfinite(e) ? Min(Max(e, 0.0f), 1.0f) : 0.0f;
}

// A terrain triangle's corners, false for a record with an index below 0.
inline bool TriangleCorners(const RbTerrainTriangle& t, const RbVector* vertices, RbVector* a, RbVector* b, RbVector* c) {
    if (t.Vertices[0] < 0 || t.Vertices[1] < 0 || t.Vertices[2] < 0) {
        return false;
    }
    *a = vertices[t.Vertices[0]];
    *b = vertices[t.Vertices[1]];
    *c = vertices[t.Vertices[2]];
    return true;
}

// Keeps the nearer of the sensor's current result and a hit at distance along the line.
inline void RecordHit(RbSensor& sensor, const RbVector& origin, const RbVector& direction, const RbRayHit& hit) {
    const float depth = sensor.Length - hit.Distance;
    if (depth > sensor.Depth && std::isfinite(depth)) {
        sensor.Depth = depth;
        sensor.Normal = hit.Normal;
        sensor.ContactPoint = Madd(origin, direction, hit.Distance);
    }
}

}  // namespace RbStep
