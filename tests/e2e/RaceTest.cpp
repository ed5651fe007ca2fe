// A whole race, headless, through the game program: the sample track, the player's car driven
// by the computer driver (the configuration's "rolling" demo mode) against two computer cars,
// three laps. The race's commands must come in order, a bonus must be picked up, no body may go
// NaN, the stop must leave no race task behind, and the same race run twice must give the same
// lap times.
#include "game/CPAIManager.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "host/GameProgram.h"
#include "host/Host.h"
#include "physics/RbRigidBody.h"
#include "script/CPScriptRuntime.h"
#include "tests/Sound/WavFixtures.h"
#include "tests/TestTempDir.h"
#include "tests/game/TestLevelFiles.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's own count of the bytes allocated and not yet freed (its allocator_interface.h).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr float FrameSeconds = 1.0f / 60.0f;
constexpr int64_t FrameLimit = 60 * 60 * 10;  // ten minutes of race at most

std::string ReadBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    return text;
}

bool Finite(const D3DXVECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const RbVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The first body that is not a finite number, by car name; empty when all are.
std::string NotFinite(CPLevel& level) {
    std::vector<CPPlayer*> cars;
    if (level.Player) cars.push_back(level.Player.Get());
    for (const CPtr<CPPlayer>& car : level.Cars) cars.push_back(car.Get());
    for (CPPlayer* car : cars) {
        if (!Finite(car->GetPosition())) return car->CarName + " position";
        const CPPhysicData* physics = car->Physics.Get();
        if (physics != nullptr && physics->RigidBody != nullptr) {
            const RbRigidBody& body = *physics->RigidBody;
            if (!Finite(body.GetPosition()) || !Finite(body.GetVelocity()) || !Finite(body.GetAngularVelocity())) {
                return car->CarName + " body";
            }
        }
    }
    for (const CPtr<CPGameObject>& object : level.Objects) {
        if (!Finite(object->GetPosition())) return "placed object";
    }
    return "";
}

struct RaceRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
    std::string FirstNaN;
    int64_t Frames = 0;
    std::vector<std::string> TasksLeft;  // race tasks still listed and running after the stop
};

class Race : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(fs::path(GAME_DIR) / "Data", scratch / "Data", fs::copy_options::recursive);
        TestLevelFiles::Write(scratch.Path());
        scratch.Write("config.cfg", "rolling=1\n");
    }

    RaceRun RunRace() {
        RaceRun run;
        GameOptions options;
        options.Race = TestLevelFiles::LevelName;
        options.Laps = 3;
        options.FrameTime = FrameSeconds;
        options.FrameLimit = FrameLimit;
        GameHooks hooks;
        hooks.AfterFrame = [&run](Host&, int64_t frame) {
            run.Frames = frame;
            if (run.FirstNaN.empty() && CPLevel::Current != nullptr) {
                const std::string bad = NotFinite(*CPLevel::Current);
                if (!bad.empty()) run.FirstNaN = bad + " at frame " + std::to_string(frame);
            }
        };
        hooks.AfterStop = [&run](Host& host) {
            for (const CPtr<CPTask>& task : host.Scheduler().Tasks) {
                if (!task->Running || task.Get() == &host.Music() || dynamic_cast<CPLuaScriptTask*>(task.Get())) {
                    continue;
                }
                run.TasksLeft.push_back(task->GetTypeName());
            }
        };
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        run.Exit = GameProgram::Run(options, out, err, hooks);
        run.Out = ReadBack(out);
        run.Err = ReadBack(err);
        std::fclose(out);
        std::fclose(err);
        return run;
    }

    ScratchFolder scratch{"race"};
};

// The event lines of the output, each without its time stamp.
std::vector<std::string> Events(const std::string& out) {
    std::vector<std::string> events;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t close = line.find("] ");
        if (line.rfind("[", 0) == 0 && close != std::string::npos) events.push_back(line.substr(close + 2));
    }
    return events;
}

std::vector<std::string> LapLines(const std::string& out) {
    std::vector<std::string> laps;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("lap ", 0) == 0) laps.push_back(line);
    }
    return laps;
}

size_t IndexOf(const std::vector<std::string>& events, const std::string& event, size_t from = 0) {
    for (size_t i = from; i < events.size(); ++i) {
        if (events[i] == event) return i;
    }
    return events.size();
}

