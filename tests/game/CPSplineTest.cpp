// Paths built from Bezier segments: pieces of known shapes (straight lines, a circle), their
// headings, normals and ring links, the walk along the segments, snapping to a sloped terrain,
// and the paths that are refused.
#include "game/CPSpline.h"

#include "Render/CPRenderObject.h"
#include "core/CPFileReader.h"
#include "game/CPPhysicWorld.h"
#include "game/LevelFile.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"
#include "tests/game/LevelBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace {

using LevelBytes::Straight;

constexpr float kPi = 3.14159265f;

LevelPathRecord Path(std::vector<LevelSegmentRecord> segments, bool closed, const std::string& name = "c_path") {
    return LevelPathRecord{name, closed, std::move(segments)};
}

// A circle of radius r about the origin, anticlockwise from (r, 0), in four cubic quarter arcs.
LevelPathRecord Circle(float r) {
    const float k = 0.55228475f * r;  // 4/3·(√2 − 1)·r: the usual quarter-circle control distance
    std::vector<LevelSegmentRecord> arcs;
    const D3DXVECTOR3 p[4] = {{r, 0, 0}, {0, r, 0}, {-r, 0, 0}, {0, -r, 0}};
    const D3DXVECTOR3 t[4] = {{0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {1, 0, 0}};  // tangents at p
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3& a = p[i];
        const D3DXVECTOR3& b = p[(i + 1) % 4];
        arcs.push_back(LevelSegmentRecord{a, b, a + t[i] * k, b - t[(i + 1) % 4] * k});
    }
    return Path(arcs, true);
}

float Length2D(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return std::hypot(b.x - a.x, b.y - a.y); }

TEST(CPSplinePieces, StraightOpenAndClosedPaths) {
    // 27 units: an open path gets the pieces from 0 and 10.5; the one from 21 would reach past
    // the end. Closed, a third piece runs from 21 round to the point at 4.5.
    CPSpline open;
    ASSERT_TRUE(open.Build(Path({Straight({0, 0, 0}, {27, 0, 0})}, false)));
    EXPECT_NEAR(open.TotalLength, 27.0f, 1e-4f);
    ASSERT_EQ(open.Lines.size(), 2u);
    EXPECT_NEAR(open.Lines[1]->Start.x, 10.5f, 1e-4f);
    EXPECT_NEAR(open.Lines[1]->End.x, 21.0f, 1e-4f);
    // The ring is closed for open paths too.
    EXPECT_EQ(open.FirstLine->Prev, open.Lines[1].get());
    EXPECT_EQ(open.Lines[1]->Next, open.FirstLine);
    EXPECT_EQ(open.CurrentLine, open.FirstLine);

    // A path running back along itself.
    CPSpline closed;
    ASSERT_TRUE(closed.Build(Path({Straight({0, 0, 0}, {13.5f, 0, 0}), Straight({13.5f, 0, 0}, {0, 0, 0})}, true)));
    ASSERT_EQ(closed.Lines.size(), 3u);
    EXPECT_NEAR(closed.Lines[2]->Start.x, 6.0f, 1e-4f);  // distance 21: 6 back from 13.5
    EXPECT_NEAR(closed.Lines[2]->End.x, 4.5f, 1e-4f);    // distance 31.5 wraps to 4.5

    // Headings point from End back to Start; normals are (dy, −dx); Normal·p + Offset = 0.
    struct Case {
        D3DXVECTOR3 to;
        float heading;
        D3DXVECTOR2 normal;
    };
    const Case cases[] = {
        {{10.5f, 0, 0}, kPi, {0, -1}},
        {{0, 10.5f, 0}, 1.5f * kPi, {1, 0}},
        {{-10.5f, 0, 0}, 0.0f, {0, 1}},
        {{0, -10.5f, 0}, 0.5f * kPi, {-1, 0}},
    };
    for (const Case& c : cases) {
        const D3DXVECTOR3 from(3, 4, 0);
        CPSpline piece;
        ASSERT_TRUE(piece.Build(Path({Straight(from, from + c.to)}, false)));
        ASSERT_EQ(piece.Lines.size(), 1u);
        const CPLine& line = *piece.Lines[0];
        EXPECT_NEAR(line.Heading, c.heading, 1e-5f);
        EXPECT_NEAR(line.Normal.x, c.normal.x, 1e-6f);
        EXPECT_NEAR(line.Normal.y, c.normal.y, 1e-6f);
        for (const D3DXVECTOR3& p : {line.Start, line.End}) {
            EXPECT_NEAR(line.Normal.x * p.x + line.Normal.y * p.y + line.Offset, 0.0f, 1e-4f);
        }
        EXPECT_EQ(line.Next, &line);
        EXPECT_EQ(line.Prev, &line);
    }
}

