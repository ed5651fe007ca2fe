// Cost of the per-frame geometry: re-placing and ray-picking the scene's oriented boxes, and
// the nearest-piece search on a long track when the remembered piece is stale.
#include "core/CPBox.h"
#include "core/CPSpline.h"
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

void BuildCircle(CPSpline& spline, int pieces) {
    const float radius = pieces * 10.5f / (2.0f * D3DX_PI);
    for (int i = 0; i < pieces; ++i) {
        const float a0 = 2.0f * D3DX_PI * i / pieces, a1 = 2.0f * D3DX_PI * (i + 1) / pieces;
        auto line = std::make_unique<CPLine>();
        line->Start = D3DXVECTOR3(radius * std::cos(a0), radius * std::sin(a0), 0);
        line->End = D3DXVECTOR3(radius * std::cos(a1), radius * std::sin(a1), 0);
        line->Centre = (line->Start + line->End) * 0.5f;
        line->Heading = a0;
        spline.Lines.push_back(std::move(line));
    }
    for (int i = 0; i < pieces; ++i) {
        spline.Lines[i]->Next = spline.Lines[(i + 1) % pieces].get();
        spline.Lines[i]->Prev = spline.Lines[(i + pieces - 1) % pieces].get();
    }
    spline.FirstLine = spline.CurrentLine = spline.Lines.front().get();
}

// A stale hint a quarter of the ring away: both cursors walk until they meet the near pieces.
void BM_FindNearestLineStaleHint(benchmark::State& state) {
    const int pieces = static_cast<int>(state.range(0));
    CPSpline spline;
    BuildCircle(spline, pieces);
    const CPLine& target = *spline.Lines[pieces / 4];
    const D3DXVECTOR3 point(target.Centre.x * 1.01f, target.Centre.y * 1.01f, 0);
    for (auto _ : state) {
        CPLine* hint = spline.Lines[0].get();
        float radius = 20.0f;
        benchmark::DoNotOptimize(spline.FindNearestLine(point, radius, 1, hint, -1));
        benchmark::DoNotOptimize(hint);
    }
}
BENCHMARK(BM_FindNearestLineStaleHint)->Arg(1000);

// The per-step case: the hint is the answer of the previous step.
void BM_FindNearestLineFreshHint(benchmark::State& state) {
    const int pieces = static_cast<int>(state.range(0));
    CPSpline spline;
    BuildCircle(spline, pieces);
    const CPLine& target = *spline.Lines[pieces / 4];
    const D3DXVECTOR3 point(target.Centre.x * 1.01f, target.Centre.y * 1.01f, 0);
    CPLine* hint = spline.Lines[pieces / 4].get();
    for (auto _ : state) {
        float radius = 20.0f;
        benchmark::DoNotOptimize(spline.FindNearestLine(point, radius, 1, hint, -1));
    }
}
BENCHMARK(BM_FindNearestLineFreshHint)->Arg(1000);

}  // namespace
