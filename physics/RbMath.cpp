// Out-of-line math of the rigid-body library.
#include "physics/RbMath.h"

RbMatrix3 RbRotationFromQuaternion(const RbQuaternion& q) {
    const float x2 = q.x + q.x;
    const float y2 = q.y + q.y;
    const float z2 = q.z + q.z;
    const float xx = q.x * x2;
    const float xy = q.x * y2;
    const float xz = q.x * z2;
    const float yy = q.y * y2;
    const float yz = q.y * z2;
    const float zz = q.z * z2;
    const float wx = q.w * x2;
    const float wy = q.w * y2;
    const float wz = q.w * z2;
    RbMatrix3 m;
    m.Rows[0] = {1.0f - (yy + zz), xy + wz, xz - wy, 0.0f};
    m.Rows[1] = {xy - wz, 1.0f - (xx + zz), yz + wx, 0.0f};
    m.Rows[2] = {xz + wy, yz - wx, 1.0f - (xx + yy), 0.0f};
    return m;
}

bool RbInverse(const RbMatrix3& m, float minDeterminant, RbMatrix3* inverse) {
    const RbVector* r = m.Rows;
    // Cofactors of the first row; the determinant expands along it.
    const float c00 = r[1].y * r[2].z - r[1].z * r[2].y;
    const float c01 = r[1].z * r[2].x - r[1].x * r[2].z;
    const float c02 = r[1].x * r[2].y - r[1].y * r[2].x;
    const float det = r[0].x * c00 + r[0].y * c01 + r[0].z * c02;
    if (!std::isfinite(det) || std::fabs(det) < minDeterminant) {
        return false;
    }
    // The inverse is the transposed cofactor matrix over the determinant.
    RbMatrix3 inv;
    inv.Rows[0] = {c00 / det, (r[0].z * r[2].y - r[0].y * r[2].z) / det, (r[0].y * r[1].z - r[0].z * r[1].y) / det, 0.0f};
    inv.Rows[1] = {c01 / det, (r[0].x * r[2].z - r[0].z * r[2].x) / det, (r[0].z * r[1].x - r[0].x * r[1].z) / det, 0.0f};
    inv.Rows[2] = {c02 / det, (r[0].y * r[2].x - r[0].x * r[2].y) / det, (r[0].x * r[1].y - r[0].y * r[1].x) / det, 0.0f};
    *inverse = inv;
    return true;
}
