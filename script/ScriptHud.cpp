// HUD functions: the race display filled from the race state (score, race clock, kill
// counter, engine-overheat gauge, health, ammunition gauge, weapon, super-weapon, mine, armour,
// engine and equipment icons, the cursor of the current weapon), the racers' order for the
// players panel, the screen place of a car's health bar, and the loading screen's frame.
//
// The display is a screen whose description defines its elements under fixed names; a name it
// does not define is skipped. The followed car is the level's FollowedCar: without it the
// clock and the kill counter still run but the gauges and icons that read the car stay as they
// are. A weapon slot outside 0..2 selects no weapon and fills no ammunition.
//
// The health bar is placed from the eight world corners of the car's collision box as the
// car's last UpdateTransform left them (CPGameObject::Box), taken as they are: the whole box,
// projected by the race camera's first view (MainView).
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPRender.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace Script {

namespace {

constexpr size_t OverheatWindows = 12;
constexpr size_t BulletWindows = 17;
// The bar's filled length per point of health left, pixels.
constexpr float HealthBarScale = 0.47001317f;

// The HUD's weapon icons; each also has an inactive form with "_off".
constexpr std::array<const char*, 12> WeaponIcons{"lgun", "lgun2x", "gauss", "shotgun", "mgun", "mgun2x",
                                                  "hmgun", "rlauncher", "ssrlauncher", "plasma", "firethrower",
                                                  "autoshotgun"};
constexpr std::array<const char*, 6> HiddenOnly{"contact", "emcontact", "timer", "nocontact", "emnocontact", "cassette"};
constexpr std::array<const char*, 3> SlotWindows{"slot1", "slot2", "slot3"};
constexpr std::array<const char*, 7> EquipmentIcons{"analyzer", "repair", "laser", "bullets", "firerate", "damage",
                                                    "regeneration"};

// stem + "1" .. stem + count.
std::vector<std::string> NumberedNames(const char* stem, size_t count) {
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        names.push_back(stem + std::to_string(i + 1));
    }
    return names;
}

// The gauges, found once per screen (the display fills them every frame).
CPWindowList& OverheatGauge() {
    static CPWindowList gauge(NumberedNames("overheat", OverheatWindows));
    return gauge;
}

CPWindowList& AmmunitionGauge() {
    static CPWindowList gauge(NumberedNames("bullet", BulletWindows));
    return gauge;
}

// What UpdateGameInterface hides before it shows what the car has: every weapon icon in both
// forms, the contact and cassette icons, the mine windows, the empty slots and the charges.
CPWindowList& HiddenFirst() {
    static CPWindowList hidden([] {
        std::vector<std::string> names;
        for (const char* name : WeaponIcons) {
            names.emplace_back(name);
        }
        for (const char* name : WeaponIcons) {
            names.push_back(std::string(name) + "_off");
        }
        for (const char* name : HiddenOnly) {
            names.emplace_back(name);
        }
        for (const char* name : {"no_mina", "mines", "slot1", "slot2", "slot3", "nosuper1", "nosuper2", "nosuper3",
                                 "super1", "super2", "super3"}) {
            names.emplace_back(name);
        }
        return names;
    }());
    return hidden;
}

// The value truncated toward zero, plus 1 when what was cut off is a half or more.
int32_t Nearest(float value) {
    const int32_t n = Truncate(value);
    return (value - static_cast<float>(n) >= 0.5f) ? n + 1 : n;
}

std::string Format(const char* format, int32_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), format, static_cast<int>(value));
    return text;
}

CPInterface* Hud(lua_State* L, const char* function) { return Handle<CPInterface>(L, 1, function); }

int UpdateScore(lua_State* L) {
    if (CPInterface* hud = Hud(L, "UpdateScore")) {
        hud->SetLabelText("score", Format("%05d", Int(L, 2)));
    }
    return 0;
}

int UpdateTime(lua_State* L) {
    CPInterface* hud = Hud(L, "UpdateTime");
    CPLevel* level = CPLevel::Current;
    if (hud == nullptr || level == nullptr) {
        return 0;
    }
    // The clock: minutes by the float nearest 1/60, seconds what is left, not wrapped.
    const float t = level->LevelTime;
    const int32_t minutes = Truncate(t * 0.016666668f);
    const int32_t seconds = Truncate(static_cast<double>(t) - minutes * 60.0);
    char clock[32];
    std::snprintf(clock, sizeof(clock), "%02d:%02d", static_cast<int>(minutes), static_cast<int>(seconds));
    hud->SetLabelText("time", clock);
    if (const CPPlayer* car = level->FollowedCar) {
        OverheatGauge().ShowFirst(*hud, Nearest(car->EngineTemperature * static_cast<float>(OverheatWindows)));
    }
    if (const CPGameData* game = CPGameData::Instance) {
        hud->SetLabelText("kills", Format("%05d", game->Kills));
    }
    hud->UpdateBuffers();
    return 0;
}

