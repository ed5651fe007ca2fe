#include "host/GameProgram.h"

#include "core/CPConfig.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPAIManager.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"
#include "host/Host.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <unordered_set>

namespace GameProgram {

namespace {

constexpr const char* ProgramName = "_Tarnwick.exe";
// The most laps a race keeps times of (a lap record's slots).
constexpr int32_t MaxLaps = 20;
// Without a fixed frame time: the first frame's seconds, and the most one frame may take, so a
// stall (a debugger, a slow disk) does not throw the cars across the track.
constexpr float FirstFrameSeconds = 1.0f / 60.0f;
constexpr float LongestFrameSeconds = 0.25f;
constexpr int64_t FramePeriodMicroseconds = 16667;  // 60 frames a second

// The commands the race sends to the scripts that a player would see as events.
const std::unordered_set<std::string>& RaceEvents() {
    static const std::unordered_set<std::string> names = {
        "show_message", "place",      "checkpoint",  "game_over", "level_failed", "bonus_points",
        "bonus_points2", "player_dead", "enemy_death", "defeat", "update_bonus_list",
    };
    return names;
}

// A decimal whole number from low to high, the whole text (no space, "+" or hexadecimal).
bool ReadWhole(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    const char* last = text.data() + text.size();
    int64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), last, value);
    if (failure != std::errc() || end != last || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

// A decimal number, the whole text, read without the process locale: "0.0166667", "2e-2".
// The frames run on the float: that is what must be above 0 (a normal number, not one that
// rounds to 0 or loses its precision) and at most 1.
bool ReadSeconds(const std::string& text, float& out) {
    const char* last = text.data() + text.size();
    double value = 0.0;
    const auto [end, failure] = std::from_chars(text.data(), last, value, std::chars_format::general);
    if (failure != std::errc() || end != last || !std::isfinite(value)) {
        return false;
    }
    const auto seconds = static_cast<float>(value);
    if (!std::isnormal(seconds) || seconds <= 0.0f || seconds > 1.0f) {
        return false;
    }
    out = seconds;
    return true;
}

// "1,5,120" into frame numbers.
bool ReadFrames(const std::string& text, std::set<int64_t>& frames) {
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        int64_t frame = 0;
        if (!ReadWhole(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), 1,
                       INT64_MAX, frame)) {
            return false;
        }
        frames.insert(frame);
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::string Seconds(float seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(seconds));
    return text;
}

// Everything the program prints while it runs, and what went wrong.
class Console {
public:
    Console(std::FILE* out, std::FILE* err) : out(out), err(err) {}

