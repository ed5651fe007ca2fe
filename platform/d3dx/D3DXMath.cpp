// D3DX math: the functions too large to inline. Each computes into locals first, so the
// output may alias any input, as D3DX allows.
#include "platform/d3dx/D3DXMath.h"

#include <cstring>

namespace {

using D3DXDetail::RowTimesMatrix;

template <typename T>
T LoadUnaligned(const unsigned char* bytes) {
    T value;
    std::memcpy(static_cast<void*>(&value), bytes, sizeof(T));
    return value;
}

template <typename T>
void StoreUnaligned(unsigned char* bytes, const T& value) {
    std::memcpy(bytes, static_cast<const void*>(&value), sizeof(T));
}

// The strided array forms: element i is read at v + i·vStride and written at out + i·outStride
// (strides in bytes, elements possibly unaligned), each read before its own write.
template <typename V>
V* TransformArray(V* out, UINT outStride, const V* v, UINT vStride, const D3DXMATRIX* m, UINT count,
                  V* (*transform)(V*, const V*, const D3DXMATRIX*)) {
    auto* dst = reinterpret_cast<unsigned char*>(out);
    const auto* src = reinterpret_cast<const unsigned char*>(v);
    for (UINT i = 0; i < count; ++i) {
        V p = LoadUnaligned<V>(src + size_t{i} * vStride);
        transform(&p, &p, m);
        StoreUnaligned(dst + size_t{i} * outStride, p);
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Types

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24,
                       float f31, float f32, float f33, float f34, float f41, float f42, float f43, float f44) {
    _11 = f11; _12 = f12; _13 = f13; _14 = f14;
    _21 = f21; _22 = f22; _23 = f23; _24 = f24;
    _31 = f31; _32 = f32; _33 = f33; _34 = f34;
    _41 = f41; _42 = f42; _43 = f43; _44 = f44;
}

D3DXMATRIX::D3DXMATRIX(const float* p) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            m[r][c] = p[r * 4 + c];
        }
    }
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& other) {
    D3DXMatrixMultiply(this, this, &other);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& other) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            m[r][c] += other.m[r][c];
        }
    }
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& other) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            m[r][c] -= other.m[r][c];
        }
    }
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float s) {
    for (auto& row : m) {
        for (float& v : row) {
            v *= s;
        }
    }
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(float s) { return *this *= 1.0f / s; }

D3DXMATRIX D3DXMATRIX::operator-() const { return *this * -1.0f; }

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& other) const {
    D3DXMATRIX out = *this;
    return out += other;
}

D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& other) const {
    D3DXMATRIX out = *this;
    return out -= other;
}

D3DXMATRIX D3DXMATRIX::operator*(float s) const {
    D3DXMATRIX out = *this;
    return out *= s;
}

D3DXMATRIX D3DXMATRIX::operator/(float s) const {
    D3DXMATRIX out = *this;
    return out /= s;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (m[r][c] != other.m[r][c]) {
                return false;
            }
        }
    }
    return true;
}

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q) {
    D3DXQuaternionMultiply(this, this, &q);
    return *this;
}

D3DXQUATERNION D3DXQUATERNION::operator*(const D3DXQUATERNION& q) const {
    D3DXQUATERNION out;
    D3DXQuaternionMultiply(&out, this, &q);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Vectors

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v) {
    const float length = D3DXVec2Length(v);
    *out = length > 0.0f ? D3DXVECTOR2(v->x / length, v->y / length) : D3DXVECTOR2();
    return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
    const D3DXVECTOR4 r = RowTimesMatrix(v->x, v->y, 0.0f, 1.0f, *m);
    *out = D3DXVECTOR2(r.x / r.w, r.y / r.w);
    return out;
}

D3DXVECTOR2* D3DXVec2TransformNormal(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
    const D3DXVECTOR4 r = RowTimesMatrix(v->x, v->y, 0.0f, 0.0f, *m);
    *out = D3DXVECTOR2(r.x, r.y);
    return out;
}

