// The incremental nearest-piece search on rings of path pieces.
#include "game/CPSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Closes the polygon through points into a ring of pieces; piece i runs from point i to point
// i + 1 and carries the heading i, so tests can tell the pieces apart by the returned angle.
void BuildRing(CPSpline& spline, const std::vector<D3DXVECTOR2>& points) {
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        auto line = std::make_unique<CPLine>();
        const D3DXVECTOR2& s = points[i];
        const D3DXVECTOR2& e = points[(i + 1) % n];
        line->Start = D3DXVECTOR3(s.x, s.y, 0);
        line->End = D3DXVECTOR3(e.x, e.y, 0);
        line->Min = D3DXVECTOR2(std::fmin(s.x, e.x), std::fmin(s.y, e.y));
        line->Max = D3DXVECTOR2(std::fmax(s.x, e.x), std::fmax(s.y, e.y));
        line->Centre = D3DXVECTOR3((line->Min.x + line->Max.x) * 0.5f, (line->Min.y + line->Max.y) * 0.5f, 0);
        line->Heading = static_cast<float>(i);
        spline.Lines.push_back(std::move(line));
    }
    for (size_t i = 0; i < n; ++i) {
        spline.Lines[i]->Next = spline.Lines[(i + 1) % n].get();
        spline.Lines[i]->Prev = spline.Lines[(i + n - 1) % n].get();
    }
    spline.FirstLine = spline.Lines.front().get();
    spline.CurrentLine = spline.FirstLine;
}

// About 40 pieces of 10.5 units around a circle.
std::vector<D3DXVECTOR2> Circle(int pieces) {
    const float radius = pieces * 10.5f / (2.0f * D3DX_PI);
    std::vector<D3DXVECTOR2> points;
    for (int i = 0; i < pieces; ++i) {
        const float a = 2.0f * D3DX_PI * static_cast<float>(i) / static_cast<float>(pieces);
        points.emplace_back(radius * std::cos(a), radius * std::sin(a));
    }
    return points;
}

// Rectangle 0..100 x 0..50 in pieces of 10: pieces 0..9 run along y = 0 towards +x.
std::vector<D3DXVECTOR2> Rectangle() {
    std::vector<D3DXVECTOR2> points;
    for (int x = 0; x < 100; x += 10) points.emplace_back(float(x), 0.0f);
    for (int y = 0; y < 50; y += 10) points.emplace_back(100.0f, float(y));
    for (int x = 100; x > 0; x -= 10) points.emplace_back(float(x), 50.0f);
    for (int y = 50; y > 0; y -= 10) points.emplace_back(0.0f, float(y));
    return points;
}

int Index(const CPSpline& spline, const CPLine* line) {
    for (size_t i = 0; i < spline.Lines.size(); ++i) {
        if (spline.Lines[i].get() == line) return static_cast<int>(i);
    }
    return -1;
}

TEST(CPSpline, FindsTheNearestPieceFromAnyHint) {
    CPSpline ring;
    BuildRing(ring, Circle(40));
    // Just outside the middle of each piece, from every hint, stale ones (up to the piece
    // opposite the target) included.
    for (int target : {0, 10, 17, 39}) {
        const CPLine& t = *ring.Lines[target];
        const D3DXVECTOR3 point(t.Centre.x * 1.03f, t.Centre.y * 1.03f, 5.0f);
        for (int h = 0; h < 40; ++h) {
            CPLine* hint = ring.Lines[h].get();
            float radius = 20.0f;
            const float angle = ring.FindNearestLine(point, radius, 0, hint, -1);
            ASSERT_EQ(Index(ring, hint), target) << "hint " << h;
            EXPECT_EQ(angle, static_cast<float>(target));
            EXPECT_EQ(ring.CurrentLine, hint);
            EXPECT_GT(radius, 0.0f);  // outside the ring is to the right of the anticlockwise pieces
        }
    }
}

TEST(CPSpline, FarPointKeepsTheHint) {
    CPSpline ring;
    BuildRing(ring, Circle(40));
    CPLine* hint = ring.Lines[7].get();
    float radius = 20.0f;
    const float angle = ring.FindNearestLine(D3DXVECTOR3(5000, 5000, 0), radius, 0, hint, -1);
    EXPECT_EQ(hint, ring.Lines[7].get());
    EXPECT_EQ(ring.CurrentLine, hint);
    EXPECT_EQ(angle, 7.0f);
    EXPECT_GT(std::fabs(radius), 1000.0f);  // measured from the hint's line
}

TEST(CPSpline, SquareBorderCountsAsInside) {
    CPSpline rect;
    BuildRing(rect, Rectangle());
    // Piece 0 ends and piece 1 starts at (10, 0), exactly 5 left of the point.
    const D3DXVECTOR3 point(15, 3, 0);
    CPLine* hint = rect.Lines[0].get();
    float radius = 5.0f;
    rect.FindNearestLine(point, radius, 0, hint, -1);
    EXPECT_EQ(Index(rect, hint), 1);

    hint = rect.Lines[0].get();
    radius = 4.99f;
    rect.FindNearestLine(point, radius, 0, hint, -1);
    EXPECT_EQ(Index(rect, hint), 0);
}

