// Axis-aligned bounds in world space, for object bounds, culling and the spatial trees.
// A plain record copied bitwise. After every operation that ends with a recomputation,
// Centre is the middle of Min and Max and HalfExtents half their difference.
//
// The empty box has Min (1e6, 1e6, 1e6) and Max (−1e6, −1e6, −1e6): nothing is inside it and
// merging it into another box changes nothing. A new box starts empty.
#pragma once

#include "core/CPBox.h"
#include "platform/d3dx/D3DXMath.h"

#include <vector>

// Projects geometry onto the ground along the sun (D3DXMatrixShadow); written by the level when it
// loads; before that it holds what a load with the sun straight down gives (the plane z = 0.5),
// so bounds widened before a load are sound. ExtendByShadow reads it.
extern D3DXMATRIX ShadowMatrix;

class CPBoundingBox {
public:
    CPBoundingBox();
    // The box of that centre and those half extents.
    static CPBoundingBox Around(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents);

    // Centre := (Min + Max) / 2, HalfExtents := (Max − Min) / 2.
    void UpdateCentre();
    // The union of the boxes' world bounds; no boxes give the empty box.
    void FromBoxes(const std::vector<CPBox>& boxes);
    // The box's world bounds (as of its last Update).
    void FromBox(const CPBox& box);
    // Both widen to the union with other; they differ only in how Centre is rounded
    // (Merge: (Min + Max) / 2; Include: Min + HalfExtents).
    void Merge(const CPBoundingBox& other);
    void Include(const CPBoundingBox& other);
    // Widens Min and Max to take in the eight corners projected by ShadowMatrix (with the
    // division by w). Corners whose projection is not finite are skipped, so a zero matrix
    // changes nothing. Centre and HalfExtents are left for the caller's UpdateCentre.
    void ExtendByShadow();
    // Separating-axis test of the segment origin .. origin + direction·length; touching overlaps.
    bool IntersectSegment(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float length) const;
    // Strictly inside on all three axes: a point on a face is outside.
    bool Contains(const D3DXVECTOR3& point) const;
    // Squared distance from centre to the box <= radius²: a touching sphere intersects.
    bool IntersectSphere(const D3DXVECTOR3& centre, float radius) const;

    D3DXVECTOR3 Min;
    D3DXVECTOR3 Max;
    D3DXVECTOR3 HalfExtents;
    D3DXVECTOR3 Centre;

private:
    // ExtendByShadow when every corner has the same w (edges without w): false, with nothing
    // changed, when a corner would not be finite.
    bool ExtendByFlatShadow(const D3DXVECTOR4& low, const D3DXVECTOR4 (&edges)[3]);
};

// The small ones inline: a node update calls them for every node.
inline void CPBoundingBox::UpdateCentre() {
    Centre = (Min + Max) * 0.5f;
    HalfExtents = (Max - Min) * 0.5f;
}

inline void CPBoundingBox::FromBox(const CPBox& box) {
    Min = box.Min;
    Max = box.Max;
    HalfExtents = (Max - Min) * 0.5f;
    Centre = Min + HalfExtents;
}

inline void CPBoundingBox::Merge(const CPBoundingBox& other) {
    D3DXVec3Minimize(&Min, &Min, &other.Min);
    D3DXVec3Maximize(&Max, &Max, &other.Max);
    UpdateCentre();
}

inline void CPBoundingBox::Include(const CPBoundingBox& other) {
    D3DXVec3Minimize(&Min, &Min, &other.Min);
    D3DXVec3Maximize(&Max, &Max, &other.Max);
    HalfExtents = (Max - Min) * 0.5f;
    Centre = Min + HalfExtents;
}
