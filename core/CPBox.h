// An oriented box that a scene object carries for ray picking and damage: a box in its own
// space placed by World, with its eight world corners, six world face planes and world-aligned
// bounds recomputed by Update. The owner sets World := Local · (its world matrix) first.
// Update computes the bounds at once and leaves the corners and planes to the first reader
// after it (most boxes move every frame and are picked seldom); they come out exactly as
// computed at the Update, since Centre, HalfExtents and World change only before an Update.
//
// Corner k has the signs of the half extents (x, y, z): 0 (−−−), 1 (+−−), 2 (++−), 3 (−+−),
// 4 (−−+), 5 (+−+), 6 (+++), 7 (−++). Faces 0..5 face −z, +x, +y, −x, −y, +z in box space;
// their normals are not normalised and point out of the box for a World without mirroring.
#pragma once

#include "platform/d3dx/D3DXMath.h"

class CPBox {
public:
    CPBox(const D3DXVECTOR3& centre, const D3DXVECTOR3& halfExtents);
    virtual ~CPBox() = default;

    CPBox(const CPBox&) = default;
    CPBox& operator=(const CPBox&) = default;

    // Raises half extents below 0.001 to 0.001 (stored back), then recomputes Min and Max from
    // Centre, HalfExtents and World; Corners and Planes follow when next read.
    void Update();
    // World := Local · owner, then Update.
    void Place(const D3DXMATRIX& owner);

    // Ray origin + t·direction, t >= 0. On entry distance is the largest t that still counts.
    // An origin strictly behind all six planes is inside: distance := 0, hitPlane untouched, true.
    // Otherwise the faces are tried in order; a face hit strictly nearer than the best so far
    // sets distance and hitPlane, and a hit on face 5 ends the search. False leaves both as given.
    bool IntersectRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float& distance,
                      D3DXPLANE& hitPlane) const;

    using CornerArray = D3DXVECTOR3[8];
    using PlaneArray = D3DXPLANE[6];
    // World; zero until the first Update.
    const CornerArray& Corners() const {
        Refresh();
        return corners;
    }
    const PlaneArray& Planes() const {
        Refresh();
        return planes;
    }

    // What every Update reads and writes comes first, together.
    D3DXVECTOR3 Centre;       // box space
    D3DXVECTOR3 HalfExtents;  // box space, along its own x, y, z
    D3DXVECTOR3 Min;          // world bounds of the corners
    D3DXVECTOR3 Max;
    D3DXMATRIX World;  // box space to world
    D3DXMATRIX Local;  // placement relative to the owner; identity at construction

private:
    mutable bool shapeStale = false;  // corners and planes lag behind the last Update

public:
    D3DXMATRIX Transform;  // identity at construction; kept for the owner, unused here

private:
    void Refresh() const {
        if (shapeStale) {
            ComputeShape();
        }
    }
    void ComputeShape() const;
    void ComputeCorners() const;
    // Update with World read from world, which holds the same values.
    void UpdateWith(const D3DXMATRIX& world);
    bool AffineBounds(const D3DXMATRIX& world);

    mutable D3DXVECTOR3 corners[8] = {};
    mutable D3DXPLANE planes[6] = {};
};
