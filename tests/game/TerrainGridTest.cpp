// The terrain grid: its size and cells, the height under a point against the plane the mesh
// was made from, and the candidates of a box against a brute-force overlap test written
// independently (separating axes of a triangle and a rectangle).
#include "PhysicWorldFixture.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

using namespace PhysicWorldFixture;

namespace {

using TerrainGridTest = WorldTest;

D3DXVECTOR3 P(float x, float y, float z = 0.0f) { return D3DXVECTOR3(x, y, z); }

// Whether the triangle and the rectangle [lo, hi] overlap in x and y (touching counts): no
// separating axis among the rectangle's two and the triangle's three edge normals.
bool Overlaps2D(const D3DXVECTOR3 t[3], const D3DXVECTOR2& lo, const D3DXVECTOR2& hi) {
    const D3DXVECTOR2 rect[4] = {{lo.x, lo.y}, {hi.x, lo.y}, {hi.x, hi.y}, {lo.x, hi.y}};
    std::vector<D3DXVECTOR2> axes = {{1, 0}, {0, 1}};
    for (int e = 0; e < 3; ++e) {
        const D3DXVECTOR3& a = t[e];
        const D3DXVECTOR3& b = t[(e + 1) % 3];
        axes.emplace_back(-(b.y - a.y), b.x - a.x);
    }
    for (const D3DXVECTOR2& axis : axes) {
        float tMin = INFINITY, tMax = -INFINITY, rMin = INFINITY, rMax = -INFINITY;
        for (int k = 0; k < 3; ++k) {
            const float d = axis.x * t[k].x + axis.y * t[k].y;
            tMin = std::min(tMin, d);
            tMax = std::max(tMax, d);
        }
        for (const D3DXVECTOR2& r : rect) {
            const float d = axis.x * r.x + axis.y * r.y;
            rMin = std::min(rMin, d);
            rMax = std::max(rMax, d);
        }
        if (tMax < rMin || rMax < tMin) {
            return false;
        }
    }
    return true;
}

// Pseudo-random numbers of the test's own, in [0, 1).
struct Lcg {
    uint32_t state = 12345;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
};

}  // namespace

TEST(TerrainGeometry, ClassifyAndIntersectTheWayTheGridNeedsThem) {
    const D3DXVECTOR3 a = P(0, 0), b = P(4, 0);
    struct Case {
        D3DXVECTOR3 p;
        int where;
    };
    for (const Case& c : {Case{P(2, 1), 0}, Case{P(2, -1), 1}, Case{P(6, 0), 2}, Case{P(-1, 0), 3},
                          Case{P(2, 0), 4}, Case{P(0, 0), 5}, Case{P(4, 0), 6}}) {
        EXPECT_EQ(ClassifyPoint(c.p, a, b), c.where) << c.p.x << "," << c.p.y;
    }
    // Either winding; edges and corners count.
    EXPECT_TRUE(PointInTriangle2D(P(1, 1), P(0, 0), P(4, 0), P(0, 4)));
    EXPECT_TRUE(PointInTriangle2D(P(1, 1), P(0, 0), P(0, 4), P(4, 0)));
    EXPECT_TRUE(PointInTriangle2D(P(2, 0), P(0, 0), P(4, 0), P(0, 4)));
    EXPECT_FALSE(PointInTriangle2D(P(3, 3), P(0, 0), P(4, 0), P(0, 4)));
    // Crossing in both orders, touching, and collinear overlap (never).
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(4, 4), P(0, 4), P(4, 0)));
    EXPECT_TRUE(SegmentsIntersect(P(4, 4), P(0, 0), P(4, 0), P(0, 4)));
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(2, 2), P(2, 2), P(4, 0)));
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(4, 0), P(2, 0), P(6, 0)));
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 1), P(3, 0), P(4, -1)));
    // A big triangle covering the whole cell without a vertex or edge inside it.
    EXPECT_TRUE(CellOverlapsTriangle(P(4, 4), P(8, 4), P(4, 8), P(8, 8), P(-20, -20), P(40, -20), P(-20, 40)));
    EXPECT_FALSE(CellOverlapsTriangle(P(4, 4), P(8, 4), P(4, 8), P(8, 8), P(0, 0), P(3, 0), P(0, 3)));
}

