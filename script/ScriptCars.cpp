// AI-car, side and car weapon functions: the computer cars steered one by one, cars found by
// model name, the nearest car and the living cars of a side, the radar, push-backs and throws,
// and a car's weapons, damage, death and respawn.
//
// Every function that takes a car tests it: a null car does nothing and pushes nothing (the
// getters of the computer cars included, where the game trusted the script), DamagePlayer's
// null car survives. A car without physics is thrown and killed without the physical part.
// GetAICount pushes the number of opponents of the current level (the cars of Cars that are
// not traffic, at most five), 0 without a level.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/ConfigVars.h"
#include "game/CPCar.h"
#include "game/CPLevel.h"
#include "game/CPPhysicWorld.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "interface/CPGameData.h"
#include "scene/CPPhysicData.h"

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace Script {

namespace {

constexpr size_t Opponents = 5;
constexpr size_t WideCars = 20;
constexpr float FarAway = 10000.0f;
constexpr float CriticalHealth = 20.0f;

CPPlayer* CarAt(CPLevel& level, size_t i) { return i < level.Cars.size() ? level.Cars[i].Get() : nullptr; }

// The first car of the level's list with the car name of the model, else null.
CPPlayer* CarOfModel(CPLevel& level, const std::string& model) {
    const std::string_view name = CarNameOfModel(model);
    for (const CPtr<CPPlayer>& car : level.Cars) {
        if (car != nullptr && car->CarName == name) {
            return car.Get();
        }
    }
    return nullptr;
}

float Distance(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

void SendByName(const char* target, const char* command) {
    if (CPCommandDispatcher::Instance != nullptr) {
        CPCommandDispatcher::Instance->SendCommandByName(target, command, "");
    }
}

// Computer cars by handle.

int ActivateAbilitiesAI(lua_State* L) {
    const CPPlayer* car = Handle<CPPlayer>(L, 1, "ActivateAbilitiesAI");
    if (car == nullptr) {
        return 0;
    }
    lua_pushnumber(L, car->AbilityCount);
    return 1;
}

int SetAbilitiesCountAI(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetAbilitiesCountAI");
    if (car != nullptr) {
        car->AbilityCount = Int(L, 2);
    }
    return 0;
}

int GetPlayerSpeedAI(lua_State* L) {
    const CPPlayer* car = Handle<CPPlayer>(L, 1, "GetPlayerSpeedAI");
    if (car == nullptr) {
        return 0;
    }
    const CPCar* model = car->GetCar();
    lua_pushnumber(L, model != nullptr ? model->Speed : 0.0f);
    return 1;
}

int GetPlayerDirectionAI(lua_State* L) {
    const CPPlayer* car = Handle<CPPlayer>(L, 1, "GetPlayerDirectionAI");
    if (car == nullptr) {
        return 0;
    }
    const D3DXVECTOR3 d = CarHeading(*car);
    lua_pushnumber(L, d.x);
    lua_pushnumber(L, d.y);
    lua_pushnumber(L, d.z);
    return 3;
}

int PlayerNitroAI(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "PlayerNitroAI");
    const float amount = Number(L, 2);
    if (car == nullptr) {
        return 0;
    }
    // A third argument is there when it is a string or a number (a trailing nil is not).
    const int third = lua_type(L, 3);
    if (third == LUA_TSTRING || third == LUA_TNUMBER) {
        car->CutThrottle();
    } else {
        car->SetNitro(amount);
    }
    return 0;
}

// Cars by model name.

int GetActiveCar(lua_State* L) {
    const std::string name = CPGameData::Instance != nullptr ? CPGameData::Instance->PlayerName : std::string();
    const std::string model(CarModelName(name));
    lua_pushstring(L, model.c_str());
    return 1;
}

int GetAIDamage(lua_State* L) {
    const std::string model = Text(L, 1);
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    const CPPlayer* car = CarOfModel(*level, model);
    lua_pushnumber(L, car != nullptr ? car->DamageLevel : 0.0f);
    return 1;
}

int IsPlayerDead(lua_State* L) {
    const bool named = lua_gettop(L) >= 1;
    const std::string model = named ? Text(L, 1) : std::string();
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    const CPPlayer* followed = level->FollowedCar;
    bool dead = false;
    if (!named) {
        dead = followed != nullptr && followed->DamageLevel >= CPPlayer::WreckedLevel;
    } else if (const CPPlayer* car = CarOfModel(*level, model)) {
        dead = car->DamageLevel >= CPPlayer::WreckedLevel;
    } else {
        dead = followed != nullptr && followed->CarName == CarNameOfModel(model) &&
               followed->DamageLevel >= CPPlayer::WreckedLevel;
    }
    lua_pushboolean(L, dead);
    return 1;
}

int GetAICount(lua_State* L) {
    size_t count = 0;
    if (CPLevel* level = GetCurrentLevel()) {
        for (size_t i = 0; i < Opponents; ++i) {
            const CPPlayer* car = CarAt(*level, i);
            if (car != nullptr && (car->SideFlags & CPPlayer::SideTraffic) == 0) {
                ++count;
            }
        }
    }
    lua_pushnumber(L, static_cast<double>(count));
    return 1;
}

// Sides.

// The nearest car of a side: the first `limit` cars of the level (a later one wins a tie),
// then the followed car when strictly nearer. Pushes position, car and distance, or nothing.
int PushNearest(lua_State* L, uint32_t side, bool wide, bool testDamage) {
    const D3DXVECTOR3 point(Number(L, 1), Number(L, 2), Number(L, 3));
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    float best = FarAway;
    CPPlayer* found = nullptr;
    const size_t limit = wide ? WideCars : Opponents;
    for (size_t i = 0; i < limit; ++i) {
        CPPlayer* car = CarAt(*level, i);
        if (car == nullptr) {
            continue;
        }
        const bool ofSide = (car->SideFlags & side) != 0 && (!testDamage || car->DamageLevel < CPPlayer::WreckedLevel);
        const bool traffic = wide && (car->SideFlags & CPPlayer::SideTraffic) != 0;
        if (!ofSide && !traffic) {
            continue;
        }
        const float d = Distance(point, car->Position);
        if (d <= best) {
            best = d;
            found = car;
        }
    }
    if (CPPlayer* followed = level->FollowedCar; followed != nullptr && (followed->SideFlags & side) != 0) {
        const float d = Distance(point, followed->Position);
        if (d < best) {
            best = d;
            found = followed;
        }
    }
    if (found == nullptr) {
        return 0;
    }
    lua_pushnumber(L, found->Position.x);
    lua_pushnumber(L, found->Position.y);
    lua_pushnumber(L, found->Position.z);
    PushHandle(L, found);
    lua_pushnumber(L, best);
    return 5;
}

int GetNearestSolmarPlayer(lua_State* L) { return PushNearest(L, CPPlayer::SideSolmar, Flag(L, 4), true); }

int GetNearestDrevikPlayer(lua_State* L) { return PushNearest(L, CPPlayer::SideDrevik, false, false); }

int PushSideLeft(lua_State* L, uint32_t side) {
    bool left = false;
    if (CPLevel* level = GetCurrentLevel()) {
        for (size_t i = 0; i < Opponents && !left; ++i) {
            const CPPlayer* car = CarAt(*level, i);
            left = car != nullptr && (car->SideFlags & side) != 0 && car->DamageLevel < CPPlayer::WreckedLevel;
        }
    }
    lua_pushnumber(L, left ? 1.0 : 0.0);
    return 1;
}

int IsLightLeft(lua_State* L) { return PushSideLeft(L, CPPlayer::SideSolmar); }

int IsDarkLeft(lua_State* L) { return PushSideLeft(L, CPPlayer::SideDrevik); }

int GetAIPositions(lua_State* L) {
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    const float size = std::max(level->LevelSize.x, level->LevelSize.y);
    const float k = size != 0.0f ? 1.0f / size : 0.0f;
    const D3DXVECTOR3 followed = level->FollowedCar != nullptr ? level->FollowedCar->Position : D3DXVECTOR3(0, 0, 0);
    const uint32_t sides = level->FollowedCar != nullptr ? level->FollowedCar->SideFlags : 0;
    const float yaw = level->Camera != nullptr ? level->Camera->Yaw : 0.0f;
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, yaw - 1.5707964f);
    const float width = static_cast<float>(Cfg::screenWidth);

    // The rows are worked out first, from a copy in a fixed order (the entries as the scripts
    // see them, whatever the map's buckets); the table is pushed from them.
    struct Row {
        float X;
        float Y;
        bool Ally;
    };
    int count = 0;
    {
        std::vector<Row> rows;
        {
            std::map<std::string, AiPosition> positions;
            if (CPGameData::Instance != nullptr) {
                positions.insert(CPGameData::Instance->AiPositions.begin(), CPGameData::Instance->AiPositions.end());
            }
            rows.reserve(positions.size());
            for (const auto& [key, position] : positions) {
                const D3DXVECTOR3 offset(position.X - followed.x, -(position.Y - followed.y), 0.0f);
                D3DXVECTOR3 v;
                D3DXVec3TransformCoord(&v, &offset, &turn);
                float sx = (width - 109.0f) + v.x * k * 100.0f * 5.0f;
                const float sy = v.y * k * 100.0f * 5.0f + 100.0f;
                if (sx < width - 205.0f || sy > 200.0f) {
                    sx = width + 50.0f;
                }
                const int side = CarSide(key);
                const bool ally = ((sides & CPPlayer::SideSolmar) != 0 && side == 1) ||
                                  ((sides & CPPlayer::SideDrevik) != 0 && side == 2);
                rows.push_back({sx, sy, ally});
            }
        }
        count = PushProtected(L, [&rows](lua_State* S) {
            lua_pushnumber(S, 3.0 * static_cast<double>(rows.size()));
            lua_newtable(S);
            int i = 1;
            for (const Row& row : rows) {
                lua_pushnumber(S, row.X);
                lua_rawseti(S, -2, i);
                lua_pushnumber(S, row.Y);
                lua_rawseti(S, -2, i + 1);
                lua_pushboolean(S, row.Ally);
                lua_rawseti(S, -2, i + 2);
                i += 3;
            }
            return 2;
        });
    }
    return Results(L, count);
}

void PushBack(CPPlayer* car, float x, float y, float radius) {
    if (car == nullptr || (car->SideFlags & CPPlayer::SideDrevik) == 0) {
        return;
    }
    const float dx = car->Position.x - x;
    const float dy = car->Position.y - y;
    if (dx * dx + dy * dy > radius * radius) {
        return;
    }
    D3DXVECTOR4 v;
    car->GetCarVelocity(v);
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    D3DXVECTOR3 u(0.0f, 0.0f, 0.0f);
    if (length * length >= 1e-6f && length != 0.0f) {
        u = D3DXVECTOR3(v.x / length, v.y / length, v.z / length);
    }
    car->ApplyImpulse(car->Position, -u * 6.0f * 12.0f);
}

int CheckIntersection(lua_State* L) {
    const float x = Number(L, 1);
    const float y = Number(L, 2);
    const float radius = Number(L, 4);
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        return 0;
    }
    PushBack(level->FollowedCar, x, y, radius);
    for (size_t i = 0; i < Opponents; ++i) {
        PushBack(CarAt(*level, i), x, y, radius);
    }
    return 0;
}