int InitGameInterface(lua_State* L) {
    CPInterface* hud = Hud(L, "InitGameInterface");
    if (hud == nullptr || CPGameData::Instance == nullptr) {
        return 0;
    }
    const CarSettings& s = CPGameData::Instance->ActiveCarSettings;
    for (const char* name : {"krest", "steel", "steelfibre", "titan", "energy", "engine1", "engine2", "engine3"}) {
        hud->ShowWindow(name, false);
    }
    for (const char* name : EquipmentIcons) {
        hud->ShowWindow(name, false);
    }
    for (const char* name : EquipmentIcons) {
        hud->ShowWindow(std::string(name) + "2", false);
    }
    hud->ShowWindow("noequipment1", false);
    hud->ShowWindow("noequipment2", false);

    hud->ShowWindow(s.Armor.empty() ? std::string("krest") : s.Armor, true);
    if (!s.Engine.empty()) {
        hud->ShowWindow(s.Engine, true);
    }
    hud->ShowWindow(s.Equipment[0].empty() ? std::string("noequipment1") : s.Equipment[0], true);
    hud->ShowWindow(s.Equipment[1].empty() ? std::string("noequipment2") : s.Equipment[1] + "2", true);
    return 0;
}

int UpdateGameInterface(lua_State* L) {
    CPInterface* hud = Hud(L, "UpdateGameInterface");
    CPLevel* level = CPLevel::Current;
    if (hud == nullptr || level == nullptr || level->FollowedCar == nullptr || CPGameData::Instance == nullptr) {
        return 0;
    }
    const CPPlayer& car = *level->FollowedCar;
    const CarSettings& s = CPGameData::Instance->ActiveCarSettings;

    HiddenFirst().ShowFirst(*hud, 0);

    static const char* const super[3] = {"super1", "super2", "super3"};
    static const char* const nosuper[3] = {"nosuper1", "nosuper2", "nosuper3"};
    for (int i = 0; i < 3; ++i) {
        hud->ShowWindow(i + 1 <= s.SuperWeaponCharges ? super[i] : nosuper[i], true);
    }

    hud->SetLabelText("life", Format("%03d", Truncate(car.Health)));

    for (int j = 0; j < 3; ++j) {
        const std::string& weapon = s.Weapons[static_cast<size_t>(j)];
        if (weapon.empty()) {
            hud->ShowWindow(SlotWindows[static_cast<size_t>(j)], true);
            continue;
        }
        const std::string icon = car.WeaponSlot == j ? weapon : weapon + "_off";
        float x = 0.0f;
        float y = 0.0f;
        if (const CPWindow* slot = hud->FindWindow(SlotWindows[static_cast<size_t>(j)])) {
            x = slot->X;
            y = slot->Y;
            hud->SetWindowXY(icon, x, y);
        }
        hud->ShowWindow(icon, true);
    }

    if (car.HasMines) {
        hud->ShowWindow("mines", true);
        const float mines = static_cast<float>(car.MineCount()) * car.MineFactor;
        hud->SetLabelText("mines", Format("%02d", Truncate(mines)));
        // The mine's own icon sits where "no_mina" is.
        if (const CPWindow* anchor = hud->FindWindow("no_mina")) {
            hud->SetWindowXY(car.MineRecord.Name, anchor->X, anchor->Y);
        }
        hud->ShowWindow(car.MineRecord.Name, true);
    } else {
        hud->ShowWindow("no_mina", true);
        hud->SetLabelText("mines", "00");
    }

    const int32_t slot = car.WeaponSlot;
    const float ammunition = (slot >= 0 && slot <= 2) ? car.Ammunition[static_cast<size_t>(slot)] : 0.0f;
    AmmunitionGauge().ShowFirst(*hud, Nearest(ammunition * static_cast<float>(BulletWindows)));

    switch (car.WeaponType) {
    case 0: case 1: case 2: case 6:
        hud->SetCursorByName("bullet");
        break;
    case 3: case 4:
        hud->SetCursorByName("rocket");
        break;
    case 5: case 7:
        hud->SetCursorByName("plazma");
        break;
    case 8:
        hud->SetCursorByName("shotgun");
        break;
    default:
        break;  // a weapon without a cursor of its own keeps the one shown
    }
    hud->UpdateBuffers();
    return 0;
}