D3DXVECTOR2* D3DXVec2TransformCoordArray(D3DXVECTOR2* out, UINT outStride, const D3DXVECTOR2* v, UINT vStride,
                                         const D3DXMATRIX* m, UINT count) {
    return TransformArray(out, outStride, v, vStride, m, count, D3DXVec2TransformCoord);
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    const float length = D3DXVec3Length(v);
    *out = length > 0.0f ? D3DXVECTOR3(v->x / length, v->y / length, v->z / length) : D3DXVECTOR3();
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoordArray(D3DXVECTOR3* out, UINT outStride, const D3DXVECTOR3* v, UINT vStride,
                                         const D3DXMATRIX* m, UINT count) {
    return TransformArray(out, outStride, v, vStride, m, count, D3DXVec3TransformCoord);
}

D3DXVECTOR3* D3DXVec3TransformNormalArray(D3DXVECTOR3* out, UINT outStride, const D3DXVECTOR3* v, UINT vStride,
                                          const D3DXMATRIX* m, UINT count) {
    return TransformArray(out, outStride, v, vStride, m, count, D3DXVec3TransformNormal);
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v) {
    const float length = D3DXVec4Length(v);
    *out = length > 0.0f ? D3DXVECTOR4(v->x / length, v->y / length, v->z / length, v->w / length) : D3DXVECTOR4();
    return out;
}

// ---------------------------------------------------------------------------------------------
// Matrices

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = m->m[j][i];
        }
    }
    *out = r;
    return out;
}

namespace {

// The twelve 2x2 minors of the top two and the bottom two rows, from which both the
// determinant (Laplace expansion along row pairs) and the adjugate follow.
struct Minors {
    float b00, b01, b02, b03, b04, b05, b06, b07, b08, b09, b10, b11;
    explicit Minors(const D3DXMATRIX& a)
        : b00(a.m[0][0] * a.m[1][1] - a.m[0][1] * a.m[1][0]),
          b01(a.m[0][0] * a.m[1][2] - a.m[0][2] * a.m[1][0]),
          b02(a.m[0][0] * a.m[1][3] - a.m[0][3] * a.m[1][0]),
          b03(a.m[0][1] * a.m[1][2] - a.m[0][2] * a.m[1][1]),
          b04(a.m[0][1] * a.m[1][3] - a.m[0][3] * a.m[1][1]),
          b05(a.m[0][2] * a.m[1][3] - a.m[0][3] * a.m[1][2]),
          b06(a.m[2][0] * a.m[3][1] - a.m[2][1] * a.m[3][0]),
          b07(a.m[2][0] * a.m[3][2] - a.m[2][2] * a.m[3][0]),
          b08(a.m[2][0] * a.m[3][3] - a.m[2][3] * a.m[3][0]),
          b09(a.m[2][1] * a.m[3][2] - a.m[2][2] * a.m[3][1]),
          b10(a.m[2][1] * a.m[3][3] - a.m[2][3] * a.m[3][1]),
          b11(a.m[2][2] * a.m[3][3] - a.m[2][3] * a.m[3][2]) {}
    float Determinant() const { return b00 * b11 - b01 * b10 + b02 * b09 + b03 * b08 - b04 * b07 + b05 * b06; }
};

}  // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* m) { return Minors(*m).Determinant(); }

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    const D3DXMATRIX& a = *m;
    const Minors k(a);
    const float det = k.Determinant();
    if (determinant != nullptr) {
        *determinant = det;
    }
    if (det == 0.0f) {
        return nullptr;
    }
    const float inv = 1.0f / det;
    D3DXMATRIX r;
    r.m[0][0] = (a.m[1][1] * k.b11 - a.m[1][2] * k.b10 + a.m[1][3] * k.b09) * inv;
    r.m[0][1] = (a.m[0][2] * k.b10 - a.m[0][1] * k.b11 - a.m[0][3] * k.b09) * inv;
    r.m[0][2] = (a.m[3][1] * k.b05 - a.m[3][2] * k.b04 + a.m[3][3] * k.b03) * inv;
    r.m[0][3] = (a.m[2][2] * k.b04 - a.m[2][1] * k.b05 - a.m[2][3] * k.b03) * inv;
    r.m[1][0] = (a.m[1][2] * k.b08 - a.m[1][0] * k.b11 - a.m[1][3] * k.b07) * inv;
    r.m[1][1] = (a.m[0][0] * k.b11 - a.m[0][2] * k.b08 + a.m[0][3] * k.b07) * inv;
    r.m[1][2] = (a.m[3][2] * k.b02 - a.m[3][0] * k.b05 - a.m[3][3] * k.b01) * inv;
    r.m[1][3] = (a.m[2][0] * k.b05 - a.m[2][2] * k.b02 + a.m[2][3] * k.b01) * inv;
    r.m[2][0] = (a.m[1][0] * k.b10 - a.m[1][1] * k.b08 + a.m[1][3] * k.b06) * inv;
    r.m[2][1] = (a.m[0][1] * k.b08 - a.m[0][0] * k.b10 - a.m[0][3] * k.b06) * inv;
    r.m[2][2] = (a.m[3][0] * k.b04 - a.m[3][1] * k.b02 + a.m[3][3] * k.b00) * inv;
    r.m[2][3] = (a.m[2][1] * k.b02 - a.m[2][0] * k.b04 - a.m[2][3] * k.b00) * inv;
    r.m[3][0] = (a.m[1][1] * k.b07 - a.m[1][0] * k.b09 - a.m[1][2] * k.b06) * inv;
    r.m[3][1] = (a.m[0][0] * k.b09 - a.m[0][1] * k.b07 + a.m[0][2] * k.b06) * inv;
    r.m[3][2] = (a.m[3][1] * k.b01 - a.m[3][0] * k.b03 - a.m[3][2] * k.b00) * inv;
    r.m[3][3] = (a.m[2][0] * k.b03 - a.m[2][1] * k.b01 + a.m[2][2] * k.b00) * inv;
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    D3DXMatrixIdentity(out);
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

