// The terrain grid: building it from the level's terrain mesh, and the two questions asked of
// it every frame, the candidate triangles of a body's box and the height under a point.
//
// A triangle enters every cell it overlaps (touching counts), tested against the cells
// around the cells of its three vertices; the last row and column of the grid are never
// tested, and the grid's margin of ten cells keeps the terrain away from them.
//
// A query lists each triangle once even when several of its cells hold it (each copy would
// only use up the list's room), so a box over big triangles still gets every cell it needs.
#include "scene/CPPhysicScene.h"

#include "physics/RbBody.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

namespace {

constexpr float InverseCellSize = 0.25f;
// A bigger grid than this per axis (a terrain some 32 km across, or damaged positions) is cut
// to it; points beyond fall into the edge cells.
constexpr int32_t MaxGridCells = 8192;
constexpr float NoVertexDistance = 1000.0f;

D3DXVECTOR3 Point(const RbVector& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

bool Finite(const D3DXVECTOR3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

float Cross2D(const D3DXVECTOR3& d, const D3DXVECTOR3& e) { return d.x * e.y - d.y * e.x; }

// Cell count along an axis spanning `extent` metres.
int32_t CellsFor(float extent) {
    const float cells = std::ceil(extent * InverseCellSize);
    if (!(cells < static_cast<float>(MaxGridCells - CPPhysicScene::GridMargin))) {
        return MaxGridCells;
    }
    return static_cast<int32_t>(cells) + CPPhysicScene::GridMargin;
}

// trunc(offset / 4) clamped to 0..count-1 (NaN to 0), as a float.
float CellCoordinate(float offset, int32_t count) {
    const float cell = std::trunc(offset * InverseCellSize);
    if (!(cell >= 0.0f)) {
        return 0.0f;
    }
    return std::min(cell, static_cast<float>(std::max(count - 1, 0)));
}

const CPGridCell EmptyCell;

// ClassifyPoint(p, a, b) == 0 without the cases on the line, which the inside test only
// needs to tell apart from 0.
inline bool LeftOf(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return Cross2D(b - a, p - a) > 0.0f;
}

// The bodies of PointInTriangle2D and SegmentsIntersect, inlined into the grid's build.
inline bool InsideOrOn(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c) {
    if (!LeftOf(p, a, b) && !LeftOf(p, b, c) && !LeftOf(p, c, a)) {
        return true;
    }
    return !LeftOf(p, c, b) && !LeftOf(p, a, c) && !LeftOf(p, b, a);
}

inline bool Crosses(const D3DXVECTOR3& a1, const D3DXVECTOR3& a2, const D3DXVECTOR3& b1, const D3DXVECTOR3& b2) {
    if (std::max(a1.x, a2.x) < std::min(b1.x, b2.x) || std::max(b1.x, b2.x) < std::min(a1.x, a2.x) ||
        std::max(a1.y, a2.y) < std::min(b1.y, b2.y) || std::max(b1.y, b2.y) < std::min(a1.y, a2.y)) {
        return false;
    }
    const D3DXVECTOR3 dA = a2 - a1;
    const D3DXVECTOR3 dB = b2 - b1;
    const D3DXVECTOR3 o = a1 - b1;
    const float denominator = dA.x * dB.y - dA.y * dB.x;
    if (denominator == 0.0f) {
        return false;
    }
    // nA / denominator is the parameter along a1->a2, nB / denominator along b1->b2.
    const float nA = o.y * dB.x - o.x * dB.y;
    const float nB = o.y * dA.x - o.x * dA.y;
    if (denominator > 0.0f) {
        return nA >= 0.0f && nA <= denominator && nB >= 0.0f && nB <= denominator;
    }
    return nA <= 0.0f && nA >= denominator && nB <= 0.0f && nB >= denominator;
}

}  // namespace

int ClassifyPoint(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = b - a;
    const D3DXVECTOR3 e = p - a;
    const float cross = Cross2D(d, e);
    if (cross > 0.0f) {
        return 0;
    }
    if (cross < 0.0f) {
        return 1;
    }
    if (e.x * d.x < 0.0f || e.y * d.y < 0.0f) {
        return 3;
    }
    if (e.x * e.x + e.y * e.y > d.x * d.x + d.y * d.y) {
        return 2;
    }
    if (p == a) {
        return 5;
    }
    if (p == b) {
        return 6;
    }
    return 4;
}

bool PointInTriangle2D(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c) {
    return InsideOrOn(p, a, b, c);
}

bool SegmentsIntersect(const D3DXVECTOR3& a1, const D3DXVECTOR3& a2, const D3DXVECTOR3& b1, const D3DXVECTOR3& b2) {
    return Crosses(a1, a2, b1, b2);
}

bool CellOverlapsTriangle(const D3DXVECTOR3& p0, const D3DXVECTOR3& p1, const D3DXVECTOR3& p2,
                          const D3DXVECTOR3& p3, const D3DXVECTOR3& t0, const D3DXVECTOR3& t1,
                          const D3DXVECTOR3& t2) {
    for (const D3DXVECTOR3* t : {&t0, &t1, &t2}) {
        if (t->x >= p0.x && t->x <= p1.x && t->y >= p0.y && t->y <= p2.y) {
            return true;
        }
    }
    for (const D3DXVECTOR3* p : {&p0, &p1, &p2, &p3}) {
        if (PointInTriangle2D(*p, t0, t1, t2)) {
            return true;
        }
    }
    const D3DXVECTOR3* cellEdges[4][2] = {{&p0, &p1}, {&p1, &p3}, {&p2, &p3}, {&p2, &p0}};
    const D3DXVECTOR3* triangleEdges[3][2] = {{&t0, &t1}, {&t1, &t2}, {&t2, &t0}};
    for (const auto& c : cellEdges) {
        for (const auto& t : triangleEdges) {
            if (SegmentsIntersect(*c[0], *c[1], *t[0], *t[1])) {
                return true;
            }
        }
    }
    return false;
}

void CPPhysicScene::BuildTriangleGrid(const std::vector<D3DXVECTOR3>& positions, const uint16_t* indices,
                                      size_t indexCount) {
    const size_t vertexCount = positions.size();
    Vertices.assign(vertexCount, RbVector{});
    D3DXVECTOR3 lower(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 upper(0.0f, 0.0f, 0.0f);
    for (size_t i = 0; i < vertexCount; ++i) {
        const D3DXVECTOR3& p = positions[i];
        Vertices[i] = RbVec(p.x, p.y, p.z);
        if (Finite(p)) {
            lower = D3DXVECTOR3(std::min(lower.x, p.x), std::min(lower.y, p.y), std::min(lower.z, p.z));
            upper = D3DXVECTOR3(std::max(upper.x, p.x), std::max(upper.y, p.y), std::max(upper.z, p.z));
        }
    }
    GridOrigin = RbVec(lower.x, lower.y, lower.z);
    GridWidth = CellsFor(upper.x - lower.x);
    GridHeight = CellsFor(upper.y - lower.y);
    GridCells.assign(static_cast<size_t>(GridWidth) * static_cast<size_t>(GridHeight), CPGridCell{});
    CellMarks.assign(GridCells.size(), 0);
    QueryMark = 0;
    ++GridVersion;

    const size_t triangleCount = indices != nullptr ? indexCount / 3 : 0;
    Triangles.assign(triangleCount, RbTerrainTriangle{});
    TriangleMarks.assign(triangleCount, 0);
    // (cell, triangle) pairs in triangle order; the cells' lists are filled from them at the
    // end, each allocated once at its final size.
    std::vector<std::pair<uint32_t, int32_t>> entries;
    entries.reserve(triangleCount * 4);
    // Per triangle, whether each grid corner of its candidate block lies in it: the four
    // cells around a corner share the answer.
    std::vector<uint8_t> cornerInside;
    for (size_t t = 0; t < triangleCount; ++t) {
        const uint16_t* corner = indices + t * 3;
        if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount) {
            continue;  // a damaged mesh: the simulator cannot check these indices itself
        }
        const D3DXVECTOR3& t0 = positions[corner[0]];
        const D3DXVECTOR3& t1 = positions[corner[1]];
        const D3DXVECTOR3& t2 = positions[corner[2]];
        if (!Finite(t0) || !Finite(t1) || !Finite(t2)) {
            continue;
        }
        RbTerrainTriangle& record = Triangles[t];
        record.Vertices[0] = corner[0];
        record.Vertices[1] = corner[1];
        record.Vertices[2] = corner[2];
        const D3DXVECTOR2 c0 = GetCell(t0), c1 = GetCell(t1), c2 = GetCell(t2);
        const int32_t minX = static_cast<int32_t>(std::min({c0.x, c1.x, c2.x}));
        const int32_t maxX = static_cast<int32_t>(std::max({c0.x, c1.x, c2.x}));
        const int32_t minY = static_cast<int32_t>(std::min({c0.y, c1.y, c2.y}));
        const int32_t maxY = static_cast<int32_t>(std::max({c0.y, c1.y, c2.y}));
        const int32_t firstX = std::max(minX - 1, 0), endX = std::min(GridWidth - 1, maxX + 1);
        const int32_t firstY = std::max(minY - 1, 0), endY = std::min(GridHeight - 1, maxY + 1);
        if (firstX >= endX || firstY >= endY) {
            continue;
        }
        const int32_t number = static_cast<int32_t>(t);
        auto cornerX = [&](int32_t x) { return GridOrigin.x + CellSize * static_cast<float>(x); };
        auto cornerY = [&](int32_t y) { return GridOrigin.y + CellSize * static_cast<float>(y); };
        const size_t columns = static_cast<size_t>(endX - firstX + 1);
        cornerInside.resize(columns * static_cast<size_t>(endY - firstY + 1));
        for (int32_t y = firstY; y <= endY; ++y) {
            for (int32_t x = firstX; x <= endX; ++x) {
                const D3DXVECTOR3 p(cornerX(x), cornerY(y), GridOrigin.z);
                cornerInside[static_cast<size_t>(y - firstY) * columns + static_cast<size_t>(x - firstX)] =
                    InsideOrOn(p, t0, t1, t2) ? 1 : 0;
            }
        }
        // Edge crossings need the cell to reach the triangle's bounds (touching counts), as
        // SegmentsIntersect's own bounds test would find.
        const float lowX = std::min({t0.x, t1.x, t2.x}), highX = std::max({t0.x, t1.x, t2.x});
        const float lowY = std::min({t0.y, t1.y, t2.y}), highY = std::max({t0.y, t1.y, t2.y});
        for (int32_t y = firstY; y < endY; ++y) {
            const uint8_t* below = &cornerInside[static_cast<size_t>(y - firstY) * columns];
            const uint8_t* above = below + columns;
            for (int32_t x = firstX; x < endX; ++x) {
                const float x0 = cornerX(x), y0 = cornerY(y), x1 = cornerX(x + 1), y1 = cornerY(y + 1);
                const size_t i = static_cast<size_t>(x - firstX);
                bool overlaps = below[i] != 0 || below[i + 1] != 0 || above[i] != 0 || above[i + 1] != 0;
                for (const D3DXVECTOR3* v : {&t0, &t1, &t2}) {
                    overlaps = overlaps || (v->x >= x0 && v->x <= x1 && v->y >= y0 && v->y <= y1);
                }
                if (!overlaps && x1 >= lowX && x0 <= highX && y1 >= lowY && y0 <= highY) {
                    const D3DXVECTOR3 p0(x0, y0, GridOrigin.z), p1(x1, y0, GridOrigin.z);
                    const D3DXVECTOR3 p2(x0, y1, GridOrigin.z), p3(x1, y1, GridOrigin.z);
                    const D3DXVECTOR3* cellEdges[4][2] = {{&p0, &p1}, {&p1, &p3}, {&p2, &p3}, {&p2, &p0}};
                    const D3DXVECTOR3* triangleEdges[3][2] = {{&t0, &t1}, {&t1, &t2}, {&t2, &t0}};
                    for (const auto& e : triangleEdges) {
                        // An edge whose bounds miss the cell crosses none of its sides.
                        if (std::max(e[0]->x, e[1]->x) < x0 || std::min(e[0]->x, e[1]->x) > x1 ||
                            std::max(e[0]->y, e[1]->y) < y0 || std::min(e[0]->y, e[1]->y) > y1) {
                            continue;
                        }
                        for (const auto& c : cellEdges) {
                            overlaps = overlaps || Crosses(*c[0], *c[1], *e[0], *e[1]);
                        }
                    }
                }
                if (overlaps) {
                    entries.emplace_back(
                        static_cast<uint32_t>(static_cast<size_t>(x) * static_cast<size_t>(GridHeight) +
                                              static_cast<size_t>(y)),
                        number);
                }
            }
        }
    }
    // A counting sort by cell: stable, so each list keeps triangle order.
    std::vector<int32_t> starts(GridCells.size() + 1, 0);
    for (const auto& entry : entries) {
        ++starts[entry.first + 1];
    }
    for (size_t i = 1; i < starts.size(); ++i) {
        starts[i] += starts[i - 1];
    }
    GridTriangles.resize(entries.size());
    for (size_t i = 0; i < GridCells.size(); ++i) {
        const int32_t count = starts[i + 1] - starts[i];
        if (count > 0) {
            GridCells[i].Count = count;
            GridCells[i].Triangles = std::span<const int32_t>(GridTriangles.data() + starts[i], static_cast<size_t>(count));
        }
    }
    for (const auto& entry : entries) {
        GridTriangles[static_cast<size_t>(starts[entry.first]++)] = entry.second;
    }
    ForgetTerrainAnswers();
}

void CPPhysicScene::ForgetTerrainAnswers() {
    if (Simulator == nullptr) {
        return;
    }
    Simulator->TerrainChanged();  // the arrays may have been refilled in place
    for (int32_t kind = 0; kind < RbBodyListCount; ++kind) {
        for (RbBody* body = Simulator->GetBodyList(static_cast<RbBodyListKind>(kind)).Head; body != nullptr;
             body = body->ListNext) {
            body->TerrainSlice = 0;
            body->TerrainTriangles = nullptr;
            body->TerrainVertices = nullptr;
        }
    }
}

D3DXVECTOR2 CPPhysicScene::GetCell(const D3DXVECTOR3& p) const {
    return D3DXVECTOR2(CellCoordinate(p.x - GridOrigin.x, GridWidth), CellCoordinate(p.y - GridOrigin.y, GridHeight));
}

const CPGridCell* CPPhysicScene::CellAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= GridWidth || y >= GridHeight) {
        return nullptr;
    }
    return &GridCells[static_cast<size_t>(x) * static_cast<size_t>(GridHeight) + static_cast<size_t>(y)];
}

