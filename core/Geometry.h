// Small geometric predicates shared by the collision volumes and their callers.
// Single precision throughout, as the volumes themselves; planes are a·x + b·y + c·z + d = 0.
#pragma once

#include "platform/d3dx/D3DXMath.h"

// Ray parameter t at which origin + t·direction meets the plane from its front side.
// −1 when the ray runs parallel to the plane or leaves through its front (n·direction >= 0);
// negative also when the origin lies behind the plane.
float RayPlaneDistance(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, const D3DXPLANE& plane);

// Whether point (assumed in the triangle's plane) lies in triangle abc, by counting the edges
// above it in the projection that drops the normal's dominant axis: inside when exactly one
// counts. Edges parallel to the counting direction never count, so a point exactly on a vertex
// may count two edges and be reported outside. A degenerate or NaN normal gives false.
bool PointInTriangle(const D3DXVECTOR3& point, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c);

// Arc cosine and arc sine with the argument clamped to [−1, 1]; NaN is taken as −1.
double ClampedAcos(float x);
double ClampedAsin(float x);
