#include "core/CPFrame.h"

constinit CPFrame CPFrame::Default;

D3DXVECTOR3* CPFrame::GetAxis0(D3DXVECTOR3* out) {
    *out = Axis0;
    return out;
}

D3DXVECTOR3* CPFrame::SetAxis0(D3DXVECTOR3* out, float x, float y, float z) {
    Axis0 = D3DXVECTOR3(x, y, z);
    *out = Axis0;
    return out;
}

D3DXVECTOR3* CPFrame::GetAxis1(D3DXVECTOR3* out) {
    *out = Axis1;
    return out;
}

D3DXVECTOR3* CPFrame::SetAxis1(D3DXVECTOR3* out, float x, float y, float z) {
    Axis1 = D3DXVECTOR3(x, y, z);
    *out = Axis1;
    return out;
}

D3DXVECTOR3* CPFrame::GetAxis2(D3DXVECTOR3* out) {
    *out = Axis2;
    return out;
}

D3DXVECTOR3* CPFrame::SetAxis2(D3DXVECTOR3* out, float x, float y, float z) {
    Axis2 = D3DXVECTOR3(x, y, z);
    *out = Axis2;
    return out;
}

D3DXVECTOR3* CPFrame::GetOrigin(D3DXVECTOR3* out) {
    *out = Origin;
    return out;
}

D3DXVECTOR3* CPFrame::SetOrigin(D3DXVECTOR3* out, float x, float y, float z) {
    Origin = D3DXVECTOR3(x, y, z);
    *out = Origin;
    return out;
}

bool CPFrame::IsLeftHanded() { return true; }

void CPFrame::Reset() {
    Axis2 = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    PerpendicularXY(&Axis0, &Axis2);
    Axis1 = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    Origin = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

D3DXVECTOR3* CPFrame::RotateToLocal(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    *out = D3DXVECTOR3(D3DXVec3Dot(&Axis0, v), D3DXVec3Dot(&Axis2, v), D3DXVec3Dot(&Axis1, v));
    return out;
}

D3DXVECTOR3* CPFrame::PointToLocal(D3DXVECTOR3* out, const D3DXVECTOR3* p) {
    const D3DXVECTOR3 relative = *p - Origin;
    return RotateToLocal(out, &relative);
}

D3DXVECTOR3* CPFrame::PointToWorld(D3DXVECTOR3* out, const D3DXVECTOR3* p) {
    RotateToWorld(out, p);
    *out += Origin;
    return out;
}

D3DXVECTOR3* CPFrame::RotateToWorld(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    *out = Axis0 * v->x + Axis2 * v->y + Axis1 * v->z;
    return out;
}

void CPFrame::Orthonormalize() {
    if (IsLeftHanded()) {
        D3DXVec3Cross(&Axis0, &Axis2, &Axis1);
    } else {
        D3DXVec3Cross(&Axis0, &Axis1, &Axis2);
    }
    D3DXVec3Normalize(&Axis0, &Axis0);
}

void CPFrame::SetDirection(const D3DXVECTOR3* d) {
    Axis2 = *d;
    Orthonormalize();
    if (IsLeftHanded()) {
        D3DXVec3Cross(&Axis1, &Axis0, &Axis2);
    } else {
        D3DXVec3Cross(&Axis1, &Axis2, &Axis0);
    }
}

void CPFrame::SetDirectionAndUp(const D3DXVECTOR3* d, const D3DXVECTOR3* up) {
    Axis1 = *up;
    D3DXVECTOR3 direction;
    D3DXVec3Normalize(&direction, d);
    SetDirectionNormalized(&direction);
}

void CPFrame::SetDirectionNormalized(const D3DXVECTOR3* d) {
    D3DXVECTOR3 direction;
    D3DXVec3Normalize(&direction, d);
    SetDirection(&direction);
}

D3DXVECTOR3* CPFrame::PerpendicularXY(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    const D3DXVECTOR3 in = *v;
    *out = IsLeftHanded() ? D3DXVECTOR3(-in.y, in.x, in.z) : D3DXVECTOR3(in.y, in.x, in.z);
    return out;
}

D3DXVECTOR3* CPFrame::PerpendicularLocal(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    D3DXVECTOR3 local;
    RotateToLocal(&local, v);
    PerpendicularXY(&local, &local);
    return RotateToWorld(out, &local);
}