TEST_F(Race, ThreeLapsHeadlessInOrderFiniteCleanAndRepeatable) {
    const RaceRun first = RunRace();
    ASSERT_EQ(first.Exit, GameProgram::Success) << first.Err;
    EXPECT_LT(first.Frames, FrameLimit) << "the race did not end:\n" << first.Out;
    EXPECT_EQ(first.FirstNaN, "");
    EXPECT_TRUE(first.TasksLeft.empty()) << first.TasksLeft.front();
    EXPECT_EQ(first.Err.find("Script error"), std::string::npos) << first.Err;

    const std::vector<std::string> events = Events(first.Out);
    const size_t lap = IndexOf(events, "game_interface: show_message krug_proiden!");
    const size_t last = IndexOf(events, "game_interface: show_message posledniy_krug!", lap);
    size_t place = events.size();
    for (const char* which : {"1st", "2nd", "3rd"}) {
        place = std::min(place, IndexOf(events, std::string("game_interface: place ") + which, last));
    }
    const size_t finish = IndexOf(events, "game_interface: show_message finish!", place);
    const size_t over = IndexOf(events, "jeep: game_over", finish);
    EXPECT_LT(over, events.size()) << first.Out;
    EXPECT_LT(lap, last);
    EXPECT_LT(last, place);
    EXPECT_LT(place, finish);
    EXPECT_LT(finish, over);

    // The race script lays a repair and a stop bonus on the racing line: a car runs over one
    // and the pickup reaches the main script (the bonuses left are freed with the level).
    const auto pickup = std::find_if(events.begin(), events.end(), [](const std::string& event) {
        return event.rfind("main: update_bonus_list ", 0) == 0;
    });
    EXPECT_NE(pickup, events.end()) << first.Out;

    const std::vector<std::string> laps = LapLines(first.Out);
    ASSERT_EQ(laps.size(), 3u) << first.Out;
    EXPECT_EQ(laps[0].rfind("lap 1 of 3: ", 0), 0u) << laps[0];
    EXPECT_EQ(laps[2].rfind("lap 3 of 3: ", 0), 0u) << laps[2];

    // The same race again: the same lap times to the hundredth and the same events.
    const RaceRun second = RunRace();
    ASSERT_EQ(second.Exit, GameProgram::Success) << second.Err;
    EXPECT_EQ(LapLines(second.Out), laps);
    EXPECT_EQ(Events(second.Out), events);
}

