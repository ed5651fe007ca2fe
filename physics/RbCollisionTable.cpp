// The group-against-group response table.
#include "physics/RbCollisionTable.h"

namespace {

bool IsGroup(int32_t i) { return i >= 0 && i < RbCollisionTable::GroupCount; }

}  // namespace

RbCollisionTable::RbCollisionTable() {
    for (auto& row : Entries) {
        for (int32_t& entry : row) {
            entry = 1;
        }
    }
    for (int32_t& entry : Terrain) {
        entry = 1;
    }
}

void RbCollisionTable::Set(int32_t a, int32_t b, int32_t response) {
    if (IsGroup(a) && IsGroup(b)) {
        Entries[a][b] = response;
        Entries[b][a] = response;
    } else if (a == TerrainGroup && IsGroup(b)) {
        Terrain[b] = response;
    } else if (b == TerrainGroup && IsGroup(a)) {
        Terrain[a] = response;
    }
}

int32_t RbCollisionTable::Get(int32_t a, int32_t b) const {
    if (IsGroup(a) && IsGroup(b)) {
        return Entries[a][b];
    }
    if (a == TerrainGroup && IsGroup(b)) {
        return Terrain[b];
    }
    if (b == TerrainGroup && IsGroup(a)) {
        return Terrain[a];
    }
    return 0;
}