const CPGridCell& CPPhysicScene::GetCellTriangles(const D3DXVECTOR2& cell) const {
    if (!(cell.x >= 0.0f && cell.y >= 0.0f && cell.x < static_cast<float>(GridWidth) &&
          cell.y < static_cast<float>(GridHeight))) {
        return EmptyCell;
    }
    const CPGridCell* found = CellAt(static_cast<int32_t>(cell.x), static_cast<int32_t>(cell.y));
    return found != nullptr ? *found : EmptyCell;
}

bool CPPhysicScene::CellHasTriangle(int32_t triangle, const D3DXVECTOR2& cell) const {
    const std::span<const int32_t> list = GetCellTriangles(cell).Triangles;
    return std::find(list.begin(), list.end(), triangle) != list.end();
}

float CPPhysicScene::GetHeight(const D3DXVECTOR3& p) const {
    const CPGridCell& cell = GetCellTriangles(GetCell(p));
    const int32_t vertexCount = GetVertexCount();
    // The triangle under p in x and y: the height of its plane there.
    bool covered = false;
    float height = 0.0f;
    float nearest = std::numeric_limits<float>::infinity();
    for (int32_t t : cell.Triangles) {
        const int32_t* corner = Triangles[static_cast<size_t>(t)].Vertices;
        const D3DXVECTOR3 a = Point(Vertices[static_cast<size_t>(corner[0])]);
        const D3DXVECTOR3 b = Point(Vertices[static_cast<size_t>(corner[1])]);
        const D3DXVECTOR3 c = Point(Vertices[static_cast<size_t>(corner[2])]);
        // Barycentric weights of p in the triangle's x-y projection.
        const float area = Cross2D(b - a, c - a);
        if (std::fabs(area) < 1e-12f) {
            continue;  // seen edge-on from above: no height of its own
        }
        const float wb = Cross2D(p - a, c - a) / area;
        const float wc = Cross2D(b - a, p - a) / area;
        const float wa = 1.0f - wb - wc;
        constexpr float Edge = -1e-5f;  // a point on a shared edge belongs to both
        if (wa < Edge || wb < Edge || wc < Edge) {
            continue;
        }
        const float z = wa * a.z + wb * b.z + wc * c.z;
        const float gap = std::fabs(z - p.z);
        if (!covered || gap < nearest) {
            covered = true;
            nearest = gap;
            height = z;
        }
    }
    if (covered) {
        return height;
    }
    // Off the edge of the mesh: the nearest vertex of the cell's triangles.
    float best = NoVertexDistance;
    for (int32_t t : cell.Triangles) {
        for (int32_t v : Triangles[static_cast<size_t>(t)].Vertices) {
            if (v < 0 || v >= vertexCount) {
                continue;
            }
            const D3DXVECTOR3 q = Point(Vertices[static_cast<size_t>(v)]);
            const D3DXVECTOR3 d = q - p;
            const float squared = D3DXVec3LengthSq(&d);
            const float distance = squared < RbZeroLengthSquared ? 0.0f : std::sqrt(squared);
            if (distance < best) {
                best = distance;
                height = q.z;
            }
        }
    }
    return height;
}

