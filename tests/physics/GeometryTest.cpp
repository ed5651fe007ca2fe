#include "physics/RbGeometry.h"
#include "physics/RbSensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void ExpectVector(const RbVector& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

RbMatrix4 QuarterTurnAboutZAt(float x, float y, float z) {
    RbMatrix4 m;
    m.M[0][0] = 0;
    m.M[0][1] = 1;
    m.M[1][0] = -1;
    m.M[1][1] = 0;
    m.M[3][0] = x;
    m.M[3][1] = y;
    m.M[3][2] = z;
    return m;
}

const RbVector Points[] = {RbVec(1, 0, 0), RbVec(-1, 2, 3)};

RbGeometry Shape(int32_t type, float a, float b, float c, RbMatrix4 transform = {}, float margin = 0,
                 const RbVector* points = nullptr, int32_t count = 0) {
    RbGeometry g;
    g.Type = type;
    g.Shape[0] = a;
    g.Shape[1] = b;
    g.Shape[2] = c;
    g.Transform = transform;
    g.Margin = margin;
    g.Points = points;
    g.PointCount = count;
    return g;
}

TEST(RbGeometry, Setters) {
    RbGeometry g;
    g.Reset();
    EXPECT_EQ(g.Type, RbShapeBox);
    EXPECT_EQ(g.Shape[2], 0.5f);
    EXPECT_NEAR(g.BoundingRadius, std::sqrt(0.75f), 1e-6f);
    EXPECT_EQ(g.Mass, 1.0f);
    EXPECT_EQ(g.MassParameters[1], 0.5f);

    g.SetCylinder(2, 6);
    EXPECT_EQ(g.Type, RbShapeCylinder);
    EXPECT_EQ(g.Shape[0], 1.0f);
    EXPECT_EQ(g.Shape[1], 1.0f);
    EXPECT_EQ(g.Shape[2], 3.0f);

    g.Margin = 0.3f;
    g.SetBoxSize(RbVec(2, 4, 6));
    EXPECT_EQ(g.Type, RbShapeBox);
    ExpectVector(RbVec(g.Shape[0], g.Shape[1], g.Shape[2]), 1, 2, 3);
    EXPECT_FLOAT_EQ(g.BoundingRadius, std::sqrt(14.0f));
    EXPECT_EQ(g.Margin, 0.0f);
    g.SetBoxSize(1e-4f, 1e-4f, 1e-4f);
    EXPECT_EQ(g.BoundingRadius, 0.0f);

    g.SetMaterialIndex(7);
    EXPECT_EQ(g.MaterialIndex, 7);
}

TEST(RbGeometry, BoundsOfEveryShapeType) {
    struct Case {
        const char* name;
        RbGeometry geometry;
        RbVector lower;
        RbVector upper;
    } cases[] = {
        {"rotated box", Shape(RbShapeBox, 1, 2, 3, QuarterTurnAboutZAt(1, 0, 0)), RbVec(-1, -1, -3), RbVec(3, 1, 3)},
        {"sphere", Shape(RbShapeSphere, 2, 0, 0, QuarterTurnAboutZAt(0, 0, 1)), RbVec(-2, -2, -1), RbVec(2, 2, 3)},
        {"cylinder", Shape(RbShapeCylinder, 1, 1, 3), RbVec(-1, -4, -1), RbVec(1, 4, 1)},
        {"lying cylinder", Shape(RbShapeCylinder, 1, 1, 3, QuarterTurnAboutZAt(0, 0, 0)), RbVec(-4, -1, -1),
         RbVec(4, 1, 1)},
        {"points with margin", Shape(RbShapePointSetWithMargin, 0, 0, 0, {}, 0.5f, Points, 2), RbVec(-2.5f, 0, 0),
         RbVec(2.5f, 5, 7.5f)},
        {"points", Shape(RbShapePointSet, 0, 0, 0, {}, 0.5f, Points, 2), RbVec(-2, 0, 0), RbVec(2, 4, 6)},
        {"no points", Shape(RbShapePointSet, 0, 0, 0), RbVec(2e6f, 2e6f, 2e6f), RbVec(-2e6f, -2e6f, -2e6f)},
        {"unknown type", Shape(9, 1, 1, 1), RbVec(7, 7, 7), RbVec(8, 8, 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RbVector lower = RbVec(7, 7, 7);
        RbVector upper = RbVec(8, 8, 8);
        c.geometry.GetBounds(&lower, &upper);
        ExpectVector(lower, c.lower.x, c.lower.y, c.lower.z);
        ExpectVector(upper, c.upper.x, c.upper.y, c.upper.z);
    }
}

TEST(RbGeometry, BoundingRadiusOfEveryShapeType) {
    struct Case {
        const char* name;
        RbGeometry geometry;
        float radius;
    } cases[] = {
        {"box", Shape(RbShapeBox, 1, 2, 3, QuarterTurnAboutZAt(3, 4, 0)), std::sqrt(14.0f) + 5.0f},
        {"centred box", Shape(RbShapeBox, 1, 2, 3), std::sqrt(14.0f)},
        {"sphere", Shape(RbShapeSphere, 2, 0, 0, QuarterTurnAboutZAt(0, 0, 1e-4f)), 2.0f},
        {"cylinder", Shape(RbShapeCylinder, 1, 1, 3, QuarterTurnAboutZAt(0, 0, 2)), 6.0f},
        {"points with margin", Shape(RbShapePointSetWithMargin, 0, 0, 0, {}, 0.5f, Points, 2), 1.5f * std::sqrt(14.0f)},
        {"points", Shape(RbShapePointSet, 0, 0, 0, {}, 0, Points, 2), std::sqrt(14.0f)},
        {"no points", Shape(RbShapePointSetWithMargin, 0, 0, 0, {}, 0.5f), 0.0f},
        {"unknown type", Shape(2, 1, 1, 1), 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.geometry.GetBoundingRadius(), c.radius, 1e-5f);
    }
}

TEST(RbSensor, Line) {
    RbSensor sensor;
    sensor.SetLine(RbVec(1, 2, 3), RbVec(0, -2, 0));
    ExpectVector(sensor.GetLinePosition(), 1, 2, 3);
    ExpectVector(sensor.GetLineDirection(), 0, -1, 0);
    EXPECT_EQ(sensor.GetLineLength(), 2.0f);
    ExpectVector(sensor.Vector, 0, -2, 0);
    sensor.SetLine(RbVec(1, 2, 3), RbVec(0, 0, 9e-4f));
    ExpectVector(sensor.GetLineDirection(), 0, 0, 0);
    EXPECT_EQ(sensor.GetLineLength(), 0.0f);
    EXPECT_EQ(sensor.GetDetectDepth(), 0.0f);
}

}  // namespace