TEST_F(TerrainGridTest, GridCoversTheTerrainAndTheOrigin) {
    // All coordinates positive: the origin is still inside the bounds.
    Build(MakeTerrain(2, 5.0f, 10.0f, 10.0f, [](float, float) { return 1.0f; }));
    EXPECT_EQ(world->GridOrigin.x, 0.0f);
    EXPECT_EQ(world->GridOrigin.y, 0.0f);
    EXPECT_EQ(world->GridOrigin.z, 0.0f);
    // x from -10 to 30, y from 0 to 8: 10 + 10 by 2 + 10 cells.
    std::vector<D3DXVECTOR3> corners = {P(-10, 0), P(30, 0), P(-10, 8), P(30, 8)};
    const uint16_t indices[] = {0, 1, 2, 1, 3, 2};
    world->BuildTriangleGrid(corners, indices, 6);
    EXPECT_EQ(world->GridWidth, 20);
    EXPECT_EQ(world->GridHeight, 12);
    // Points off the grid fall into its edge cells.
    EXPECT_EQ(world->GetCell(P(-50, -50)), D3DXVECTOR2(0, 0));
    EXPECT_EQ(world->GetCell(P(1e6f, 1e6f)), D3DXVECTOR2(19, 11));
    EXPECT_EQ(world->GetCell(P(NAN, 5)), D3DXVECTOR2(0, 1));
    EXPECT_EQ(world->GetCell(P(-5.5f, 4.1f)), D3DXVECTOR2(1, 1));
}

TEST_F(TerrainGridTest, HeightFollowsTheSlopedPlane) {
    // A 40 m square of 2.5 m quads on the plane z = 0.3 x - 0.2 y + 5.
    auto plane = [](float x, float y) { return 0.3f * x - 0.2f * y + 5.0f; };
    Build(MakeTerrain(16, 2.5f, -20.0f, -20.0f, plane));
    Lcg random;
    for (int i = 0; i < 500; ++i) {
        const float x = -20.0f + 40.0f * random.Next();
        const float y = -20.0f + 40.0f * random.Next();
        const float z = -10.0f + 30.0f * random.Next();  // wherever the asker stands
        EXPECT_NEAR(world->GetHeight(P(x, y, z)), plane(x, y), 1e-3f) << x << "," << y;
    }
    // On a vertex and on a shared edge.
    EXPECT_NEAR(world->GetHeight(P(0, 0, 0)), 5.0f, 1e-4f);
    EXPECT_NEAR(world->GetHeight(P(1.25f, 0, 0)), plane(1.25f, 0), 1e-4f);
    // Off the mesh but in a cell with triangles: the nearest vertex; far off: 0.
    EXPECT_NEAR(world->GetHeight(P(21.0f, 0.1f, plane(20, 0))), plane(20, 0), 1e-4f);
    EXPECT_EQ(world->GetHeight(P(60.0f, 60.0f, 0.0f)), 0.0f);
}

TEST_F(TerrainGridTest, HeightPicksTheLayerNearestTheAsker) {
    // A ground at z = 0 and a bridge deck at z = 6 over the same square.
    std::vector<D3DXVECTOR3> positions = {P(0, 0, 0), P(8, 0, 0), P(0, 8, 0), P(8, 8, 0),
                                          P(0, 0, 6), P(8, 0, 6), P(0, 8, 6), P(8, 8, 6)};
    const uint16_t indices[] = {0, 1, 2, 1, 3, 2, 4, 5, 6, 5, 7, 6};
    world->BuildTriangleGrid(positions, indices, 12);
    EXPECT_NEAR(world->GetHeight(P(3, 3, 1)), 0.0f, 1e-5f);
    EXPECT_NEAR(world->GetHeight(P(3, 3, 5)), 6.0f, 1e-5f);
}

