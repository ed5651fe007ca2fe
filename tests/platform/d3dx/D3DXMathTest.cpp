// Pins the D3DX conventions the engine relies on: row vectors (v·M), left-handed rotations,
// multiplication order, the quaternion layout and the divisions by w.
#include "platform/d3dx/D3DXMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr float kTol = 1e-5f;

void ExpectVec(const D3DXVECTOR3& actual, float x, float y, float z, float tol = kTol) {
    EXPECT_NEAR(actual.x, x, tol);
    EXPECT_NEAR(actual.y, y, tol);
    EXPECT_NEAR(actual.z, z, tol);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = kTol) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "row " << r << " column " << c;
        }
    }
}

// q and −q are the same rotation.
void ExpectSameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float tol = 1e-5f) {
    const float sign = D3DXQuaternionDot(&a, &b) < 0.0f ? -1.0f : 1.0f;
    EXPECT_NEAR(a.x, sign * b.x, tol);
    EXPECT_NEAR(a.y, sign * b.y, tol);
    EXPECT_NEAR(a.z, sign * b.z, tol);
    EXPECT_NEAR(a.w, sign * b.w, tol);
}

D3DXVECTOR3 Turn(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

TEST(D3DXMath, RotationAxisTurnsLeftHanded) {
    D3DXMATRIX m;
    const D3DXVECTOR3 xAxis(1, 0, 0);
    D3DXMatrixRotationAxis(&m, &xAxis, D3DX_PI / 2);
    ExpectVec(Turn({0, 0, 1}, m), 0, -1, 0);
    ExpectVec(Turn({0, 1, 0}, m), 0, 0, 1);

    // The axis is normalised first, and unit axes give the single-axis rotations.
    struct Case {
        D3DXVECTOR3 axis;
        D3DXMATRIX* (*single)(D3DXMATRIX*, float);
    };
    const Case cases[] = {{{3, 0, 0}, D3DXMatrixRotationX}, {{0, 0.5f, 0}, D3DXMatrixRotationY},
                          {{0, 0, 7}, D3DXMatrixRotationZ}};
    for (const Case& c : cases) {
        D3DXMATRIX byAxis, single;
        D3DXMatrixRotationAxis(&byAxis, &c.axis, 0.7f);
        c.single(&single, 0.7f);
        ExpectMatrixNear(byAxis, single);
    }
}

TEST(D3DXMath, SingleAxisRotationRows) {
    const float t = 0.3f, c = std::cos(t), s = std::sin(t);
    D3DXMATRIX m;
    D3DXMatrixRotationZ(&m, t);
    ExpectMatrixNear(m, D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    D3DXMatrixRotationY(&m, t);
    ExpectMatrixNear(m, D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1));
    D3DXMatrixRotationX(&m, t);
    ExpectMatrixNear(m, D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1));
}

TEST(D3DXMath, YawPitchRollIsRollThenPitchThenYaw) {
    const float angles[][3] = {{0.3f, -0.4f, 1.1f}, {2.5f, 0.9f, -2.0f}, {0, 0, 0}, {-D3DX_PI, D3DX_PI / 2, 0.2f}};
    for (const auto& a : angles) {
        D3DXMATRIX ypr, rz, rx, ry;
        D3DXMatrixRotationYawPitchRoll(&ypr, a[0], a[1], a[2]);
        D3DXMatrixRotationZ(&rz, a[2]);
        D3DXMatrixRotationX(&rx, a[1]);
        D3DXMatrixRotationY(&ry, a[0]);
        ExpectMatrixNear(ypr, rz * rx * ry);

        D3DXQUATERNION q, fromMatrix;
        D3DXQuaternionRotationYawPitchRoll(&q, a[0], a[1], a[2]);
        D3DXQuaternionRotationMatrix(&fromMatrix, &ypr);
        ExpectSameRotation(q, fromMatrix);
    }
}