TEST(CPSpline, StepsGoAheadInRaceDirection) {
    CPSpline rect;
    BuildRing(rect, Rectangle());
    struct Case {
        int steps;
        float angle;
        float distance;
    };
    // Nearest is piece 4, (40, 0) → (50, 0). The race runs from a piece's End back to its
    // Start, so the race update's "one piece ahead" (steps 1) is along Prev: piece 3; negative
    // steps go along Next. The point (45, 3) lies left of the pieces along y = 0, of piece 27
    // (down the side x = 0) and of piece 11 (up the side x = 100).
    const Case cases[] = {{0, 4, -3}, {1, 3, -3}, {2, 2, -3}, {-2, 6, -3}, {-5, 9, -3}, {7, 27, -45}, {-7, 11, -55}};
    for (const Case& c : cases) {
        CPLine* hint = rect.Lines[4].get();
        float radius = 8.0f;
        const float angle = rect.FindNearestLine(D3DXVECTOR3(45, 3, 0), radius, c.steps, hint, -1);
        EXPECT_EQ(angle, c.angle) << "steps " << c.steps;
        EXPECT_NEAR(radius, c.distance, 1e-4f) << "steps " << c.steps;
        EXPECT_EQ(Index(rect, hint), 4);
        EXPECT_EQ(rect.CurrentLine, hint);
    }
}

TEST(CPSpline, SignedDistanceFlipsWithTheMirroredPoint) {
    CPSpline ring;
    BuildRing(ring, Circle(40));
    const CPLine& line = *ring.Lines[12];
    const D3DXVECTOR3 s = line.Start, e = line.End;
    const D3DXVECTOR3 along = e - s;
    D3DXVECTOR3 across(along.y, -along.x, 0);  // to the right of Start→End
    D3DXVec3Normalize(&across, &across);
    const D3DXVECTOR3 mid = (s + e) * 0.5f;
    for (float offset : {0.0f, 2.5f, -2.5f}) {
        CPLine* hint = ring.Lines[12].get();
        float radius = 20.0f;
        ring.FindNearestLine(mid + across * offset, radius, 0, hint, -1);
        ASSERT_EQ(Index(ring, hint), 12);
        EXPECT_NEAR(radius, offset, 1e-3f);
    }
}

TEST(CPSpline, FarCentresNeverWin) {
    // A triangle of long pieces: (0,0) → (30,0) → (0,30) → back. Near (0.5, 0.5) both pieces
    // meeting at the origin are near, but their centres are 14.5 away.
    CPSpline tri;
    BuildRing(tri, {{0, 0}, {30, 0}, {0, 30}});
    CPLine* hint = tri.Lines[1].get();
    float radius = 1.0f;  // centres must lie within √100 = 10
    tri.FindNearestLine(D3DXVECTOR3(0.5f, 0.5f, 0), radius, 0, hint, -1);
    EXPECT_EQ(Index(tri, hint), 1);

    hint = tri.Lines[1].get();
    radius = 10.0f;  // within √1000
    tri.FindNearestLine(D3DXVECTOR3(0.5f, 0.5f, 0), radius, 0, hint, -1);
    EXPECT_EQ(Index(tri, hint), 2);  // equal distances: the forward cursor's piece comes first
}

TEST(CPSpline, SmallRingsAndMissingHints) {
    CPSpline one;
    BuildRing(one, {{0, 0}, {10, 0}});  // two pieces: there and back
    CPLine* hint = one.Lines[0].get();
    float radius = 20.0f;
    // The return piece's centre is the same; pull it apart to tell them from each other.
    one.Lines[1]->Centre = D3DXVECTOR3(5, 1, 0);
    one.FindNearestLine(D3DXVECTOR3(5, 2, 0), radius, 0, hint, -1);
    EXPECT_EQ(Index(one, hint), 1);

    CPSpline single;
    BuildRing(single, {{0, 0}});
    single.Lines[0]->End = D3DXVECTOR3(10, 0, 0);
    single.Lines[0]->Centre = D3DXVECTOR3(5, 0, 0);
    hint = nullptr;  // starts from CurrentLine
    radius = 20.0f;
    EXPECT_EQ(single.FindNearestLine(D3DXVECTOR3(5, -4, 0), radius, 3, hint, -1), 0.0f);
    EXPECT_EQ(hint, single.Lines[0].get());
    EXPECT_FLOAT_EQ(radius, 4.0f);

    CPSpline none;
    hint = nullptr;
    radius = 20.0f;
    EXPECT_EQ(none.FindNearestLine(D3DXVECTOR3(0, 0, 0), radius, 0, hint, -1), 0.0f);
    EXPECT_EQ(hint, nullptr);
    EXPECT_EQ(radius, 20.0f);
}

TEST(CPSpline, Predicates) {
    EXPECT_TRUE(IsWithinSquare({0, 0}, 2, {2, -2}));
    EXPECT_FALSE(IsWithinSquare({0, 0}, 2, {2.001f, 0}));
    CPLine line;
    line.Centre = D3DXVECTOR3(3, 4, 100);  // z does not count
    float best = 25.0f;
    EXPECT_FALSE(UpdateNearestLine({0, 0}, &line, best));  // equal is not nearer
    best = 25.5f;
    EXPECT_TRUE(UpdateNearestLine({0, 0}, &line, best));
    EXPECT_EQ(best, 25.0f);
    EXPECT_EQ(line.GetTypeName(), "CPLine");
}

}  // namespace
