// Measures engine code against a plain baseline doing the same work in the same program.
//
// Each iteration runs both, in alternating order so neither always finds the caches warmed
// by the other. The benchmark's own time is the engine's (register with ->UseManualTime());
// the counters give the baseline's mean time per iteration ("baseline_us") and the ratio
// engine / baseline ("x_baseline"), the figure the speed goals are stated in.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

template <class Work, class Baseline>
void RunAgainstBaseline(benchmark::State& state, Work&& work, Baseline&& baseline) {
    using Clock = std::chrono::steady_clock;
    double workSeconds = 0.0;
    double baselineSeconds = 0.0;
    bool baselineFirst = false;
    for (auto _ : state) {
        baselineFirst = !baselineFirst;
        double took[2] = {0.0, 0.0};  // work, baseline
        for (int k = 0; k < 2; ++k) {
            const bool runBaseline = (k == 0) == baselineFirst;
            const auto start = Clock::now();
            if (runBaseline) {
                baseline();
            } else {
                work();
            }
            took[runBaseline ? 1 : 0] = std::chrono::duration<double>(Clock::now() - start).count();
        }
        state.SetIterationTime(took[0]);
        workSeconds += took[0];
        baselineSeconds += took[1];
    }
    const double iterations = static_cast<double>(state.iterations());
    if (iterations > 0 && baselineSeconds > 0.0) {
        state.counters["baseline_us"] = baselineSeconds / iterations * 1e6;
        state.counters["x_baseline"] = workSeconds / baselineSeconds;
    }
}
