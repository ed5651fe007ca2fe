#include "Render/VertexTransform.h"

namespace VertexTransform {

namespace {

// The matrix's elements held in locals, so the loops keep them in registers instead of
// reloading them through a pointer the vertex stores might alias.
struct Rows {
    explicit Rows(const D3DXMATRIX& m)
        : a11(m._11), a12(m._12), a13(m._13), a21(m._21), a22(m._22), a23(m._23), a31(m._31), a32(m._32), a33(m._33),
          t1(m._41), t2(m._42), t3(m._43) {}
    const float a11, a12, a13, a21, a22, a23, a31, a32, a33, t1, t2, t3;

    void Transform(CPVertex& out, const CPVertex& in) const {
        const float x = in.Position.x, y = in.Position.y, z = in.Position.z;
        const float nx = in.Normal.x, ny = in.Normal.y, nz = in.Normal.z;
        out.Position.x = x * a11 + y * a21 + z * a31 + t1;
        out.Position.y = x * a12 + y * a22 + z * a32 + t2;
        out.Position.z = x * a13 + y * a23 + z * a33 + t3;
        out.Normal.x = nx * a11 + ny * a21 + nz * a31;
        out.Normal.y = nx * a12 + ny * a22 + nz * a32;
        out.Normal.z = nx * a13 + ny * a23 + nz * a33;
    }
};

}  // namespace

void ToWorld(CPVertex* out, const CPVertex* in, size_t count, const D3DXMATRIX& m) {
    const Rows rows(m);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t diffuse = in[i].Diffuse;
        rows.Transform(out[i], in[i]);
        out[i].Diffuse = diffuse;
    }
}

void ToWorldTwice(CPVertex* world, CPVertex* copy, const CPVertex* in, size_t count, const D3DXMATRIX& m) {
    const Rows rows(m);
    for (size_t i = 0; i < count; ++i) {
        // Built in a local and stored whole twice: copying back the fields just stored one
        // by one would stall on store forwarding.
        CPVertex vertex = world[i];
        rows.Transform(vertex, in[i]);
        vertex.Diffuse = in[i].Diffuse;
        world[i] = vertex;
        copy[i] = vertex;
    }
}

void ToWorldCopy(CPVertex* out, const CPVertex* in, size_t count, const D3DXMATRIX& m) {
    const Rows rows(m);
    for (size_t i = 0; i < count; ++i) {
        const CPVertex source = in[i];
        out[i] = source;
        rows.Transform(out[i], source);
    }
}

void Bake(CPVertex* v, size_t count, const D3DXMATRIX& m) { ToWorld(v, v, count, m); }

void AddBase(uint16_t* out, const uint16_t* in, size_t count, uint16_t base) {
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint16_t>(in[i] + base);
    }
}

void AddBaseSwapped(uint16_t* out, const uint16_t* in, size_t count, uint16_t base) {
    const size_t whole = count - count % 3;
    for (size_t i = 0; i < whole; i += 3) {
        const uint16_t a = in[i], b = in[i + 1], c = in[i + 2];
        out[i] = static_cast<uint16_t>(a + base);
        out[i + 1] = static_cast<uint16_t>(c + base);
        out[i + 2] = static_cast<uint16_t>(b + base);
    }
    AddBase(out + whole, in + whole, count - whole, base);
}

bool IsMirrored(const D3DXMATRIX& m) {
    const float determinant = m._11 * (m._22 * m._33 - m._23 * m._32) - m._12 * (m._21 * m._33 - m._23 * m._31) +
                              m._13 * (m._21 * m._32 - m._22 * m._31);
    return determinant < 0.0f;
}

}  // namespace VertexTransform
