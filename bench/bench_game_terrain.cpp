// The terrain grid's query: candidate triangles for 256 car-sized boxes scattered over a
// 60 000-triangle terrain, against two baselines. The first is the tightest plain scan: the
// triangles' x-y bounds precomputed in four flat arrays, every triangle tested against the
// box. The second is a plain uniform grid of 4 m cells over the same triangles (each listed
// in the cells its x-y bounds meet, the lists in one flat array), taking the cells the box
// meets, each triangle once (a stamp per triangle) and only those whose bounds meet the box.
// The engine's grid answers with a few cells' triangles (a superset by up to one cell), the
// scan and the plain grid with exactly the triangles whose bounds meet the box; every list
// is capped at 999.
#include "BaselineRatio.h"

#include "scene/CPPhysicData.h"
#include "scene/CPPhysicScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int Cells = 173;  // quads per side: 2 · 173² = 59 858 triangles
constexpr float Spacing = 2.5f;
constexpr int Boxes = 256;

struct Scene {
    CPPhysicScene world;
    CPPhysicData data{nullptr};
    std::vector<float> minX, maxX, minY, maxY;
    std::vector<D3DXVECTOR3> lower, upper;
    std::vector<int32_t> scan;

    Scene() {
        std::vector<D3DXVECTOR3> positions;
        std::vector<uint16_t> indices;
        const int side = Cells + 1;
        // 174² = 30 276 vertices: within the 16-bit indices.
        for (int j = 0; j < side; ++j) {
            for (int i = 0; i < side; ++i) {
                const float x = Spacing * static_cast<float>(i) - 200.0f;
                const float y = Spacing * static_cast<float>(j) - 200.0f;
                positions.emplace_back(x, y, 2.0f * std::sin(0.05f * x) * std::cos(0.07f * y));
            }
        }
        for (int j = 0; j < Cells; ++j) {
            for (int i = 0; i < Cells; ++i) {
                const auto a = static_cast<uint16_t>(j * side + i);
                const auto b = static_cast<uint16_t>(a + 1);
                const auto c = static_cast<uint16_t>(a + side);
                const auto d = static_cast<uint16_t>(c + 1);
                indices.insert(indices.end(), {a, b, c, b, d, c});
            }
        }
        world.BuildTriangleGrid(positions, indices.data(), indices.size());
        for (size_t t = 0; t + 2 < indices.size(); t += 3) {
            const D3DXVECTOR3& p0 = positions[indices[t]];
            const D3DXVECTOR3& p1 = positions[indices[t + 1]];
            const D3DXVECTOR3& p2 = positions[indices[t + 2]];
            minX.push_back(std::min({p0.x, p1.x, p2.x}));
            maxX.push_back(std::max({p0.x, p1.x, p2.x}));
            minY.push_back(std::min({p0.y, p1.y, p2.y}));
            maxY.push_back(std::max({p0.y, p1.y, p2.y}));
        }
        uint32_t state = 7;
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return static_cast<float>(state >> 8) / 16777216.0f;
        };
        for (int k = 0; k < Boxes; ++k) {
            const float cx = -190.0f + 410.0f * next(), cy = -190.0f + 410.0f * next();
            const float heading = 6.2831853f * next();
            // A 2 x 4.5 m car turned by heading, as an axis-aligned box.
            const float hx = 1.0f * std::fabs(std::cos(heading)) + 2.25f * std::fabs(std::sin(heading));
            const float hy = 1.0f * std::fabs(std::sin(heading)) + 2.25f * std::fabs(std::cos(heading));
            lower.emplace_back(cx - hx, cy - hy, -3.0f);
            upper.emplace_back(cx + hx, cy + hy, 3.0f);
        }
        scan.resize(CPPhysicData::MaxTerrainTriangles);
        BuildPlainGrid();
    }

    // The plain grid.
    static constexpr float Cell = 4.0f;
    float gridX = 0.0f, gridY = 0.0f;
    int gridWidth = 0, gridHeight = 0;
    std::vector<uint32_t> cellStart;  // per cell, into cellTriangles; one more at the end
    std::vector<int32_t> cellTriangles;
    std::vector<uint32_t> stamps;
    uint32_t stamp = 0;

    int CellOf(float v, float origin, int count) const {
        return std::clamp(static_cast<int>(std::floor((v - origin) / Cell)), 0, count - 1);
    }

    void BuildPlainGrid() {
        gridX = *std::min_element(minX.begin(), minX.end());
        gridY = *std::min_element(minY.begin(), minY.end());
        gridWidth = static_cast<int>((*std::max_element(maxX.begin(), maxX.end()) - gridX) / Cell) + 1;
        gridHeight = static_cast<int>((*std::max_element(maxY.begin(), maxY.end()) - gridY) / Cell) + 1;
        cellStart.assign(static_cast<size_t>(gridWidth * gridHeight) + 1, 0);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<uint32_t> fill(cellStart.begin(), cellStart.end() - 1);
            for (size_t t = 0; t < minX.size(); ++t) {
                for (int j = CellOf(minY[t], gridY, gridHeight), j1 = CellOf(maxY[t], gridY, gridHeight); j <= j1; ++j) {
                    for (int i = CellOf(minX[t], gridX, gridWidth), i1 = CellOf(maxX[t], gridX, gridWidth); i <= i1;
                         ++i) {
                        const size_t cell = static_cast<size_t>(j * gridWidth + i);
                        if (pass == 0) {
                            ++cellStart[cell + 1];
                        } else {
                            cellTriangles[fill[cell]++] = static_cast<int32_t>(t);
                        }
                    }
                }
            }
            if (pass == 0) {
                for (size_t c = 1; c < cellStart.size(); ++c) {
                    cellStart[c] += cellStart[c - 1];
                }
                cellTriangles.resize(cellStart.back());
            }
        }
        stamps.assign(minX.size(), 0);
    }

    int64_t PlainGrid() {
        int64_t total = 0;
        for (int k = 0; k < Boxes; ++k) {
            const D3DXVECTOR3& lo = lower[static_cast<size_t>(k)];
            const D3DXVECTOR3& hi = upper[static_cast<size_t>(k)];
            ++stamp;
            int32_t found = 0;
            const int i0 = CellOf(lo.x, gridX, gridWidth), i1 = CellOf(hi.x, gridX, gridWidth);
            const int j0 = CellOf(lo.y, gridY, gridHeight), j1 = CellOf(hi.y, gridY, gridHeight);
            for (int j = j0; j <= j1; ++j) {
                for (int i = i0; i <= i1; ++i) {
                    const size_t cell = static_cast<size_t>(j * gridWidth + i);
                    for (uint32_t c = cellStart[cell]; c < cellStart[cell + 1]; ++c) {
                        const int32_t t = cellTriangles[c];
                        const size_t u = static_cast<size_t>(t);
                        if (stamps[u] == stamp || found >= CPPhysicData::MaxTerrainTriangles - 1) {
                            continue;
                        }
                        stamps[u] = stamp;
                        if (minX[u] <= hi.x && maxX[u] >= lo.x && minY[u] <= hi.y && maxY[u] >= lo.y) {
                            scan[static_cast<size_t>(found++)] = t;
                        }
                    }
                }
            }
            total += found;
        }
        return total;
    }

    int64_t Grid() {
        int64_t total = 0;
        for (int k = 0; k < Boxes; ++k) {
            world.QueryTerrain(lower[static_cast<size_t>(k)], upper[static_cast<size_t>(k)], data);
            total += data.TerrainTriangleCount;
        }
        return total;
    }

    int64_t Scan() {
        int64_t total = 0;
        const size_t count = minX.size();
        for (int k = 0; k < Boxes; ++k) {
            const D3DXVECTOR3& lo = lower[static_cast<size_t>(k)];
            const D3DXVECTOR3& hi = upper[static_cast<size_t>(k)];
            int32_t found = 0;
            for (size_t t = 0; t < count && found < CPPhysicData::MaxTerrainTriangles - 1; ++t) {
                if (minX[t] <= hi.x && maxX[t] >= lo.x && minY[t] <= hi.y && maxY[t] >= lo.y) {
                    scan[static_cast<size_t>(found++)] = static_cast<int32_t>(t);
                }
            }
            total += found;
        }
        return total;
    }
};

