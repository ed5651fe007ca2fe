// The terrain grid's query against a brute-force scan: candidate triangles for 256 car-sized
// boxes scattered over a 60 000-triangle terrain. The baseline is the tightest plain scan: the
// triangles' x-y bounds precomputed in four flat arrays, every triangle tested against the
// box. The grid answers with a few cells' triangles (a superset by up to one cell), the scan
// with exactly the triangles whose bounds meet the box; both lists are capped at 999.
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

}  // namespace
