// Our shot description file ("Data\shots.txt", see docs/Shots.md): one line per shot type the
// weapons, enemies, bonuses and scripts launch by name, each giving the shot's class and the
// parameters its Setup takes. The shot manager makes one set-up prototype per line when the
// game starts.
//
// The reader is a pure function of the text, so it is tested and fuzzed without a scene.
// Every value is checked as it is read; the first fault refuses the whole file with
// "file:line: what is wrong", so no race starts with half its shots.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ShotDescription {
    std::string Name;   // the type name shots are launched by
    std::string Class;  // "lightning" or "effect"
    // Setup's parameters in order, as written; the sound field is the last.
    std::vector<std::string> Parameters;
    int Line = 0;  // where it was read, for later messages
};

// Fields of a "lightning" line after its name and class: target, speed, duration, width,
// texture, effect, material, impact, extra, sound.
constexpr size_t LightningParameterCount = 10;
// Index of the impact shot's name among those parameters.
constexpr size_t LightningImpactParameter = 7;
// Fields of an "effect" line after its name and class: particle template, duration, sound.
constexpr size_t EffectParameterCount = 3;

// Reads the text; fileName only names the file in the error. On failure `shots` is left as it
// was.
bool ReadShotDescriptions(const char* text, size_t size, const std::string& fileName,
                          std::vector<ShotDescription>& shots, std::string& error);
// Loads the file through the engine's file layer (disk, then packs) and reads it.
bool LoadShotDescriptionFile(const std::string& fileName, std::vector<ShotDescription>& shots,
                             std::string& error);