TEST(CPSplinePieces, CircleOfKnownRadius) {
    const float r = 100.0f;
    CPSpline circle;
    ASSERT_TRUE(circle.Build(Circle(r)));
    // The cubic arcs stray from the circle by 0.03 % at most.
    EXPECT_NEAR(circle.TotalLength, 2.0f * kPi * r, 2.0f * kPi * r * 3e-4f);
    const size_t pieces = static_cast<size_t>(std::ceil(circle.TotalLength / CPSpline::LineLength));
    ASSERT_EQ(circle.Lines.size(), pieces);
    EXPECT_EQ(pieces, 60u);

    const CPLine* line = circle.FirstLine;
    for (size_t i = 0; i < pieces; ++i) {
        ASSERT_EQ(line, circle.Lines[i].get());
        EXPECT_EQ(line->Next->Prev, line);
        EXPECT_NEAR(std::hypot(line->Start.x, line->Start.y), r, 0.05f) << i;
        // Distance maps linearly onto each arc's parameter, along which a cubic arc's speed
        // varies by a few per cent: pieces are 10.5 units of curve apart on average.
        EXPECT_NEAR(Length2D(line->Start, line->End), 10.5f, 0.5f) << i;
        // Anticlockwise travel: the heading points back, a quarter turn behind the radius.
        const float along = std::atan2(line->End.y - line->Start.y, line->End.x - line->Start.x);
        float expected = along + kPi;
        if (expected >= 2.0f * kPi) expected -= 2.0f * kPi;
        EXPECT_NEAR(std::fmod(line->Heading - expected + 3.0f * kPi, 2.0f * kPi) - kPi, 0.0f, 1e-4f) << i;
        EXPECT_GE(line->Heading, 0.0f);
        EXPECT_LE(line->Heading, 2.0f * kPi);
        line = line->Next;
    }
    EXPECT_EQ(line, circle.FirstLine);
    // Starts every 10.5 units of curve: 60 of them take up the whole circle.
    float chords = 0.0f;
    for (size_t i = 0; i + 1 < pieces; ++i) chords += Length2D(circle.Lines[i]->Start, circle.Lines[i]->End);
    EXPECT_LT(chords, 59.0f * 10.5f);  // chords fall short of their arcs, by little
    EXPECT_GT(chords, 59.0f * 10.5f - 1.0f);
    // The last piece wraps past the start, ending at the point that far into the first arc.
    D3DXVECTOR3 wrapped, delta;
    ASSERT_TRUE(circle.GetPointAt(60.0f * 10.5f - circle.TotalLength, wrapped, delta));
    EXPECT_NEAR(Length2D(circle.Lines.back()->End, wrapped), 0.0f, 1e-3f);
    EXPECT_GT(circle.Lines.back()->End.y, 0.0f);

    // One thin triangle per piece in the display mesh.
    EXPECT_EQ(circle.RenderKind, CPGameObject::RenderMesh);
    auto* mesh = dynamic_cast<CPRenderObject*>(circle.RenderObject.Get());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Vertices.size(), 3 * pieces);
    EXPECT_EQ(mesh->Indices.size(), 3 * pieces);
    EXPECT_EQ(mesh->Indices.back(), 3 * pieces - 1);
    EXPECT_EQ(mesh->Vertices[4].Position, circle.Lines[1]->End);
    EXPECT_EQ(mesh->Vertices[4].Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(circle.GetTypeName(), "CPSpline");
    EXPECT_EQ(circle.Name, "c_path");
}