    // The engine's log: every report to err; script errors are remembered as failures.
    void Report(const CPLogReport& report) {
        std::string text = report.Text;
        while (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        std::fprintf(err, "%s\n", text.c_str());
        std::fflush(err);
        printed.insert(text);
    }

    // A failure in one line, unless the log already said exactly that.
    void Fail(const std::string& text) {
        if (printed.count(text) == 0) {
            std::fprintf(err, "%s: %s\n", ProgramName, text.c_str());
        }
        std::fflush(err);
    }

    void Say(const std::string& text) {
        std::fprintf(out, "%s\n", text.c_str());
        std::fflush(out);
    }

    // A command to the scripts: the race's events, and a progress line for each lap.
    void Watch(const std::string& target, const CPCommand& command) {
        if (RaceEvents().count(command.Name) == 0) {
            return;
        }
        std::string line = "[";
        line += Seconds(static_cast<float>(FullTime));
        line += "] " + target + ": " + command.Name;
        for (size_t i = 0; i < command.Params.size(); ++i) {
            line += (i == 0 ? " " : ",") + command.Params[i];
        }
        Say(line);
        if (command.Name == "show_message" && !command.Params.empty()) {
            Progress(command.Params[0]);
        }
    }

private:
    // Lap times from the game data: a lap message comes once the next lap's entry exists.
    void Progress(const std::string& message) {
        const CPGameData* data = CPGameData::Instance;
        if (data == nullptr) {
            return;
        }
        int32_t lap = 0;
        if (message == "krug_proiden!" || message == "posledniy_krug!") {
            lap = data->CurrentRound - 1;
        } else if ((message == "finish!" || message == "lost!") && data->CurrentRound > data->Rounds) {
            lap = data->Rounds;  // the last lap was run (a race lost earlier has no lap to tell)
        }
        if (lap < 1 || static_cast<size_t>(lap) > data->LapTimes.size()) {
            return;
        }
        Say("lap " + std::to_string(lap) + " of " + std::to_string(data->Rounds) + ": " +
            Seconds(data->LapTimes[static_cast<size_t>(lap) - 1]));
    }

    std::FILE* out;
    std::FILE* err;
    std::unordered_set<std::string> printed;
};

// The script task that failed, or null.
const CPLuaScriptTask* FailedScript(const std::vector<CPLuaScriptTask*>& tasks) {
    for (const CPLuaScriptTask* task : tasks) {
        if (task != nullptr && !task->GetLastError().Message.empty()) {
            return task;
        }
    }
    return nullptr;
}

std::string ScriptFailure(const CPLuaScriptTask& task, const std::string& name) {
    const ScriptError& error = task.GetLastError();
    std::string where = error.File.empty() ? std::string("Data\\Scripts") : error.File;
    if (error.Line > 0) {
        where += ", line " + std::to_string(error.Line);
    }
    return "the script \"" + name + "\" failed (" + where + "): " + error.Message;
}

}  // namespace

void GivePlayerItsPaths(CPLevel& level) {
    if (!level.DemoMode || CPAIManager::Instance == nullptr || !level.CentrePath || !level.Player) {
        return;
    }
    const auto found = std::find(level.Cars.begin(), level.Cars.end(), level.Player);
    const auto index = static_cast<int32_t>(found - level.Cars.begin());
    if (found != level.Cars.end() && index < CPAIManager::OpponentCount) {
        CPAIManager::Instance->SetTarget(index, 0, level.CentrePath->FirstLine);
        CPAIManager::Instance->SetTarget(index, 2, level.LeftPath ? level.LeftPath->FirstLine : nullptr);
        CPAIManager::Instance->SetTarget(index, 1, level.RightPath ? level.RightPath->FirstLine : nullptr);
    }
}

std::string StartParams(const GameOptions& options) {
    return options.Race.empty() ? std::string() : options.Race + "," + std::to_string(options.Laps);
}

const std::vector<ScriptStart>& Scripts() {
    static const std::vector<ScriptStart> scripts = {
        {"main.lua", "main", {"main"}},
        {"gamemenu.lua", "gamemenu", {"interface"}},
        {"game_interface.lua", "game_interface", {"interface"}},
        {"jeep.lua", "jeep", {"level"}},
    };
    return scripts;
}

std::string Usage() {
    return std::string("usage: ") + ProgramName +
           " [options]\n"
           "  --race LEVEL        race the level at once (\"level1\")\n"
           "  --laps N            laps of that race, 1 to 20 (3)\n"
           "  --frame-time S      seconds per frame, above 0 and at most 1 (the wall clock)\n"
           "  --frames N          stop after N frames (no limit)\n"
           "  --dump N[,N...]     write the device calls of these frames to frame<N>.txt\n"
           "  --dump-folder DIR   where the frame dumps go (.)\n"
           "  --demo              the computer drives the player's car (as rolling=1 in config.cfg)\n"
           "  --help              this text\n";
}

bool ParseOptions(int argc, const char* const* argv, GameOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            hasValue = true;
        }
        if (option == "--help" || option == "-h") {
            options.Help = true;
            continue;
        }
        if (option == "--demo" && !hasValue) {
            options.Demo = true;
            continue;
        }
        const bool takesValue = option == "--race" || option == "--laps" || option == "--frame-time" ||
                                option == "--frames" || option == "--dump" || option == "--dump-folder";
        if (!takesValue) {
            error = "unknown option \"" + std::string(argv[i]) + "\"";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = option + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        int64_t number = 0;
        if (option == "--race") {
            if (value.empty() || value.find_first_of("/\\") != std::string::npos) {
                error = "--race needs a level name (\"level1\"), not \"" + value + "\"";
                return false;
            }
            options.Race = value;
        } else if (option == "--laps") {
            if (!ReadWhole(value, 1, MaxLaps, number)) {
                error = "--laps takes a whole number from 1 to 20, not \"" + value + "\"";
                return false;
            }
            options.Laps = static_cast<int32_t>(number);
        } else if (option == "--frame-time") {
            if (!ReadSeconds(value, options.FrameTime)) {
                error = "--frame-time takes seconds above 0 and at most 1, not \"" + value + "\"";
                return false;
            }
        } else if (option == "--frames") {
            if (!ReadWhole(value, 1, INT64_MAX, number)) {
                error = "--frames takes a whole number of at least 1, not \"" + value + "\"";
                return false;
            }
            options.FrameLimit = number;
        } else if (option == "--dump") {
            if (!ReadFrames(value, options.DumpFrames)) {
                error = "--dump takes frame numbers from 1 separated by \",\", not \"" + value + "\"";
                return false;
            }
        } else {
            if (value.empty()) {
                error = "--dump-folder needs a folder";
                return false;
            }
            options.DumpFolder = value;
        }
    }
    return true;
}

