// trackmake: writes the sample game's track into a game folder: the level "level1" (a closed
// square track with its three paths, start posts, a checkpoint, a beacon, a nitro zone, crates
// and an enemy source), its road physics and ground, the car "hauler_" with its description,
// two computer cars and the effect and texture they use. The same level the engine's tests
// race (tests/game/TestLevelFiles.h), so what the tests prove holds for the shipped track.
//
// Beside the track it writes the pictures, effects and sounds the shipped shot descriptions,
// the ground and the race display (Data\Interface) name, plain stand-ins (a grey picture, a one-pass effect, a tenth of a second
// of silence), so a race loads without a missing file.
//
//   trackmake <game folder>
#include "tests/game/TestLevelFiles.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// An uncompressed 24-bit TGA of 4 x 4 grey pixels.
std::string Picture() {
    std::string bytes("\0\0\2\0\0\0\0\0\0\0\0\0\4\0\4\0\x18\0", 18);
    bytes.append(4 * 4 * 3, '\x80');
    return bytes;
}

void Put(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A tenth of a second of silence: 16-bit mono PCM at 22050 Hz.
std::string Silence() {
    const uint32_t samples = 2205;
    const uint32_t data = samples * 2;
    std::string bytes = "RIFF";
    Put(bytes, 36 + data, 4);
    bytes += "WAVEfmt ";
    Put(bytes, 16, 4);
    Put(bytes, 1, 2);  // PCM
    Put(bytes, 1, 2);  // mono
    Put(bytes, 22050, 4);
    Put(bytes, 22050 * 2, 4);
    Put(bytes, 2, 2);
    Put(bytes, 16, 2);
    bytes += "data";
    Put(bytes, data, 4);
    bytes.append(data, '\0');
    return bytes;
}

void WriteMedia(const std::filesystem::path& folder) {
    const std::string effect = "technique Main { pass P0 { ZEnable = true; } }\n";
    for (const char* name : {"trasser", "plazma", "gauss", "rocket", "terrain2", "test", "interface"}) {
        TestLevelFiles::WriteText(folder, std::string("Data/Effects/") + name + ".fx", effect);
    }
    for (const char* name : {"trasser.tga", "plazma.tga", "gauss.tga", "rocket.tga", "level1/color.dds",
                             "level1/detail1.dds", "hud.tga", "hud_font.tga"}) {
        TestLevelFiles::WriteText(folder, std::string("Data/Textures/") + name, Picture());
    }
    // The shots' sounds and the player's car's engine, squeal and nitro.
    for (const char* name :
         {"explosion", "gauss", "hmgun", "mgun", "plasma", "rocket", "shotgun", "main", "vizg", "nitro"}) {
        TestLevelFiles::WriteText(folder, std::string("Data/Sounds/") + name + ".wav", Silence());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trackmake <game folder>\n");
        return 2;
    }
    try {
        TestLevelFiles::Write(argv[1]);
        WriteMedia(argv[1]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "trackmake: %s\n", failure.what());
        return 1;
    }
    return 0;
}
