// Level and race functions: the level's life cycle (InitLevel, StartLevel, StopLevel,
// DeleteLevel), the race settings and state in the level and the game data, the round-time
// getters, the score stubs, the checkpoint beacon and the shot request, and StopScript.
//
// The functions that need a level return at once with no results when there is no current
// level (also after a failed load: the level is current but has no race, and after a stop its
// player car is gone). Those that need the game data do nothing without it.
//
// InitLevel deletes a level that is still current before it makes the new one (which stops a
// running race first), so no level is left running unowned.
//
// Scripts run in their tasks, in the middle of a frame: a level stopped or deleted there lets
// go of this frame's queued meshes and of the bonus list first (CPLevel::LetGoOfLevelObjects),
// so the frame's draw never reads a freed mesh. A round-time getter whose round
// lies outside the recorded lap times splits 0. The traffic count is kept within what a level
// tracks (0..15).
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPBeaconPointer.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleManager.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace Script {

namespace {

CPLevel* Level() { return GetCurrentLevel(); }
CPGameData* Data() { return CPGameData::Instance; }

// The lap time of round index i (0-based), 0 outside the recorded times.
float LapTime(const CPGameData& data, int64_t i) {
    return i >= 0 && i < static_cast<int64_t>(data.LapTimes.size()) ? data.LapTimes[static_cast<size_t>(i)] : 0.0f;
}

// ---- Level life cycle ----

int InitLevel(lua_State* L) {
    const std::string name = Text(L, 1);
    const bool single = Flag(L, 2);
    const bool timed = lua_gettop(L) > 2 && Flag(L, 3);
    CPLevel* level = CPLevel::CreateCurrent();
    level->Load(name, single, timed);
    return 0;
}

int StartLevel(lua_State*) {
    if (CPLevel* level = Level()) {
        level->Start();
    }
    return 0;
}

int StopLevel(lua_State*) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    if (CPParticleManager::Instance != nullptr) {
        CPParticleManager::Instance->Clear();
    }
    level->Stop();
    return 0;
}

int DeleteLevel(lua_State*) {
    if (CPLevel* level = Level()) {
        delete level;  // stops a running race; clears CPLevel::Current
    }
    return 0;
}

// ---- Race settings ----

// The traffic a level can take: the cars it tracks besides the opponents. A script's count is
// brought into 0..MaxTransportCount, so a huge one cannot make a load build millions of records.
constexpr int32_t MaxTransportCount = static_cast<int32_t>(CPLevel::TrackedCars) - CPLevel::OpponentCount;

int SetLevelTransportCount(lua_State* L) {
    const int32_t count = std::clamp(Int(L, 1), 0, MaxTransportCount);
    if (CPGameData* data = Data()) {
        data->LevelTransportCount = count;
    }
    return 0;
}

int SetLevelTime(lua_State* L) {
    const float t = Number(L, 1);
    CPLevel* level = Level();
    CPGameData* data = Data();
    if (level != nullptr && data != nullptr) {
        level->LevelTime = data->LevelTimeCoefficient * t;
    }
    return 0;
}

int SetNumRounds(lua_State* L) {
    const int32_t rounds = Int(L, 1);
    if (CPGameData* data = Data()) {
        data->Rounds = rounds;
    }
    return 0;
}

int SetPlaceToFinish(lua_State* L) {
    const int32_t place = Int(L, 1);
    if (CPLevel* level = Level()) {
        level->PlaceToFinish = place;
    }
    return 0;
}

int SetReversed(lua_State* L) {
    const bool reversed = Flag(L, 1);
    if (CPLevel* level = Level()) {
        level->Reversed = reversed;
    }
    return 0;
}

int SetUpdateTime(lua_State* L) {
    const bool running = Flag(L, 1);
    if (CPLevel* level = Level()) {
        level->RaceStarted = running;
    }
    return 0;
}

int SetLevelStarted(lua_State* L) {
    const bool started = Flag(L, 1);
    if (CPGameData* data = Data()) {
        data->LevelStarted = started;
    }
    return 0;
}

int SetPlayerType(lua_State* L) {
    const bool drevik = Flag(L, 1);
    if (CPGameData* data = Data()) {
        data->PlayerType = drevik ? 10 : 9;
    }
    return 0;
}

int SetRoundTime(lua_State* L) {
    const float t = Number(L, 1);
    if (CPGameData* data = Data()) {
        data->RoundTime = t;
    }
    return 0;
}

int ClearLevelTimers(lua_State*) {
    if (Level() != nullptr) {
        CPLevel::ResetRaceTimer();
    }
    return 0;
}

int SetKills(lua_State* L) {
    const int32_t kills = Int(L, 1);
    if (CPGameData* data = Data()) {
        data->Kills = kills;
    }
    return 0;
}

// ---- Race state ----

int IsSingleMode(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    lua_pushboolean(L, level->SingleMode);
    return 1;
}

int IsTimeMode(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    lua_pushboolean(L, level->TimeMode);
    return 1;
}

int IsRaceStarted(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    lua_pushboolean(L, level->RaceStarted);
    return 1;
}

int IsLevelStarted(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    lua_pushboolean(L, data->LevelStarted);
    return 1;
}

int IsDamageMsg(lua_State* L) {
    CPLevel* level = Level();
    const bool shown = level != nullptr &&
                       (level->GameOverSent || (level->Player != nullptr && level->Player->LossShown));
    lua_pushboolean(L, shown);
    return 1;
}

int GetLevelSize(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    lua_pushnumber(L, level->LevelSize.x);
    lua_pushnumber(L, level->LevelSize.y);
    return 2;
}

int GetRoundsNumber(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    lua_pushnumber(L, data->Rounds);
    return 1;
}

int GetCurrentRound(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    lua_pushnumber(L, data->CurrentRound);
    return 1;
}

int GetRoundTime(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    lua_pushnumber(L, data->RoundTime);
    return 1;
}

int GetFullTime(lua_State* L) {
    lua_pushnumber(L, FullTime);
    return 1;
}

int GetScore(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    lua_pushnumber(L, data->Kills);
    return 1;
}

int IsWeather(lua_State* L) {
    lua_pushboolean(L, Cfg::weather != 0);
    return 1;
}

// ---- Round times ----

int GetTime(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    PushSplitTime(L, LapTime(*data, static_cast<int64_t>(data->CurrentRound) - 1));
    return 3;
}

int GetTimeAttack(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    PushSplitTime(L, LapTime(*data, 0));
    return 3;
}

int GetTimeBest(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    constexpr float None = 100000.0f;
    float best = None;
    for (int64_t i = 0; i <= static_cast<int64_t>(data->CurrentRound) - 2; ++i) {
        if (i >= static_cast<int64_t>(data->LapTimes.size())) {
            break;
        }
        const float e = data->LapTimes[static_cast<size_t>(i)];
        if (e > 0.0f && e < best) {
            best = e;
        }
    }
    PushSplitTime(L, best == None ? 0.0f : best);
    return 3;
}

int GetCheckpointTime(lua_State* L) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    PushSplitTime(L, level->CheckpointTimeLeft);
    return 3;
}

