// trackmake: writes the sample game's track into a game folder: the level "level1" (a closed
// square track with its three paths, start posts, a checkpoint, a beacon, a nitro zone, crates
// and an enemy source), its road physics and ground, the car "hauler_" with its description,
// two computer cars and the effect and texture they use. The same level the engine's tests
// race (tests/game/TestLevelFiles.h), so what the tests prove holds for the shipped track.
//
//   trackmake <game folder>
#include "tests/game/TestLevelFiles.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trackmake <game folder>\n");
        return 2;
    }
    try {
        TestLevelFiles::Write(argv[1]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "trackmake: %s\n", failure.what());
        return 1;
    }
    return 0;
}
