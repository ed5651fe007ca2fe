// Coordinate frames, oriented boxes, axis-aligned bounds and the small geometric predicates.
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "core/CPFrame.h"
#include "core/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void ExpectVec(const D3DXVECTOR3& actual, float x, float y, float z, float tol = 1e-5f) {
    EXPECT_NEAR(actual.x, x, tol);
    EXPECT_NEAR(actual.y, y, tol);
    EXPECT_NEAR(actual.z, z, tol);
}

// ---------------------------------------------------------------------------------------------
// CPFrame

class RightHandedFrame : public CPFrame {
public:
    bool IsLeftHanded() override { return false; }
};

TEST(CPFrame, LocalCoordinatesAreSideDirectionUp) {
    CPFrame frame;
    D3DXVECTOR3 out;
    frame.SetAxis0(&out, 1, 0, 0);
    frame.SetAxis1(&out, 0, 0, 1);
    frame.SetAxis2(&out, 0, 1, 0);
    const D3DXVECTOR3 v(1, 2, 3);
    ExpectVec(*frame.RotateToLocal(&out, &v), 1, 2, 3);
    ExpectVec(*CPFrame::Default.RotateToLocal(&out, &v), -1, 2, 3);

    // The reset frame maps local x to world −x.
    const D3DXVECTOR3 localX(1, 0, 0);
    ExpectVec(*CPFrame::Default.RotateToWorld(&out, &localX), -1, 0, 0);

    // Points round-trip through a turned, moved frame; the output may alias the input.
    const D3DXVECTOR3 direction(1, 1, 0), up(0, 0, 1);
    frame.SetDirectionAndUp(&direction, &up);
    frame.SetOrigin(&out, 10, -5, 2);
    D3DXVECTOR3 p(3, 4, 5);
    frame.PointToLocal(&p, &p);
    // Side axis (1, −1, 0)/√2, direction (1, 1, 0)/√2, up (0, 0, 1); p − origin = (−7, 9, 3).
    ExpectVec(p, -16.0f / std::sqrt(2.0f), 2.0f / std::sqrt(2.0f), 3, 1e-4f);
    frame.PointToWorld(&p, &p);
    ExpectVec(p, 3, 4, 5, 1e-4f);
}

TEST(CPFrame, PerpendicularFollowsHandedness) {
    CPFrame left;
    RightHandedFrame right;
    D3DXVECTOR3 out;
    const D3DXVECTOR3 v(0, 1, 7);
    ExpectVec(*left.PerpendicularXY(&out, &v), -1, 0, 7);
    ExpectVec(*right.PerpendicularXY(&out, &v), 1, 0, 7);

    // A quarter turn about the frame's up axis, in world terms.
    const D3DXVECTOR3 d(0, 1, 0), up(0, 0, 1);
    left.SetDirectionAndUp(&d, &up);
    const D3DXVECTOR3 world(1, 0, 0);
    ExpectVec(*left.PerpendicularLocal(&out, &world), 0, 1, 0);

    // Overriding IsLeftHanded reaches every operation built on it.
    right.Reset();
    ExpectVec(right.Axis0, 1, 0, 0);
    right.SetDirectionAndUp(&d, &up);
    ExpectVec(right.Axis0, -1, 0, 0);
    ExpectVec(right.Axis1, 0, 0, 1);
}

TEST(CPFrame, DirectionRederivesSideAndUp) {
    CPFrame frame;
    const D3DXVECTOR3 d(0, 2, 0), up(0, 0, 5);
    frame.SetDirectionAndUp(&d, &up);
    ExpectVec(frame.Axis2, 0, 1, 0);
    ExpectVec(frame.Axis0, 1, 0, 0);
    ExpectVec(frame.Axis1, 0, 0, 1);

    // SetDirection keeps the direction as given (not normalised); SetDirectionNormalized does not.
    const D3DXVECTOR3 longD(0, 3, 0);
    frame.SetDirection(&longD);
    ExpectVec(frame.Axis2, 0, 3, 0);
    ExpectVec(frame.Axis1, 0, 0, 3);
    frame.SetDirectionNormalized(&longD);
    ExpectVec(frame.Axis2, 0, 1, 0);

    // A zero direction leaves zeros, not NaN.
    const D3DXVECTOR3 zero(0, 0, 0);
    frame.SetDirection(&zero);
    ExpectVec(frame.Axis0, 0, 0, 0);
    ExpectVec(frame.Axis1, 0, 0, 0);

    // The setters store only.
    frame.Reset();
    D3DXVECTOR3 out;
    ExpectVec(*frame.SetAxis2(&out, 1, 0, 0), 1, 0, 0);
    ExpectVec(frame.Axis0, -1, 0, 0);
    ExpectVec(frame.Axis1, 0, 0, 1);
    frame.Orthonormalize();
    ExpectVec(frame.Axis0, 0, -1, 0);
}

