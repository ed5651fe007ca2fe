// One straight piece of a race-track path. The pieces of a path form a ring closed in both
// directions (for every piece, Next->Prev is the piece itself); the path loader builds no piece
// of zero length. Coordinates are world units; only x and y take part in the nearest-piece search.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <string>

class CPLine {
public:
    virtual ~CPLine() = default;
    virtual std::string GetTypeName() const { return "CPLine"; }

    D3DXVECTOR3 Start;   // curve point at the piece's start
    D3DXVECTOR3 End;     // curve point one piece further along the curve
    D3DXVECTOR2 Min;     // bounding rectangle of Start and End on the ground
    D3DXVECTOR2 Max;
    D3DXVECTOR3 Centre;  // x, y: middle of the rectangle; z: terrain height
    float Heading = 0.0f;  // radians in [0, 2π]: direction of the vector from End back to Start
    D3DXVECTOR2 Normal;    // unit (dy, −dx) of the direction (dx, dy) from Start to End
    float Offset = 0.0f;   // Normal·p + Offset = 0 on the line
    CPLine* Prev = nullptr;
    CPLine* Next = nullptr;
};
