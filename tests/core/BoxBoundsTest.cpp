// The bounds of an oriented box and the shadow's widening of axis-aligned bounds are found in
// closed form; they must give exactly the floats of the literal eight-corner computation, signed
// zeros, infinities and NaN included. The corners and planes a pick reads after an Update must
// be those of that Update.
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

uint32_t Bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The same float, signed zeros told apart. Any NaN matches any NaN: the compiler may swap the
// operands of a sum, which decides which NaN comes out, so no code can promise its bits.
void ExpectSameFloat(float actual, float expected, const char* what, const char* axis) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << " " << axis << " " << actual << " vs NaN";
        return;
    }
    EXPECT_EQ(Bits(actual), Bits(expected)) << what << " " << axis << " " << actual << " vs " << expected;
}

void ExpectSameBits(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, const char* what) {
    ExpectSameFloat(actual.x, expected.x, what, "x");
    ExpectSameFloat(actual.y, expected.y, what, "y");
    ExpectSameFloat(actual.z, expected.z, what, "z");
}

constexpr float kSigns[8][3] = {
    {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
};

// The literal computation: the eight corners, their minimum and maximum in corner order.
void LiteralBoxBounds(const CPBox& box, D3DXVECTOR3& min, D3DXVECTOR3& max, D3DXVECTOR3 (&corners)[8]) {
    const D3DXMATRIX& m = box.World;
    const D3DXVECTOR3 h = box.HalfExtents;
    if (m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f) {
        D3DXVECTOR3 centre;
        D3DXVec3TransformCoord(&centre, &box.Centre, &m);
        const D3DXVECTOR3 axes[3] = {D3DXVECTOR3(m._11, m._12, m._13) * h.x, D3DXVECTOR3(m._21, m._22, m._23) * h.y,
                                     D3DXVECTOR3(m._31, m._32, m._33) * h.z};
        for (int k = 0; k < 8; ++k) {
            corners[k] = centre + axes[0] * kSigns[k][0] + axes[1] * kSigns[k][1] + axes[2] * kSigns[k][2];
        }
    } else {
        for (int k = 0; k < 8; ++k) {
            const D3DXVECTOR3 local(box.Centre.x + kSigns[k][0] * h.x, box.Centre.y + kSigns[k][1] * h.y,
                                    box.Centre.z + kSigns[k][2] * h.z);
            D3DXVec3TransformCoord(&corners[k], &local, &m);
        }
    }
    min = corners[0];
    max = corners[0];
    for (int k = 1; k < 8; ++k) {
        D3DXVec3Minimize(&min, &min, &corners[k]);
        D3DXVec3Maximize(&max, &max, &corners[k]);
    }
}

// The literal shadow widening: all eight projected corners, the non-finite ones skipped.
void LiteralShadow(CPBoundingBox& b, const D3DXMATRIX& m) {
    const D3DXVECTOR4 low = D3DXDetail::RowTimesMatrix(b.Min.x, b.Min.y, b.Min.z, 1.0f, m);
    const D3DXVECTOR3 size = b.Max - b.Min;
    const D3DXVECTOR4 edges[3] = {D3DXVECTOR4(m._11, m._12, m._13, m._14) * size.x,
                                  D3DXVECTOR4(m._21, m._22, m._23, m._24) * size.y,
                                  D3DXVECTOR4(m._31, m._32, m._33, m._34) * size.z};
    for (int k = 0; k < 8; ++k) {
        D3DXVECTOR4 r = low;
        if (k & 1) r += edges[0];
        if (k & 2) r += edges[1];
        if (k & 4) r += edges[2];
        const D3DXVECTOR3 p(r.x / r.w, r.y / r.w, r.z / r.w);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            continue;
        }
        D3DXVec3Minimize(&b.Min, &b.Min, &p);
        D3DXVec3Maximize(&b.Max, &b.Max, &p);
    }
}

// The classic 15-bit sequence is not needed here: a small generator of our own.
class Numbers {
public:
    float Next(float lo, float hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const float unit = static_cast<float>(state >> 40) / static_cast<float>(1u << 24);
        return lo + (hi - lo) * unit;
    }
    // Mostly ordinary values, now and then one that sits on an edge case.
    float Pick(float lo, float hi) {
        static const float specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 1e-30f, -1e-30f, 3e38f, -3e38f, kInf, -kInf, kNaN};
        if (Next(0, 1) < 0.08f) {
            return specials[static_cast<int>(Next(0, 10.999f))];
        }
        return Next(lo, hi);
    }

private:
    uint64_t state = 12345;
};