// ---------------------------------------------------------------------------------------------
// CPBox

TEST(CPBox, UpdateBuildsCornersPlanesAndBounds) {
    CPBox thin(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 2, 0));
    for (const D3DXVECTOR3& corner : thin.Corners()) {
        EXPECT_EQ(corner, D3DXVECTOR3(0, 0, 0));  // defined before the first Update
    }
    EXPECT_EQ(thin.Min, D3DXVECTOR3(0, -2, 0));
    thin.Update();
    ExpectVec(thin.HalfExtents, 0.001f, 2, 0.001f);

    CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    box.Update();
    EXPECT_EQ(box.Planes()[5], D3DXPLANE(0, 0, 4, -4));
    // Every face normal points out of the box, in the face order −z, +x, +y, −x, −y, +z.
    const float normals[6][3] = {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(box.Planes()[k], D3DXPLANE(4 * normals[k][0], 4 * normals[k][1], 4 * normals[k][2], -4)) << k;
    }
    ExpectVec(box.Corners()[6], 1, 1, 1);
    ExpectVec(box.Corners()[3], -1, 1, -1);

    // World bounds of a turned, moved box.
    CPBox placed(D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(1, 2, 3));
    D3DXMATRIX turn, move;
    D3DXMatrixRotationZ(&turn, D3DX_PI / 2);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    placed.World = turn * move;
    placed.Update();
    ExpectVec(placed.Min, 8, 0, -3);
    ExpectVec(placed.Max, 12, 2, 3);
}

struct RayCase {
    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
    float maxDistance;
    bool hit;
    float distance;
    int face;  // −1: inside (plane untouched)
};

const RayCase kRayCases[] = {
    {{0, 0, 5}, {0, 0, -1}, 100, true, 4, 5},
    {{0, 0, 5}, {0, 0, -1}, 3, false, 3, 0},
    {{0, 0, 0}, {1, 0, 0}, 100, true, 0, -1},
    {{0.5f, -0.5f, 0.2f}, {0, 1, 0}, 100, true, 0, -1},
    {{5, 0.5f, 0.5f}, {-1, 0, 0}, 100, true, 4, 1},
    {{-5, 0.5f, -0.5f}, {1, 0, 0}, 100, true, 4, 3},
    {{0.3f, 6, 0.1f}, {0, -1, 0}, 100, true, 5, 2},
    {{0.3f, -6, 0.1f}, {0, 1, 0}, 100, true, 5, 4},
    {{0.2f, 0.7f, -3}, {0, 0, 1}, 100, true, 2, 0},
    {{3, 0.5f, 4}, {-0.6f, 0, -0.8f}, 100, true, 3.75f, 5},  // slanted, through the top face
    {{0, 0, 5}, {1, 0, 0}, 100, false, 100, 0},               // parallel to the top face
    {{0, 0, 5}, {0, 0, 1}, 100, false, 100, 0},               // pointing away
    {{3, 0, 5}, {0, 0, -1}, 100, false, 100, 0},              // passes beside
    {{3, 1.5f, 0}, {-0.8f, 0.6f, 0}, 100, false, 100, 0},     // crosses the +x plane beyond the face
};

