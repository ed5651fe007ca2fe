// A camera as the renderer's layers see it: five matrices and nothing that computes them.
// The 2-D layer uses one whose View holds the pixel-space orthographic projection; the
// perspective camera derives the matrices from an eye, a target and a field of view.
//
// Row-vector matrices (v·M) as in D3DX. Every matrix starts as identity, FarProjection
// included, so a reader that comes before the first update sees a harmless transform.
#pragma once

#include "core/CPObject.h"
#include "platform/d3dx/D3DXMath.h"

class CPBaseCamera : public CPObject {
public:
    CPBaseCamera();

    size_t GetObjectSize() const override { return sizeof(CPBaseCamera); }
    std::string GetTypeName() const override { return "CPBaseCamera"; }

    // View := the 16 floats, row by row.
    void SetViewMatrix(const float matrix[16]);

    D3DXMATRIX View;
    D3DXMATRIX Projection;
    // Projection with the far plane at FarPlaneDistance (the sky's view).
    D3DXMATRIX FarProjection;
    // View of the camera moved to the origin: its orientation only.
    D3DXMATRIX RotationView;
    D3DXMATRIX InverseRotationView;
};
