// The frame shared by every script function: the registration tables as data, registration
// order and aliases, the calling convention's edge cases, the handle check, the stack check of
// functions with many results, the time split and the car-name table.
#include "ScriptFixture.h"

#include "script/ScriptApi.h"
#include "core/ObjectAddress.h"
#include "script/ScriptTables.h"

#include "interface/CPInterface.h"
#include "scene/CPGameObject.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

using Script::Table;

TEST(ScriptTables, HoldEveryNameOnceInTableOrder) {
    struct Row {
        Table table;
        size_t count;
        const char* first;
        const char* last;
    };
    for (const Row& row : {Row{Table::A, 230, "SetPlayerName", "GoURLlink"}, Row{Table::B, 51, "SetRadialBlur", "GetFov2"},
                           Row{Table::E, 30, "GetDeltaTime", "PlayMusic"}}) {
        const auto names = Script::TableNames(row.table);
        ASSERT_EQ(names.size(), row.count);
        EXPECT_STREQ(names.front(), row.first);
        EXPECT_STREQ(names.back(), row.last);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), row.count) << "a name twice";
    }
    // Only these two names stand in two tables.
    std::set<std::string> a(Script::TableNames(Table::A).begin(), Script::TableNames(Table::A).end());
    std::set<std::string> shared;
    for (const char* name : Script::TableNames(Table::B)) {
        if (a.contains(name)) {
            shared.insert(name);
        }
    }
    EXPECT_EQ(shared, (std::set<std::string>{"SetCursor", "GetWindowPosition"}));
}

TEST(ScriptTables, AreaEntriesAreNamesOfTheirTable) {
    std::set<std::pair<int, std::string>> seen;
    for (const Script::Area& area : Script::Areas()) {
        const auto names = Script::TableNames(area.Target);
        const std::set<std::string> known(names.begin(), names.end());
        for (const luaL_Reg* entry = area.Functions; entry->name != nullptr; ++entry) {
            EXPECT_TRUE(known.contains(entry->name)) << entry->name;
            EXPECT_NE(entry->func, nullptr) << entry->name;
            EXPECT_TRUE(seen.emplace(static_cast<int>(area.Target), entry->name).second) << "twice: " << entry->name;
        }
    }
}

TEST(ScriptTables, SoundKeyBindingSystemAndEngineAreasAreWhole) {
    // Table E and the table-A names of the areas built so far have their functions.
    EXPECT_TRUE(Script::MissingFunctions(Table::E).empty());
    const std::set<std::string> missingA = [] {
        const auto m = Script::MissingFunctions(Table::A);
        return std::set<std::string>(m.begin(), m.end());
    }();
    for (const char* name : {"PlaySpecialSound", "PlaySpecialSound3D", "StopSpecialSound", "IsSpecialSoundPlaying",
                             "UpdateSoundPosition", "StopSounds", "PlayMusicNoLoop", "StopPlayingMusic",
                             "GetMusicName", "GetSoundVolume", "SetSoundVolume", "GetMusicVolume", "SetMusicVolume",
                             "GetMouse", "SetMouse", "GetBrightness", "SetBrightness", "DumpAIInfo", "CreateArrow",
                             "DrawArrow", "ClearTimer", "SetActions", "GetActionNames", "SetAssignKey", "SetAction",
                             "SaveActions", "UpdateActions", "LoadActions", "GoURLlink", "GoURL", "IsFileExists",
                             "GetCurrentResolution", "GetTextureSize", "SaveLog", "DeactivateInterface"}) {
        EXPECT_FALSE(missingA.contains(name)) << name;
    }
    const auto missingB = Script::MissingFunctions(Table::B);
    for (const char* name : {"PlayVideo", "PlayVideoNoSound", "PlayVideo1", "StopVideo", "StopVideo1",
                             "StartGlobalTimer", "StopGlobalTimer", "ClearGlobalTimer"}) {
        EXPECT_EQ(std::count(missingB.begin(), missingB.end(), name), 0) << name;
    }
}

class ScriptFrame : public ScriptTest {};