int Run(const GameOptions& options, std::FILE* out, std::FILE* err, const GameHooks& hooks) {
    Console console(out, err);
    CPLog::GetInstance().SetSink([&console](const CPLogReport& report) { console.Report(report); });
    struct SinkGuard {
        ~SinkGuard() { CPLog::GetInstance().SetSink(nullptr); }
    } sinkGuard;

    // The registry first: the host reads its variables as it is made.
    CPConfig config;
    if (!config.Load("config.cfg")) {
        console.Fail("\"config.cfg\" is missing or unreadable; using the defaults");
    }
    // --demo holds for this run only; the file is not touched.
    struct DemoGuard {
        int32_t saved = Cfg::rolling;
        ~DemoGuard() { Cfg::rolling = saved; }
    } demoGuard;
    if (options.Demo) {
        Cfg::rolling = 1;
    }

    Host host;
    // Only a frame dump reads the device's calls.
    host.RenderDevice().KeepCalls(false);
    std::error_code ignored;
    if (std::filesystem::exists("Actions.cfg", ignored) &&
        FAILED(host.ActionsManager().LoadActions("Actions.cfg"))) {
        console.Fail("\"Actions.cfg\" cannot be read");
        return Failed;
    }
    host.AddPackFiles();
    std::string error;
    if (!host.LoadCampaignData(error) || !host.LoadShotDescriptions(error) || !host.LoadEnemyDescriptions(error) ||
        !host.LoadFonts(error)) {
        console.Fail(error);
        return Failed;
    }

    host.Dispatcher().Watcher = [&console](const std::string& target, const CPCommand& command) {
        console.Watch(target, command);
    };
    struct WatcherGuard {
        CPCommandDispatcher& dispatcher;
        ~WatcherGuard() { dispatcher.Watcher = nullptr; }
    } watcherGuard{host.Dispatcher()};

    std::vector<CPLuaScriptTask*> tasks;
    for (const ScriptStart& script : Scripts()) {
        tasks.push_back(host.StartScript(script.File, script.Name, script.Categories));
        if (tasks.back() == nullptr) {
            console.Fail("the script runtime could not be created");
            return Failed;
        }
    }
    const CPLuaScriptTask* main = tasks.front();

    // A fixed frame time drives the millisecond clock too (the level seeds the game's
    // generator from it and measures its wall step with it).
    struct ClockGuard {
        bool manual;
        ~ClockGuard() {
            if (manual) {
                PlatformClock::UseReal();
            }
        }
    } clockGuard{options.FrameTime > 0.0f};
    if (clockGuard.manual) {
        PlatformClock::UseManual();
    }

    // The main script learns how the game was started and starts the race itself. The level
    // it makes is watched here: announced once started, stopped and deleted at the end when the
    // scripts have not done so (the host deletes a level still current when it goes).
    host.Dispatcher().SendCommandByName("main", "start", StartParams(options));
    const bool racing = !options.Race.empty();
    bool raceSeen = false;
    uint64_t racesStarted = CPLevel::Starts;
    auto endRace = [&] {
        if (!racing) {
            return;
        }
        if (CPLevel* level = CPLevel::Current) {
            level->Stop();
        }
        if (hooks.AfterStop) {
            hooks.AfterStop(host);
        }
        delete CPLevel::Current;
    };

    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    for (int64_t frame = 1; options.FrameLimit == 0 || frame <= options.FrameLimit; ++frame) {
        float seconds = options.FrameTime;
        if (seconds == 0.0f) {
            // On the wall clock frames come at most as often as a display shows them, so a game
            // left running does not spin.
            if (frame > 1) {
                std::this_thread::sleep_until(last + std::chrono::microseconds(FramePeriodMicroseconds));
            }
            const Clock::time_point now = Clock::now();
            seconds = frame == 1 ? FirstFrameSeconds
                                 : std::min(LongestFrameSeconds, std::chrono::duration<float>(now - last).count());
            last = now;
        }
        if (options.DumpFrames.count(frame) != 0) {
            const std::filesystem::path file =
                std::filesystem::path(options.DumpFolder) / ("frame" + std::to_string(frame) + ".txt");
            std::ofstream dump(file, std::ios::binary);
            host.RenderDevice().KeepCalls(true);
            dump << host.DumpFrame(seconds);
            host.RenderDevice().ClearCalls();
            host.RenderDevice().KeepCalls(false);
            if (!dump.flush()) {
                console.Fail("cannot write the frame dump \"" + file.string() + "\"");
                endRace();
                return Failed;
            }
        } else {
            host.RunFrame(seconds);
        }
        if (clockGuard.manual) {
            PlatformClock::AdvanceMicroseconds(static_cast<uint64_t>(std::llround(seconds * 1e6)));
        }
        if (const CPLuaScriptTask* failed = FailedScript(tasks)) {
            const size_t index = static_cast<size_t>(std::find(tasks.begin(), tasks.end(), failed) - tasks.begin());
            console.Fail(ScriptFailure(*failed, Scripts()[index].Name));
            endRace();
            return Failed;
        }
        if (racing && !raceSeen) {
            CPLevel* level = CPLevel::Current;
            if (level == nullptr || !level->Player || !level->UpdateTask) {
                console.Fail("the level \"" + options.Race + "\" cannot be raced (Data\\Levels\\" + options.Race +
                             ".lvl)");
                endRace();
                return Failed;
            }
            raceSeen = true;
        }
        // Each race the scripts start (a main script may race again and again): the player's
        // car gets its paths, and the race is told as it runs.
        if (CPLevel* level = CPLevel::Current;
            racing && level != nullptr && level->UpdateTask && racesStarted != CPLevel::Starts) {
            racesStarted = CPLevel::Starts;
            GivePlayerItsPaths(*level);
            const int32_t laps = CPGameData::Instance != nullptr ? CPGameData::Instance->Rounds : options.Laps;
            console.Say("race on " + options.Race + ": " + std::to_string(laps) + (laps == 1 ? " lap" : " laps"));
            if (!level->DemoMode) {
                console.Fail("nobody drives the player's car (this build has no input); --demo lets the computer "
                             "drive it");
            }
        }
        if (hooks.AfterFrame) {
            hooks.AfterFrame(host, frame);
        }
        if (main->Finished) {
            endRace();
            return Success;
        }
    }
    endRace();
    console.Say("stopped after " + std::to_string(options.FrameLimit) + " frames");
    return Success;
}

}  // namespace GameProgram
