// An oriented coordinate frame in the Z-up world: a side axis, an up axis, a direction axis
// and an origin, with the moves of vectors and points between the frame and the world.
//
// Local coordinates are (x along the side axis Axis0, y along the direction axis Axis2,
// z along the up axis Axis1) — note that the storage order of the axes is not the local order.
// Every operation is virtual and calls the others through the virtual table, so a derived frame
// that overrides IsLeftHanded or a rotation changes everything built on it. A plain value type:
// not reference counted, no virtual destructor (never delete a derived frame through CPFrame*).
// Results go to a caller-provided vector that is also returned; it may alias an argument.
#pragma once

#include "platform/d3dx/D3DXMath.h"

class CPFrame {
public:
    // Built in the reset state: direction (0, 1, 0), side (−1, 0, 0), up (0, 0, 1), origin 0.
    constexpr CPFrame()
        : Axis0(-1.0f, 0.0f, 0.0f), Axis1(0.0f, 0.0f, 1.0f), Axis2(0.0f, 1.0f, 0.0f), Origin(0.0f, 0.0f, 0.0f) {}

    // The engine's default frame, in the reset state from before the program's entry point.
    static CPFrame Default;

    // The setters store only; they re-derive nothing.
    virtual D3DXVECTOR3* GetAxis0(D3DXVECTOR3* out);
    virtual D3DXVECTOR3* SetAxis0(D3DXVECTOR3* out, float x, float y, float z);
    virtual D3DXVECTOR3* GetAxis1(D3DXVECTOR3* out);
    virtual D3DXVECTOR3* SetAxis1(D3DXVECTOR3* out, float x, float y, float z);
    virtual D3DXVECTOR3* GetAxis2(D3DXVECTOR3* out);
    virtual D3DXVECTOR3* SetAxis2(D3DXVECTOR3* out, float x, float y, float z);
    virtual D3DXVECTOR3* GetOrigin(D3DXVECTOR3* out);
    virtual D3DXVECTOR3* SetOrigin(D3DXVECTOR3* out, float x, float y, float z);
    virtual bool IsLeftHanded();
    // Direction (0, 1, 0), side PerpendicularXY(direction), up (0, 0, 1), origin 0. For a
    // left-handed frame the side is (−1, 0, 0), the opposite of what Orthonormalize derives;
    // the first SetDirection, SetDirectionAndUp or Orthonormalize replaces it.
    virtual void Reset();
    // World vector to local: (Axis0·v, Axis2·v, Axis1·v).
    virtual D3DXVECTOR3* RotateToLocal(D3DXVECTOR3* out, const D3DXVECTOR3* v);
    virtual D3DXVECTOR3* PointToLocal(D3DXVECTOR3* out, const D3DXVECTOR3* p);
    virtual D3DXVECTOR3* PointToWorld(D3DXVECTOR3* out, const D3DXVECTOR3* p);
    // Local vector to world: v.x·Axis0 + v.y·Axis2 + v.z·Axis1.
    virtual D3DXVECTOR3* RotateToWorld(D3DXVECTOR3* out, const D3DXVECTOR3* v);
    // Axis0 := normalise(Axis2 × Axis1) when left-handed, else normalise(Axis1 × Axis2).
    virtual void Orthonormalize();
    // Axis2 := d as given; Orthonormalize; Axis1 := Axis0 × Axis2 (left-handed) or Axis2 × Axis0,
    // not normalised.
    virtual void SetDirection(const D3DXVECTOR3* d);
    // Axis1 := up, then SetDirectionNormalized(d): up only steers the side axis.
    virtual void SetDirectionAndUp(const D3DXVECTOR3* d, const D3DXVECTOR3* up);
    virtual void SetDirectionNormalized(const D3DXVECTOR3* d);
    // Quarter turn in the local X-Y plane: (−y, x, z) when left-handed, else (y, x, z).
    virtual D3DXVECTOR3* PerpendicularXY(D3DXVECTOR3* out, const D3DXVECTOR3* v);
    // Quarter turn of a world vector about the frame's up axis.
    virtual D3DXVECTOR3* PerpendicularLocal(D3DXVECTOR3* out, const D3DXVECTOR3* v);

    D3DXVECTOR3 Axis0;   // side axis (local x)
    D3DXVECTOR3 Axis1;   // up axis (local z)
    D3DXVECTOR3 Axis2;   // direction axis (local y)
    D3DXVECTOR3 Origin;  // world position of the frame
};
