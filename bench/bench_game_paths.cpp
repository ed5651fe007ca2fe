// Cost of the nearest-piece search on a long track (a ring of 1 000 pieces), with the
// remembered piece stale and fresh.
#include "game/CPSpline.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

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