void RunRayCases(CPBox& box, const D3DXMATRIX& world) {
    box.World = world;
    box.Update();
    const D3DXPLANE sentinel(9, 9, 9, 9);
    for (const RayCase& c : kRayCases) {
        D3DXVECTOR3 origin, direction;
        D3DXVec3TransformCoord(&origin, &c.origin, &world);
        D3DXVec3TransformNormal(&direction, &c.direction, &world);
        float distance = c.maxDistance;
        D3DXPLANE plane = sentinel;
        const bool hit = box.IntersectRay(origin, direction, distance, plane);
        SCOPED_TRACE(testing::Message() << "origin (" << c.origin.x << ", " << c.origin.y << ", " << c.origin.z
                                        << ") direction (" << c.direction.x << ", " << c.direction.y << ", "
                                        << c.direction.z << ")");
        ASSERT_EQ(hit, c.hit);
        EXPECT_NEAR(distance, c.distance, 1e-4f);
        if (c.hit && c.face >= 0) {
            EXPECT_EQ(plane, box.Planes()[c.face]);
        } else {
            EXPECT_EQ(plane, sentinel);
        }
    }
}

TEST(CPBox, IntersectRayTable) {
    CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    RunRayCases(box, identity);

    // Through the edge x = z = 1: faces 1 and 5 meet the ray at the same t, and the later face
    // is not strictly nearer, so the first one keeps the hit.
    float distance = 100;
    D3DXPLANE plane;
    ASSERT_TRUE(box.IntersectRay(D3DXVECTOR3(5, 0, 5), D3DXVECTOR3(-1, 0, -1), distance, plane));
    EXPECT_EQ(distance, 4.0f);
    EXPECT_EQ(plane, box.Planes()[1]);
}

TEST(CPBox, IntersectRayTableOnATurnedMovedBox) {
    CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    D3DXMATRIX turn, move;
    D3DXMatrixRotationYawPitchRoll(&turn, 0.7f, -0.3f, 1.9f);
    D3DXMatrixTranslation(&move, 12, -4, 3);
    RunRayCases(box, turn * move);

    // An off-centre box in its own space is placed by World too.
    CPBox offset(D3DXVECTOR3(2, 0, 0), D3DXVECTOR3(1, 1, 1));
    offset.World = move;
    offset.Update();
    float distance = 100;
    D3DXPLANE plane;
    ASSERT_TRUE(offset.IntersectRay(D3DXVECTOR3(14, -4, 10), D3DXVECTOR3(0, 0, -1), distance, plane));
    EXPECT_FLOAT_EQ(distance, 6);
}

// ---------------------------------------------------------------------------------------------
// Free functions

TEST(Geometry, RayPlaneDistance) {
    const D3DXPLANE top(0, 0, 4, -4);  // z = 1, facing +z
    EXPECT_FLOAT_EQ(RayPlaneDistance({0, 0, 5}, {0, 0, -1}, top), 4);
    EXPECT_FLOAT_EQ(RayPlaneDistance({0, 0, 5}, {0, 0, -2}, top), 2);
    EXPECT_EQ(RayPlaneDistance({0, 0, 5}, {1, 0, 0}, top), -1);   // parallel
    EXPECT_EQ(RayPlaneDistance({0, 0, 5}, {0, 0, 1}, top), -1);   // leaving through the front
    EXPECT_LT(RayPlaneDistance({0, 0, 0}, {0, 0, -1}, top), 0);   // origin behind the plane
}