TEST(D3DXMath, MultiplyAppliesLeftMatrixFirst) {
    D3DXMATRIX move, turn, both;
    D3DXMatrixTranslation(&move, 1, 0, 0);
    D3DXMatrixRotationZ(&turn, D3DX_PI / 2);
    D3DXMatrixMultiply(&both, &move, &turn);
    ExpectVec(Turn({0, 0, 0}, both), 0, 1, 0);  // moved to (1,0,0), then turned to (0,1,0)
    D3DXMatrixMultiply(&both, &turn, &move);
    ExpectVec(Turn({0, 0, 0}, both), 1, 0, 0);
    // The output may alias an input.
    const D3DXMATRIX expected = move * turn;
    D3DXMatrixMultiply(&move, &move, &turn);
    EXPECT_EQ(move, expected);
    EXPECT_EQ(move.m[3][1], move._42);
}

TEST(D3DXMath, QuaternionMatrixRoundTrip) {
    struct Case {
        D3DXVECTOR3 axis;
        float angle;
    };
    const Case cases[] = {
        {{1, 0, 0}, 0.0f},       {{0, 0, 1}, 0.5f},        {{1, 2, 3}, 1.2f},   {{1, 0, 0}, D3DX_PI},
        {{0, 1, 0}, D3DX_PI},    {{0, 0, 1}, D3DX_PI},     {{1, 1, 0}, D3DX_PI}, {{-2, 1, 5}, 3.0f},
        {{0, 1, 1}, -2.9f},      {{1, -1, 1}, 6.0f},
    };
    for (const Case& c : cases) {
        D3DXQUATERNION q, back;
        D3DXQuaternionRotationAxis(&q, &c.axis, c.angle);
        EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, kTol);
        D3DXMATRIX fromQuaternion, fromAxis;
        D3DXMatrixRotationQuaternion(&fromQuaternion, &q);
        D3DXMatrixRotationAxis(&fromAxis, &c.axis, c.angle);
        ExpectMatrixNear(fromQuaternion, fromAxis);
        D3DXQuaternionRotationMatrix(&back, &fromQuaternion);
        ExpectSameRotation(back, q);
    }
}

TEST(D3DXMath, QuaternionMultiplyMatchesMatrixOrder) {
    D3DXQUATERNION q1, q2, product;
    const D3DXVECTOR3 a1(1, 2, 0), a2(0, -1, 3);
    D3DXQuaternionRotationAxis(&q1, &a1, 0.8f);
    D3DXQuaternionRotationAxis(&q2, &a2, -1.3f);
    D3DXQuaternionMultiply(&product, &q1, &q2);
    D3DXMATRIX m1, m2, mp;
    D3DXMatrixRotationQuaternion(&m1, &q1);
    D3DXMatrixRotationQuaternion(&m2, &q2);
    D3DXMatrixRotationQuaternion(&mp, &product);
    ExpectMatrixNear(mp, m1 * m2);
    ExpectSameRotation(q1 * q2, product);

    D3DXQUATERNION inverse, identity;
    D3DXQuaternionInverse(&inverse, &q1);
    D3DXQuaternionMultiply(&identity, &q1, &inverse);
    ExpectSameRotation(identity, D3DXQUATERNION(0, 0, 0, 1));
}

TEST(D3DXMath, RotationQuaternionDoesNotNormalise) {
    const D3DXQUATERNION q(1, 0, 0, 1);  // length √2
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    EXPECT_FLOAT_EQ(m._22, -1.0f);
    EXPECT_FLOAT_EQ(m._23, 2.0f);
    EXPECT_FLOAT_EQ(m._44, 1.0f);
}

TEST(D3DXMath, SlerpTakesTheShorterArc) {
    D3DXQUATERNION a, b, half, expected;
    const D3DXVECTOR3 z(0, 0, 1);
    D3DXQuaternionRotationAxis(&a, &z, 0.0f);
    D3DXQuaternionRotationAxis(&b, &z, 1.0f);
    D3DXQuaternionSlerp(&half, &a, &b, 0.5f);
    D3DXQuaternionRotationAxis(&expected, &z, 0.5f);
    ExpectSameRotation(half, expected);
    const D3DXQUATERNION negB = -b;
    D3DXQuaternionSlerp(&half, &a, &negB, 0.5f);
    ExpectSameRotation(half, expected);
}

