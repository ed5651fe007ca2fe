// Mission and enemy functions: the mission's checkpoint records, the enemy types of the host's
// table, and where and which enemies appear — near enemy sources of the mission or around the
// followed car, inside the level.
//
// Mission indices are checked: GetCheckPointInfo of an index outside the records pushes
// nothing, and GetEnemyType without a near source and without that record picks no type. The
// functions that place enemies need a level with a followed car and push nothing without one
// (IsEnemySourceNear pushes false).
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "script/CPEnemyTable.h"

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

namespace Script {

namespace {

constexpr float NearMin = 25.0f;
constexpr float NearMax = 40.0f;
// Side of the square around the followed car on whose border a free enemy appears; half of it
// (30) lies between the near distances of the sources. At least 4, so every modulus below is 1
// or more.
constexpr float PlacementDistance = 60.0f;
static_assert(static_cast<int>(PlacementDistance * 0.25f) >= 1, "a modulus of the placement must not be 0");
// Inside means this far from the level's edge, or farther.
constexpr float EdgeMargin = 20.0f;

const CPPlayer* FollowedCar() {
    const CPLevel* level = GetCurrentLevel();
    return level != nullptr ? level->FollowedCar : nullptr;
}

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

std::string PickRange(const std::vector<RangeEntry>& ranges, int32_t r) {
    for (const RangeEntry& range : ranges) {
        if (range.Low <= r && r < range.High) {
            return range.Name;
        }
    }
    return std::string();
}

// The points of the group with the kind whose distance from f lies strictly between the near
// distances, in list order.
std::vector<const EnemySourcePoint*> NearSources(const std::string& group, bool kind, const D3DXVECTOR3& f) {
    std::vector<const EnemySourcePoint*> near;
    if (CPGameData::Instance == nullptr) {
        return near;
    }
    const auto found = CPGameData::Instance->EnemySources.find(group);
    if (found == CPGameData::Instance->EnemySources.end()) {
        return near;
    }
    for (const EnemySourcePoint& point : found->second) {
        const float d = Distance(point.Position, f);
        if (point.Kind == kind && d > NearMin && d < NearMax) {
            near.push_back(&point);
        }
    }
    return near;
}

// Missions.

int LoadMissionInfo(lua_State* L) {
    const std::string name = Text(L, 1);
    if (CPGameData::Instance != nullptr) {
        const CPLevel* level = GetCurrentLevel();
        static const std::unordered_map<std::string, D3DXVECTOR3> none;
        CPGameData::Instance->LoadMissionInfo(name, level != nullptr ? level->Sources : none);
    }
    return 0;
}

int GetCheckPointsCount(lua_State* L) {
    const CPGameData* game = CPGameData::Instance;
    lua_pushnumber(L, game != nullptr ? static_cast<double>(game->MissionSources.size()) : 0.0);
    return 1;
}

int GetCheckPointInfo(lua_State* L) {
    const int32_t index = Int(L, 1);
    const CPGameData* game = CPGameData::Instance;
    if (game == nullptr || index < 0 || static_cast<size_t>(index) >= game->MissionSources.size()) {
        return 0;
    }
    const MissionSource& source = game->MissionSources[static_cast<size_t>(index)];
    for (const int32_t value : source.IntValues) {
        lua_pushnumber(L, value);
    }
    lua_pushnumber(L, source.Value);
    return 4;
}

// Enemies.

int GetEnemyData(lua_State* L) {
    const char* type = CheckText(L, 1);
    EnemyTypeRecord fallback;
    const EnemyTypeRecord& record =
        CPEnemyTable::Instance != nullptr ? CPEnemyTable::Instance->Types[type] : fallback;
    lua_pushnumber(L, record.Value1);
    lua_pushstring(L, record.Text2.c_str());
    lua_pushnumber(L, record.Value2);
    lua_pushstring(L, record.Text1.c_str());
    lua_pushstring(L, record.Text3.c_str());
    return 5;
}

int AddEnemy(lua_State*) { return 0; }

int IsEnemySourceNear(lua_State* L) {
    const bool kind = Flag(L, 1);
    const std::string group = Text(L, 2);
    const CPPlayer* car = FollowedCar();
    lua_pushboolean(L, car != nullptr && !NearSources(group, kind, car->Position).empty());
    return 1;
}

int GetEnemyType(lua_State* L) {
    // The number first: reading the text turns a number argument into its text in place.
    const int32_t index = Truncate(lua_tonumber(L, 1) - 1.0);
    const bool kind = Flag(L, 2);
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    // The type and the point are worked out first; the results are pushed from these copies.
    D3DXVECTOR3 f = car->Position;
    bool nearSource = false;
    int count = 0;
    {
        const std::string group = Text(L, 1);
        std::string type;
        const std::vector<const EnemySourcePoint*> near = NearSources(group, kind, f);
        if (!near.empty()) {
            const EnemySourcePoint& p = *near[static_cast<size_t>(CrtRand()) % near.size()];
            type = PickRange(p.EnemyRanges, CrtRand() % 100);
            f = p.Position;
            nearSource = true;
        } else {
            const CPGameData* game = CPGameData::Instance;
            const int32_t r = CrtRand() % 100;
            if (game != nullptr && index >= 0 && static_cast<size_t>(index) < game->MissionSources.size()) {
                type = PickRange(game->MissionSources[static_cast<size_t>(index)].EnemyRanges, r);
            }
        }
        count = PushProtected(L, [&](lua_State* S) {
            lua_pushstring(S, type.c_str());
            lua_pushboolean(S, nearSource);
            lua_pushnumber(S, f.x);
            lua_pushnumber(S, f.y);
            return 4;
        });
    }
    return Results(L, count);
}

// A random offset from the followed car at the placement distance: ahead of a moving car four
// times in five, else on the border of the square around it.
D3DXVECTOR2 RandomOffset(const CPLevel& level, const CPPlayer& car) {
    const float r = PlacementDistance;
    if (level.FollowedSpeed > 2.0f && CrtRand() % 5 > 0) {
        const D3DXVECTOR3 ahead(static_cast<float>(CrtRand() % static_cast<int>(r * 0.25f)) - r * 0.125f, -r * 0.5f,
                                0.0f);
        D3DXMATRIX turn;
        D3DXMatrixRotationQuaternion(&turn, &car.Orientation);
        D3DXVECTOR3 u;
        D3DXVec3TransformCoord(&u, &ahead, &turn);
        D3DXVec3Normalize(&u, &u);
        return D3DXVECTOR2(u.x * r * 0.5f, u.y * r * 0.5f);
    }
    const bool alongX = (CrtRand() & 1) != 0;
    const float along = static_cast<float>(CrtRand() % static_cast<int>(r)) - r * 0.5f;
    const float across = (CrtRand() & 1) != 0 ? -r * 0.5f : r * 0.5f;
    return alongX ? D3DXVECTOR2(along, across) : D3DXVECTOR2(across, along);
}

int GetPositionForEnemy(lua_State* L) {
    const int type3 = lua_type(L, 3);
    const bool fixed = type3 == LUA_TSTRING || type3 == LUA_TNUMBER;
    const float x = Number(L, 4);
    const float y = Number(L, 5);
    const CPLevel* level = GetCurrentLevel();
    const CPPlayer* car = FollowedCar();
    if (car == nullptr) {
        return 0;
    }
    const float hx = level->LevelSize.x * 0.5f - EdgeMargin;
    const float hy = level->LevelSize.y * 0.5f - EdgeMargin;
    bool inside = false;
    D3DXVECTOR2 c(0.0f, 0.0f);
    for (int attempt = 0; attempt < 2 && !inside; ++attempt) {
        if (fixed) {
            c = D3DXVECTOR2(x + 2.0f, y + 2.0f);
        } else {
            const D3DXVECTOR2 offset = RandomOffset(*level, *car);
            c = D3DXVECTOR2(car->Position.x + offset.x, car->Position.y + offset.y);
        }
        inside = -hx <= c.x && c.x <= hx && -hy <= c.y && c.y <= hy;
    }
    lua_pushboolean(L, inside);
    lua_pushnumber(L, c.x);
    lua_pushnumber(L, c.y);
    return 3;
}

}  // namespace

extern const luaL_Reg MissionFunctionsA[] = {
    {"LoadMissionInfo", LoadMissionInfo},
    {"GetCheckPointsCount", GetCheckPointsCount},
    {"GetCheckPointInfo", GetCheckPointInfo},
    {"GetEnemyData", GetEnemyData},
    {"AddEnemy", AddEnemy},
    {"IsEnemySourceNear", IsEnemySourceNear},
    {"GetEnemyType", GetEnemyType},
    {"GetPositionForEnemy", GetPositionForEnemy},
    {nullptr, nullptr},
};

}  // namespace Script
