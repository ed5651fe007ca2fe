// The game program "_Tarnwick.exe": what the launcher's "Start Game" starts in the game folder.
// It reads "config.cfg", "Actions.cfg" when there is one, the pack files, the campaign data,
// the shot and enemy descriptions and the fonts, creates the headless host with every singleton, starts the game's
// scripts from "Data\Scripts" and runs the frame loop until the main script ends (or the frame
// limit is reached). It prints the race's events as the engine sends them to the scripts.
//
// Failures are never crashes: a bad option exits with 2 and the usage, damaged data or a script
// that fails exits with 1 and one line naming the file and line at fault.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

struct GameOptions {
    // The level to race at once ("level1"); empty: the scripts start what they choose.
    std::string Race;
    int32_t Laps = 3;
    // Seconds per frame; 0 takes the wall clock's time since the previous frame instead.
    float FrameTime = 0.0f;
    // Frames to run at most; 0 runs until the game ends.
    int64_t FrameLimit = 0;
    // Frames (numbered from 1) whose device calls are written to "frame<n>.txt" in DumpFolder.
    std::set<int64_t> DumpFrames;
    std::string DumpFolder = ".";
    // The demo mode ("rolling" set) for this run alone: the computer drives the player's car.
    bool Demo = false;
    bool Help = false;
};

class CPLevel;
class Host;

// What a test sees of a run: after every frame, and once the race's level has stopped (before
// it is deleted).
struct GameHooks {
    std::function<void(Host& host, int64_t frame)> AfterFrame;
    std::function<void(Host& host)> AfterStop;
};

namespace GameProgram {

// Exit codes.
constexpr int Success = 0;
constexpr int Failed = 1;  // data or a script at fault; the message says where
constexpr int BadUsage = 2;

// The scripts the program starts, each with its task name and categories, in starting order.
struct ScriptStart {
    const char* File;
    const char* Name;
    std::vector<std::string> Categories;
};
const std::vector<ScriptStart>& Scripts();

// The usage text, one option a line.
std::string Usage();

// Reads argv[1..argc-1]. False with the reason in `error` for an unknown option, a missing or
// malformed value, or a value out of range.
bool ParseOptions(int argc, const char* const* argv, GameOptions& options, std::string& error);

// In the demo mode the player's car races among the computer cars, but the loader gives the
// paths only to the cars of the level's starts: this gives the player's car's driver the level's
// paths too. Nothing outside the demo mode. Run calls it after the frame each race starts in.
void GivePlayerItsPaths(CPLevel& level);

// The parameters of the "start" command to the main script: "level,laps", or "" without a race.
std::string StartParams(const GameOptions& options);

// Runs the game in the working folder (the game folder). Messages go to out (events, progress)
// and err (failures and the engine's log). Returns an exit code.
//
// The main script gets "start" first (StartParams) and starts the race; a level that is not
// running after the first frame fails the run. Every race the scripts start is announced after
// the frame it starts in, with the laps it runs ("race on level1: 3 laps"); outside the demo
// mode one line on err says that nobody drives the player's car. When the game ends a level
// still current is stopped and deleted. With a fixed frame time the platform's millisecond
// clock follows the frames, so a run repeats exactly.
int Run(const GameOptions& options, std::FILE* out, std::FILE* err, const GameHooks& hooks = {});

}  // namespace GameProgram