int ThrowPlayer(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "ThrowPlayer");
    if (car == nullptr || (car->SideFlags & CPPlayer::SideSolmar) == 0 || car->Physics == nullptr) {
        return 0;
    }
    const D3DXVECTOR3 h = CarHeading(*car);
    const float m = car->Physics->MainShape.Mass;
    if (car->CarName == "hauler_") {
        car->ApplyImpulse(car->Position - 2.0f * h, D3DXVECTOR3(0.0f, 0.0f, m * 31.25f));
    } else {
        car->ApplyImpulse(car->Position - h, D3DXVECTOR3(0.0f, 0.0f, m * 62.5f));
    }
    return 0;
}

// Weapons, damage and respawn.

int SetShot(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetShot");
    if (car == nullptr) {
        return 0;
    }
    car->Trigger = Flag(L, 2) && car->WeaponSlot >= 0 && !car->WeaponEmpty;
    if (car->Trigger && car->WeaponType == 8) {
        car->FlameTimer = 0.0f;
    }
    return 0;
}

int SetMineShot(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetMineShot");
    if (car != nullptr) {
        car->MineTrigger = Flag(L, 2) && car->HasMines && !car->MineEmpty;
    }
    return 0;
}

int SetCurrentWeapon(lua_State* L) {
    const char* name = CheckText(L, 2);
    CPPlayer* car = Handle<CPPlayer>(L, 1, "SetCurrentWeapon");
    if (car != nullptr) {
        car->WeaponObject = car->FindChild(name);
    }
    return 0;
}