int UpdateRoundsTime(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    constexpr int Rounds = 10;
    lua_pushnumber(L, 4 * Rounds);
    lua_newtable(L);
    const int table = lua_gettop(L);  // wherever the call's arguments left it
    for (int r = 1; r <= Rounds; ++r) {
        const SplitTimeValue split = SplitTime(LapTime(*data, r - 1));
        const int base = 4 * (r - 1);
        const double values[3] = {static_cast<double>(split.Minutes), static_cast<double>(split.Seconds),
                                  static_cast<double>(split.Hundredths)};
        for (int k = 0; k < 3; ++k) {
            lua_pushnumber(L, base + k + 1);
            lua_pushnumber(L, values[k]);
            lua_settable(L, table);
        }
        lua_pushnumber(L, base + 4);
        lua_pushboolean(L, r <= data->CurrentRound);
        lua_settable(L, table);
    }
    return 2;
}

// ---- Score stubs ----

int AddScore(lua_State* L) {
    lua_pushvalue(L, 1);
    return 1;
}

int IsInTable(lua_State* L) {
    lua_pushboolean(L, 0);
    return 1;
}

int SetScoreLine(lua_State*) { return 0; }

int GetScoreLine(lua_State* L) {
    lua_pushstring(L, "");
    lua_pushnumber(L, 0);
    return 2;
}

