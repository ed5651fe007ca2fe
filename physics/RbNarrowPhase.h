// Narrow phase of the step: world-space convex hulls of boxes, cylinders and terrain
// triangles, their contact manifolds by the separating-axis test with face clipping, and
// line casts against them.
//
// One routine serves every pair: a hull is a handful of vertices, face planes and unique
// edge directions over a fixed topology per shape type (box 8/6/3, cylinder 24/14/7, triangle
// 3/2/3), so box-box, box-cylinder, cylinder-cylinder and shape-triangle share the face and
// edge queries (Gregorius, "The Separating Axis Test between Convex Polyhedra", GDC 2013) and
// the reference/incident face clipping. A cylinder is the prism over a regular 12-gon
// inscribed in its circle: contacts stay flat and stable, at the price of a rim 3 % inside
// the true radius between the corners.
//
// Everything here is pure: no allocation, no state, degenerate input gives no contact.
#pragma once

#include "physics/RbGeometry.h"
#include "physics/RbMath.h"

#include <cstdint>

inline constexpr int32_t RbPrismSides = 12;
inline constexpr int32_t RbHullMaxVertices = 2 * RbPrismSides;
inline constexpr int32_t RbHullMaxFaces = RbPrismSides + 2;
inline constexpr int32_t RbHullMaxDirections = RbPrismSides / 2 + 1;

struct RbHullTopology;

// A convex hull in world space. Face i is the plane Normals[i]·x = Offsets[i] (outward unit
// normal); its vertex loop and the edges come from the topology.
struct RbHull {
    const RbHullTopology* Topology = nullptr;
    RbVector Centre;
    RbVector Lower;  // world bounding box of the vertices
    RbVector Upper;
    RbVector Vertices[RbHullMaxVertices];
    RbVector Normals[RbHullMaxFaces];
    float Offsets[RbHullMaxFaces] = {};
    RbVector Directions[RbHullMaxDirections];  // unit edge directions, one per parallel class
};

// The hull of a box or cylinder geometry of a body at rotation rows / position. false (hull
// untouched) for other shape types, a size that is not a positive finite number (a zero-size
// box), or a degenerate transform.
bool RbBuildGeometryHull(const RbGeometry& geometry, const RbMatrix3& bodyRotation, const RbVector& bodyPosition,
                         RbHull* hull);
// The two-sided hull of a triangle; false for non-finite or degenerate (zero-area) input.
bool RbBuildTriangleHull(const RbVector& a, const RbVector& b, const RbVector& c, RbHull* hull);

struct RbContactPointOut {
    RbVector Point;    // midway between the two surfaces
    float Separation;  // negative when the hulls overlap
};

// Up to four contact points sharing one normal, which points from hull A towards hull B.
struct RbContactResult {
    RbVector Normal;
    int32_t Count = 0;
    RbContactPointOut Points[4];
};

// At most four of the points into result (its normal untouched): the deepest (or, with
// nearly equal depths, the one farthest from their centre), the one farthest from it, then
// the two spanning the largest areas on either side of that line.
void RbReduceContactPoints(const RbContactPointOut* points, int32_t count, const RbVector& normal,
                           RbContactResult* result);

// Contacts of A against B with separations up to margin (speculative contacts beyond 0).
// With bIsTerrain the triangle's own face is preferred as the reference, so a body sliding
// over a mesh is never caught on the shared edges inside it. false when the hulls are
// farther apart than margin or nothing could be clipped.
bool RbCollideHulls(const RbHull& a, const RbHull& b, float margin, bool bIsTerrain, RbContactResult* result);

struct RbRayHit {
    float Distance = 0.0f;  // along the unit direction from the origin
    RbVector Normal;        // unit, facing the origin
};

// The first entry of the line origin + t·direction, 0 <= t <= length, into the hull; a line
// starting inside the hull does not hit it.
bool RbCastHull(const RbHull& hull, const RbVector& origin, const RbVector& direction, float length, RbRayHit* hit);
// Either side of the triangle a, b, c; false for a degenerate triangle.
bool RbCastTriangle(const RbVector& a, const RbVector& b, const RbVector& c, const RbVector& origin,
                    const RbVector& direction, float length, RbRayHit* hit);
