// The race display as the race scripts fill it: a HUD screen from a small description with the
// display's names, a level and a followed car set up directly, the labels read back from the
// frame dump and the windows from the screen after known changes of the car and the game data;
// the players panel, the health bar's place and the loading frame.
#include "InterfaceScriptFixture.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>

namespace {

using Names = std::set<std::string>;

// Every element name of the display that the tests look at, one small window each.
std::string HudDescription() {
    std::string text = "gamemenu\nhud.tga,256,256\nlight,off\n";
    int column = 0;
    auto window = [&](const std::string& name) {
        const int x = 20 * (column % 50);
        const int y = 20 * (column / 50);
        ++column;
        text += "window\n" + name + " " + std::to_string(x) + "," + std::to_string(y) + ",16,16,0,0,16,16\n";
    };
    for (int i = 1; i <= 12; ++i) window("overheat" + std::to_string(i));
    for (int i = 1; i <= 17; ++i) window("bullet" + std::to_string(i));
    for (const char* name : {"mgun", "plasma", "rlauncher"}) {
        window(name);
        window(std::string(name) + "_off");
    }
    for (const char* name : {"slot1", "slot2", "slot3", "super1", "super2", "super3", "nosuper1", "nosuper2",
                             "nosuper3", "mines", "no_mina", "mina_x", "contact", "cassette", "krest", "steel",
                             "titan", "engine1", "engine2", "laser", "laser2", "repair", "noequipment1",
                             "noequipment2"}) {
        window(name);
    }
    for (const char* label : {"score", "time", "kills", "life", "mines"}) {
        text += std::string("text\n") + label + " hud,0,700,\n";
    }
    return text;
}

class ScriptHud : public InterfaceScriptTest {
protected:
    void SetUp() override {
        InterfaceScriptTest::SetUp();
        WriteFile("Data/Interface/game_hud1024.int", HudDescription());
        HostFiles::ClearCache();
        Run(R"(hud = CreateInterface("game_hud", 0))");
        // The loader makes only the description's "cursor"; the weapon cursors are the game's.
        for (size_t i = 0; i < cursors.size(); ++i) {
            cursors[i] = std::make_unique<CPGameObject>(CursorNames[i]);
            cursors[i]->Visible = false;
            Hud().Cursors[CursorNames[i]] = cursors[i].get();
        }
        level = std::make_unique<CPLevel>();
        level->FollowedCar = &car;
        CarSettings& s = host->GameData().ActiveCarSettings;
        s.Weapons = {"mgun", "plasma", ""};
        s.SuperWeaponCharges = 2;
    }
    void TearDown() override {
        MainView = nullptr;
        level.reset();
        InterfaceScriptTest::TearDown();
    }

    CPInterface& Hud() { return Screen("hud"); }
    // The windows the screen would draw.
    Names Shown() {
        Names shown;
        for (const auto& [name, window] : Hud().Windows) {
            if (window->Visible) {
                shown.insert(name);
            }
        }
        return shown;
    }
    bool IsShown(const std::string& name) { return Hud().Windows.at(name)->Visible; }
    int CountShown(const char* stem, int count) {
        int shown = 0;
        for (int i = 1; i <= count; ++i) {
            shown += IsShown(stem + std::to_string(i)) ? 1 : 0;
        }
        return shown;
    }
    // The labels as the next frame draws them.
    std::string Frame() {
        Run("UpdateInterface(hud)");
        return host->DumpFrame(0.02f);
    }
    static bool Has(const std::string& dump, const std::string& label) {
        return dump.find("text \"" + label + "\"") != std::string::npos;
    }

