// Soft-step contact constraints: preparation, warm starting, solving and restitution.
#include "physics/RbContactSolver.h"

#include <cmath>
#include <cstring>

namespace {

// Plain comparisons: the library calls behind std::fmin and std::fmax cost more than the
// NaN handling they add, and no NaN reaches these.
inline float Min(float a, float b) { return a < b ? a : b; }
inline float Max(float a, float b) { return a > b ? a : b; }

constexpr float TwoPi = 6.28318530718f;

inline void Axpy(RbVector& y, const RbVector& x, float s) {
    y.x += x.x * s;
    y.y += x.y * s;
    y.z += x.z * s;
}

// Effective mass of a constraint row with angular parts ra (of A) and rb (of B).
float RowMass(const RbSolverBody& a, const RbSolverBody& b, const RbVector& ra, const RbVector& ira, const RbVector& rb,
              const RbVector& irb) {
    const float k = a.InvMass + b.InvMass + RbDot(ra, ira) + RbDot(rb, irb);
    return k > 0.0f && std::isfinite(k) ? 1.0f / k : 0.0f;
}

inline float RowVelocity(const RbSolverBody& a, const RbSolverBody& b, const RbVector& dir, const RbVector& ra,
                         const RbVector& rb) {
    return RbDot(dir, RbSub(b.V, a.V)) + RbDot(b.W, rb) - RbDot(a.W, ra);
}

inline void ApplyRow(RbSolverBody& a, RbSolverBody& b, const RbVector& dir, const RbVector& ira, const RbVector& irb,
                     float impulse) {
    Axpy(a.V, dir, -impulse * a.InvMass);
    Axpy(a.W, ira, -impulse);
    Axpy(b.V, dir, impulse * b.InvMass);
    Axpy(b.W, irb, impulse);
}

}  // namespace

RbSoftness RbMakeSoft(float hertz, float dampingRatio, float h) {
    if (hertz == 0.0f) {
        return {0.0f, 1.0f, 0.0f};
    }
    const float omega = TwoPi * hertz;
    const float a1 = 2.0f * dampingRatio + h * omega;
    const float a2 = h * omega * a1;
    const float a3 = 1.0f / (1.0f + a2);
    return {omega / a1, a2 * a3, a3};
}

void RbPrepareContact(RbManifold& manifold, RbSolverBody* bodies, const RbVector* positions) {
    RbSolverBody& a = bodies[manifold.SolverA];
    RbSolverBody& b = bodies[manifold.SolverB];
    a.Touching = 1;
    b.Touching = 1;
    const RbVector& pa = positions[manifold.SolverA];
    const RbVector& pb = positions[manifold.SolverB];
    const RbVector n = manifold.Normal;
    RbVector centre;
    for (int32_t i = 0; i < manifold.PointCount; ++i) {
        RbContactPoint& cp = manifold.Points[i];
        RbContactAnchor& anchor = manifold.Anchors[i];
        const RbVector ra = RbSub(anchor.Point, pa);
        const RbVector rb = RbSub(anchor.Point, pb);
        cp.RnA = RbCross(ra, n);
        cp.RnB = RbCross(rb, n);
        cp.IRnA = RbTransform(cp.RnA, a.InvI);
        cp.IRnB = RbTransform(cp.RnB, b.InvI);
        cp.NormalMass = RowMass(a, b, cp.RnA, cp.IRnA, cp.RnB, cp.IRnB);
        anchor.MeasuredVelocity = RowVelocity(a, b, n, cp.RnA, cp.RnB);
        anchor.RelativeVelocity = Min(anchor.MeasuredVelocity, anchor.PriorRelativeVelocity);
        cp.MaxNormalImpulse = 0.0f;
        anchor.RestImpulse = 0.0f;
        centre = RbAdd(centre, anchor.Point);
    }
    RbFrictionPatch& patch = manifold.Patch;
    centre = RbScale(centre, manifold.PointCount > 0 ? 1.0f / static_cast<float>(manifold.PointCount) : 0.0f);
    const RbVector ra = RbSub(centre, pa);
    const RbVector rb = RbSub(centre, pb);
    const RbVector tangents[2] = {manifold.Tangent1, manifold.Tangent2};
    for (int k = 0; k < 2; ++k) {
        patch.RtA[k] = RbCross(ra, tangents[k]);
        patch.RtB[k] = RbCross(rb, tangents[k]);
        patch.IRtA[k] = RbTransform(patch.RtA[k], a.InvI);
        patch.IRtB[k] = RbTransform(patch.RtB[k], b.InvI);
        patch.TangentMass[k] = RowMass(a, b, patch.RtA[k], patch.IRtA[k], patch.RtB[k], patch.IRtB[k]);
    }
    patch.ITwistA = RbTransform(n, a.InvI);
    patch.ITwistB = RbTransform(n, b.InvI);
    const float k = RbDot(n, patch.ITwistA) + RbDot(n, patch.ITwistB);
    patch.TwistMass = k > 0.0f && std::isfinite(k) ? 1.0f / k : 0.0f;
    float radius = 0.0f;
    for (int32_t i = 0; i < manifold.PointCount; ++i) {
        radius += RbLength(RbSub(manifold.Anchors[i].Point, centre));
    }
    patch.Radius = manifold.PointCount > 0 ? radius / static_cast<float>(manifold.PointCount) : 0.0f;
}

