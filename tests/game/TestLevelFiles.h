// A small race level written into a game folder, for tests and benchmarks that load a level
// the way the game does (CPLevel::Load reads it from the working directory's "Data").
//
// The level "level1" (so its computer cars are "kestrel1" and "kestrel2" and its road mesh
// "road_phys1.rdf"):
//   - flat road physics: a 320 m square grid of 20 m cells at z = 0 around the track;
//   - "c_path", "left" and "right": closed squares of about 200 m from the origin;
//   - start posts at (0, 10, 0) (left) and (0, -10, 0) (right), the player at (5, 0, 0.5)
//     heading along +x, two computer cars ("enemy1", "enemy2") beside it;
//   - placed objects: two crates with collision boxes, a nitro zone "arrow_blue", a
//     checkpoint "checkpoint1,15" (15 + 9 s), a beacon "chk1_flag" and an enemy source
//     "src_tank1";
//   - the player's car "hauler_.rdf" (and "hauler__enemy.rdf" for demo mode) and the computer
//     cars' bodies: a 40 kg physics box with wheel children "w0".."w3", sharing the car
//     description "testcar.xml" (vehicle values, the camera sets, "min"/"max" limits);
//   - two bonuses for the race script to lay: "bonus_remont.rdf" (repair) and "bonus_fast.rdf"
//     (a stop bonus: a "glow3" child);
//   - the level's object "level1.rdf", the ground "land.rdf", the fallback "wrong.rdf", an
//     effect "plain.fx" and a texture "box.tga".
//
// Usage: Write(folder) once, make folder the working directory, clear the file cache
// (HostFiles::ClearCache) and load "level1". Tests of missing data overwrite single files
// with the helpers below before loading. Nothing here depends on the test framework.
#pragma once

#include "tests/game/LevelBytes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace TestLevelFiles {

inline constexpr const char* LevelName = "level1";
inline constexpr const char* PlayerModel = "hauler_";
inline constexpr const char* CarDescription = "testcar.xml";

// Where the test level puts things, for tests that check them.
inline const D3DXVECTOR3 PlayerStart{5.0f, 0.0f, 0.5f};
inline const D3DXVECTOR3 LeftPost{0.0f, 10.0f, 0.0f};
inline const D3DXVECTOR3 RightPost{0.0f, -10.0f, 0.0f};
inline constexpr size_t ComputerCars = 2;
inline constexpr size_t PlacedObjects = 4;  // two crates, the zone, the checkpoint

// The camera values of the car description.
inline constexpr float CameraDistance = 8.0f;
inline constexpr float CameraHeight = 2.5f;
inline constexpr float CameraDistanceDiv = 12.0f;
inline constexpr float Camera2Distance = 10.0f;
inline constexpr float Fov1 = 60.0f;

// The records of the level file.
std::vector<LevelBytes::Object> Objects();
std::vector<LevelBytes::Path> Paths();

// Writes every file of the test level under folder/Data (folders made as needed).
void Write(const std::filesystem::path& folder);

// Replaces "Data/Levels/<name>.lvl" with a level of these records.
void WriteLevel(const std::filesystem::path& folder, const std::vector<LevelBytes::Object>& objects,
                const std::vector<LevelBytes::Path>& paths, const std::string& name = LevelName);
// Writes a car body "Data/Meshes/<file>" (".rdf") like the test level's, with extra children
// of a cube each (a model's "light" or "halo").
void WriteCar(const std::filesystem::path& folder, const std::string& file,
              const std::vector<std::string>& extraChildren = {});
// Writes any file under folder ("Data/Meshes/x.rdf").
void WriteText(const std::filesystem::path& folder, const std::string& name, const std::string& text);

}  // namespace TestLevelFiles
