// Collision response codes between collision groups 0..63, and of each group against the
// terrain (group -1). Every entry is 1 until set; what a code means is the step's.
#pragma once

#include <cstdint>

class RbCollisionTable {
public:
    static constexpr int32_t GroupCount = 64;
    static constexpr int32_t TerrainGroup = -1;

    // A response code is a bit set. With neither bit the bodies pass through each other and
    // their sensors do not see each other; bits the step does not know are ignored.
    static constexpr int32_t PassThrough = 0;
    static constexpr int32_t Resolve = 1;  // contacts are solved
    static constexpr int32_t Report = 2;   // contacts are reported to the collision callback
    static constexpr int32_t ResolveAndReport = Resolve | Report;  // the game's code
    static bool Resolves(int32_t code) { return (code & Resolve) != 0; }
    static bool Reports(int32_t code) { return (code & Report) != 0; }
    // Contacts of the pair are looked for: solved, reported or both.
    static bool Meets(int32_t code) { return (code & ResolveAndReport) != 0; }

    RbCollisionTable();

    // Both groups 0..63: entries (a, b) and (b, a). Exactly one -1: the other group's terrain
    // entry. Both -1, or any index outside -1..63: nothing.
    void Set(int32_t a, int32_t b, int32_t response);
    // The entry Set would write; 0 for pairs it ignores.
    int32_t Get(int32_t a, int32_t b) const;

    int32_t Entries[GroupCount][GroupCount];
    int32_t Terrain[GroupCount];
};
