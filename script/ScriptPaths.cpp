// Path functions: where the followed car stands on the level's centre path and how the path
// turns there, and the walk of the path's pieces.
//
// The functions that need a level return no results when there is no current level, no centre
// path or (for the car's angle) no followed car.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "game/CPLevel.h"
#include "game/CPLine.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"

#include <cstdint>

namespace Script {

namespace {

constexpr float TwoPi = 6.2831855f;
constexpr float SearchSize = 20.0f;
constexpr float NearSquared = 400.0f;  // 20 units on the ground

// The piece GetPlayerSplineAngle's searches start from, shared by all its calls. It belongs to
// the path of the serial it was taken from and is dropped when the level's path is another one
// (a new level, or none), so it never points into a freed path.
struct SearchStart {
    uint64_t PathSerial = 0;
    CPLine* Line = nullptr;
};
SearchStart PathSearchStart;

CPSpline* CentrePath() {
    CPLevel* level = GetCurrentLevel();
    return level != nullptr ? level->GetPathSpline() : nullptr;
}

float WrapAngle(float a) {
    while (a > TwoPi) {
        a -= TwoPi;
    }
    while (a < 0.0f) {
        a += TwoPi;
    }
    return a;
}

int GetPlayerSplineAngle(lua_State* L) {
    const bool restart = lua_gettop(L) >= 1 && Flag(L, 1);
    CPLevel* level = GetCurrentLevel();
    CPSpline* path = CentrePath();
    if (path == nullptr || level->FollowedCar == nullptr) {
        return 0;
    }
    if (PathSearchStart.PathSerial != path->Serial || restart) {
        PathSearchStart = {path->Serial, path->CurrentLine};
    }
    const D3DXMATRIX& world = *level->FollowedCar->GetWorldMatrix();
    float size = SearchSize;
    const float a = path->FindNearestLine(D3DXVECTOR3(world._41, world._42, world._43), size, 0,
                                          PathSearchStart.Line, -1);
    lua_pushnumber(L, level->FollowedHeading);
    lua_pushnumber(L, WrapAngle(a));
    return 2;
}

int GetSplineLineCount(lua_State* L) {
    lua_pushnumber(L, 1.0);
    return 1;
}

int GetSplineLinePoint(lua_State* L) {
    const int32_t index = Int(L, 1);
    CPSpline* path = CentrePath();
    if (path == nullptr || path->FirstLine == nullptr) {
        return 0;
    }
    // The pieces form a ring: an index past the last wraps, so only index mod count steps.
    const int32_t count = static_cast<int32_t>(path->Lines.size());
    const CPLine* line = path->FirstLine;
    for (int32_t i = 0; index > 0 && i < index % count; ++i) {
        line = line->Next;
    }
    lua_pushnumber(L, line->Centre.x);
    lua_pushnumber(L, line->Centre.y);
    lua_pushnumber(L, line->Centre.z);
    return 3;
}

int GetClosestLineCenter(lua_State* L) {
    const float x = Number(L, 1);
    const float y = Number(L, 2);
    const int32_t offset = Int(L, 4);
    CPSpline* path = CentrePath();
    if (path == nullptr || path->FirstLine == nullptr) {
        return 0;
    }
    CPLine* const first = path->FirstLine;
    CPLine* line = first->Next;
    for (;; line = line->Next) {
        if (line == first) {
            return 0;  // the first piece itself is never tested
        }
        const float dx = line->Centre.x - x;
        const float dy = line->Centre.y - y;
        if (dx * dx + dy * dy < NearSquared) {
            break;
        }
    }
    // Steps beyond a lap are whole turns of the ring.
    const int32_t count = static_cast<int32_t>(path->Lines.size());
    const int64_t steps = offset < 0 ? -static_cast<int64_t>(offset) : offset;
    for (int64_t i = 0; i < steps % count; ++i) {
        line = offset < 0 ? line->Next : line->Prev;
    }
    CPLine* hint = line;
    float size = SearchSize;
    const float a = path->FindNearestLine(line->Centre, size, 0, hint, -1);
    lua_pushnumber(L, line->Centre.x);
    lua_pushnumber(L, line->Centre.y);
    lua_pushnumber(L, 0.5);
    lua_pushnumber(L, a - 1.5707964f);
    return 4;
}

}  // namespace

extern const luaL_Reg PathFunctionsA[] = {
    {"GetPlayerSplineAngle", GetPlayerSplineAngle},
    {"GetSplineLineCount", GetSplineLineCount},
    {"GetSplineLinePoint", GetSplineLinePoint},
    {"GetClosestLineCenter", GetClosestLineCenter},
    {nullptr, nullptr},
};

}  // namespace Script
