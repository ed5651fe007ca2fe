// Math types of the rigid-body library. The library shares no types with the engine, so it
// carries its own small vector, quaternion and matrix records with the D3DX conventions:
// vectors are rows multiplied from the left (v·M), quaternions are (x, y, z, w), and a
// rotation is three rows where row i is the image of local axis i in world space.
//
// A 3-vector is stored as four floats; the fourth is ignored by every operation here and
// carried along on copies. Lengths below 1e-3 (squared below 1e-6) count as zero.
#pragma once

#include <cmath>

// Squared lengths below this are treated as zero by normalisation and length helpers.
inline constexpr float RbZeroLengthSquared = 1e-6f;

struct RbVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;  // not part of the 3-vector; carried on copies
};

struct RbQuaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};

// Three rows of four floats; the fourth component of each row is 0 in a rotation.
struct RbMatrix3 {
    RbVector Rows[3];

    static RbMatrix3 Identity() {
        RbMatrix3 m;
        m.Rows[0].x = 1.0f;
        m.Rows[1].y = 1.0f;
        m.Rows[2].z = 1.0f;
        return m;
    }
    static RbMatrix3 Diagonal(float a, float b, float c) {
        RbMatrix3 m;
        m.Rows[0].x = a;
        m.Rows[1].y = b;
        m.Rows[2].z = c;
        return m;
    }
};

// 4 x 4 in the same row layout: rows 0..2 rotation (fourth 0), row 3 translation (fourth 1).
struct RbMatrix4 {
    float M[4][4] = {{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}};

    RbVector Row(int i) const { return {M[i][0], M[i][1], M[i][2], M[i][3]}; }
    RbVector Translation() const { return Row(3); }
};

inline RbVector RbVec(float x, float y, float z, float w = 0.0f) { return {x, y, z, w}; }

// Component-wise operations on x, y, z; the result's fourth component is 0.
inline RbVector RbAdd(const RbVector& a, const RbVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, 0.0f}; }
inline RbVector RbSub(const RbVector& a, const RbVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, 0.0f}; }
inline RbVector RbScale(const RbVector& v, float s) { return {v.x * s, v.y * s, v.z * s, 0.0f}; }
inline RbVector RbMin(const RbVector& a, const RbVector& b) {
    return {std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fmin(a.z, b.z), 0.0f};
}
inline RbVector RbMax(const RbVector& a, const RbVector& b) {
    return {std::fmax(a.x, b.x), std::fmax(a.y, b.y), std::fmax(a.z, b.z), 0.0f};
}
inline float RbDot(const RbVector& a, const RbVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline RbVector RbCross(const RbVector& a, const RbVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f};
}
inline float RbLengthSquared(const RbVector& v) { return RbDot(v, v); }
// Length, 0 when the squared length is below RbZeroLengthSquared.
inline float RbLength(const RbVector& v) {
    const float sq = RbLengthSquared(v);
    return sq < RbZeroLengthSquared ? 0.0f : std::sqrt(sq);
}
// Unit vector, (0, 0, 0) when the squared length is below RbZeroLengthSquared.
inline RbVector RbNormalize(const RbVector& v) {
    const float length = RbLength(v);
    return length == 0.0f ? RbVector{} : RbVector{v.x / length, v.y / length, v.z / length, 0.0f};
}
// Component k (0 x, 1 y, 2 z).
inline float RbComponent(const RbVector& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }
inline bool RbIsFinite(const RbVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
inline bool RbIsFinite(const RbQuaternion& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// Row vector times rotation rows: v.x·row0 + v.y·row1 + v.z·row2 (local to world for a rotation).
inline RbVector RbTransform(const RbVector& v, const RbMatrix3& m) {
    const RbVector* r = m.Rows;
    return {v.x * r[0].x + v.y * r[1].x + v.z * r[2].x, v.x * r[0].y + v.y * r[1].y + v.z * r[2].y,
            v.x * r[0].z + v.y * r[1].z + v.z * r[2].z, 0.0f};
}

inline RbMatrix3 RbTranspose(const RbMatrix3& m) {
    RbMatrix3 t;
    const RbVector* r = m.Rows;
    t.Rows[0] = {r[0].x, r[1].x, r[2].x, 0.0f};
    t.Rows[1] = {r[0].y, r[1].y, r[2].y, 0.0f};
    t.Rows[2] = {r[0].z, r[1].z, r[2].z, 0.0f};
    return t;
}

// a·b in row layout: row i of the result is row i of a transformed by b.
inline RbMatrix3 RbMultiply(const RbMatrix3& a, const RbMatrix3& b) {
    RbMatrix3 m;
    for (int i = 0; i < 3; ++i) {
        m.Rows[i] = RbTransform(a.Rows[i], b);
    }
    return m;
}

// Hamilton product a·b of (x, y, z, w) quaternions: vector part aw·bv + bw·av + av × bv.
inline RbQuaternion RbQuaternionMultiply(const RbQuaternion& a, const RbQuaternion& b) {
    return {a.w * b.x + b.w * a.x + (a.y * b.z - a.z * b.y), a.w * b.y + b.w * a.y + (a.z * b.x - a.x * b.z),
            a.w * b.z + b.w * a.z + (a.x * b.y - a.y * b.x), a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z)};
}

// q, or the identity when q is zero (squared length below RbZeroLengthSquared): a zero
// quaternion holds no rotation, and as a body's orientation it would never turn again.
inline RbQuaternion RbNonZeroQuaternion(const RbQuaternion& q) {
    return q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w < RbZeroLengthSquared ? RbQuaternion{} : q;
}

// Rotation rows of a unit quaternion, the D3DX rotation matrix:
//   row 0 = (1 - 2(y² + z²), 2(xy + wz), 2(xz - wy))
//   row 1 = (2(xy - wz), 1 - 2(x² + z²), 2(yz + wx))
//   row 2 = (2(xz + wy), 2(yz - wx), 1 - 2(x² + y²))
// with the doubled products formed as x2 = x + x, xy = x·y2 and so on.
RbMatrix3 RbRotationFromQuaternion(const RbQuaternion& q);

// Inverse by cofactors over the determinant. Returns false, leaving *inverse untouched,
// when |det| < minDeterminant or the determinant is not finite.
bool RbInverse(const RbMatrix3& m, float minDeterminant, RbMatrix3* inverse);