TEST(Geometry, PointInTriangle) {
    struct Case {
        D3DXVECTOR3 point, a, b, c;
        bool inside;
    };
    const Case cases[] = {
        {{0.2f, 0.2f, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, true},
        {{0.6f, 0.6f, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false},
        {{-0.1f, 0.2f, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false},
        {{0.5f, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false},      // on the lower edge: two edges count
        {{0.5f, 0.5f, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, true},    // on the upper edge: one counts
        {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, false},         // on a vertex: two edges count
        {{0.2f, 5, 0.3f}, {0, 5, 0}, {1, 5, 0}, {0, 5, 1}, true},    // normal along y: (x, z)
        {{0.2f, 5, 0.3f}, {0, 5, 0}, {0, 5, 1}, {1, 5, 0}, true},    // either winding
        {{3, 0.2f, 0.3f}, {3, 0, 0}, {3, 1, 0}, {3, 0, 1}, true},    // normal along x: (y, z)
        {{3, 0.8f, 0.8f}, {3, 0, 0}, {3, 1, 0}, {3, 0, 1}, false},
        {{0.2f, 0.2f, 0.2f}, {0, 0, 0}, {1, 0, 1}, {0, 1, 0.5f}, true},  // tilted
        {{0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, false},          // degenerate
        {{0.2f, 0.2f, 0}, {0, 0, 0}, {NAN, 0, 0}, {0, 1, 0}, false},  // not a number
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PointInTriangle(c.point, c.a, c.b, c.c), c.inside)
            << "point (" << c.point.x << ", " << c.point.y << ", " << c.point.z << ")";
    }
}

TEST(Geometry, ClampedArcFunctions) {
    const double pi = std::acos(-1.0);
    EXPECT_EQ(ClampedAcos(1.5f), 0.0);
    EXPECT_DOUBLE_EQ(ClampedAcos(-3.0f), pi);
    EXPECT_DOUBLE_EQ(ClampedAcos(0.5f), std::acos(0.5));
    EXPECT_DOUBLE_EQ(ClampedAcos(NAN), pi);
    EXPECT_DOUBLE_EQ(ClampedAsin(2.0f), pi / 2);
    EXPECT_DOUBLE_EQ(ClampedAsin(-2.0f), -pi / 2);
    EXPECT_DOUBLE_EQ(ClampedAsin(NAN), -pi / 2);
    EXPECT_DOUBLE_EQ(ClampedAsin(0.25f), std::asin(0.25));
}

// ---------------------------------------------------------------------------------------------
// CPBoundingBox

CPBoundingBox Bounds(D3DXVECTOR3 min, D3DXVECTOR3 max) {
    CPBoundingBox b;
    b.Min = min;
    b.Max = max;
    b.UpdateCentre();
    return b;
}

TEST(CPBoundingBox, StartsEmptyAndMergingEmptyChangesNothing) {
    const CPBoundingBox empty;
    EXPECT_EQ(empty.Min, D3DXVECTOR3(1000000, 1000000, 1000000));
    EXPECT_EQ(empty.Max, D3DXVECTOR3(-1000000, -1000000, -1000000));
    EXPECT_FALSE(empty.Contains({0, 0, 0}));
    EXPECT_FALSE(empty.IntersectSegment({-5, 0, 0}, {1, 0, 0}, 10));

    CPBoundingBox b = Bounds({-1, -2, -3}, {1, 2, 3});
    const CPBoundingBox before = b;
    b.Merge(empty);
    EXPECT_EQ(b.Min, before.Min);
    EXPECT_EQ(b.Max, before.Max);
    EXPECT_EQ(b.Centre, before.Centre);

    CPBoundingBox grown;
    grown.Merge(before);
    EXPECT_EQ(grown.Min, before.Min);
    EXPECT_EQ(grown.Centre, before.Centre);

    // No boxes: the whole record becomes empty, centre and half extents included.
    b.FromBoxes({});
    EXPECT_EQ(b.Min, empty.Min);
    EXPECT_EQ(b.Max, empty.Max);
    EXPECT_FALSE(b.Contains({0, 0, 0}));
}

TEST(CPBoundingBox, FromBoxesMergeAndInclude) {
    std::vector<CPBox> boxes{CPBox({0, 0, 0}, {1, 1, 1}), CPBox({5, 0, 0}, {1, 2, 1})};
    boxes[1].World._43 = 3;  // lifted by 3
    for (CPBox& box : boxes) {
        box.Update();
    }
    CPBoundingBox b;
    b.FromBoxes(boxes);
    EXPECT_EQ(b.Min, D3DXVECTOR3(-1, -2, -1));
    EXPECT_EQ(b.Max, D3DXVECTOR3(6, 2, 4));
    EXPECT_EQ(b.Centre, D3DXVECTOR3(2.5f, 0, 1.5f));
    EXPECT_EQ(b.HalfExtents, D3DXVECTOR3(3.5f, 2, 2.5f));

    CPBoundingBox single;
    single.FromBox(boxes[1]);
    EXPECT_EQ(single.Min, D3DXVECTOR3(4, -2, 2));
    EXPECT_EQ(single.Centre, D3DXVECTOR3(5, 0, 3));

    CPBoundingBox merged = Bounds({0, 0, 0}, {1, 1, 1});
    merged.Include(Bounds({-3, 0.5f, 0}, {0, 4, 1}));
    EXPECT_EQ(merged.Min, D3DXVECTOR3(-3, 0, 0));
    EXPECT_EQ(merged.Max, D3DXVECTOR3(1, 4, 1));
    EXPECT_EQ(merged.Centre, D3DXVECTOR3(-1, 2, 0.5f));
}

TEST(CPBoundingBox, PointSphereAndSegmentTouchingCases) {
    const CPBoundingBox b = Bounds({-1, -1, -1}, {1, 1, 1});
    EXPECT_TRUE(b.Contains({0.99f, 0, 0}));
    EXPECT_FALSE(b.Contains({1, 0, 0}));  // on a face
    EXPECT_FALSE(b.Contains({0, 0, -1}));

    EXPECT_TRUE(b.IntersectSphere({3, 0, 0}, 2));  // touches a face
    EXPECT_FALSE(b.IntersectSphere({3, 0, 0}, 1.99f));
    EXPECT_TRUE(b.IntersectSphere({0.5f, 0, 0}, 0.1f));  // inside
    EXPECT_TRUE(b.IntersectSphere({4, 5, 1}, 5));         // touches the edge at (1, 1, z): 3² + 4²
    EXPECT_FALSE(b.IntersectSphere({4, 5, 1}, 4.99f));

    struct Case {
        D3DXVECTOR3 origin, direction;
        float length;
        bool overlaps;
    };
    const float s = std::sqrt(0.5f);
    const Case cases[] = {
        {{1, 0, -5}, {0, 0, 1}, 10, true},         // slides along a face
        {{1.001f, 0, -5}, {0, 0, 1}, 10, false},
        {{0, 0, -5}, {0, 0, 1}, 4, true},          // ends exactly on the bottom face
        {{0, 0, -5}, {0, 0, 1}, 3.99f, false},     // stops short
        {{0, 0, 0}, {1, 0, 0}, 0.5f, true},        // wholly inside
        {{2.5f, 0, 0}, {-s, s, 0}, 2.5f / s, false},  // passes the corner: separated by a cross axis
        {{1.5f, 0, 0}, {-s, s, 0}, 1.5f / s, true},   // cuts the corner
    };
    for (const Case& c : cases) {
        EXPECT_EQ(b.IntersectSegment(c.origin, c.direction, c.length), c.overlaps)
            << "origin (" << c.origin.x << ", " << c.origin.y << ", " << c.origin.z << ") length " << c.length;
    }
}

TEST(CPBoundingBox, ExtendByShadow) {
    CPBoundingBox b = Bounds({0, 0, 1}, {1, 1, 2});
    // Before any level has loaded the matrix is zero: nothing changes, nothing becomes NaN.
    ShadowMatrix = D3DXMATRIX();
    b.ExtendByShadow();
    EXPECT_EQ(b.Min, D3DXVECTOR3(0, 0, 1));
    EXPECT_EQ(b.Max, D3DXVECTOR3(1, 1, 2));

    // Light along (1, 0, 1) onto the ground z = 0: a point (x, y, z) falls at (x − z, y, 0).
    const D3DXVECTOR4 light(1, 0, 1, 0);
    const D3DXPLANE ground(0, 0, 1, 0);
    D3DXMatrixShadow(&ShadowMatrix, &light, &ground);
    b.ExtendByShadow();
    ExpectVec(b.Min, -2, 0, 0);
    ExpectVec(b.Max, 1, 1, 2);
    EXPECT_EQ(b.Centre, D3DXVECTOR3(0.5f, 0.5f, 1.5f));  // left for the caller
    b.UpdateCentre();
    ExpectVec(b.Centre, -0.5f, 0.5f, 1);
    ShadowMatrix = D3DXMATRIX();
}

}  // namespace