namespace {

// Four-float lanes (x, y, z and the carried fourth) for the solver's inner loop: a row's
// velocity is one lane-wise expression and one sum of three lanes, an impulse four lane-wise
// updates, instead of a dozen scalar products each. Lane 3 is never summed.
typedef float Lanes __attribute__((vector_size(16)));

inline Lanes Load(const RbVector& v) {
    Lanes r;
    std::memcpy(&r, &v, sizeof(r));
    return r;
}

inline void Store(RbVector& v, Lanes r) { std::memcpy(static_cast<void*>(&v), &r, sizeof(r)); }

inline float Sum3(Lanes v) { return v[0] + v[1] + v[2]; }

struct PairLanes {
    Lanes VA, WA, VB, WB;
    float MA, MB;

    PairLanes(const RbSolverBody& a, const RbSolverBody& b)
        : VA(Load(a.V)), WA(Load(a.W)), VB(Load(b.V)), WB(Load(b.W)), MA(a.InvMass), MB(b.InvMass) {}
    void StoreTo(RbSolverBody& a, RbSolverBody& b) const {
        Store(a.V, VA);
        Store(a.W, WA);
        Store(b.V, VB);
        Store(b.W, WB);
    }

    float Velocity(Lanes dir, Lanes ra, Lanes rb) const { return Sum3(dir * (VB - VA) + WB * rb - WA * ra); }
    void Apply(Lanes dir, Lanes ira, Lanes irb, float impulse) {
        VA -= dir * (impulse * MA);
        WA -= ira * impulse;
        VB += dir * (impulse * MB);
        WB += irb * impulse;
    }
};

}  // namespace

void RbWarmStartContacts(RbManifold* manifolds, int32_t count, RbSolverBody* bodies) {
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        if (!manifold.Solve) {
            continue;
        }
        RbSolverBody& a = bodies[manifold.SolverA];
        RbSolverBody& b = bodies[manifold.SolverB];
        PairLanes p(a, b);
        const Lanes n = Load(manifold.Normal);
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            const RbContactPoint& cp = manifold.Points[i];
            p.Apply(n, Load(cp.IRnA), Load(cp.IRnB), cp.NormalImpulse);
        }
        const RbFrictionPatch& patch = manifold.Patch;
        p.Apply(Load(manifold.Tangent1), Load(patch.IRtA[0]), Load(patch.IRtB[0]), patch.Impulse[0]);
        p.Apply(Load(manifold.Tangent2), Load(patch.IRtA[1]), Load(patch.IRtB[1]), patch.Impulse[1]);
        p.WA -= Load(patch.ITwistA) * patch.TwistImpulse;
        p.WB += Load(patch.ITwistB) * patch.TwistImpulse;
        p.StoreTo(a, b);
    }
}