TEST(D3DXMath, ZeroVectorsNormaliseToZero) {
    D3DXVECTOR2 v2(0, 0);
    D3DXVec2Normalize(&v2, &v2);
    EXPECT_EQ(v2, D3DXVECTOR2(0, 0));
    D3DXVECTOR3 v3;
    D3DXVec3Normalize(&v3, &v3);
    EXPECT_EQ(v3, D3DXVECTOR3(0, 0, 0));
    D3DXVECTOR4 v4;
    D3DXVec4Normalize(&v4, &v4);
    EXPECT_EQ(v4, D3DXVECTOR4(0, 0, 0, 0));
    D3DXQUATERNION q;
    D3DXQuaternionNormalize(&q, &q);
    EXPECT_EQ(q, D3DXQUATERNION(0, 0, 0, 0));

    D3DXVECTOR3 n(3, 0, 4);
    D3DXVec3Normalize(&n, &n);
    ExpectVec(n, 0.6f, 0, 0.8f);
    D3DXVECTOR3 cross;
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&cross, &x, &y);
    EXPECT_EQ(cross, D3DXVECTOR3(0, 0, 1));
}

TEST(D3DXMath, TransformsDivideByWOnlyWhereDocumented) {
    // w' = 2 for every point: the coordinate forms halve, the others do not.
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 10, 20, 30);
    m._44 = 2.0f;
    const D3DXVECTOR3 p(1, 2, 3);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    ExpectVec(out, 5.5f, 11, 16.5f);
    D3DXVec3TransformNormal(&out, &p, &m);
    ExpectVec(out, 1, 2, 3);
    D3DXVECTOR4 full;
    D3DXVec3Transform(&full, &p, &m);
    EXPECT_EQ(full, D3DXVECTOR4(11, 22, 33, 2));
    const D3DXVECTOR4 p4(1, 2, 3, 0);
    D3DXVec4Transform(&full, &p4, &m);
    EXPECT_EQ(full, D3DXVECTOR4(1, 2, 3, 0));
    D3DXVECTOR2 p2(1, 2);
    D3DXVec2TransformCoord(&p2, &p2, &m);
    EXPECT_EQ(p2, D3DXVECTOR2(5.5f, 11));
}

TEST(D3DXMath, TransformArraysHonourByteStrides) {
    // 13-byte records (a position and a tag byte): positions after the first are not 4-byte aligned.
    constexpr size_t kStride = 13;
    std::vector<unsigned char> records(3 * kStride);
    for (int i = 0; i < 3; ++i) {
        const float position[3] = {float(i), 1, 2};
        std::memcpy(&records[i * kStride], position, sizeof(position));
        records[i * kStride + 12] = static_cast<unsigned char>(0xA0 + i);
    }
    auto* positions = reinterpret_cast<D3DXVECTOR3*>(records.data());
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, 5, 0, 0);
    std::vector<D3DXVECTOR3> out(3);
    D3DXVec3TransformCoordArray(out.data(), sizeof(D3DXVECTOR3), positions, kStride, &move, 3);
    for (int i = 0; i < 3; ++i) {
        ExpectVec(out[i], 5.0f + i, 1, 2);
    }
    // In place, with the stride of the records: the tags between positions survive.
    D3DXVec3TransformCoordArray(positions, kStride, positions, kStride, &move, 3);
    for (int i = 0; i < 3; ++i) {
        float x = 0;
        std::memcpy(&x, &records[i * kStride], sizeof(x));
        EXPECT_EQ(x, 5.0f + i);
        EXPECT_EQ(records[i * kStride + 12], 0xA0 + i);
    }
    D3DXVec3TransformNormalArray(out.data(), sizeof(D3DXVECTOR3), out.data(), sizeof(D3DXVECTOR3), &move, 3);
    ExpectVec(out[2], 7, 1, 2);

    const D3DXVECTOR2 in2[2] = {{1, 1}, {2, 2}};
    D3DXVECTOR2 out2[2];
    D3DXVec2TransformCoordArray(out2, sizeof(D3DXVECTOR2), in2, sizeof(D3DXVECTOR2), &move, 2);
    EXPECT_EQ(out2[1], D3DXVECTOR2(7, 2));
}