void BM_TerrainQueryAgainstScan(benchmark::State& state) {
    static Scene scene;
    int64_t gridTotal = 0, scanTotal = 0;
    RunAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(gridTotal = scene.Grid()); },
        [&] { benchmark::DoNotOptimize(scanTotal = scene.Scan()); });
    // Average list lengths: the grid's is the longer (whole cells around the box).
    state.counters["grid_per_box"] = static_cast<double>(gridTotal) / Boxes;
    state.counters["scan_per_box"] = static_cast<double>(scanTotal) / Boxes;
}
BENCHMARK(BM_TerrainQueryAgainstScan)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TerrainQueryAgainstPlainGrid(benchmark::State& state) {
    static Scene scene;
    int64_t gridTotal = 0, plainTotal = 0;
    RunAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(gridTotal = scene.Grid()); },
        [&] { benchmark::DoNotOptimize(plainTotal = scene.PlainGrid()); });
    if (plainTotal != scene.Scan()) {
        state.SkipWithError("the plain grid and the scan found different triangles");
    }
    state.counters["grid_per_box"] = static_cast<double>(gridTotal) / Boxes;
    state.counters["plain_grid_per_box"] = static_cast<double>(plainTotal) / Boxes;
}
BENCHMARK(BM_TerrainQueryAgainstPlainGrid)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