namespace {

// The normal rows of a manifold's points; returns the sum of their accumulated impulses, the
// load that bounds friction.
float SolveNormal(RbManifold& manifold, PairLanes& p, const RbSolverBody& a, const RbSolverBody& b,
                  const RbSolverSettings& settings, bool useBias) {
    const RbSoftness& soft = (a.InvMass == 0.0f || b.InvMass == 0.0f) ? settings.Static : settings.Contact;
    const Lanes n = Load(manifold.Normal);
    // The bodies' motion since the slice began, along the normal.
    const float dn = Sum3(n * (Load(b.DP) - Load(a.DP)));
    const Lanes dra = Load(a.DR);
    const Lanes drb = Load(b.DR);
    float totalNormal = 0.0f;
    for (int32_t i = 0; i < manifold.PointCount; ++i) {
        RbContactPoint& cp = manifold.Points[i];
        const Lanes rna = Load(cp.RnA);
        const Lanes rnb = Load(cp.RnB);
        const float s = cp.Separation + dn + Sum3(drb * rnb - dra * rna);
        float bias = 0.0f;
        float massScale = 1.0f;
        float impulseScale = 0.0f;
        if (s > 0.0f) {
            bias = s * settings.InverseH;  // speculative: close the gap, no more
        } else if (useBias) {
            bias = Max(soft.BiasRate * s, -settings.MaxPushVelocity);
            massScale = soft.MassScale;
            impulseScale = soft.ImpulseScale;
        }
        const float vn = p.Velocity(n, rna, rnb);
        const float impulse = -cp.NormalMass * massScale * (vn + bias) - impulseScale * cp.NormalImpulse;
        const float total = Max(cp.NormalImpulse + impulse, 0.0f);
        const float applied = total - cp.NormalImpulse;
        cp.NormalImpulse = total;
        cp.MaxNormalImpulse = Max(cp.MaxNormalImpulse, applied);
        totalNormal += total;
        p.Apply(n, Load(cp.IRnA), Load(cp.IRnB), applied);
    }
    return totalNormal;
}

// The friction patch: two tangent rows inside Coulomb's cone and the twist row, all bounded by
// the manifold's normal load.
void SolveFriction(RbManifold& manifold, PairLanes& p, float totalNormal) {
    RbFrictionPatch& patch = manifold.Patch;
    const Lanes n = Load(manifold.Normal);
    const Lanes t1 = Load(manifold.Tangent1);
    const Lanes t2 = Load(manifold.Tangent2);
    const float v1 = p.Velocity(t1, Load(patch.RtA[0]), Load(patch.RtB[0]));
    const float v2 = p.Velocity(t2, Load(patch.RtA[1]), Load(patch.RtB[1]));
    float j1 = patch.Impulse[0] - patch.TangentMass[0] * v1;
    float j2 = patch.Impulse[1] - patch.TangentMass[1] * v2;
    // Coulomb's cone, as a circle of radius μ·λn in the tangent plane.
    const float limit = manifold.Friction * totalNormal;
    const float sq = j1 * j1 + j2 * j2;
    if (sq > limit * limit) {
        const float scale = sq > 0.0f ? limit / std::sqrt(sq) : 0.0f;
        j1 *= scale;
        j2 *= scale;
    }
    p.Apply(t1, Load(patch.IRtA[0]), Load(patch.IRtB[0]), j1 - patch.Impulse[0]);
    p.Apply(t2, Load(patch.IRtA[1]), Load(patch.IRtB[1]), j2 - patch.Impulse[1]);
    patch.Impulse[0] = j1;
    patch.Impulse[1] = j2;
    const float twistLimit = limit * patch.Radius;
    const float spin = Sum3(n * (p.WB - p.WA));
    const float twist = Max(-twistLimit, Min(patch.TwistImpulse - patch.TwistMass * spin, twistLimit));
    const float dt = twist - patch.TwistImpulse;
    p.WA -= Load(patch.ITwistA) * dt;
    p.WB += Load(patch.ITwistB) * dt;
    patch.TwistImpulse = twist;
}

}  // namespace

void RbSolveContacts(RbManifold* manifolds, int32_t count, RbSolverBody* bodies, const RbSolverSettings& settings,
                     bool useBias) {
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        if (!manifold.Solve) {
            continue;
        }
        RbSolverBody& a = bodies[manifold.SolverA];
        RbSolverBody& b = bodies[manifold.SolverB];
        PairLanes p(a, b);
        const float totalNormal = SolveNormal(manifold, p, a, b, settings, useBias);
        if (!useBias) {
            manifold.Impulse += totalNormal;  // what the substep applied, once settled
        }
        if (manifold.Friction != 0.0f) {
            SolveFriction(manifold, p, totalNormal);
        }
        p.StoreTo(a, b);
    }
}