    static constexpr std::array<const char*, 4> CursorNames{"bullet", "rocket", "plazma", "shotgun"};
    std::array<std::unique_ptr<CPGameObject>, 4> cursors;
    CPPlayer car;
    std::unique_ptr<CPLevel> level;
};

TEST_F(ScriptHud, ClockOverheatGaugeAndKills) {
    const struct {
        float timeLeft;
        float temperature;
        const char* clock;
        int overheat;
    } cases[] = {
        {125.5f, 0.5f, "02:05", 6}, {59.99f, 0.29f, "00:59", 3}, {0.0f, 0.3f, "00:00", 4},
        {3600.0f, 1.0f, "60:00", 12}, {-5.5f, 0.0f, "00:-5", 0},
    };
    for (const auto& c : cases) {
        level->LevelTime = c.timeLeft;
        car.EngineTemperature = c.temperature;
        host->GameData().Kills = 7;
        Run("UpdateTime(hud)");
        EXPECT_EQ(Hud().Texts.at("time").Text, c.clock) << c.timeLeft;
        EXPECT_EQ(CountShown("overheat", 12), c.overheat) << c.temperature;
        for (int i = 1; i <= c.overheat; ++i) {
            EXPECT_TRUE(IsShown("overheat" + std::to_string(i))) << "the first ones";
        }
    }
    const std::string dump = Frame();
    EXPECT_TRUE(Has(dump, "00:-5")) << dump;
    EXPECT_TRUE(Has(dump, "00007")) << dump;
    // UpdateTime rebuilds: the mesh holds exactly the shown windows.
    EXPECT_EQ(Hud().Mesh->Vertices.size(), 4u * Shown().size());

    // Without a followed car the clock runs and the gauge stays; without a level nothing moves.
    car.EngineTemperature = 1.0f;
    level->FollowedCar = nullptr;
    level->LevelTime = 61.0f;
    Run("UpdateTime(hud)");
    EXPECT_EQ(Hud().Texts.at("time").Text, "01:01");
    EXPECT_EQ(CountShown("overheat", 12), 0);
    level.reset();
    Run("UpdateTime(hud)");
    EXPECT_EQ(Hud().Texts.at("time").Text, "01:01");
}

TEST_F(ScriptHud, ScoreIsFiveDigits) {
    Run("UpdateScore(hud, 42)");
    EXPECT_TRUE(Has(Frame(), "00042"));
    Run("UpdateScore(hud, -5.9)");
    EXPECT_EQ(Hud().Texts.at("score").Text, "-0005");
}

TEST_F(ScriptHud, WeaponsHealthMinesAmmunitionAndCursor) {
    CPInterface& hud = Hud();
    car.Health = 42.7f;
    car.WeaponSlot = 1;
    car.Ammunition = {1.0f, 0.03f, 0.5f};
    car.HasMines = true;
    car.MineRecord.Name = "mina_x";
    car.MineRecord.M4 = 5;
    car.MineFactor = 1.5f;
    car.WeaponType = 3;
    hud.Windows.at("contact")->Visible = true;
    Run("UpdateGameInterface(hud)");

    const std::string dump = Frame();
    EXPECT_TRUE(Has(dump, "042")) << dump;
    EXPECT_TRUE(Has(dump, "07")) << dump;  // 5 mines × 1.5, truncated
    Names expected{"mgun_off", "plasma", "slot3", "super1", "super2", "nosuper3", "mines", "mina_x", "bullet1"};
    for (const char* name : {"krest", "steel", "titan", "engine1", "engine2", "laser", "laser2", "repair",
                             "noequipment1", "noequipment2"}) {
        expected.insert(name);  // left as the description made them
    }
    for (int i = 1; i <= 12; ++i) {
        expected.insert("overheat" + std::to_string(i));  // UpdateTime's
    }
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(hud.Windows.at("plasma")->X, hud.Windows.at("slot2")->X);
    EXPECT_EQ(hud.Windows.at("mgun_off")->Y, hud.Windows.at("slot1")->Y);
    EXPECT_EQ(hud.Windows.at("mina_x")->X, hud.Windows.at("no_mina")->X);
    EXPECT_EQ(hud.CursorName, "rocket");
    EXPECT_TRUE(cursors[1]->Visible);
    EXPECT_EQ(hud.Mesh->Vertices.size(), 4u * Shown().size());

    // The first slot current, no mines, a weapon without a cursor of its own.
    car.WeaponSlot = 0;
    car.HasMines = false;
    car.WeaponType = 9;
    Run("UpdateGameInterface(hud)");
    EXPECT_TRUE(IsShown("mgun"));
    EXPECT_TRUE(IsShown("plasma_off"));
    EXPECT_FALSE(IsShown("plasma"));
    EXPECT_TRUE(IsShown("no_mina"));
    EXPECT_FALSE(IsShown("mines"));
    EXPECT_EQ(hud.Texts.at("mines").Text, "00");
    EXPECT_EQ(CountShown("bullet", 17), 17);
    EXPECT_EQ(hud.CursorName, "rocket");

    // A slot outside 0..2 selects nothing and fills nothing.
    for (const int slot : {-1, 3, 100}) {
        car.WeaponSlot = slot;
        Run("UpdateGameInterface(hud)");
        EXPECT_EQ(CountShown("bullet", 17), 0) << slot;
        EXPECT_TRUE(IsShown("mgun_off") && IsShown("plasma_off")) << slot;
        EXPECT_FALSE(IsShown("mgun") || IsShown("plasma")) << slot;
    }
    const struct {
        int type;
        const char* cursor;
    } types[] = {{0, "bullet"}, {6, "bullet"}, {4, "rocket"}, {5, "plazma"}, {7, "plazma"}, {8, "shotgun"}};
    for (const auto& t : types) {
        car.WeaponType = t.type;
        Run("UpdateGameInterface(hud)");
        EXPECT_EQ(hud.CursorName, t.cursor) << t.type;
        EXPECT_EQ(std::count_if(cursors.begin(), cursors.end(), [](const auto& c) { return c->Visible; }), 1);
    }
}

TEST_F(ScriptHud, HealthAfterDamageOfTheFollowedCar) {
    car.Health = 100.0f;
    Run("UpdateGameInterface(hud)");
    EXPECT_TRUE(Has(Frame(), "100"));
    car.Health -= 37.5f;
    Run("UpdateGameInterface(hud)");
    EXPECT_TRUE(Has(Frame(), "062"));
    // The followed car switches: the display follows it.
    CPPlayer other;
    other.Health = 5.0f;
    level->FollowedCar = &other;
    Run("UpdateGameInterface(hud)");
    EXPECT_EQ(Hud().Texts.at("life").Text, "005");
    // No followed car, no level: nothing changes.
    level->FollowedCar = nullptr;
    Run("UpdateGameInterface(hud)");
    EXPECT_EQ(Hud().Texts.at("life").Text, "005");
    level.reset();
    Run("UpdateGameInterface(hud)");
    EXPECT_EQ(Hud().Texts.at("life").Text, "005");
}

TEST_F(ScriptHud, ArmourEngineAndEquipmentIconsWaitForARebuild) {
    CPInterface& hud = Hud();
    hud.UpdateBuffers();
    const size_t before = hud.Mesh->Vertices.size();
    CarSettings& s = host->GameData().ActiveCarSettings;
    s.Armor = "";
    s.Engine = "engine2";
    s.Equipment = {"", "laser"};
    Run("InitGameInterface(hud)");
    EXPECT_EQ(hud.Mesh->Vertices.size(), before);
    for (const char* name : {"krest", "engine2", "noequipment1", "laser2"}) {
        EXPECT_TRUE(IsShown(name)) << name;
    }
    for (const char* name : {"steel", "titan", "engine1", "laser", "repair", "noequipment2"}) {
        EXPECT_FALSE(IsShown(name)) << name;
    }
    s.Armor = "titan";
    s.Equipment = {"repair", ""};
    Run("InitGameInterface(hud)");
    EXPECT_TRUE(IsShown("titan") && IsShown("repair") && IsShown("noequipment2"));
    EXPECT_FALSE(IsShown("krest") || IsShown("laser2") || IsShown("noequipment1"));

    Run("EngineState(hud, false)");
    EXPECT_FALSE(IsShown("engine2"));
    Run("EngineState(hud, true) UpdateInterfaceBuffers(hud)");
    EXPECT_TRUE(IsShown("engine2"));
    EXPECT_EQ(hud.Mesh->Vertices.size(), 4u * Shown().size());
}

TEST_F(ScriptHud, PlayersPanelOrdersTheRacers) {
    CPGameData& game = host->GameData();
    game.LapRecords.clear();
    game.PlayerProgress = 0;
    game.CurrentRound = 1;
    Run(R"(
        local t = SetPlayersPanel()
        assert(table.concat(t, " ") == "0 1 2 3 4 10")
    )");
    EXPECT_EQ(game.LapRecords.size(), 5u);  // the missing keys were entered
    game.LapRecords["0"].Round = 2;
    game.LapRecords["0"].Progress = 30;   // 60
    game.LapRecords["3"].Progress = 10;   // 10
    game.LapRecords["4"].Progress = 60;   // 60, after "0"
    game.PlayerProgress = 40;
    game.CurrentRound = 2;                // 80
    Run(R"(
        local t = SetPlayersPanel()
        assert(table.concat(t, " ") == "1 2 3 0 4 10", table.concat(t, " "))
    )");
    level.reset();
    Run("assert(select('#', SetPlayersPanel()) == 0)");
}

TEST_F(ScriptHud, HealthBarPlaceFromTheWholeBox) {
    Cfg::screenWidth = 800;
    Cfg::screenHeight = 600;
    CPPerspectiveCamera view;
    view.Position = D3DXVECTOR3(0.0f, 0.0f, -10.0f);
    view.Target = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    view.Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    view.Fov = 0.8f;
    view.Near = 0.1f;
    view.Far = 1000.0f;
    view.ViewDirty = view.ProjectionDirty = true;
    view.Update();
    MainView = &view;
    // The car's box: 1 m each way around (2, 1, 10), its world corners as UpdateTransform leaves them.
    car.Box = CPBox(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));
    car.SetPosition(D3DXVECTOR3(2.0f, 1.0f, 10.0f));
    car.UpdateTransform();
    car.DamageLevel = 40.0f;
    SetHandle("car", &car);
    Run(R"(
        x, y, length = GetHelthBarCoord(car)
        assert(math.abs(length - 60 * 0.47001317) < 1e-4)
    )");
    // The upper left of the projected box, over its eight world corners (1..3, 0..2, 9..11).
    float left = 1e9f;
    float top = 1e9f;
    for (const float cx : {1.0f, 3.0f}) {
        for (const float cy : {0.0f, 2.0f}) {
            for (const float cz : {9.0f, 11.0f}) {
                D3DXVECTOR4 q;
                const D3DXVECTOR3 corner(cx, cy, cz);
                D3DXVec3Transform(&q, &corner, &view.ViewProjection);
                left = std::min(left, q.x / q.w);
                top = std::min(top, -(q.y / q.w));
            }
        }
    }
    lua_getglobal(L(), "x");
    lua_getglobal(L(), "y");
    EXPECT_NEAR(lua_tonumber(L(), -2), (left + 1.0f) * 400.0f, 1e-3);
    EXPECT_NEAR(lua_tonumber(L(), -1), (top + 1.0f) * 300.0f, 1e-3);
    lua_pop(L(), 2);