D3DXMATRIX Turned(float yaw, float pitch, float roll, const D3DXVECTOR3& at) {
    D3DXMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
    m._41 = at.x;
    m._42 = at.y;
    m._43 = at.z;
    return m;
}

void ExpectBoxMatchesLiteral(CPBox box) {
    D3DXVECTOR3 min, max, corners[8];
    CPBox literal = box;
    literal.Update();  // for the clamped half extents
    LiteralBoxBounds(literal, min, max, corners);
    box.Update();
    ExpectSameBits(box.Min, min, "min");
    ExpectSameBits(box.Max, max, "max");
    for (int k = 0; k < 8; ++k) {
        ExpectSameBits(box.Corners()[k], corners[k], "corner");
    }
}

TEST(BoxBounds, ClosedFormGivesTheCornersFloats) {
    Numbers n;
    for (int i = 0; i < 20000; ++i) {
        CPBox box(D3DXVECTOR3(n.Next(-5, 5), n.Next(-5, 5), n.Next(-5, 5)),
                  D3DXVECTOR3(n.Next(0, 3), n.Next(0, 3), n.Next(0, 3)));
        box.World = Turned(n.Next(-4, 4), n.Next(-4, 4), n.Next(-4, 4),
                           D3DXVECTOR3(n.Next(-1000, 1000), n.Next(-1000, 1000), n.Next(-10, 10)));
        if (i % 3 == 0) {
            D3DXMATRIX scale;
            D3DXMatrixScaling(&scale, n.Next(-2, 2), n.Next(-2, 2), n.Next(-2, 2));
            box.World = scale * box.World;
        }
        ExpectBoxMatchesLiteral(box);
        if (HasFailure()) {
            FAIL() << "case " << i;
        }
    }
}

// Axis-aligned boxes at the origin give zero bounds and ties; zero and non-finite entries give
// signed zeros, infinities and NaN; a projective matrix takes the eight-transform path.
TEST(BoxBounds, EdgeCasesGiveTheCornersFloats) {
    Numbers n;
    for (int i = 0; i < 20000; ++i) {
        CPBox box(D3DXVECTOR3(n.Pick(-2, 2), n.Pick(-2, 2), n.Pick(-2, 2)),
                  D3DXVECTOR3(n.Pick(0, 2), n.Pick(0, 2), n.Pick(0, 2)));
        float* m = &box.World._11;
        for (int k = 0; k < 16; ++k) {
            if (k == 3 || k == 7 || k == 11 || k == 15) {
                m[k] = i % 5 == 0 ? n.Pick(-1, 1) : (k == 15 ? 1.0f : 0.0f);
            } else {
                m[k] = n.Next(0, 1) < 0.3f ? 0.0f : n.Pick(-3, 3);
            }
        }
        ExpectBoxMatchesLiteral(box);
        if (HasFailure()) {
            FAIL() << "case " << i;
        }
    }
    // A box centred on the origin in the identity frame: zero is nowhere a bound, but the
    // centre is a signed zero.
    CPBox centred(D3DXVECTOR3(-0.0f, 0.0f, -0.0f), D3DXVECTOR3(1, 2, 3));
    ExpectBoxMatchesLiteral(centred);
    // A flattened frame: every corner at x = -0 or +0, and which one the bounds take
    // depends on the corners' order.
    for (int axis = 0; axis < 3; ++axis) {
        CPBox flat(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1));
        flat.World.m[axis][axis] = 0.0f;
        flat.World.m[3][axis] = -0.0f;
        ExpectBoxMatchesLiteral(flat);
    }
}

TEST(BoxBounds, CornersAndPlanesAreThoseOfTheLastUpdate) {
    CPBox box(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(1, 2, 1));
    for (const D3DXVECTOR3& c : box.Corners()) {
        ExpectSameBits(c, D3DXVECTOR3(0, 0, 0), "before any update");
    }
    box.World = Turned(0.3f, 0, 0, D3DXVECTOR3(5, 0, 0));
    box.Update();
    const D3DXPLANE top = box.Planes()[5];
    box.World = Turned(1.3f, 0, 0, D3DXVECTOR3(-5, 0, 0));
    box.Update();
    EXPECT_NE(box.Planes()[5], top);
    D3DXVECTOR3 min, max, corners[8];
    LiteralBoxBounds(box, min, max, corners);
    for (int k = 0; k < 8; ++k) {
        ExpectSameBits(box.Corners()[k], corners[k], "corner");
    }
    // A copy made before the corners were read gives the same ones.
    box.World = Turned(0, 0, 2.0f, D3DXVECTOR3(1, 2, 3));  // turned about z
    box.Update();
    const CPBox copy = box;
    LiteralBoxBounds(box, min, max, corners);
    for (int k = 0; k < 8; ++k) {
        ExpectSameBits(copy.Corners()[k], corners[k], "copied corner");
    }
    // The ray test reads them too: a ray down onto the moved box (centre (1, 2, 4)) hits its top.
    float distance = 100.0f;
    D3DXPLANE face;
    const D3DXVECTOR3 above(1, 2, 10), down(0, 0, -1);
    ASSERT_TRUE(copy.IntersectRay(above, down, distance, face));
    EXPECT_EQ(face, copy.Planes()[5]);
}