void RbApplyRestitution(RbManifold* manifolds, int32_t count, RbSolverBody* bodies, const RbVector* positions,
                        const RbSolverSettings& settings) {
    // The bounce of a manifold acts at the centre of its hitting points with their mean
    // approach speed: solved point by point, the first point of a flat face would take the
    // whole bounce and set the body spinning. Only a contact that was not touching before
    // bounces; touching contacts take part with a target of no approach, so a bounce passes
    // through a resting contact instead of pushing a body into the ground (a box hit from
    // above does not sink, nor jump off the ground).
    for (int32_t m = 0; m < count; ++m) {
        RbManifold& manifold = manifolds[m];
        if (!manifold.Solve) {
            continue;
        }
        bool pushed = false;
        bool touching = false;
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            pushed = pushed || manifold.Points[i].MaxNormalImpulse > 0.0f;
            touching = touching || manifold.Points[i].Separation <= settings.LinearSlop;
        }
        const bool bounces = pushed && manifold.Restitution > 0.0f && !manifold.WasTouching;
        if (!bounces && !touching) {
            continue;
        }
        RbSolverBody& a = bodies[manifold.SolverA];
        RbSolverBody& b = bodies[manifold.SolverB];
        if (!bounces) {
            // Point by point, so the contact also takes up the turn a bounce next to it gives.
            for (int32_t i = 0; i < manifold.PointCount; ++i) {
                const RbContactPoint& cp = manifold.Points[i];
                RbContactAnchor& anchor = manifold.Anchors[i];
                const float vn = RowVelocity(a, b, manifold.Normal, cp.RnA, cp.RnB);
                const float total = Max(anchor.RestImpulse - cp.NormalMass * vn, 0.0f);
                const float applied = total - anchor.RestImpulse;
                anchor.RestImpulse = total;
                manifold.BounceImpulse += applied;
                ApplyRow(a, b, manifold.Normal, cp.IRnA, cp.IRnB, applied);
            }
            continue;
        }
        RbVector centre;
        float approach = 0.0f;
        int32_t hitting = 0;
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            const RbContactAnchor& anchor = manifold.Anchors[i];
            if (anchor.RelativeVelocity > -settings.RestitutionThreshold) {
                continue;
            }
            centre = RbAdd(centre, anchor.Point);
            approach += anchor.RelativeVelocity;
            ++hitting;
        }
        if (hitting == 0) {
            continue;
        }
        const float share = 1.0f / static_cast<float>(hitting);
        centre = RbScale(centre, share);
        const float target = -manifold.Restitution * approach * share;
        const RbVector& n = manifold.Normal;
        const RbVector rnA = RbCross(RbSub(centre, positions[manifold.SolverA]), n);
        const RbVector rnB = RbCross(RbSub(centre, positions[manifold.SolverB]), n);
        const RbVector irnA = RbTransform(rnA, bodies[manifold.SolverA].InvI);
        const RbVector irnB = RbTransform(rnB, bodies[manifold.SolverB].InvI);
        const float mass = RowMass(a, b, rnA, irnA, rnB, irnB);
        const float vn = RowVelocity(a, b, n, rnA, rnB);
        const float impulse = mass * (target - vn);
        const float total = Max(manifold.BounceImpulse + impulse, 0.0f);
        const float applied = total - manifold.BounceImpulse;
        manifold.BounceImpulse = total;
        ApplyRow(a, b, n, irnA, irnB, applied);
    }
}

void RbMeasureContacts(RbManifold* manifolds, int32_t count, const RbSolverBody* bodies, float* separations,
                       float* velocities) {
    for (int32_t m = 0; m < count; ++m) {
        const RbManifold& manifold = manifolds[m];
        const RbSolverBody& a = bodies[manifold.SolverA];
        const RbSolverBody& b = bodies[manifold.SolverB];
        const float dn = RbDot(manifold.Normal, RbSub(b.DP, a.DP));
        float gap = 1e30f;
        float closing = 1e30f;
        for (int32_t i = 0; i < manifold.PointCount; ++i) {
            const RbContactPoint& cp = manifold.Points[i];
            gap = Min(gap, cp.Separation + dn + RbDot(b.DR, cp.RnB) - RbDot(a.DR, cp.RnA));
            closing = Min(closing, RowVelocity(a, b, manifold.Normal, cp.RnA, cp.RnB));
        }
        separations[m] = gap;
        velocities[m] = closing;
    }
}