// Bytes the process holds on its heap now.
size_t HeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Race after race in one process, as a main script that races again does: the demo mode asked
// for on the command line (the configuration says "rolling=0"), the player's car with its
// sounds, bonuses loaded and cloned by the script. Every race drives the player's car, and
// with the level deleted between races the engine holds the same objects, and no more
// memory, each time.
TEST_F(Race, RaceAfterRaceInOneProcessEachDrivesAndLeavesNothingBehind) {
    constexpr int Races = 20;
    constexpr int RaceFrames = 150;
    scratch.Write("config.cfg", "rolling=0\n");
    const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(2205));
    for (const char* name : {"main.wav", "vizg.wav", "nitro.wav"}) {
        scratch.Write(std::string("Data/Sounds/") + name, std::string(wav.begin(), wav.end()));
    }
    scratch.Write("Data/Scripts/main.lua",
                  "local task = ...\n"
                  "local level, laps\n"
                  "while level == nil do\n"
                  "    while SetNextCommand(task) do\n"
                  "        if GetCurrentCommand(task) == 'start' then level, laps = GetCurrentParams(task) end\n"
                  "    end\n"
                  "    if level == nil then coroutine.yield() end\n"
                  "end\n"
                  "for race = 1, " + std::to_string(Races) + " do\n"
                  "    SetNumRounds(tonumber(laps))\n"
                  "    if GetPlayerName() == '' then SetPlayerName('hauler_') end\n"
                  "    SetPlayerType(false)\n"
                  "    InitLevel(level, false, false)\n"
                  "    StartLevel()\n"
                  "    SetPlaceToFinish(2)\n"
                  "    SetUpdateTime(true)\n"
                  "    SetLevelStarted(true)\n"
                  "    for _, bonus in ipairs({{'bonus_remont.rdf', 60, -2.5}, {'bonus_fast.rdf', 202.5, 80}}) do\n"
                  "        local object = LoadRenderObject(bonus[1], 20)\n"
                  "        SetPosition(object, bonus[2], bonus[3], 0.5)\n"
                  "        AddBonus(object, 0)\n"
                  "        SetPosition(Clone(object), bonus[2], bonus[3], 5)\n"
                  "    end\n"
                  "    for frame = 1, " + std::to_string(RaceFrames) + " do\n"
                  "        while SetNextCommand(task) do end\n"
                  "        coroutine.yield()\n"
                  "    end\n"
                  "    SetLevelStarted(false)\n"
                  "    StopLevel()\n"
                  "    DeleteLevel()\n"
                  "    if race < " + std::to_string(Races) + " then coroutine.yield() end\n"
                  "end\n");

    GameOptions options;
    options.Race = TestLevelFiles::LevelName;
    options.Laps = 1;
    options.Demo = true;
    options.FrameTime = FrameSeconds;
    options.FrameLimit = Races * (RaceFrames + 2) + 10;
    // Between races (no level): the live objects and heap bytes. In a race: how far the
    // player's car got from where it stood after the race's first frame.
    std::vector<size_t> live;
    std::vector<size_t> heap;
    std::map<const CPLevel*, D3DXVECTOR3> start;
    std::vector<float> driven;
    std::vector<bool> onThePath;  // the player's driver had the centre path after the first frame
    bool racing = false;
    GameHooks hooks;
    hooks.AfterFrame = [&](Host&, int64_t) {
        CPLevel* level = CPLevel::Current;
        if (level == nullptr) {
            live.push_back(CPObject::LiveCount());
            heap.push_back(HeapBytes());
            racing = false;
            return;
        }
        if (!level->Player) return;
        const D3DXVECTOR3 p = level->Player->GetPosition();
        if (!racing) {
            racing = true;
            start[level] = p;
            driven.push_back(0.0f);
            const auto found = std::find(level->Cars.begin(), level->Cars.end(), level->Player);
            const AI_Vehicle* driver = found == level->Cars.end() || CPAIManager::Instance == nullptr
                                           ? nullptr
                                           : CPAIManager::Instance->GetRecord(static_cast<int32_t>(found - level->Cars.begin()));
            onThePath.push_back(driver != nullptr && driver->CentreLine != nullptr);
        }
        const D3DXVECTOR3 d = p - start[level];
        driven.back() = std::max(driven.back(), std::sqrt(d.x * d.x + d.y * d.y));
    };
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int exit = GameProgram::Run(options, out, err, hooks);
    const std::string said = ReadBack(out);
    const std::string errors = ReadBack(err);
    std::fclose(out);
    std::fclose(err);
    ASSERT_EQ(exit, GameProgram::Success) << errors;
    EXPECT_EQ(errors.find("nobody drives"), std::string::npos) << errors;

    // Each race is told as it starts.
    size_t told = 0;
    for (size_t at = said.find("race on level1: 1 lap\n"); at != std::string::npos;
         at = said.find("race on level1: 1 lap\n", at + 1)) {
        ++told;
    }
    EXPECT_EQ(told, static_cast<size_t>(Races)) << said;

    ASSERT_EQ(driven.size(), static_cast<size_t>(Races));
    ASSERT_EQ(onThePath.size(), static_cast<size_t>(Races));
    for (size_t race = 0; race < driven.size(); ++race) {
        EXPECT_TRUE(onThePath[race]) << "race " << race + 1 << " gave the player's car no path";
        EXPECT_GT(driven[race], 3.0f) << "race " << race + 1;
    }

    // The first race fills the managers' caches; from then on every race gives back all it made.
    ASSERT_EQ(live.size(), static_cast<size_t>(Races));
    for (size_t race = 1; race < live.size(); ++race) {
        EXPECT_EQ(live[race], live[0]) << "objects left by race " << race + 1;
    }
    // Heap: flat after the second race, give or take what the Lua collector has not yet freed.
    const auto growth = static_cast<long long>(heap.back()) - static_cast<long long>(heap[1]);
    EXPECT_LT(growth, 256 * 1024) << "bytes held after race 2: " << heap[1] << ", after the last: " << heap.back();
}

}  // namespace
