// Path and ray functions: where the followed car stands on the level's centre path and how the
// path turns there, the walk of the path's pieces, a ray through the scene from a point and a
// ray from the race camera through a point of the screen.
//
// The functions that need a level return no results when there is no current level, no centre
// path, (for the car's angle) no followed car or (for the screen ray) no camera. A zero
// direction given to CrossPlayerRay normalises to zero.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "game/CPLevel.h"
#include "game/CPLine.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "game/CPSpline.h"
#include "scene/CPGameObject.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPickInfo.h"

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

int CrossPlayerRay(lua_State* L) {
    const D3DXVECTOR3 origin(Number(L, 1), Number(L, 2), Number(L, 3));
    const D3DXVECTOR3 v(Number(L, 4), Number(L, 5), Number(L, 6));
    const float length = D3DXVec3Length(&v);
    const D3DXVECTOR3 u = length > 0.0f ? v * (1.0f / length) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    bool clear = false;
    D3DXVECTOR3 result = u;
    if (CPLevel* level = GetCurrentLevel()) {
        CPPickInfo pick;
        pick.Distance = length;
        pick.Origin = origin;
        pick.Direction = u;
        clear = !level->CrossPlayerRay(pick);
        if (clear) {
            result = u * length;
        }
    }
    lua_pushboolean(L, clear);
    lua_pushnumber(L, result.x);
    lua_pushnumber(L, result.y);
    lua_pushnumber(L, result.z);
    return 4;
}

int CrossInterfaceRay(lua_State* L) {
    const float sx = Number(L, 1);
    const float sy = Number(L, 2);
    CPLevel* level = GetCurrentLevel();
    CPCamera* camera = level != nullptr ? level->GetCamera() : nullptr;
    CPPerspectiveCamera* view = camera != nullptr ? camera->GetView1() : nullptr;
    if (view == nullptr) {
        return 0;
    }
    const D3DXVECTOR4 q(2.0f * sx - 1.0f, 1.0f - 2.0f * sy, 1.0f, 1.0f);
    D3DXVECTOR4 p;
    D3DXVec4Transform(&p, &q, &view->InverseViewProjection);
    const D3DXVECTOR3 eye = view->Position;
    D3DXVECTOR3 u(p.x / p.w - eye.x, p.y / p.w - eye.y, p.z / p.w - eye.z);
    D3DXVec3Normalize(&u, &u);
    CPObject* owner = nullptr;
    bool hit = false;
    {
        CPPickInfo pick;
        pick.Distance = 100000.0f;
        pick.Origin = eye;
        pick.Direction = u;
        hit = level->CrossInterfaceRay(pick);
        owner = pick.Owner.Get();  // the record lets go of it; the scene keeps it
    }
    lua_pushboolean(L, hit);
    PushHandle(L, owner);
    lua_pushnumber(L, eye.x - u.x * eye.z / u.z);
    lua_pushnumber(L, eye.y - u.y * eye.z / u.z);
    lua_pushnumber(L, 0.0);
    return 5;
}

}  // namespace

extern const luaL_Reg PathFunctionsA[] = {
    {"GetPlayerSplineAngle", GetPlayerSplineAngle},
    {"GetSplineLineCount", GetSplineLineCount},
    {"GetSplineLinePoint", GetSplineLinePoint},
    {"GetClosestLineCenter", GetClosestLineCenter},
    {"CrossPlayerRay", CrossPlayerRay},
    {"CrossInterfaceRay", CrossInterfaceRay},
    {nullptr, nullptr},
};

}  // namespace Script
