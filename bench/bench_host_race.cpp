// A race frame of the sample track with eight cars (the player's car among seven computer cars,
// all driven by the computer driver), the game's four scripts running: the whole frame
// (physics, AI, race rules, scripts, shots, frame drawing) against the physics world's update
// within that same frame, timed inside it. The goal is a ratio of 2.0 or less: the rest of the engine adds at most
// as much again as the physics. A second benchmark gives the whole headless race's frames per
// second.
#include "BaselineRatio.h"

#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "game/CPPhysicWorld.h"
#include "host/GameProgram.h"
#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/TempFolder.h"
#include "tests/game/TestLevelFiles.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <list>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr float FrameSeconds = 1.0f / 60.0f;
constexpr int ComputerCars = 7;

// The sample track with seven computer cars beside the player, in a folder of its own.
class RaceFolder {
public:
    RaceFolder() {
        fs::copy(fs::path(GAME_DIR) / "Data", folder / "Data", fs::copy_options::recursive);
        TestLevelFiles::Write(folder.Path());
        std::vector<LevelBytes::Object> objects = TestLevelFiles::Objects();
        for (int i = 3; i <= ComputerCars; ++i) {
            objects.push_back({"enemy" + std::to_string(i), {5.0f - 8.0f * static_cast<float>(i / 2),
                                                            4.0f * static_cast<float>(i % 2), 0.0f},
                               {0, 0, 0.70710678f, 0.70710678f}});
            TestLevelFiles::WriteCar(folder.Path(), "kestrel" + std::to_string(i) + "_enemy.rdf");
        }
        TestLevelFiles::WriteLevel(folder.Path(), objects, TestLevelFiles::Paths());
        HostFiles::ClearCache();
        Cfg::rolling = 1;  // every car driven by the computer
    }
    ~RaceFolder() { HostFiles::ClearCache(); }

private:
    TempFolder folder{TempFolder::ForProcess("bench_host_race")};
};

struct Race {
    Race() {
        std::string error;
        host.LoadCampaignData(error);
        host.LoadShotDescriptions(error);
        host.LoadEnemyDescriptions(error);
        host.LoadFonts(error);  // the race display's labels
        for (const GameProgram::ScriptStart& script : GameProgram::Scripts()) {
            host.StartScript(script.File, script.Name, script.Categories);
        }
        host.RenderDevice().KeepCalls(false);  // as the game program runs
        GameOptions options;
        options.Race = TestLevelFiles::LevelName;
        options.Laps = 20;
        host.Dispatcher().SendCommandByName("main", "start", GameProgram::StartParams(options));
        host.RunFrame(FrameSeconds);  // the main script starts the race
        level = CPLevel::Current;
        if (level != nullptr) {
            GameProgram::GivePlayerItsPaths(*level);
        }
        for (int i = 0; i < 120; ++i) {
            host.RunFrame(FrameSeconds);  // under way
        }
    }
    Host host;
    CPLevel* level = nullptr;
};

// Two tasks listed just before and just after the physics world read the CPU clock, so the
// world's update is timed inside the very frame it belongs to: the world steps once a frame,
// at the rate the scripts and drivers see.
class Stopwatch final : public CPTask {
public:
    explicit Stopwatch(int64_t* mark) : Mark(mark) {}
    void Update() override { *Mark = baseline_ratio::CpuNanoseconds(); }
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(Stopwatch); }
    std::string GetTypeName() const override { return "Stopwatch"; }

private:
    int64_t* Mark;
};

struct PhysicsTiming {
    int64_t Before = 0;
    int64_t After = 0;
    Stopwatch Opening{&Before};
    Stopwatch Closing{&After};

    // False when the world is not scheduled.
    bool Surround(std::list<CPtr<CPTask>>& tasks, CPTask* world) {
        for (auto entry = tasks.begin(); entry != tasks.end(); ++entry) {
            if (entry->Get() == world) {
                Opening.Priority = Closing.Priority = world->Priority;
                Opening.Start();
                Closing.Start();
                tasks.insert(entry, CPtr<CPTask>(&Opening));
                tasks.insert(std::next(entry), CPtr<CPTask>(&Closing));
                return true;
            }
        }
        return false;
    }
    void Leave(std::list<CPtr<CPTask>>& tasks) {
        tasks.remove_if([this](const CPtr<CPTask>& listed) { return listed.Get() == &Opening || listed.Get() == &Closing; });
    }
};

void BM_RaceFrameAgainstPhysicsStep(benchmark::State& state) {
    RaceFolder folder;
    PhysicsTiming timing;  // outlives the host's task list
    Race race;
    if (race.level == nullptr || CPPhysicWorld::Instance == nullptr) {
        state.SkipWithError("the race did not start");
        return;
    }
    std::list<CPtr<CPTask>>& tasks = race.host.Scheduler().Tasks;
    if (!timing.Surround(tasks, CPPhysicWorld::Instance)) {
        state.SkipWithError("the physics world is not scheduled");
        return;
    }
    state.counters["cars"] = static_cast<double>(race.level->Cars.size());
    const double readCost = baseline_ratio::ReadCostNanoseconds();
    bool missed = false;
    RunAgainstInnerBaseline(
        state,
        [&] {
            timing.Before = timing.After = 0;
            race.host.RunFrame(FrameSeconds);
        },
        [&] {
            missed = missed || timing.Before == 0 || timing.After == 0;
            return baseline_ratio::Interval(timing.Before, timing.After, readCost);
        },
        2);
    timing.Leave(tasks);
    if (missed) {
        state.SkipWithError("a frame did not step the physics world");
    }
}
BENCHMARK(BM_RaceFrameAgainstPhysicsStep)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_HeadlessRaceFramesPerSecond(benchmark::State& state) {
    RaceFolder folder;
    Race race;
    if (race.level == nullptr) {
        state.SkipWithError("the race did not start");
        return;
    }
    for (auto _ : state) {
        race.host.RunFrame(FrameSeconds);
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessRaceFramesPerSecond)->Unit(benchmark::kMicrosecond);

}  // namespace
