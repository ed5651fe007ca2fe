// Cost of one frame of the task loop (step plus sweep) over a scheduler full of trivial
// tasks, and of delivering a command to a category of script tasks.
#include "host/Host.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class Counter : public CPTask {
public:
    void Update() override { ++steps; }
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "Counter"; }
    int steps = 0;
};

void BM_FrameLoop(benchmark::State& state) {
    std::vector<std::unique_ptr<Counter>> tasks;
    auto host = std::make_unique<Host>();
    for (int64_t i = 0; i < state.range(0); ++i) {
        tasks.push_back(std::make_unique<Counter>());
        tasks.back()->Priority = static_cast<int32_t>(i % 7) * 100;
        host->Scheduler().AddTask(CPtr<Counter>(tasks.back().get()));
    }
    for (auto _ : state) {
        host->RunFrame(1.0f / 60.0f);
    }
    host.reset();  // releases the list before the tasks go
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FrameLoop)->Arg(16)->Arg(256)->Arg(4096);

void BM_SendByCategory(benchmark::State& state) {
    std::vector<std::unique_ptr<CPScriptTask>> tasks;
    auto host = std::make_unique<Host>();
    for (int64_t i = 0; i < state.range(0); ++i) {
        tasks.push_back(std::make_unique<CPScriptTask>());
        tasks.back()->Start();
        host->RegisterScriptTask(tasks.back().get(), "task" + std::to_string(i), {"interface"});
    }
    for (auto _ : state) {
        host->Dispatcher().SendCommandByCategory("interface", "mouse_move", "320,240");
        for (auto& task : tasks) {
            task->Commands.clear();
        }
    }
    host.reset();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SendByCategory)->Arg(4)->Arg(64);

}  // namespace
