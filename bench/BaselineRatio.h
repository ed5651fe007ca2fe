// Measures engine code against a plain baseline doing the same work in the same program.
//
// Both sides are timed on the thread's CPU clock, so time the thread spends pre-empted by
// other programs on a shared machine counts on neither side. The two sides run interleaved,
// in alternating order so neither always finds the caches warmed by the other, and the ratio
// is taken per iteration: "x_baseline" is the median of the per-iteration ratios engine /
// baseline, which one disturbed iteration cannot move. "baseline_us" is the baseline's mean
// CPU time per iteration. The benchmark's own time is the engine's CPU time (register with
// ->UseManualTime()).
//
// Reading the CPU clock is a system call: a few hundred nanoseconds, 1.5 us on a virtual
// machine. Its cost, calibrated at the start of each run as the median of back-to-back
// reads, is taken off every interval. When one side's iteration takes less than about
// sixteen reads, so that the read's jitter would show, each timed sample runs a small batch
// of calls of one side; the library still counts every call as an iteration, and the last
// batch is cut to the run's count, so iteration counts and items per second mean what they
// did.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

namespace baseline_ratio {

// The calling thread's CPU time in nanoseconds.
inline int64_t CpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

template <class T>
T Median(std::vector<T> values) {
    if (values.empty()) {
        return T{};
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// What one read adds to an interval timed between two reads: the median of back-to-back
// reads.
inline double ReadCostNanoseconds() {
    std::vector<int64_t> gaps(301);
    for (int warm = 0; warm < 16; ++warm) {
        benchmark::DoNotOptimize(CpuNanoseconds());
    }
    for (int64_t& gap : gaps) {
        const int64_t first = CpuNanoseconds();
        gap = CpuNanoseconds() - first;
    }
    return static_cast<double>(Median(gaps));
}

// An interval between two reads, the read's own cost taken off; never zero or less, so a
// ratio stays finite.
inline double Interval(int64_t start, int64_t end, double readCost) {
    return std::max(static_cast<double>(end - start) - readCost, 1.0);
}

// Ratios and sums of one run.
struct Tally {
    std::vector<double> ratios;
    double engineNs = 0.0;
    double baselineNs = 0.0;

    void Add(benchmark::State& state, double engine, double baseline) {
        ratios.push_back(engine / baseline);
        engineNs += engine;
        baselineNs += baseline;
        state.SetIterationTime(engine * 1e-9);
    }

    void Report(benchmark::State& state) const {
        const double iterations = static_cast<double>(state.iterations());
        if (iterations > 0 && !ratios.empty() && baselineNs > 0.0) {
            state.counters["baseline_us"] = baselineNs / iterations * 1e-3;
            state.counters["x_baseline"] = Median(ratios);
        }
    }
};

// The shortest a timed sample of one side may be, as a multiple of the read's cost.
constexpr double SampleReads = 16.0;
constexpr double ShortestSampleNs = 5000.0;
constexpr int64_t LargestBatch = 4096;
// Iterations timed one call at a time before the batch size is chosen.
constexpr int ProbeRounds = 5;

}  // namespace baseline_ratio

// Runs work (the engine) and baseline once per iteration of the benchmark.
template <class Work, class Baseline>
void RunAgainstBaseline(benchmark::State& state, Work&& work, Baseline&& baseline) {
    using namespace baseline_ratio;
    const double readCost = ReadCostNanoseconds();
    const double shortest = std::max(SampleReads * readCost, ShortestSampleNs);
    Tally tally;
    std::vector<double> probeWork;
    std::vector<double> probeBaseline;
    int64_t chosen = 1;  // the batch size once the probe rounds are done
    int64_t batch = 1;
    int64_t done = 0;
    bool baselineFirst = false;
    while (state.KeepRunningBatch(batch)) {
        baselineFirst = !baselineFirst;
        double took[2] = {0.0, 0.0};  // work, baseline
        for (int k = 0; k < 2; ++k) {
            const bool runBaseline = (k == 0) == baselineFirst;
            const int64_t start = CpuNanoseconds();
            if (runBaseline) {
                for (int64_t i = 0; i < batch; ++i) {
                    baseline();
                }
            } else {
                for (int64_t i = 0; i < batch; ++i) {
                    work();
                }
            }
            took[runBaseline ? 1 : 0] = Interval(start, CpuNanoseconds(), readCost);
        }
        tally.Add(state, took[0], took[1]);
        done += batch;
        if (static_cast<int>(probeWork.size()) < ProbeRounds) {
            probeWork.push_back(took[0]);
            probeBaseline.push_back(took[1]);
            if (static_cast<int>(probeWork.size()) == ProbeRounds) {
                const double shorter = std::max(std::min(Median(probeWork), Median(probeBaseline)), 1.0);
                chosen = std::clamp(static_cast<int64_t>(shortest / shorter) + 1, int64_t{1}, LargestBatch);
            }
        }
        // Never past the run's count: repetitions must run equal counts, and the library
        // checks that they do.
        batch = std::max<int64_t>(std::min<int64_t>(chosen, state.max_iterations - done), 1);
    }
    tally.Report(state);
}

// The engine's work holds the baseline's: work() runs once per iteration, and
// innerNanoseconds() then gives the CPU time of the part of it that is the baseline, timed
// inside it with baseline_ratio::CpuNanoseconds (one read's cost already taken off, e.g.
// through baseline_ratio::Interval). extraReads is how many reads the inner timing made
// during work(); their cost is taken off the work's time. Meant for iterations long against
// a read (a whole frame).
template <class Work, class Inner>
void RunAgainstInnerBaseline(benchmark::State& state, Work&& work, Inner&& innerNanoseconds, int extraReads) {
    using namespace baseline_ratio;
    const double readCost = ReadCostNanoseconds();
    Tally tally;
    for (auto _ : state) {
        const int64_t start = CpuNanoseconds();
        work();
        const double whole = Interval(start, CpuNanoseconds(), readCost * (1.0 + extraReads));
        tally.Add(state, whole, std::max(static_cast<double>(innerNanoseconds()), 1.0));
    }
    tally.Report(state);
}