TEST(D3DXMath, InverseAndDeterminant) {
    D3DXMATRIX r, s, t;
    const D3DXVECTOR3 axis(1, 2, -1);
    D3DXMatrixRotationAxis(&r, &axis, 0.9f);
    D3DXMatrixScaling(&s, 2, 3, 0.5f);
    D3DXMatrixTranslation(&t, -4, 5, 6);
    const D3DXMATRIX m = s * r * t;
    D3DXMATRIX inverse, identity;
    float det = 0;
    ASSERT_EQ(D3DXMatrixInverse(&inverse, &det, &m), &inverse);
    EXPECT_NEAR(det, 3.0f, 1e-4f);
    EXPECT_NEAR(D3DXMatrixDeterminant(&m), 3.0f, 1e-4f);
    D3DXMatrixIdentity(&identity);
    ExpectMatrixNear(m * inverse, identity);
    ExpectMatrixNear(inverse * m, identity);

    // A singular matrix fails and leaves the output as it was.
    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 0, 1);
    D3DXMATRIX untouched = t;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, nullptr, &flat), nullptr);
    EXPECT_EQ(untouched, t);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&identity));
    D3DXMATRIX transposed;
    D3DXMatrixTranspose(&transposed, &t);
    EXPECT_EQ(transposed._14, -4.0f);
}

TEST(D3DXMath, LookAtAndProjections) {
    D3DXMATRIX view;
    const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectVec(Turn({0, 0, 0}, view), 0, 0, 5);
    ExpectVec(Turn({1, 0, 0}, view), 1, 0, 5);  // left-handed: +x stays to the right

    // Looking along +x with z up: right = up × forward = +y.
    const D3DXVECTOR3 eye2(0, 0, 0), at2(10, 0, 0), up2(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye2, &at2, &up2);
    ExpectVec(Turn({3, 1, 2}, view), 1, 2, 3);

    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    EXPECT_FLOAT_EQ(projection._11, 0.5f);
    EXPECT_NEAR(projection._22, 1.0f, kTol);
    EXPECT_EQ(projection._34, 1.0f);
    EXPECT_EQ(projection._44, 0.0f);
    ExpectVec(Turn({0, 0, 1}, projection), 0, 0, 0);
    ExpectVec(Turn({0, 0, 101}, projection), 0, 0, 1);
    ExpectVec(Turn({2, 1, 1}, projection), 1, 1, 0);

    D3DXMATRIX ortho;
    D3DXMatrixOrthoOffCenterLH(&ortho, 0, 1024, 768, 0, 0, 1);  // screen pixels, y down
    ExpectVec(Turn({0, 0, 0}, ortho), -1, 1, 0);
    ExpectVec(Turn({1024, 768, 1}, ortho), 1, -1, 1);
    D3DXMatrixOrthoLH(&ortho, 4, 2, 1, 3);
    ExpectVec(Turn({2, 1, 3}, ortho), 1, 1, 1);
}

TEST(D3DXMath, ShadowFlattensOntoThePlane) {
    const D3DXPLANE ground(0, 0, 2, -2);  // z = 1, not normalised
    const D3DXVECTOR4 lights[] = {{1, 2, 5, 0}, {3, -1, 10, 1}, {0, 0, -1, 0}};
    const D3DXVECTOR3 points[] = {{0, 0, 4}, {5, -2, 2}, {-3, 7, 1.5f}};
    D3DXPLANE unit;
    D3DXPlaneNormalize(&unit, &ground);
    EXPECT_EQ(unit, D3DXPLANE(0, 0, 1, -1));
    for (const D3DXVECTOR4& light : lights) {
        D3DXMATRIX shadow;
        D3DXMatrixShadow(&shadow, &light, &ground);
        for (const D3DXVECTOR3& p : points) {
            const D3DXVECTOR3 s = Turn(p, shadow);
            EXPECT_NEAR(D3DXPlaneDotCoord(&unit, &s), 0.0f, 1e-4f);
        }
    }
    // A directional light straight down drops points vertically.
    D3DXMATRIX shadow;
    const D3DXVECTOR4 overhead(0, 0, 1, 0);
    D3DXMatrixShadow(&shadow, &overhead, &ground);
    ExpectVec(Turn({5, -2, 9}, shadow), 5, -2, 1);
}

