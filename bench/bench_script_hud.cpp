// Cost of the race display per frame: UpdateGameInterface and UpdateTime called from Lua, as
// the race scripts call them each frame, on a HUD screen of 120 windows and five labels with
// a followed car whose clock, health, engine heat and ammunition change every frame (labels
// redrawn, windows shown and hidden by name, the mesh rebuilt twice), against the same frame
// in plain code: the same windows hidden and shown (the fixed names found once, the names
// that come from the car's settings looked up in a hash table every frame), the icons moved
// to their slots, the four label strings formatted and each label whose text changed laid
// out again into its own quads, and the screen's mesh of visible quads rebuilt after each of
// the two calls with its world copy.
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

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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
    lua_State* L;
    CPFontManager fonts;
    CPFont hudFont;
    CPGameData game;
    CPInterface hud;
    CPLevel level;
    CPPlayer car;
    int frame = LUA_NOREF;
    int tick = 0;
};

// The plain display: the same screen as flat records.
struct PlainVertex {
    float x, y, z, nx, ny, nz;
    uint32_t diffuse, specular;
    float u, v, u2, v2;
};

struct PlainHud {
    struct Window {
        float x, y;
        bool visible;
        PlainVertex quad[4];
    };
    struct Label {
        float x, y;
        std::string text;
        std::vector<PlainVertex> vertices, world;
        std::vector<uint16_t> indices;
    };
    std::vector<Window> windows;  // drawing order
    std::unordered_map<std::string, int> byName;
    std::vector<int> hiddenFirst, overheat, bullets;
    int super[3], nosuper[3], slots[3], mines, noMina;
    Label life, time, kills, mineCount;
    float rects[256][4];
    float advances[256];
    float lineHeight;
    std::vector<PlainVertex> vertices, world;
    std::vector<uint16_t> indices;

    int Find(const std::string& name) const {
        const auto found = byName.find(name);
        return found != byName.end() ? found->second : -1;
    }

    PlainHud(const CPInterface& hud, const FontMetrics& font) {
        for (const CPtr<CPWindow>& window : hud.WindowOrder) {
            Window plain{window->X, window->Y, window->Visible, {}};
            const CPVertex* quad = window->GetVertices();
            for (int i = 0; i < 4; ++i) {
                plain.quad[i] = {quad[i].Position.x, quad[i].Position.y, quad[i].Position.z, 0, 0, 0,
                                 quad[i].Diffuse, quad[i].Specular, quad[i].U, quad[i].V, quad[i].U2, quad[i].V2};
            }
            byName[window->Name] = static_cast<int>(windows.size());
            windows.push_back(plain);
        }
        auto all = [this](std::initializer_list<std::string> names, std::vector<int>& out) {
            for (const std::string& name : names) out.push_back(Find(name));
        };
        static const char* const weapons[] = {"lgun", "lgun2x", "gauss", "shotgun", "mgun", "mgun2x",
                                              "hmgun", "rlauncher", "ssrlauncher", "plasma", "firethrower",
                                              "autoshotgun"};
        for (const char* name : weapons) hiddenFirst.push_back(Find(name));
        for (const char* name : weapons) hiddenFirst.push_back(Find(std::string(name) + "_off"));
        all({"contact", "emcontact", "timer", "nocontact", "emnocontact", "cassette", "no_mina", "mines", "slot1",
             "slot2", "slot3", "nosuper1", "nosuper2", "nosuper3", "super1", "super2", "super3"},
            hiddenFirst);
        for (int i = 1; i <= 12; ++i) overheat.push_back(Find("overheat" + std::to_string(i)));
        for (int i = 1; i <= 17; ++i) bullets.push_back(Find("bullet" + std::to_string(i)));
        for (int i = 0; i < 3; ++i) {
            super[i] = Find("super" + std::to_string(i + 1));
            nosuper[i] = Find("nosuper" + std::to_string(i + 1));
            slots[i] = Find("slot" + std::to_string(i + 1));
        }
        mines = Find("mines");
        noMina = Find("no_mina");
        for (auto [label, name] : {std::pair{&life, "life"}, {&time, "time"}, {&kills, "kills"}, {&mineCount, "mines"}}) {
            const CPTextEntry& entry = hud.Texts.at(name);
            label->x = entry.X;
            label->y = entry.Y;
            label->text = entry.Text;
        }
        for (int c = 0; c < 256; ++c) {
            rects[c][0] = font.GlyphRects[c].Left;
            rects[c][1] = font.GlyphRects[c].Top;
            rects[c][2] = font.GlyphRects[c].Right;
            rects[c][3] = font.GlyphRects[c].Bottom;
            advances[c] = font.Advances[c];
        }
        lineHeight = font.LineHeight;
    }

    void Show(int window, bool visible) {
        if (window >= 0) windows[static_cast<size_t>(window)].visible = visible;
    }
    void ShowFirst(const std::vector<int>& list, int count) {
        for (size_t i = 0; i < list.size(); ++i) Show(list[i], static_cast<int>(i) < count);
    }
    void Move(int window, float x, float y) {
        if (window >= 0) {
            windows[static_cast<size_t>(window)].x = x;
            windows[static_cast<size_t>(window)].y = y;
        }
    }

    static PlainVertex Flat(float x, float y, float u, float v) { return {x, y, 0, 0, 0, 0, 0xFFFFFFFFu, 0, u, v, 0, 0}; }