    // Behind the camera, a null car: off the screen. No level: no result.
    car.SetPosition(D3DXVECTOR3(0.0f, 0.0f, -30.0f));
    car.UpdateTransform();
    Run(R"(
        local x, y, length = GetHelthBarCoord(car)
        assert(x == -100 and y == -100 and length == 0)
        x, y, length = GetHelthBarCoord(nil)
        assert(x == -100 and y == -100 and length == 0)
    )");
    level.reset();
    Run("assert(select('#', GetHelthBarCoord(car)) == 0)");
}

TEST_F(ScriptHud, FieldsOfViewLoadingFrameAndMissingScreen) {
    level->Fov1 = 0.5f;
    level->Fov2 = 1.25f;
    host->RenderDevice().ClearCalls();
    Run(R"(
        assert(GetFov1() == 0.5 and GetFov2() == 1.25)
        assert(select('#', InitWarning(50)) == 0)
        for _, f in ipairs({UpdateScore, UpdateTime, InitGameInterface, UpdateGameInterface, EngineState}) do
            assert(select('#', f(nil, 1)) == 0)
        end
    )");
    EXPECT_EQ(host->RenderDevice().CallsNamed("Present").size(), 1u);  // one whole loading frame
    level.reset();
    Run("assert(select('#', GetFov1()) == 0 and select('#', GetFov2()) == 0)");
    SetHandle("car", &car);
    const ScriptError error = RunFailing("UpdateTime(car)");
    EXPECT_NE(error.Message.find("UpdateTime: stale or invalid handle"), std::string::npos) << error.Message;
}

}  // namespace