// The reference pages print this matrix with opposite signs from one edition to the next, and
// the division by w hides a sign flip from the test above. D3DX returns (P·L)·I − P·Lᵀ, whose w
// is positive for geometry between the light and the plane: the matrix can then be used as a
// world transform in front of a projection (a negative w would be clipped away).
TEST(D3DXMath, ShadowMatrixEntriesKeepWPositive) {
    const D3DXPLANE ground(0, 0, 2, -2);  // z = 1, normalised to (0, 0, 1, −1) first
    const D3DXVECTOR4 lamp(3, -1, 10, 1);  // point light 9 above the plane: P·L = 9
    D3DXMATRIX shadow;
    D3DXMatrixShadow(&shadow, &lamp, &ground);
    ExpectMatrixNear(shadow, D3DXMATRIX(9, 0, 0, 0,  //
                                        0, 9, 0, 0,  //
                                        -3, 1, -1, -1,  //
                                        3, -1, 10, 10));
    // (5, −2, 2) seen from the lamp falls on z = 1 at (5.25, −2.125): w = 8 before the division.
    D3DXVECTOR4 full;
    const D3DXVECTOR3 p(5, -2, 2);
    D3DXVec3Transform(&full, &p, &shadow);
    EXPECT_NEAR(full.x, 42, kTol);
    EXPECT_NEAR(full.y, -17, kTol);
    EXPECT_NEAR(full.z, 8, kTol);
    EXPECT_NEAR(full.w, 8, kTol);

    // A sun straight above the plane z = 0 is the plain projection diag(1, 1, 0, 1).
    const D3DXVECTOR4 sun(0, 0, 1, 0);
    const D3DXPLANE floor(0, 0, 1, 0);
    D3DXMatrixShadow(&shadow, &sun, &floor);
    ExpectMatrixNear(shadow, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1));
}

TEST(D3DXMath, Planes) {
    D3DXPLANE p;
    const D3DXVECTOR3 a(0, 0, 1), b(1, 0, 1), c(0, 1, 1);
    D3DXPlaneFromPoints(&p, &a, &b, &c);
    EXPECT_EQ(p, D3DXPLANE(0, 0, 1, -1));
    D3DXVECTOR3 hit;
    const D3DXVECTOR3 from(2, 3, 5), to(2, 3, -5);
    ASSERT_NE(D3DXPlaneIntersectLine(&hit, &p, &from, &to), nullptr);
    ExpectVec(hit, 2, 3, 1);
    const D3DXVECTOR3 along(5, 3, 5);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &p, &from, &along), nullptr);
}

TEST(D3DXMath, ColoursAndLightLayout) {
    EXPECT_EQ(D3DCOLOR_ARGB(0x11, 0x22, 0x33, 0x44), 0x11223344u);
    EXPECT_EQ(D3DCOLOR_RGBA(0x22, 0x33, 0x44, 0x11), 0x11223344u);
    EXPECT_EQ(D3DCOLOR_XRGB(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(D3DCOLOR_COLORVALUE(1.0f, 0.5f, 0.0f, 1.0f), 0xFFFF7F00u);
    // Channels outside 0..1 wrap to their low byte; the conversion stays defined (constexpr
    // evaluation rejects undefined behaviour) even for NaN and huge values.
    static_assert(D3DCOLOR_COLORVALUE(-0.5f, 1.5f, 1e20f, NAN) == 0x00817E00u);

    EXPECT_EQ(offsetof(D3DLIGHT9, Type), 0u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Diffuse), 4u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Specular), 20u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Ambient), 36u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Position), 52u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Direction), 64u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Range), 76u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Falloff), 80u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Attenuation0), 84u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Theta), 96u);
    EXPECT_EQ(offsetof(D3DLIGHT9, Phi), 100u);
    const D3DLIGHT9 light{};
    EXPECT_EQ(light.Type, 0);
    EXPECT_EQ(light.Diffuse.a, 0.0f);
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, 3);

    static_assert(sizeof(D3DXVECTOR3) == 12 && sizeof(D3DXMATRIX) == 64 && sizeof(D3DXQUATERNION) == 16);
    const D3DXMATRIX zero;
    EXPECT_EQ(zero._44, 0.0f);
}

}  // namespace