void StepWeapon(CPPlayer& car, int step) {
    const int32_t old = car.WeaponSlot;
    const std::array<std::string, 3> none{};
    const auto& names = CPGameData::Instance != nullptr ? CPGameData::Instance->ActiveCarSettings.Weapons : none;
    bool any = false;
    for (const std::string& name : names) {
        any = any || !name.empty();
    }
    if (!any) {
        car.WeaponSlot = -1;
    } else {
        // A slot outside 0..2 (none selected) steps in from its side like the game's wrap.
        int32_t index = old;
        do {
            index += step;
            if (index < 0) {
                index = 2;
            } else if (index > 2) {
                index = 0;
            }
        } while (names[static_cast<size_t>(index)].empty());
        car.WeaponSlot = index;
    }
    if (CPSoundManager::Instance != nullptr) {
        CPtr<CNSound> sound;
        CPSoundManager::Instance->GetSpecialSound(sound, car.WeaponSlot != old ? "change_weapon" : "undo_weapon");
        if (sound != nullptr) {
            if (sound->IsPlaying()) {
                sound->Stop();
                sound->Rewind();
            }
            sound->Play(0, 0);
        }
    }
    car.SetWeaponFlares();
}

int SetPrevWeapon(lua_State* L) {
    if (CPPlayer* car = Handle<CPPlayer>(L, 1, "SetPrevWeapon")) {
        StepWeapon(*car, -1);
    }
    return 0;
}