TEST_F(ScriptFrame, EveryBuiltNameIsAGlobalFunctionAndBWinsOverA) {
    for (const Table table : {Table::A, Table::B, Table::E}) {
        for (const char* name : Script::TableNames(table)) {
            lua_getglobal(L(), name);
            const lua_CFunction inB = Script::FindFunction(Table::B, name);
            const lua_CFunction own = Script::FindFunction(table, name);
            // A name of A and B holds B's function whenever B has one.
            const lua_CFunction expected = inB != nullptr ? inB : own;
            if (own != nullptr) {
                EXPECT_TRUE(lua_iscfunction(L(), -1)) << name;
                EXPECT_EQ(lua_tocfunction(L(), -1), expected) << name;
            } else if (inB == nullptr) {
                EXPECT_TRUE(lua_isnil(L(), -1)) << name << " is registered without a function";
            }
            lua_pop(L(), 1);
        }
    }
}

TEST_F(ScriptFrame, AliasesAreOneFunctionAndOneValue) {
    Run(R"(
        assert(SetBrightness == DumpAIInfo and DumpAIInfo == CreateArrow and CreateArrow == DrawArrow)
        assert(ClearTimer == ClearGlobalTimer)
        assert(DeactivateInterface == DeactivateObject)
        assert(SetBrightness ~= ClearTimer)
        -- the empty function takes anything and gives nothing
        assert(select('#', SetBrightness(1, "x", {}, nil, true)) == 0)
        assert(select('#', DrawArrow()) == 0)
    )");
}

TEST_F(ScriptFrame, ArgumentsFollowTheCallingConvention) {
    Run(R"(
        -- flags: the number 0 is true, an absent flag false
        SetActions(0)
    )");
    EXPECT_TRUE(host->ActionsManager().ActionsEnabled);
    Run("SetActions(false)");
    EXPECT_FALSE(host->ActionsManager().ActionsEnabled);
    Run("SetActions()");
    EXPECT_FALSE(host->ActionsManager().ActionsEnabled);
    Run(R"(
        -- numbers: a numeric string converts, a table reads as 0
        SetMouse("12")   assert(GetMouse() == 12)
        SetMouse({})     assert(GetMouse() == 0)
        SetMouse(-2.5)   assert(GetMouse() == -2.5)
        -- nothing non-finite crosses: NaN, infinities and doubles beyond the float range read as 0
        SetMouse(0/0)    assert(GetMouse() == 0)
        SetMouse(1/0)    assert(GetMouse() == 0)
        SetMouse(-1e300) assert(GetMouse() == 0)
        -- integers truncate toward zero
        assert(ToInt(-2.7) == -2 and ToInt(2.7) == 2 and ToInt("7.9") == 7 and ToInt({}) == 0)
        assert(ToInt(0/0) == 0 and ToInt(1e300) == 2147483647)
        -- a null handle is a userdata, not nil, and reads back as null
        local null = GetParentObject(nil)
        assert(type(null) == "userdata" and null ~= nil)
        assert(PointerToString(null) == "0")
        assert(GetParentObject(null) == null)
        -- strict text refuses anything but strings and numbers
        assert(not pcall(IsFileExists, {}))
        assert(not pcall(IsFileExists))
        assert(pcall(IsFileExists, 12))
        -- lenient text reads other values as ""
        SaveLog({}) SaveLog(nil) SaveLog(true)
    )");
}