// Rodrigues' formula written for row vectors: M = c·I + (1 − c)·n nᵀ + s·[n]ₓᵀ, which for
// n = (1, 0, 0) reduces to RotationX.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    D3DXMatrixIdentity(out);
    out->_11 = t * n.x * n.x + c;
    out->_12 = t * n.x * n.y + s * n.z;
    out->_13 = t * n.x * n.z - s * n.y;
    out->_21 = t * n.x * n.y - s * n.z;
    out->_22 = t * n.y * n.y + c;
    out->_23 = t * n.y * n.z + s * n.x;
    out->_31 = t * n.x * n.z + s * n.y;
    out->_32 = t * n.y * n.z - s * n.x;
    out->_33 = t * n.z * n.z + c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    D3DXMatrixIdentity(out);
    out->_11 = 1.0f - 2.0f * (y * y + z * z);
    out->_12 = 2.0f * (x * y + z * w);
    out->_13 = 2.0f * (x * z - y * w);
    out->_21 = 2.0f * (x * y - z * w);
    out->_22 = 1.0f - 2.0f * (x * x + z * z);
    out->_23 = 2.0f * (y * z + x * w);
    out->_31 = 2.0f * (x * z + y * w);
    out->_32 = 2.0f * (y * z - x * w);
    out->_33 = 1.0f - 2.0f * (x * x + y * y);
    return out;
}

// Closed form of Rz(roll)·Rx(pitch)·Ry(yaw).
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll) {
    const float cy = std::cos(yaw), sy = std::sin(yaw);
    const float cp = std::cos(pitch), sp = std::sin(pitch);
    const float cr = std::cos(roll), sr = std::sin(roll);
    D3DXMatrixIdentity(out);
    out->_11 = cr * cy + sr * sp * sy;
    out->_12 = sr * cp;
    out->_13 = sr * sp * cy - cr * sy;
    out->_21 = cr * sp * sy - sr * cy;
    out->_22 = cr * cp;
    out->_23 = sr * sy + cr * sp * cy;
    out->_31 = cp * sy;
    out->_32 = -sp;
    out->_33 = cp * cy;
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 zaxis = *at - *eye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, up, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f,  //
                      xaxis.y, yaxis.y, zaxis.y, 0.0f,  //
                      xaxis.z, yaxis.z, zaxis.z, 0.0f,  //
                      -D3DXVec3Dot(&xaxis, eye), -D3DXVec3Dot(&yaxis, eye), -D3DXVec3Dot(&zaxis, eye), 1.0f);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float q = zFar / (zFar - zNear);
    *out = D3DXMATRIX();
    out->_11 = xScale;
    out->_22 = yScale;
    out->_33 = q;
    out->_34 = 1.0f;
    out->_43 = -zNear * q;
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float width, float height, float zNear, float zFar) {
    D3DXMatrixIdentity(out);
    out->_11 = 2.0f / width;
    out->_22 = 2.0f / height;
    out->_33 = 1.0f / (zFar - zNear);
    out->_43 = zNear / (zNear - zFar);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float left, float right, float bottom, float top,
                                       float zNear, float zFar) {
    D3DXMatrixIdentity(out);
    out->_11 = 2.0f / (right - left);
    out->_22 = 2.0f / (top - bottom);
    out->_33 = 1.0f / (zFar - zNear);
    out->_41 = (left + right) / (left - right);
    out->_42 = (top + bottom) / (bottom - top);
    out->_43 = zNear / (zNear - zFar);
    return out;
}

// With P the normalised plane and L the light, M = (P·L)·I − P Lᵀ (row vectors): a point v goes to
// (P·L)·v − (P·v)·L, whose plane distance (P·L)(P·v) − (P·v)(P·L) is zero. This is the documented
// matrix P Lᵀ + d·I with d = −P·L, negated as a whole: the same points after the division by w,
// with a positive w for points on the light's side of the plane.
D3DXMATRIX* D3DXMatrixShadow(D3DXMATRIX* out, const D3DXVECTOR4* light, const D3DXPLANE* plane) {
    D3DXPLANE p;
    D3DXPlaneNormalize(&p, plane);
    const float d = D3DXPlaneDot(&p, light);
    const float pc[4] = {p.a, p.b, p.c, p.d};
    const float lc[4] = {light->x, light->y, light->z, light->w};
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = (i == j ? d : 0.0f) - pc[i] * lc[j];
        }
    }
    *out = r;
    return out;
}