TEST_F(TerrainGridTest, CellsListExactlyTheTrianglesOverlappingThem) {
    // A bumpy mesh with jittered vertices, and two big triangles over several cells.
    Lcg random;
    TerrainMesh mesh = MakeTerrain(12, 3.0f, -17.0f, -9.0f, [](float x, float y) { return std::sin(x) + y * 0.1f; });
    for (D3DXVECTOR3& p : mesh.Positions) {
        p.x += random.Next() - 0.5f;
        p.y += random.Next() - 0.5f;
    }
    const auto base = static_cast<uint16_t>(mesh.Positions.size());
    mesh.Positions.insert(mesh.Positions.end(), {P(-30, -30), P(25, -28), P(-29, 26), P(5, 5), P(6, 5.5f), P(5.2f, 6)});
    mesh.Indices.insert(mesh.Indices.end(), {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2),
                                             static_cast<uint16_t>(base + 3), static_cast<uint16_t>(base + 4),
                                             static_cast<uint16_t>(base + 5)});
    Build(mesh);
    const float ox = world->GridOrigin.x, oy = world->GridOrigin.y;
    for (int32_t x = 0; x + 1 < world->GridWidth; ++x) {
        for (int32_t y = 0; y + 1 < world->GridHeight; ++y) {
            std::set<int32_t> expected;
            const D3DXVECTOR2 lo(ox + 4.0f * x, oy + 4.0f * y), hi(lo.x + 4.0f, lo.y + 4.0f);
            for (int32_t t = 0; t < world->GetTriangleCount(); ++t) {
                D3DXVECTOR3 corners[3];
                for (int k = 0; k < 3; ++k) {
                    corners[k] = mesh.Positions[mesh.Indices[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)]];
                }
                if (Overlaps2D(corners, lo, hi)) {
                    expected.insert(t);
                }
            }
            const CPGridCell& cell = world->GetCellTriangles(D3DXVECTOR2(static_cast<float>(x), static_cast<float>(y)));
            const std::set<int32_t> listed(cell.Triangles.begin(), cell.Triangles.end());
            EXPECT_EQ(cell.Count, static_cast<int32_t>(cell.Triangles.size()));
            EXPECT_EQ(listed.size(), cell.Triangles.size()) << "listed twice";
            EXPECT_EQ(listed, expected) << "cell " << x << "," << y;
        }
    }
}

TEST_F(TerrainGridTest, QueryHoldsEveryTriangleUnderTheBoxOnce) {
    Lcg random;
    TerrainMesh mesh = MakeTerrain(40, 2.0f, -40.0f, -40.0f, [](float x, float y) { return 0.1f * x * y * 0.01f; });
    Build(mesh);
    CPPhysicData data(nullptr);
    for (int i = 0; i < 200; ++i) {
        const float cx = -36.0f + 72.0f * random.Next(), cy = -36.0f + 72.0f * random.Next();
        const float hx = 0.2f + 4.0f * random.Next(), hy = 0.2f + 4.0f * random.Next();
        const D3DXVECTOR3 lower(cx - hx, cy - hy, -1.0f), upper(cx + hx, cy + hy, 1.0f);
        world->QueryTerrain(lower, upper, data);
        ASSERT_GE(data.TerrainTriangleCount, 0);
        ASSERT_LT(data.TerrainTriangleCount, CPPhysicData::MaxTerrainTriangles);
        const std::set<int32_t> listed(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount);
        EXPECT_EQ(listed.size(), static_cast<size_t>(data.TerrainTriangleCount)) << "listed twice";
        for (int32_t t = 0; t < world->GetTriangleCount(); ++t) {
            D3DXVECTOR3 corners[3];
            for (int k = 0; k < 3; ++k) {
                corners[k] = mesh.Positions[mesh.Indices[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)]];
            }
            const bool under = Overlaps2D(corners, D3DXVECTOR2(lower.x, lower.y), D3DXVECTOR2(upper.x, upper.y));
            // Nothing under the box is missed; nothing listed lies beyond the cells around it.
            const bool near = Overlaps2D(corners, D3DXVECTOR2(lower.x - 8.0f, lower.y - 8.0f),
                                         D3DXVECTOR2(upper.x + 8.0f, upper.y + 8.0f));
            if (under) {
                EXPECT_TRUE(listed.count(t)) << "box " << i << " misses " << t;
            }
            if (listed.count(t)) {
                EXPECT_TRUE(near) << "box " << i << " lists far " << t;
            }
        }
    }
    // A box over the whole terrain: the list stops short of the limit, each triangle once.
    world->QueryTerrain(P(-100, -100, -5), P(100, 100, 5), data);
    EXPECT_GT(data.TerrainTriangleCount, 900);
    EXPECT_LT(data.TerrainTriangleCount, CPPhysicData::MaxTerrainTriangles);
    const std::set<int32_t> all(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount);
    EXPECT_EQ(all.size(), static_cast<size_t>(data.TerrainTriangleCount));
    // One cell: the 3 x 3 block around it, clamped at the grid's corner.
    world->QueryTerrain(P(-40.5f, -40.5f, 0), P(-40.4f, -40.4f, 0), data);
    EXPECT_GT(data.TerrainTriangleCount, 0);
    for (int32_t i = 0; i < data.TerrainTriangleCount; ++i) {
        const D3DXVECTOR2 cell = world->GetCell(mesh.Positions[mesh.Indices[data.TerrainTriangles[i] * 3u]]);
        EXPECT_LE(cell.x, 2.0f);
        EXPECT_LE(cell.y, 2.0f);
    }
}