void CPPhysicScene::QueryTerrain(const D3DXVECTOR3& lower, const D3DXVECTOR3& upper, CPPhysicData& physics) const {
    if (GridCells.empty()) {
        physics.TerrainTriangleCount = 0;
        physics.TerrainQueryCount = -1;
        return;
    }
    // The cells of the box's corners and centre, then the block around them grown by one.
    const D3DXVECTOR3 samples[5] = {lower, upper, D3DXVECTOR3(lower.x, upper.y, lower.z),
                                    D3DXVECTOR3(upper.x, lower.y, upper.z), lower + (upper - lower) * 0.5f};
    int32_t sampleCells[10];
    for (int i = 0; i < 5; ++i) {  // GetCell, inline
        sampleCells[2 * i] = static_cast<int32_t>(CellCoordinate(samples[i].x - GridOrigin.x, GridWidth));
        sampleCells[2 * i + 1] = static_cast<int32_t>(CellCoordinate(samples[i].y - GridOrigin.y, GridHeight));
    }
    // The list depends on nothing else: a body that stayed over the same cells keeps it.
    if (physics.TerrainQueryWorld == this && physics.TerrainQueryGrid == GridVersion &&
        physics.TerrainQueryCount == physics.TerrainTriangleCount &&
        std::equal(std::begin(sampleCells), std::end(sampleCells), std::begin(physics.TerrainQueryCells))) {
        return;
    }
    physics.TerrainTriangleCount = 0;
    physics.TerrainQueryCount = -1;
    if (++QueryMark == 0) {
        std::fill(CellMarks.begin(), CellMarks.end(), 0u);
        std::fill(TriangleMarks.begin(), TriangleMarks.end(), 0u);
        QueryMark = 1;
    }
    const uint32_t mark = QueryMark;
    QueryCells.clear();
    auto take = [&](int32_t x, int32_t y) {
        const size_t index = static_cast<size_t>(x) * static_cast<size_t>(GridHeight) + static_cast<size_t>(y);
        if (CellMarks[index] != mark) {
            CellMarks[index] = mark;
            QueryCells.push_back(static_cast<int32_t>(index));
        }
    };
    int32_t minX = GridWidth, maxX = -1, minY = GridHeight, maxY = -1;
    for (int i = 0; i < 5; ++i) {
        const int32_t x = sampleCells[2 * i], y = sampleCells[2 * i + 1];
        take(x, y);
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    for (int32_t x = minX - 1; x <= maxX + 1; ++x) {
        for (int32_t y = minY - 1; y <= maxY + 1; ++y) {
            take(std::clamp(x, 0, GridWidth - 1), std::clamp(y, 0, GridHeight - 1));
        }
    }
    // One pass per cell: a cell whose new triangles would bring the list to its limit is taken
    // back and ends the list (its marks no longer matter, the query is over).
    int32_t count = 0;
    uint32_t* const marks = TriangleMarks.data();
    int32_t* const out = physics.TerrainTriangles;
    for (int32_t index : QueryCells) {
        const int32_t start = count;
        bool full = false;
        for (const int32_t t : GridCells[static_cast<size_t>(index)].Triangles) {
            if (marks[static_cast<size_t>(t)] != mark) {
                marks[static_cast<size_t>(t)] = mark;
                out[count] = t;
                if (++count == CPPhysicData::MaxTerrainTriangles) {
                    full = true;
                    break;
                }
            }
        }
        if (full) {
            count = start;
            break;
        }
    }
    physics.TerrainTriangleCount = count;
    physics.TerrainQueryWorld = this;
    physics.TerrainQueryGrid = GridVersion;
    physics.TerrainQueryCount = count;
    std::copy(std::begin(sampleCells), std::end(sampleCells), std::begin(physics.TerrainQueryCells));
}

void CPPhysicScene::TerrainQueryCallback(const RbVector& lower, const RbVector& upper, const int32_t*& candidates,
                                         const RbTerrainTriangle*& triangles, const RbVector*& vertices,
                                         int32_t& candidateCount, int32_t& triangleCount, RbBody* body) {
    candidates = nullptr;
    triangles = nullptr;
    vertices = nullptr;
    candidateCount = 0;
    triangleCount = 0;
    CPPhysicScene* world = body != nullptr ? OfSimulator(body->Simulator) : nullptr;
    if (world == nullptr) {
        return;
    }
    auto* owner = static_cast<CPGameObject*>(body->GetUserData());
    CPPhysicData* data = owner != nullptr ? owner->Physics.Get() : nullptr;
    if (data == nullptr) {
        if (world->ScratchData == nullptr) {
            world->ScratchData = std::make_unique<CPPhysicData>(nullptr);
        }
        data = world->ScratchData.get();
    }
    world->QueryTerrain(D3DXVECTOR3(lower.x, lower.y, lower.z), D3DXVECTOR3(upper.x, upper.y, upper.z), *data);
    candidates = data->TerrainTriangles;
    candidateCount = data->TerrainTriangleCount;
    triangles = world->Triangles.data();
    vertices = world->Vertices.data();
    triangleCount = world->GetTriangleCount();
}
