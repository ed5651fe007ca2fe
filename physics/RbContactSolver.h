// Contact manifolds and the soft-step contact solver.
//
// The solver follows the soft step of Box2D v3 (Catto, "Solver2D", 2024): each slice of a
// step is split into substeps; every substep integrates velocities, re-applies the
// accumulated impulses (warm starting), solves the contacts as soft constraints whose
// stiffness depends on the substep, integrates positions and relaxes the contacts without
// the push-out bias, so pushing bodies apart adds no energy. Restitution is applied once at
// the end from the approach speed the contact had when the slice began. Contact separations
// are updated from the bodies' accumulated motion, so the narrow phase runs once per slice.
//
// Data are plain records in arrays: solver bodies by index (0 is the static world), the
// manifolds in the order the narrow phase produced them.
#pragma once

#include "physics/RbCollisionTable.h"
#include "physics/RbMath.h"

#include <cstdint>

class RbBody;
class RbGeometry;

struct RbSolverBody {
    RbVector V;   // linear velocity, m/s
    RbVector W;   // angular velocity, rad/s, world axes
    RbVector DP;  // position change since the slice began
    RbVector DR;  // rotation change (rotation vector) since the slice began
    RbMatrix3 InvI;  // world inverse inertia, fixed for the slice
    float InvMass = 0.0f;
    int32_t Touching = 0;  // in a solved contact this slice
};

// What the solver's substeps read and write of a contact point, kept apart from the rest of
// the point (RbContactAnchor) so the passes over the manifolds stream as few bytes as they
// can: they run a dozen times per slice over every manifold.
struct RbContactPoint {
    RbVector RnA, RnB, IRnA, IRnB;  // r × n and its image through the inverse inertia
    float Separation = 0.0f;        // at the slice's start; negative when overlapping
    float NormalImpulse = 0.0f;     // accumulated, N·s
    float MaxNormalImpulse = 0.0f;  // largest single normal impulse of the slice
    float NormalMass = 0.0f;
};

// The rest of a contact point: where it is, and what its bounce answers.
struct RbContactAnchor {
    RbVector LocalA;  // anchor in A's body space (matching the next slice's points)
    RbVector Point;   // world, midway between the surfaces
    float RestImpulse = 0.0f;       // taken up during the bounce passes
    float RelativeVelocity = 0.0f;  // normal approach speed the bounce answers (< 0 closing)
    float MeasuredVelocity = 0.0f;  // normal relative speed at the slice's start
    // The approach speed before a speculative catch in the previous slice slowed the body,
    // so the bounce answers the speed of the impact.
    float PriorRelativeVelocity = 0.0f;
};

// Friction of a manifold acts at the centre of its points: two tangent rows bounded together
// by μ times the manifold's normal impulse, and a twist row about the normal bounded by that
// times the points' mean distance from the centre. Fewer rows than friction per point, and
// no fight between the points over a load they share.
struct RbFrictionPatch {
    RbVector RtA[2], RtB[2], IRtA[2], IRtB[2];  // r × t and images, per tangent
    RbVector ITwistA, ITwistB;                   // inverse inertia times n
    float TangentMass[2] = {};
    float TwistMass = 0.0f;
    float Radius = 0.0f;
    float Impulse[2] = {};      // accumulated tangent impulses, N·s
    float TwistImpulse = 0.0f;  // accumulated, N·m·s
};

// Up to four points between one geometry of body A and one geometry of body B or one
// terrain triangle (BodyB null). The normal points from A to B. What every solver pass reads
// comes first, the rest (matching, bounces, reports) after the points.
struct RbManifold {
    int32_t SolverA = 0;
    int32_t SolverB = 0;
    int32_t PointCount = 0;
    int32_t Solve = 0;  // takes part in this slice's solve
    RbVector Normal;
    RbVector Tangent1;
    RbVector Tangent2;
    float Friction = 0.5f;
    float Impulse = 0.0f;  // normal impulse of this slice, summed over the points, N·s
    RbFrictionPatch Patch;
    RbContactPoint Points[4];

    uint64_t Key = 0;  // geometry of A, then geometry of B or the triangle
    RbBody* BodyA = nullptr;
    RbBody* BodyB = nullptr;
    int32_t Triangle = -1;
    int32_t Code = RbCollisionTable::Resolve;  // collision-table code
    int32_t Touching = 0;     // in touch (within the slop) at the slice's start and pushing
    int32_t WasTouching = 0;  // the same in the previous slice
    float Restitution = 0.0f;
    float ApproachSpeed = 0.0f;   // fastest closing speed of a point at the slice's start
    // Impulse of the previous slice while still apart: a speculative contact that caught the
    // body before it touched, reported with the touch.
    float PendingImpulse = 0.0f;
    float EndGap = 0.0f;  // least separation at the slice's end
    float BounceImpulse = 0.0f;  // restitution impulse of this slice
    // Where B was relative to A when the points were found (B's position in A's axes and
    // conj(qA)·qB; w above 1 when B is no rigid body), and the normal in A's axes: while the
    // two keep that pose the points are carried over instead of found again.
    RbVector SnapshotPosition;
    RbQuaternion SnapshotOrientation;
    RbVector LocalNormal;
    RbContactAnchor Anchors[4];  // the rest of Points[i]
};

struct RbSoftness {
    float BiasRate = 0.0f;
    float MassScale = 1.0f;
    float ImpulseScale = 0.0f;
};

// Soft constraint coefficients of a spring of the given frequency and damping ratio over a
// substep h.
RbSoftness RbMakeSoft(float hertz, float dampingRatio, float h);

struct RbSolverSettings {
    RbSoftness Contact;        // between two moving bodies
    RbSoftness Static;         // against the terrain, kinematic or resting bodies (stiffer)
    float InverseH = 0.0f;     // 1 / substep
    float MaxPushVelocity = 3.0f;
    float RestitutionThreshold = 1.0f;
    float LinearSlop = 0.005f;  // points closer than this touch
};

// Masses, Jacobians and approach speeds of a manifold to solve, from the bodies' velocities
// at the slice's start; marks the bodies Touching.
void RbPrepareContact(RbManifold& manifold, RbSolverBody* bodies, const RbVector* positions);
void RbWarmStartContacts(RbManifold* manifolds, int32_t count, RbSolverBody* bodies);
// useBias false is the relax pass; it adds the substep's settled normal impulse to Impulse.
void RbSolveContacts(RbManifold* manifolds, int32_t count, RbSolverBody* bodies, const RbSolverSettings& settings,
                     bool useBias);
// Call BounceImpulse := 0 first, then as many passes as wanted.
void RbApplyRestitution(RbManifold* manifolds, int32_t count, RbSolverBody* bodies, const RbVector* positions,
                        const RbSolverSettings& settings);
// Per manifold, the least separation and the least normal relative speed of its points at
// the end of the slice (the Jacobians must be prepared).
void RbMeasureContacts(RbManifold* manifolds, int32_t count, const RbSolverBody* bodies, float* separations,
                       float* velocities);