    void SetLabel(Label& label, const char* format, int value) {
        char text[32];
        const int length = std::snprintf(text, sizeof(text), format, value);
        if (label.text.size() == static_cast<size_t>(length) && std::memcmp(label.text.data(), text, label.text.size()) == 0) {
            return;
        }
        label.text.assign(text, static_cast<size_t>(length));
        Layout(label);
    }
    void Layout(Label& label) {
        label.vertices.clear();
        label.indices.clear();
        float penX = label.x;
        float lineY = label.y;
        for (const char ch : label.text) {
            if (ch == '^') {
                lineY += lineHeight;
                penX = label.x;
                continue;
            }
            const auto c = static_cast<unsigned char>(ch);
            const float* r = rects[c];
            const float a = advances[c];
            const float bottom = lineY + lineHeight;
            const auto base = static_cast<uint16_t>(label.vertices.size());
            label.vertices.push_back(Flat(penX, lineY, r[0], r[1]));
            label.vertices.push_back(Flat(penX + a, lineY, r[2], r[1]));
            label.vertices.push_back(Flat(penX + a, bottom, r[2], r[3]));
            label.vertices.push_back(Flat(penX, bottom, r[0], r[3]));
            for (const int k : {0, 1, 2, 0, 2, 3}) label.indices.push_back(static_cast<uint16_t>(base + k));
            penX += a - 2.0f;
        }
        label.world = label.vertices;
    }

    void Rebuild() {
        size_t quads = 0;
        for (const Window& window : windows) quads += window.visible ? 1 : 0;
        vertices.resize(quads * 4);
        indices.resize(quads * 6);
        PlainVertex* vertex = vertices.data();
        uint16_t* index = indices.data();
        uint16_t base = 0;
        for (const Window& window : windows) {
            if (!window.visible) continue;
            for (int i = 0; i < 4; ++i) {
                *vertex = window.quad[i];
                vertex->x += window.x;
                vertex->y += window.y;
                ++vertex;
            }
            for (const int k : {0, 1, 2, 0, 2, 3}) *index++ = static_cast<uint16_t>(base + k);
            base = static_cast<uint16_t>(base + 4);
        }
        world.assign(vertices.begin(), vertices.end());
    }

    static int Nearest(float value) {
        const int n = static_cast<int>(value);
        return value - static_cast<float>(n) >= 0.5f ? n + 1 : n;
    }

    // UpdateGameInterface and UpdateTime.
    void Frame(const CPLevel& level, const CPPlayer& car, const CPGameData& game) {
        const CarSettings& settings = game.ActiveCarSettings;
        for (const int window : hiddenFirst) Show(window, false);
        for (int i = 0; i < 3; ++i) Show(i + 1 <= settings.SuperWeaponCharges ? super[i] : nosuper[i], true);
        SetLabel(life, "%03d", static_cast<int>(car.Health));
        for (int j = 0; j < 3; ++j) {
            const std::string& weapon = settings.Weapons[static_cast<size_t>(j)];
            if (weapon.empty()) {
                Show(slots[j], true);
                continue;
            }
            const int icon = car.WeaponSlot == j ? Find(weapon) : Find(weapon + "_off");
            if (slots[j] >= 0) Move(icon, windows[static_cast<size_t>(slots[j])].x, windows[static_cast<size_t>(slots[j])].y);
            Show(icon, true);
        }
        if (car.HasMines) {
            Show(mines, true);
            SetLabel(mineCount, "%02d", static_cast<int>(static_cast<float>(car.MineCount()) * car.MineFactor));
            const int icon = Find(car.MineRecord.Name);
            if (noMina >= 0) Move(icon, windows[static_cast<size_t>(noMina)].x, windows[static_cast<size_t>(noMina)].y);
            Show(icon, true);
        } else {
            Show(noMina, true);
            SetLabel(mineCount, "%02d", 0);
        }
        const int slot = car.WeaponSlot;
        const float ammunition = slot >= 0 && slot <= 2 ? car.Ammunition[static_cast<size_t>(slot)] : 0.0f;
        ShowFirst(bullets, Nearest(ammunition * 17.0f));
        Rebuild();  // the screen has no cursors: the weapon's cursor switch finds none

        const float t = level.LevelTime;
        const int minutes = static_cast<int>(t * 0.016666668f);
        const int seconds = static_cast<int>(static_cast<double>(t) - minutes * 60.0);
        char clock[32];
        const int length = std::snprintf(clock, sizeof(clock), "%02d:%02d", minutes, seconds);
        if (time.text != std::string_view(clock, static_cast<size_t>(length))) {
            time.text.assign(clock, static_cast<size_t>(length));
            Layout(time);
        }
        ShowFirst(overheat, Nearest(car.EngineTemperature * 12.0f));
        SetLabel(kills, "%05d", static_cast<int>(game.Kills));
        Rebuild();
    }
};

void BM_HudFrameAgainstLabelStrings(benchmark::State& state) {
    Bench bench;
    PlainHud plain(bench.hud, bench.hudFont.Metrics);
    RunAgainstBaseline(
        state,
        [&] {
            bench.Advance();
            bench.Display();
        },
        [&] {
            bench.Advance();
            plain.Frame(bench.level, bench.car, bench.game);
        });
    // The plain frame must draw what the display draws.
    bench.Display();
    plain.Frame(bench.level, bench.car, bench.game);
    if (plain.vertices.size() != bench.hud.Mesh->Vertices.size() ||
        plain.time.text != bench.hud.Texts.at("time").Text || plain.life.text != bench.hud.Texts.at("life").Text) {
        state.SkipWithError("the plain frame differs from the display's");
    }
    state.counters["windows"] = static_cast<double>(bench.hud.Windows.size());
}
BENCHMARK(BM_HudFrameAgainstLabelStrings)->UseManualTime();

}  // namespace
