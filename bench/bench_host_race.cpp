// A race frame of the sample track with eight cars (the player's car among seven computer cars,
// all driven by the computer driver), the game's four scripts running: the whole frame
// (physics, AI, race rules, scripts, shots, frame drawing) against the physics world's step of
// the same frame alone. The goal is a ratio of 2.0 or less: the rest of the engine adds at most
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

#include <filesystem>
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

void BM_RaceFrameAgainstPhysicsStep(benchmark::State& state) {
    RaceFolder folder;
    Race race;
    if (race.level == nullptr || CPPhysicWorld::Instance == nullptr) {
        state.SkipWithError("the race did not start");
        return;
    }
    state.counters["cars"] = static_cast<double>(race.level->Cars.size());
    RunAgainstBaseline(
        state, [&] { race.host.RunFrame(FrameSeconds); },
        [&] {
            FrameTime = FrameSeconds;
            CPPhysicWorld::Instance->Update();
        });
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
