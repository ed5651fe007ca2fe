// A level path: a chain of cubic Bezier segments from the level file turned into a ring of
// straight pieces 10.5 units of curve apart, which the lap tracker counts, the race update and
// the scripts search for the piece nearest a car, and the respawn code places cars on. The
// pieces carry their heading (the race direction runs from End back to Start, along Prev), and
// a display mesh of one thin triangle per piece.
//
// A segment's length is its arc length, measured over many chords, so the pieces are 10.5
// units of curve apart wherever the control points bunch; the distance along a segment still
// maps linearly onto the curve parameter. Segments of no length are left out, and a path that
// would fill no piece, or more than the display mesh's 16-bit indices reach, is refused.
//
// The nearest-piece search (CPSpline_Search.cpp) starts from the piece found last time and
// walks the ring both ways only as far as pieces stay near the point, so a per-step query
// costs a few pieces, not the ring.
#pragma once

#include "game/CPLine.h"
#include "platform/d3dx/D3DXMath.h"
#include "scene/CPGameObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CPFileReader;
class CPRenderObject;
struct LevelPathRecord;

// One cubic Bezier segment: B(t) = (1−t)³P0 + 3t(1−t)²P1 + 3t²(1−t)P2 + t³P3.
struct CPSplineSegment {
    D3DXVECTOR3 P0;  // start
    D3DXVECTOR3 P1;  // first control point
    D3DXVECTOR3 P2;  // second control point
    D3DXVECTOR3 P3;  // end
    float Length = 0.0f;  // arc length

    void GetPoint(float t, D3DXVECTOR3& out) const;
    // t = s / Length; point = B(t), delta = B(t + 0.1) − point: a forward difference over a
    // tenth of the parameter, not a unit tangent.
    void GetPointAndTangent(float s, D3DXVECTOR3& point, D3DXVECTOR3& delta) const;
    // The arc length of B over [0, 1] from ArcSamples chords.
    float MeasureLength() const;

    static constexpr int ArcSamples = 256;
};

class CPSpline : public CPGameObject {
public:
    static constexpr float LineLength = 10.5f;
    // Three display vertices per piece within 16-bit indices.
    static constexpr size_t MaxLines = 65535 / 3;
    // Segments shorter than this are left out (their parameter would not be defined).
    static constexpr float MinSegmentLength = 1e-4f;

    // Terrain height at a ground point (x, y), z of the query 0.
    using HeightFunction = std::function<float(const D3DXVECTOR3& point)>;

    CPSpline();
    ~CPSpline() override;

    size_t GetObjectSize() const override { return sizeof(CPSpline); }
    std::string GetTypeName() const override { return "CPSpline"; }
    void Activate(int32_t) override {}
    void Deactivate() override {}

    // Reads one path record at the reader's cursor (the level file's layout) and builds it.
    // False, with the cursor moved past what was read, when the record is short or the path
    // cannot be built.
    bool Load(CPFileReader& reader);
    // Builds segments, pieces and the display mesh from a record. False (the spline empty)
    // when no piece can be filled, a length is not finite or the path needs more than
    // MaxLines pieces. A spline is built once.
    bool Build(const LevelPathRecord& path);

    // Centre.z, Start.z and End.z of every piece become the terrain height under them: from
    // the physics world's terrain (nothing while there is no world), or from `height`.
    void SnapToTerrain();
    void SnapToTerrain(const HeightFunction& height);

    // The point at distance s along the path and the segment's forward difference there. A
    // closed path wraps s into its length; an open one answers false beyond its end (nothing
    // written). A distance that rounding takes past the last segment ends on the last segment.
    bool GetPointAt(float s, D3DXVECTOR3& point, D3DXVECTOR3& delta) const;

    // Finds the piece nearest point (x and y only) among the pieces with an end inside the square
    // of half size radius around it, walking out from hint; a piece whose centre is farther than
    // √(100·radius) is never chosen, and when none is chosen the hint stays. CurrentLine and hint
    // become the piece found. Then moves steps pieces in race direction, along Prev (back along
    // Next when negative), and for that piece returns its Heading and sets radius to the signed
    // distance of the point from the line through its Start and End (positive to the right of
    // Start→End, x right, y up). A null hint starts from CurrentLine; with neither, nothing
    // changes and the result is 0. The last argument is not read (callers pass −1).
    float FindNearestLine(const D3DXVECTOR3& point, float& radius, int steps, CPLine*& hint, int unused);

    std::vector<CPSplineSegment> Segments;  // in file order, without those of no length
    bool Closed = false;
    float TotalLength = 0.0f;  // sum of the segments' lengths
    CPLine* CurrentLine = nullptr;               // found by the last search; starts at FirstLine
    std::vector<std::unique_ptr<CPLine>> Lines;  // every piece in order along the curve, owned
    CPLine* FirstLine = nullptr;                 // the piece that starts at distance 0
    // Unique for every spline made in this process, so a remembered piece can tell whether the
    // path it came from is still the one it asks about (an address may be reused).
    const uint64_t Serial;

private:
    // The display mesh, held by RenderObject too.
    std::unique_ptr<CPRenderObject> mesh;
};

// |a.x − b.x| <= r and |a.y − b.y| <= r: the square's border counts as inside.
bool IsWithinSquare(const D3DXVECTOR2& a, float r, const D3DXVECTOR2& b);

// When the squared distance from point to line's Centre (x, y) is strictly below bestSquared,
// stores it there and returns true.
bool UpdateNearestLine(const D3DXVECTOR2& point, const CPLine* line, float& bestSquared);