// ---- Checkpoint beacon and shot request ----

int ChangeCheckpointPosition(lua_State* L) {
    const float x = Number(L, 1);
    const float y = Number(L, 2);
    CPLevel* level = Level();
    if (level == nullptr || level->ShownBeacon == nullptr) {
        return 0;
    }
    CPGameObject* beacon = level->ShownBeacon.Get();
    beacon->SetPosition(D3DXVECTOR3(x, y, 0.0f));
    beacon->UpdateTransform();
    return 0;
}

int ShowCheckPoint(lua_State*) {
    CPLevel* level = Level();
    if (level == nullptr) {
        return 0;
    }
    if (level->NextBeacon == level->Beacons.end()) {
        level->ShownBeacon = nullptr;
    } else {
        level->ShownBeacon = level->NextBeacon->Object;
        if (level->ShownBeacon != nullptr) {
            level->ShownBeacon->SetVisible(true);
        }
        if (CPCommandDispatcher::Instance != nullptr) {
            CPCommandDispatcher::Instance->SendCommandByCategory("main", "say_show", "");
        }
    }
    if (level->BeaconPointer != nullptr) {
        level->BeaconPointer->SetTarget(level->ShownBeacon.Get());
    }
    return 0;
}

int PlayerShot(lua_State*) {
    if (CPLevel* level = Level()) {
        level->ShotRequest = true;
    }
    return 0;
}

// ---- Script task ----

int StopScript(lua_State* L) {
    if (CPScriptTask* task = Handle<CPScriptTask>(L, 1, "StopScript")) {
        task->Finished = true;
    }
    return 0;
}

}  // namespace

extern const luaL_Reg LevelFunctionsA[] = {
    {"InitLevel", InitLevel},
    {"StartLevel", StartLevel},
    {"StopLevel", StopLevel},
    {"DeleteLevel", DeleteLevel},
    {"SetLevelTransportCount", SetLevelTransportCount},
    {"SetLevelTime", SetLevelTime},
    {"SetNumRounds", SetNumRounds},
    {"SetPlaceToFinish", SetPlaceToFinish},
    {"SetReversed", SetReversed},
    {"SetUpdateTime", SetUpdateTime},
    {"SetLevelStarted", SetLevelStarted},
    {"SetPlayerType", SetPlayerType},
    {"SetRoundTime", SetRoundTime},
    {"ClearLevelTimers", ClearLevelTimers},
    {"SetKills", SetKills},
    {"IsSingleMode", IsSingleMode},
    {"IsTimeMode", IsTimeMode},
    {"IsRaceStarted", IsRaceStarted},
    {"IsLevelStarted", IsLevelStarted},
    {"IsDamageMsg", IsDamageMsg},
    {"GetLevelSize", GetLevelSize},
    {"GetRoundsNumber", GetRoundsNumber},
    {"GetCurrentRound", GetCurrentRound},
    {"GetRoundTime", GetRoundTime},
    {"GetFullTime", GetFullTime},
    {"IsWeather", IsWeather},
    {"GetTime", GetTime},
    {"GetTimeAttack", GetTimeAttack},
    {"GetTimeBest", GetTimeBest},
    {"GetCheckpointTime", GetCheckpointTime},
    {"UpdateRoundsTime", UpdateRoundsTime},
    {"ChangeCheckpointPosition", ChangeCheckpointPosition},
    {"StopScript", StopScript},
    {nullptr, nullptr},
};

extern const luaL_Reg LevelFunctionsB[] = {
    {"GetScore", GetScore},
    {"AddScore", AddScore},
    {"IsInTable", IsInTable},
    {"SetScoreLine", SetScoreLine},
    {"GetScoreLine", GetScoreLine},
    {"ShowCheckPoint", ShowCheckPoint},
    {"PlayerShot", PlayerShot},
    {nullptr, nullptr},
};

}  // namespace Script