int SetNextWeapon(lua_State* L) {
    if (CPPlayer* car = Handle<CPPlayer>(L, 1, "SetNextWeapon")) {
        StepWeapon(*car, 1);
    }
    return 0;
}

int DamagePlayer(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "DamagePlayer");
    const float amount = Number(L, 2);
    if (car == nullptr) {
        lua_pushboolean(L, true);
        return 1;
    }
    const float coefficient = CPGameData::Instance != nullptr ? CPGameData::Instance->DamageCoefficient : 0.0f;
    const float d = coefficient * amount;
    if (car->Health > CriticalHealth && car->Health - d <= CriticalHealth) {
        SendByName("main", "say_critical");
    }
    car->Health -= d;
    const bool alive = car->Health >= 0.0f;
    if (!alive) {
        car->Health = 0.0f;
    }
    SendByName("gamemenu", "update_game_interface");
    if (!alive && !car->PlayerDeadSent) {
        if (CPCommandDispatcher::Instance != nullptr) {
            CPCommandDispatcher::Instance->SendCommandByCategory("main", "player_dead", "");
        }
        car->PlayerDeadSent = true;
    }
    lua_pushboolean(L, alive);
    return 1;
}

int KillPlayer(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "KillPlayer");
    if (car == nullptr) {
        return 0;
    }
    car->Visible = false;
    car->Collision = false;
    if (car->Physics != nullptr) {
        car->Physics->RemoveBody();
        if (CPPhysicWorld::Instance != nullptr) {
            CPPhysicWorld::Instance->DeactivateObject(CPtr<CPGameObject>(car));
        }
    }
    return 0;
}

int Spawn(lua_State* L) {
    if (CPPlayer* car = Handle<CPPlayer>(L, 1, "Spawn")) {
        car->Respawn(true);
    }
    return 0;
}

int SetBrake(lua_State* L) {
    if (CPPlayer* car = Handle<CPPlayer>(L, 1, "SetBrake")) {
        car->SetBrakeLights(Flag(L, 2));
    }
    return 0;
}

}  // namespace

extern const luaL_Reg CarFunctionsA[] = {
    {"GetActiveCar", GetActiveCar},
    {"GetAIDamage", GetAIDamage},
    {"IsPlayerDead", IsPlayerDead},
    {"GetAICount", GetAICount},
    {"GetNearestSolmarPlayer", GetNearestSolmarPlayer},
    {"GetNearestDrevikPlayer", GetNearestDrevikPlayer},
    {"IsLightLeft", IsLightLeft},
    {"IsDarkLeft", IsDarkLeft},
    {"GetAIPositions", GetAIPositions},
    {"CheckIntersection", CheckIntersection},
    {"ThrowPlayer", ThrowPlayer},
    {nullptr, nullptr},
};

extern const luaL_Reg CarFunctionsB[] = {
    {"ActivateAbilitiesAI", ActivateAbilitiesAI},
    {"SetAbilitiesCountAI", SetAbilitiesCountAI},
    {"GetPlayerSpeedAI", GetPlayerSpeedAI},
    {"GetPlayerDirectionAI", GetPlayerDirectionAI},
    {"PlayerNitroAI", PlayerNitroAI},
    {"SetShot", SetShot},
    {"SetMineShot", SetMineShot},
    {"SetCurrentWeapon", SetCurrentWeapon},
    {"SetPrevWeapon", SetPrevWeapon},
    {"SetNextWeapon", SetNextWeapon},
    {"DamagePlayer", DamagePlayer},
    {"KillPlayer", KillPlayer},
    {"Spawn", Spawn},
    {"SetBrake", SetBrake},
    {nullptr, nullptr},
};

}  // namespace Script