void ExpectShadowMatchesLiteral(const CPBoundingBox& start, const D3DXMATRIX& shadow) {
    CPBoundingBox literal = start;
    LiteralShadow(literal, shadow);
    CPBoundingBox fast = start;
    const D3DXMATRIX saved = ShadowMatrix;
    ShadowMatrix = shadow;
    fast.ExtendByShadow();
    ShadowMatrix = saved;
    ExpectSameBits(fast.Min, literal.Min, "min");
    ExpectSameBits(fast.Max, literal.Max, "max");
}

TEST(ShadowBounds, FewerDivisionsGiveTheCornersFloats) {
    Numbers n;
    for (int i = 0; i < 20000; ++i) {
        // Suns at infinity (w = 0) onto planes of the level's kind and others.
        const D3DXVECTOR4 sun(n.Next(-1, 1), n.Next(-1, 1), n.Next(-1, 0.2f), 0.0f);
        const D3DXPLANE ground = i % 2 == 0 ? D3DXPLANE(0, 0, -1, 0.5f)
                                            : D3DXPLANE(n.Next(-1, 1), n.Next(-1, 1), n.Next(-1, 1), n.Next(-3, 3));
        D3DXMATRIX shadow;
        D3DXMatrixShadow(&shadow, &sun, &ground);
        CPBoundingBox box;
        box.Min = D3DXVECTOR3(n.Next(-500, 500), n.Next(-500, 500), n.Next(-5, 5));
        box.Max = box.Min + D3DXVECTOR3(n.Next(0, 20), n.Next(0, 20), n.Next(0, 5));
        ExpectShadowMatchesLiteral(box, shadow);
        if (HasFailure()) {
            FAIL() << "case " << i;
        }
    }
}

TEST(ShadowBounds, EdgeCasesGiveTheCornersFloats) {
    Numbers n;
    for (int i = 0; i < 30000; ++i) {
        D3DXMATRIX shadow;
        float* m = &shadow._11;
        for (int k = 0; k < 16; ++k) {
            const bool wColumn = k == 3 || k == 7 || k == 11;
            if (wColumn) {
                m[k] = i % 4 == 0 ? n.Pick(-1, 1) : (n.Next(0, 1) < 0.5f ? 0.0f : -0.0f);
            } else {
                m[k] = n.Next(0, 1) < 0.3f ? 0.0f : n.Pick(-2, 2);
            }
        }
        CPBoundingBox box;
        box.Min = D3DXVECTOR3(n.Pick(-5, 5), n.Pick(-5, 5), n.Pick(-5, 5));
        box.Max = i % 7 == 0 ? box.Min : box.Min + D3DXVECTOR3(n.Pick(0, 3), n.Pick(0, 3), n.Pick(0, 3));
        ExpectShadowMatchesLiteral(box, shadow);
        if (HasFailure()) {
            FAIL() << "case " << i;
        }
    }
    // Everything onto the plane x = 0 through the origin: zero bounds of either sign.
    const D3DXVECTOR4 sun(1, 0, 0, 0);
    const D3DXPLANE wall(1, 0, 0, 0);
    D3DXMATRIX shadow;
    D3DXMatrixShadow(&shadow, &sun, &wall);
    CPBoundingBox box;
    box.Min = D3DXVECTOR3(-1, -0.0f, 2);
    box.Max = D3DXVECTOR3(1, 0.0f, 3);
    ExpectShadowMatchesLiteral(box, shadow);
    // Every corner projected to x = -0 or +0 by a flattening matrix, on a box wholly on the
    // positive side: the new low bound is a zero whose sign the corners' order decides.
    D3DXMATRIX flat;
    D3DXMatrixIdentity(&flat);
    flat._11 = -0.0f;
    flat._41 = -0.0f;
    CPBoundingBox positive;
    positive.Min = D3DXVECTOR3(0.5f, -1, -1);
    positive.Max = D3DXVECTOR3(1, 1, 1);
    ExpectShadowMatchesLiteral(positive, flat);
    // The empty box the shadow starts from in a node without bounds.
    ExpectShadowMatchesLiteral(CPBoundingBox(), shadow);
}

}  // namespace