TEST(CPSplinePieces, SegmentLengthIsTheArcLength) {
    // Control points bunched at the start: the chord to t = 0.9 (what the pieces used to be
    // spaced by) falls short of the 100 units of curve.
    const LevelSegmentRecord bunched{{0, 0, 0}, {100, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    CPSpline line;
    ASSERT_TRUE(line.Build(Path({bunched}, false)));
    EXPECT_NEAR(line.Segments[0].Length, 100.0f, 1e-3f);
    D3DXVECTOR3 p;
    line.Segments[0].GetPoint(0.9f, p);
    EXPECT_LT(p.x, 80.0f);
    EXPECT_EQ(line.Lines.size(), 9u);  // 100 / 10.5: pieces from 0 to 84

    // A quarter circle: πr/2.
    CPSpline circle;
    ASSERT_TRUE(circle.Build(Circle(50)));
    EXPECT_NEAR(circle.Segments[0].Length, kPi * 25.0f, 0.03f);
}

TEST(CPSplinePieces, SegmentOperations) {
    const CPSplineSegment s{{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}, 20.0f};
    D3DXVECTOR3 p, d;
    s.GetPoint(0.5f, p);
    EXPECT_FLOAT_EQ(p.x, 5.0f);
    EXPECT_FLOAT_EQ(p.y, 7.5f);
    // At s = Length the forward difference reaches B(1.1), beyond the end point.
    s.GetPointAndTangent(20.0f, p, d);
    D3DXVECTOR3 beyond;
    s.GetPoint(1.1f, beyond);
    EXPECT_NEAR(p.x, 10.0f, 1e-5f);
    EXPECT_NEAR(p.y, 0.0f, 1e-5f);
    EXPECT_NEAR(d.x, beyond.x - 10.0f, 1e-4f);
    EXPECT_NEAR(d.y, beyond.y, 1e-4f);
}

TEST(CPSplinePieces, WalkAlongTheSegments) {
    CPSpline open;
    ASSERT_TRUE(open.Build(Path({Straight({0, 0, 0}, {30, 0, 0}), Straight({30, 0, 0}, {30, 40, 0})}, false)));
    D3DXVECTOR3 p, d;
    ASSERT_TRUE(open.GetPointAt(45.0f, p, d));
    EXPECT_NEAR(p.x, 30.0f, 1e-4f);
    EXPECT_NEAR(p.y, 15.0f, 1e-4f);
    ASSERT_TRUE(open.GetPointAt(open.TotalLength, p, d));
    EXPECT_NEAR(p.y, 40.0f, 1e-4f);
    EXPECT_FALSE(open.GetPointAt(open.TotalLength + 1.0f, p, d));

    CPSpline closed;
    ASSERT_TRUE(closed.Build(Path(LevelBytes::Square("c_path", 10).Segments, true)));
    ASSERT_TRUE(closed.GetPointAt(45.0f, p, d));  // 40 around, then 5
    EXPECT_NEAR(p.x, 5.0f, 1e-4f);
    EXPECT_NEAR(p.y, 0.0f, 1e-4f);
    // Rounding past the last segment stays on it, at its end.
    ASSERT_TRUE(closed.GetPointAt(std::nextafter(closed.TotalLength, 0.0f), p, d));
    EXPECT_NEAR(p.x, 0.0f, 1e-3f);
}

TEST(CPSplinePieces, RefusedPaths) {
    const float inf = std::numeric_limits<float>::infinity();
    const D3DXVECTOR3 o(0, 0, 0);
    struct Case {
        const char* what;
        LevelPathRecord path;
    };
    const Case cases[] = {
        {"no segments", Path({}, true)},
        {"only points", Path({Straight(o, o), Straight(o, o)}, true)},
        {"shorter than a piece, open", Path({Straight(o, {10, 0, 0})}, false)},
        {"straight up", Path({Straight(o, {0, 0, 50})}, true)},
        {"longer than MaxLines pieces", Path({Straight(o, {CPSpline::LineLength * CPSpline::MaxLines + 20, 0, 0})}, true)},
        {"huge coordinates", Path({Straight(o, {3e38f, 0, 0}), Straight({3e38f, 0, 0}, {-3e38f, 0, 0})}, true)},
        {"infinite", Path({Straight(o, {inf, 0, 0})}, true)},
    };
    for (const Case& c : cases) {
        CPSpline spline;
        EXPECT_FALSE(spline.Build(c.path)) << c.what;
        EXPECT_TRUE(spline.Lines.empty()) << c.what;
        EXPECT_EQ(spline.FirstLine, nullptr) << c.what;
        EXPECT_EQ(spline.RenderObject, nullptr) << c.what;
    }
    // Zero-length segments are left out of a path that has others.
    CPSpline skipped;
    ASSERT_TRUE(skipped.Build(Path({Straight(o, o), Straight(o, {21, 0, 0}), Straight({21, 0, 0}, {21, 0, 0})}, false)));
    EXPECT_EQ(skipped.Segments.size(), 1u);
    EXPECT_EQ(skipped.Lines.size(), 2u);
    // A path just within MaxLines is built.
    CPSpline longest;
    ASSERT_TRUE(longest.Build(Path({Straight(o, {CPSpline::LineLength * CPSpline::MaxLines - 1, 0, 0})}, true)));
    EXPECT_EQ(longest.Lines.size(), CPSpline::MaxLines);
}

TEST(CPSplinePieces, SnapsToASlopedTerrain) {
    CPSpline circle;
    ASSERT_TRUE(circle.Build(Circle(40)));
    int queries = 0;
    circle.SnapToTerrain([&queries](const D3DXVECTOR3& p) {
        ++queries;
        EXPECT_EQ(p.z, 0.0f);
        return 5.0f + 0.25f * p.x - 0.5f * p.y;
    });
    EXPECT_EQ(queries, static_cast<int>(3 * circle.Lines.size()));
    for (const auto& line : circle.Lines) {
        for (const D3DXVECTOR3* p : {&line->Start, &line->End, &line->Centre}) {
            EXPECT_FLOAT_EQ(p->z, 5.0f + 0.25f * p->x - 0.5f * p->y);
        }
    }
    circle.SnapToTerrain(nullptr);  // no terrain: nothing changes
    EXPECT_FLOAT_EQ(circle.Lines[0]->Centre.z, 5.0f + 0.25f * circle.Lines[0]->Centre.x - 0.5f * circle.Lines[0]->Centre.y);
}

TEST(CPSplinePieces, SnapsToThePhysicsWorldsTerrain) {
    CPSpline circle;
    ASSERT_TRUE(circle.Build(Circle(40)));
    circle.SnapToTerrain();  // no world: the heights stay
    EXPECT_EQ(circle.Lines[3]->Centre.z, 0.0f);

    // One sloped quad over the circle: z = 0.1 x + 0.05 y + 2.
    auto z = [](float x, float y) { return 0.1f * x + 0.05f * y + 2.0f; };
    const std::vector<D3DXVECTOR3> corners = {
        {-60, -60, z(-60, -60)}, {60, -60, z(60, -60)}, {60, 60, z(60, 60)}, {-60, 60, z(-60, 60)}};
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    CPPhysicWorld world;
    world.BuildTriangleGrid(corners, indices, 6);
    CPPhysicWorld::Instance = &world;
    circle.SnapToTerrain();
    CPPhysicWorld::Instance = nullptr;
    for (const auto& line : circle.Lines) {
        for (const D3DXVECTOR3* p : {&line->Start, &line->End, &line->Centre}) {
            EXPECT_NEAR(p->z, z(p->x, p->y), 1e-3f);
        }
    }
}

TEST(CPSplinePieces, TheSearchStepsAheadOnABuiltPath) {
    // Anticlockwise circle: the race runs clockwise (End back to Start), so one piece ahead of
    // the nearest is its Prev.
    CPSpline circle;
    ASSERT_TRUE(circle.Build(Circle(100)));
    const CPLine& near = *circle.Lines[10];
    CPLine* hint = nullptr;
    float radius = 40.0f;
    const float heading = circle.FindNearestLine(near.Centre, radius, 1, hint, -1);
    EXPECT_EQ(hint, &near);
    EXPECT_EQ(heading, circle.Lines[9]->Heading);
}

TEST(CPSplinePieces, LoadsFromTheReaderAndMovesItsCursor) {
    const ScratchFolder scratch("spline", ScratchFolder::Stay);
    const LevelBytes::Path straight{"left", false, {Straight({0, 0, 0}, {30, 0, 0})}};
    LevelBytes::Bytes bytes = LevelBytes::Level({}, {straight, straight});
    const size_t firstPath = LevelFile::MinimumSize;
    const size_t pathSize = 4 + 4 + 8 + 48;
    bytes.resize(bytes.size() - 10);  // the second path cut short
    scratch.Write("path.lvl", std::string(bytes.begin(), bytes.end()));
    const std::filesystem::path file = scratch / "path.lvl";
    HostFiles::ClearCache();

    CPFileReader reader(file.string(), false);
    ASSERT_EQ(reader.Load(), S_OK);
    std::vector<uint8_t> skip(firstPath);
    reader.Read(skip.data(), static_cast<int>(skip.size()));
    CPSpline first;
    ASSERT_TRUE(first.Load(reader));
    EXPECT_EQ(first.Name, "left");
    EXPECT_EQ(first.Lines.size(), 2u);
    EXPECT_EQ(static_cast<size_t>(reader.GetCursor()), firstPath + pathSize);
    CPSpline second;
    EXPECT_FALSE(second.Load(reader));
    EXPECT_EQ(reader.GetCursor(), reader.GetLength());
}

}  // namespace