TEST_F(ScriptFrame, StaleRandomAndWrongKindHandlesRaiseTheHandleError) {
    auto* doomed = new CPGameObject("doomed");
    const std::string address = AddressToText(static_cast<CPObject*>(doomed));
    delete doomed;
    CPGameObject node("node");
    CPInterface screen;
    SetHandle("node", static_cast<CPObject*>(&node));
    SetHandle("screen", static_cast<CPObject*>(&screen));
    SetHandle("task", static_cast<CPObject*>(&host->Music()));  // a task, not a script task
    lua_pushstring(L(), address.c_str());
    lua_setglobal(L(), "stale");
    Run(R"(
        local function fails(f, ...)
            local ok, message = pcall(f, ...)
            assert(not ok, "no error")
            return message
        end
        local stale = StringToPointer(stale)
        assert(fails(SetVisible, stale, false) == "SetVisible: stale or invalid handle")
        assert(fails(GetParentObject, StringToPointer("12345")) == "GetParentObject: stale or invalid handle")
        assert(fails(AddRef, StringToPointer("-1")) == "AddRef: stale or invalid handle")
        -- a live object of another kind
        assert(fails(SetNextCommand, node) == "SetNextCommand: stale or invalid handle")
        assert(fails(SetNextCommand, task) == "SetNextCommand: stale or invalid handle")
        assert(fails(LockButton, node, "b") == "LockButton: stale or invalid handle")
        assert(fails(SetAnimation, node, "run", 1, 0, 0, screen) == "SetAnimation: stale or invalid handle")
        -- the right kind passes; an interface is a scene object
        SetVisible(node, false)
        SetVisible(screen, false)
        -- a failed call changed nothing
        assert(pcall(SetCollision, StringToPointer("8"), false) == false)
    )");
    EXPECT_FALSE(node.Visible);
    EXPECT_FALSE(screen.Visible);
    EXPECT_TRUE(node.Collision);
}

TEST_F(ScriptFrame, ManyResultsAreCheckedAgainstTheStack) {
    CPLuaScriptTask task(host->Scripts(), "none.lua");
    task.Running = true;
    std::string params;
    for (int i = 0; i < 20000; ++i) {
        params += (i == 0 ? "" : ",") + std::to_string(i);
    }
    host->Dispatcher().SendCommandByObject(CPtr<CPScriptTask>(&task), "many", params);
    host->Dispatcher().SendCommandByObject(CPtr<CPScriptTask>(&task), "few", "a,b");
    SetHandle("task", static_cast<CPObject*>(&task));
    lua_pushstring(L(), params.c_str());
    lua_setglobal(L(), "params");
    Run(R"(
        assert(SetNextCommand(task))
        local ok, message = pcall(GetCurrentParams, task)
        assert(not ok and message == "GetCurrentParams: too many results", message)
        local ok2, message2 = pcall(SplitString, params, ",")
        assert(not ok2 and message2 == "SplitString: too many results", message2)
        -- within the limit every piece comes back
        assert(select('#', SplitString(string.rep("x,", 999) .. "x", ",")) == 1000)
        assert(SetNextCommand(task))
        local a, b = GetCurrentParams(task)
        assert(a == "a" and b == "b")
    )");
}

TEST(ScriptApi, SplitTimeGivesMinutesSecondsHundredths) {
    struct Row {
        float t;
        int m, s, h;
    };
    for (const Row& row : {Row{59.999f, 0, 59, 99}, Row{60.0f, 1, 0, 0}, Row{125.5f, 2, 5, 50}, Row{-0.5f, 0, 0, -50},
                           Row{0.0f, 0, 0, 0}, Row{3599.25f, 59, 59, 25}}) {
        const Script::SplitTimeValue split = Script::SplitTime(row.t);
        EXPECT_EQ(split.Minutes, row.m) << row.t;
        EXPECT_EQ(split.Seconds, row.s) << row.t;
        EXPECT_EQ(split.Hundredths, row.h) << row.t;
    }
}

TEST(ScriptApi, CarNamesTranslateBothWaysAndPassUnknownNames) {
    struct Row {
        const char* car;
        const char* model;
        int side;
    };
    for (const Row& row : {Row{"hauler_", "hauler", 1}, Row{"rover", "rover_x", 1}, Row{"sedan_main", "sedan_z", 1},
                           Row{"coupe_r", "coupe_r", 2}, Row{"saloon", "saloon_s", 2}, Row{"touring_wagon", "tour_w", 2}}) {
        EXPECT_EQ(Script::CarModelName(row.car), row.model);
        EXPECT_EQ(Script::CarNameOfModel(row.model), row.car);
        EXPECT_EQ(Script::CarSide(row.car), row.side);
    }
    EXPECT_EQ(Script::CarModelName("tank"), "tank");
    EXPECT_EQ(Script::CarNameOfModel("tank"), "tank");
    EXPECT_EQ(Script::CarSide("tank"), 0);
}

}  // namespace
