#include "scene/CPBaseCamera.h"

#include <cstring>

CPBaseCamera::CPBaseCamera() {
    D3DXMatrixIdentity(&View);
    D3DXMatrixIdentity(&Projection);
    D3DXMatrixIdentity(&FarProjection);
    D3DXMatrixIdentity(&RotationView);
    D3DXMatrixIdentity(&InverseRotationView);
}

void CPBaseCamera::SetViewMatrix(const float matrix[16]) {
    std::memcpy(View.m, matrix, sizeof(View.m));
}
