// A race-track path as a ring of straight pieces, and the incremental search for the piece
// nearest a point: it starts from the piece found last time and walks the ring both ways only
// as far as pieces stay near the point, so a per-step query costs a few pieces, not the ring.
#pragma once

#include "core/CPLine.h"
#include "platform/d3dx/D3DXMath.h"

#include <memory>
#include <vector>

class CPSpline {
public:
    CPSpline() = default;
    virtual ~CPSpline() = default;
    CPSpline(const CPSpline&) = delete;
    CPSpline& operator=(const CPSpline&) = delete;

    // Finds the piece nearest point (x and y only) among the pieces with an end inside the square
    // of half size radius around it, walking out from hint; a piece whose centre is farther than
    // √(100·radius) is never chosen, and when none is chosen the hint stays. CurrentLine and hint
    // become the piece found. Then moves steps pieces along Next (back along Prev when negative)
    // and, for that piece, returns its Heading and sets radius to the signed distance of the point
    // from the line through its Start and End (positive to the right of Start→End, x right, y up).
    // A null hint starts from CurrentLine; with neither, nothing changes and the result is 0.
    // The last argument is not read (callers pass −1).
    float FindNearestLine(const D3DXVECTOR3& point, float& radius, int steps, CPLine*& hint, int unused);

    std::vector<std::unique_ptr<CPLine>> Lines;  // every piece, owned
    CPLine* FirstLine = nullptr;                 // the piece that starts at distance 0
    CPLine* CurrentLine = nullptr;               // found by the last search; starts at FirstLine
};

// |a.x − b.x| <= r and |a.y − b.y| <= r: the square's border counts as inside.
bool IsWithinSquare(const D3DXVECTOR2& a, float r, const D3DXVECTOR2& b);

// When the squared distance from point to line's Centre (x, y) is strictly below bestSquared,
// stores it there and returns true.
bool UpdateNearestLine(const D3DXVECTOR2& point, const CPLine* line, float& bestSquared);