// ---------------------------------------------------------------------------------------------
// Quaternions

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    const float length = D3DXQuaternionLength(q);
    *out = length > 0.0f ? D3DXQUATERNION(q->x / length, q->y / length, q->z / length, q->w / length)
                         : D3DXQUATERNION();
    return out;
}

D3DXQUATERNION* D3DXQuaternionInverse(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    const float lengthSq = D3DXQuaternionLengthSq(q);
    if (lengthSq > 0.0f) {
        const float inv = 1.0f / lengthSq;
        *out = D3DXQUATERNION(-q->x * inv, -q->y * inv, -q->z * inv, q->w * inv);
    } else {
        *out = D3DXQUATERNION();
    }
    return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2) {
    const D3DXQUATERNION a = *q2, b = *q1;  // Hamilton product a·b
    *out = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,  //
                          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,  //
                          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,  //
                          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, float angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    const float s = std::sin(angle * 0.5f);
    *out = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
    return out;
}

// Shepperd's method: take the square root of the largest of 4w², 4x², 4y², 4z² (each a sum of
// diagonal entries) and the other components from off-diagonal sums or differences divided by it,
// so no division by a small number happens, even at 180° where w is 0.
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
    const float trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        const float s = 2.0f * std::sqrt(trace + 1.0f);  // 4w
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
    } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
        const float s = 2.0f * std::sqrt(1.0f + m->_11 - m->_22 - m->_33);  // 4x
        q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
    } else if (m->_22 >= m->_33) {
        const float s = 2.0f * std::sqrt(1.0f + m->_22 - m->_11 - m->_33);  // 4y
        q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m->_33 - m->_11 - m->_22);  // 4z
        q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, float yaw, float pitch, float roll) {
    const D3DXQUATERNION qRoll(0.0f, 0.0f, std::sin(roll * 0.5f), std::cos(roll * 0.5f));
    const D3DXQUATERNION qPitch(std::sin(pitch * 0.5f), 0.0f, 0.0f, std::cos(pitch * 0.5f));
    const D3DXQUATERNION qYaw(0.0f, std::sin(yaw * 0.5f), 0.0f, std::cos(yaw * 0.5f));
    D3DXQUATERNION q;
    D3DXQuaternionMultiply(&q, &qRoll, &qPitch);
    D3DXQuaternionMultiply(out, &q, &qYaw);
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b,
                                    float t) {
    float cosOmega = D3DXQuaternionDot(a, b);
    float sign = 1.0f;
    if (cosOmega < 0.0f) {  // q and −q are the same rotation: take the shorter arc
        cosOmega = -cosOmega;
        sign = -1.0f;
    }
    float wa = 1.0f - t, wb = t;
    if (1.0f - cosOmega > 0.001f) {  // otherwise nearly parallel: linear is exact enough and safe
        const float omega = std::acos(cosOmega);
        const float sinOmega = std::sin(omega);
        wa = std::sin((1.0f - t) * omega) / sinOmega;
        wb = std::sin(t * omega) / sinOmega;
    }
    wb *= sign;
    *out = D3DXQUATERNION(wa * a->x + wb * b->x, wa * a->y + wb * b->y, wa * a->z + wb * b->z, wa * a->w + wb * b->w);
    return out;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* q, D3DXVECTOR3* axis, float* angle) {
    if (axis != nullptr) {
        *axis = D3DXVECTOR3(q->x, q->y, q->z);
    }
    if (angle != nullptr) {
        *angle = 2.0f * std::acos(q->w);
    }
}

// ---------------------------------------------------------------------------------------------
// Planes

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p) {
    const float length = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
    *out = length > 0.0f ? D3DXPLANE(p->a / length, p->b / length, p->c / length, p->d / length) : D3DXPLANE();
    return out;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal) {
    *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
    return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, const D3DXVECTOR3* c) {
    const D3DXVECTOR3 e1 = *b - *a, e2 = *c - *a;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    return D3DXPlaneFromPointNormal(out, a, &n);
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    const D3DXVECTOR3 direction = *b - *a;
    const float denominator = D3DXPlaneDotNormal(p, &direction);
    if (denominator == 0.0f) {
        return nullptr;
    }
    const float t = -D3DXPlaneDotCoord(p, a) / denominator;
    *out = *a + direction * t;
    return out;
}
