// Cost of the race display per frame: UpdateGameInterface and UpdateTime called from Lua, as
// the race scripts call them each frame, on a HUD screen of 120 windows and five labels with
// a followed car whose clock, health, engine heat and ammunition change every frame (labels
// redrawn, windows shown and hidden by name, the mesh rebuilt twice), against building the
// same four label strings alone ("%02d:%02d", "%05d", "%03d", "%02d"). x_baseline is what the
// display costs over the bare text it shows.
#include "bench/BaselineRatio.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"
#include "interface/InterfaceFile.h"
#include "script/ScriptTables.h"

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int HudWindows = 120;

std::string HudDescription() {
    std::string text = "gamemenu\nhud.tga,512,512\nlight,off\n";
    int count = 0;
    auto window = [&](const std::string& name) {
        text += "window\n" + name + " " + std::to_string(8 * (count % 100)) + "," + std::to_string(8 * (count / 100)) +
                ",16,16,0,0,16,16\n";
        ++count;
    };
    for (int i = 1; i <= 12; ++i) window("overheat" + std::to_string(i));
    for (int i = 1; i <= 17; ++i) window("bullet" + std::to_string(i));
    for (const char* name : {"lgun", "lgun2x", "gauss", "shotgun", "mgun", "mgun2x", "hmgun", "rlauncher",
                             "ssrlauncher", "plasma", "firethrower", "autoshotgun"}) {
        window(name);
        window(std::string(name) + "_off");
    }
    for (const char* name : {"slot1", "slot2", "slot3", "super1", "super2", "super3", "nosuper1", "nosuper2",
                             "nosuper3", "mines", "no_mina", "mina_x", "contact", "emcontact", "timer",
                             "nocontact", "emnocontact", "cassette", "krest", "steel", "steelfibre", "titan",
                             "energy", "engine1", "engine2", "engine3", "noequipment1", "noequipment2"}) {
        window(name);
    }
    for (const char* name : {"analyzer", "repair", "laser", "bullets", "firerate", "damage", "regeneration"}) {
        window(name);
        window(std::string(name) + "2");
    }
    for (int i = 0; count < HudWindows; ++i) window("frame" + std::to_string(i));
    for (const char* label : {"score", "time", "kills", "life", "mines"}) {
        text += std::string("text\n") + label + " hud,0,700,\n";
    }
    return text;
}

class Bench {
public:
    Bench() : L(luaL_newstate()) {
        luaL_openlibs(L);
        Script::RegisterFunctions(L);
        CPFontManager::Instance = &fonts;
        CPGameData::Instance = &game;
        std::string font = "font.tga,256,256,16\n";
        for (int c = 32; c < 127; ++c) {
            font += std::to_string(c) + ",0,0,10\n";
        }
        auto metrics = CPtr<CPFont>(&hudFont);
        std::string problem;
        ParseFontFile(font.data(), static_cast<int>(font.size()), hudFont.Metrics, problem);
        fonts.AddFont("hud", metrics);

        const std::string description = HudDescription();
        InterfaceFile file;
        ParseInterfaceFile(description.data(), static_cast<int>(description.size()), file);
        hud.Build(file, 0);
        lua_pushlightuserdata(L, static_cast<CPObject*>(&hud));
        lua_setglobal(L, "hud");

        level.FollowedCar = &car;
        game.ActiveCarSettings.Weapons = {"mgun", "plasma", "rlauncher"};
        game.ActiveCarSettings.SuperWeaponCharges = 2;
        car.HasMines = true;
        car.MineRecord.Name = "mina_x";
        car.MineRecord.M4 = 9;
        car.MineFactor = 1.0f;
        const std::string code = "return function() UpdateGameInterface(hud) UpdateTime(hud) end";
        if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
            std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
            std::abort();
        }
        frame = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    ~Bench() {
        lua_close(L);
        CPFontManager::Instance = nullptr;
        CPGameData::Instance = nullptr;
        fonts.AddFont("hud", CPtr<CPFont>());
    }

    // The race state moves on by one frame.
    void Advance() {
        ++tick;
        level.LevelTime = 300.0f - 0.02f * static_cast<float>(tick % 15000);
        car.Health = static_cast<float>(100 - tick % 100);
        car.EngineTemperature = static_cast<float>(tick % 13) / 12.0f;
        car.WeaponSlot = tick % 3;
        car.Ammunition[static_cast<size_t>(car.WeaponSlot)] = static_cast<float>(tick % 18) / 17.0f;
        car.WeaponType = tick % 9;
        game.Kills = tick % 50;
    }
    void Display() {
        lua_rawgeti(L, LUA_REGISTRYINDEX, frame);
        if (lua_pcall(L, 0, 0, 0) != 0) {
            std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
            std::abort();
        }
    }
    // The labels' strings, as the display formats them.
    void Strings() {
        char text[32];
        const float t = level.LevelTime;
        const int minutes = static_cast<int>(t * 0.016666668f);
        std::snprintf(text, sizeof(text), "%02d:%02d", minutes, static_cast<int>(t - minutes * 60.0));
        labels[0] = text;
        std::snprintf(text, sizeof(text), "%05d", static_cast<int>(game.Kills));
        labels[1] = text;
        std::snprintf(text, sizeof(text), "%03d", static_cast<int>(car.Health));
        labels[2] = text;
        std::snprintf(text, sizeof(text), "%02d", static_cast<int>(static_cast<float>(car.MineCount()) * car.MineFactor));
        labels[3] = text;
        benchmark::DoNotOptimize(labels);
    }

    lua_State* L;
    CPFontManager fonts;
    CPFont hudFont;
    CPGameData game;
    CPInterface hud;
    CPLevel level;
    CPPlayer car;
    int frame = LUA_NOREF;
    int tick = 0;
    std::string labels[4];
};

void BM_HudFrameAgainstLabelStrings(benchmark::State& state) {
    Bench bench;
    RunAgainstBaseline(
        state,
        [&] {
            bench.Advance();
            bench.Display();
        },
        [&] {
            bench.Advance();
            bench.Strings();
        });
    state.counters["windows"] = static_cast<double>(bench.hud.Windows.size());
}
BENCHMARK(BM_HudFrameAgainstLabelStrings)->UseManualTime();

}  // namespace