// A body asking again over the same cells keeps its list; a rebuilt grid, another world or a
// list emptied by someone else makes the query walk the cells again.
TEST_F(TerrainGridTest, RepeatedQueryOverTheSameCellsGivesTheFreshList) {
    const TerrainMesh flat = MakeTerrain(20, 2.0f, -20.0f, -20.0f, [](float, float) { return 0.0f; });
    Build(flat);
    CPPhysicData data(nullptr);
    const D3DXVECTOR3 lower(-1.0f, -1.0f, -1.0f), upper(1.0f, 1.0f, 1.0f);
    world->QueryTerrain(lower, upper, data);
    const std::vector<int32_t> first(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount);
    ASSERT_FALSE(first.empty());
    // Moved a little, over the same cells: the same list.
    world->QueryTerrain(lower + P(0.1f, 0.1f), upper + P(0.1f, 0.1f), data);
    EXPECT_EQ(std::vector<int32_t>(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount), first);
    // Emptied from outside: filled again.
    data.TerrainTriangleCount = 0;
    world->QueryTerrain(lower, upper, data);
    EXPECT_EQ(std::vector<int32_t>(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount), first);
    // The grid rebuilt from a mesh with only its first half of triangles: nothing listed
    // beyond them.
    TerrainMesh half = flat;
    half.Indices.resize(half.Indices.size() / 2);
    Build(half);
    world->QueryTerrain(lower, upper, data);
    ASSERT_GT(data.TerrainTriangleCount, 0);
    for (int32_t i = 0; i < data.TerrainTriangleCount; ++i) {
        EXPECT_LT(data.TerrainTriangles[i], world->GetTriangleCount());
    }
    EXPECT_LT(data.TerrainTriangleCount, static_cast<int32_t>(first.size()));
}

TEST_F(TerrainGridTest, TrianglesWithIndicesBeyondTheVerticesAreLeftOut) {
    std::vector<D3DXVECTOR3> positions = {P(0, 0), P(4, 0), P(0, 4), P(4, 4)};
    const uint16_t indices[] = {0, 1, 2, 1, 99, 2, 1, 3, 2, 0, 1};  // a bad one, and a partial tail
    world->BuildTriangleGrid(positions, indices, 11);
    ASSERT_EQ(world->GetTriangleCount(), 3);
    EXPECT_EQ(world->Triangles[1].Vertices[0], -1);
    EXPECT_EQ(world->Triangles[1].Vertices[1], -1);
    CPPhysicData data(nullptr);
    world->QueryTerrain(P(-1, -1, 0), P(5, 5, 0), data);
    const std::set<int32_t> listed(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount);
    EXPECT_EQ(listed, (std::set<int32_t>{0, 2}));
    // A corner that is no number leaves its triangles out and the bounds alone.
    positions[3] = P(NAN, 4);
    world->BuildTriangleGrid(positions, indices, 9);
    EXPECT_EQ(world->Triangles[2].Vertices[0], -1);
    EXPECT_EQ(world->GridWidth, 11);
    // A terrain without triangles answers every question with nothing.
    world->BuildTriangleGrid({}, nullptr, 0);
    world->QueryTerrain(P(-1, -1, 0), P(5, 5, 0), data);
    EXPECT_EQ(data.TerrainTriangleCount, 0);
    EXPECT_EQ(world->GetHeight(P(1, 1, 1)), 0.0f);
}

TEST_F(TerrainGridTest, BigBoxesTakeAllTheirCells) {
    // 8 m quads: a 40 m box spans 12 x 12 cells with its margin, far beyond a fixed list of 44.
    TerrainMesh mesh = MakeTerrain(20, 8.0f, -80.0f, -80.0f, [](float, float) { return 0.0f; });
    Build(mesh);
    CPPhysicData data(nullptr);
    world->QueryTerrain(P(-20, -20, -1), P(20, 20, 1), data);
    const std::set<int32_t> listed(data.TerrainTriangles, data.TerrainTriangles + data.TerrainTriangleCount);
    for (int32_t t = 0; t < world->GetTriangleCount(); ++t) {
        D3DXVECTOR3 corners[3];
        for (int k = 0; k < 3; ++k) {
            corners[k] = mesh.Positions[mesh.Indices[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)]];
        }
        if (Overlaps2D(corners, D3DXVECTOR2(-20, -20), D3DXVECTOR2(20, 20))) {
            EXPECT_TRUE(listed.count(t)) << t;
        }
    }
}