int EngineState(lua_State* L) {
    CPInterface* hud = Hud(L, "EngineState");
    if (hud == nullptr || CPGameData::Instance == nullptr) {
        return 0;
    }
    const std::string& engine = CPGameData::Instance->ActiveCarSettings.Engine;
    if (!engine.empty()) {
        hud->ShowWindow(engine, Flag(L, 2));
    }
    return 0;
}

int GetFov1(lua_State* L) {
    if (CPLevel::Current == nullptr) {
        return 0;
    }
    lua_pushnumber(L, CPLevel::Current->Fov1);
    return 1;
}

int GetFov2(lua_State* L) {
    if (CPLevel::Current == nullptr) {
        return 0;
    }
    lua_pushnumber(L, CPLevel::Current->Fov2);
    return 1;
}

int SetPlayersPanel(lua_State* L) {
    if (CPLevel::Current == nullptr || CPGameData::Instance == nullptr) {
        return 0;
    }
    CPGameData& game = *CPGameData::Instance;
    // (value, racer); equal values keep the order they were added in.
    std::array<std::pair<int32_t, const char*>, 6> racers;
    static const char* const keys[5] = {"0", "1", "2", "3", "4"};
    for (size_t i = 0; i < 5; ++i) {
        const LapRecord& lap = game.LapRecords[keys[i]];
        racers[i] = {lap.Round * lap.Progress, keys[i]};
    }
    racers[5] = {game.PlayerProgress * game.CurrentRound, "10"};
    std::stable_sort(racers.begin(), racers.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    lua_newtable(L);
    for (size_t i = 0; i < racers.size(); ++i) {
        lua_pushnumber(L, static_cast<lua_Number>(i + 1));
        lua_pushstring(L, racers[i].second);
        lua_settable(L, -3);
    }
    return 1;
}

int GetHelthBarCoord(lua_State* L) {
    CPPlayer* car = Handle<CPPlayer>(L, 1, "GetHelthBarCoord");
    if (CPLevel::Current == nullptr) {
        return 0;
    }
    float x = -100.0f;
    float y = -100.0f;
    float length = 0.0f;
    const CPPerspectiveCamera* view = MainView;
    if (car != nullptr && view != nullptr) {
        D3DXVECTOR3 d = view->Target - view->Position;
        D3DXVECTOR3 v = car->GetPosition() - view->Position;
        D3DXVec3Normalize(&d, &d);
        D3DXVec3Normalize(&v, &v);
        const float cosine = std::clamp(D3DXVec3Dot(&d, &v), -1.0f, 1.0f);
        if (!(std::acos(cosine) > view->Fov)) {
            // The projected box's upper left corner; corners at or behind the eye's plane
            // project nowhere and are left out.
            float left = 0.0f;
            float top = 0.0f;
            bool any = false;
            for (const D3DXVECTOR3& p : car->Box.Corners()) {
                D3DXVECTOR4 q;
                D3DXVec3Transform(&q, &p, &view->ViewProjection);
                if (!(q.w > 0.0f)) {
                    continue;
                }
                const float sx = q.x / q.w;
                const float sy = -(q.y / q.w);
                left = any ? std::min(left, sx) : sx;
                top = any ? std::min(top, sy) : sy;
                any = true;
            }
            if (any && std::isfinite(left) && std::isfinite(top)) {
                x = (left + 1.0f) * static_cast<float>(Cfg::screenWidth) * 0.5f;
                y = (top + 1.0f) * static_cast<float>(Cfg::screenHeight) * 0.5f;
                length = (100.0f - car->DamageLevel) * HealthBarScale;
            }
        }
    }
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    lua_pushnumber(L, length);
    return 3;
}

int InitWarning(lua_State* L) {
    const int32_t percent = Int(L, 1);
    if (CPRender::Instance != nullptr) {
        CPRender::Instance->DrawLoadingScreen(percent);
    }
    return 0;
}

}  // namespace

extern const luaL_Reg HudFunctionsA[] = {
    {"SetPlayersPanel", SetPlayersPanel},
    {"GetHelthBarCoord", GetHelthBarCoord},
    {"InitWarning", InitWarning},
    {nullptr, nullptr},
};

extern const luaL_Reg HudFunctionsB[] = {
    {"EngineState", EngineState},
    {"UpdateScore", UpdateScore},
    {"UpdateTime", UpdateTime},
    {"InitGameInterface", InitGameInterface},
    {"UpdateGameInterface", UpdateGameInterface},
    {"GetFov1", GetFov1},
    {"GetFov2", GetFov2},
    {nullptr, nullptr},
};

}  // namespace Script
