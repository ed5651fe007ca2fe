// Cost of the per-frame geometry: re-placing and ray-picking the scene's oriented boxes (the
// path search, which moved to game/ with the paths, is measured in bench_game_paths).
#include "core/CPBox.h"
#include "platform/win32/CrtRand.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

float Unit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }

std::vector<CPBox> ScatteredBoxes(int count) {
    CrtSrand(7);
    std::vector<CPBox> boxes;
    boxes.reserve(count);
    for (int i = 0; i < count; ++i) {
        CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0.5f + Unit() * 3, 0.5f + Unit() * 3, 0.5f + Unit() * 2));
        D3DXMATRIX turn, move;
        D3DXMatrixRotationYawPitchRoll(&turn, Unit() * 6.28f, 0, Unit() * 6.28f);
        D3DXMatrixTranslation(&move, Unit() * 1000 - 500, Unit() * 1000 - 500, Unit() * 20);
        box.World = turn * move;
        boxes.push_back(box);
    }
    return boxes;
}

void BM_BoxUpdateAndPick(benchmark::State& state) {
    std::vector<CPBox> boxes = ScatteredBoxes(static_cast<int>(state.range(0)));
    const D3DXVECTOR3 origin(-600, -600, 10);
    D3DXVECTOR3 direction(1, 1, 0);
    D3DXVec3Normalize(&direction, &direction);
    for (auto _ : state) {
        int hits = 0;
        for (CPBox& box : boxes) {
            box.Update();
            float distance = 2000;
            D3DXPLANE plane;
            hits += box.IntersectRay(origin, direction, distance, plane) ? 1 : 0;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BoxUpdateAndPick)->Arg(5000);

}  // namespace
