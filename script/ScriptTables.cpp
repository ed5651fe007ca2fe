#include "script/ScriptTables.h"

#include "script/ScriptAreas.h"
#include "script/ScriptApi.h"

#include <array>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace Script {

namespace {

constexpr Area AreaList[] = {
    {Table::A, SoundFunctionsA},
    {Table::B, SoundFunctionsB},
    {Table::E, SoundFunctionsE},
    {Table::A, ActionFunctionsA},
    {Table::A, SystemFunctionsA},
    {Table::A, EngineFunctionsA},
    {Table::E, EngineFunctionsE},
    {Table::A, PathFunctionsA},
    // Interface and HUD functions.
    {Table::A, InterfaceFunctionsA},
    {Table::B, InterfaceFunctionsB},
    {Table::A, HudFunctionsA},
    {Table::B, HudFunctionsB},
    // Shop catalogues, profile and save games.
    {Table::A, ShopFunctionsA},
    {Table::B, ShopFunctionsB},
    {Table::A, SaveFunctionsA},
    {Table::B, SaveFunctionsB},
    // Objects, cars, shots, bonuses, missions and enemies.
    {Table::A, ObjectFunctionsA},
    {Table::B, ObjectFunctionsB},
    {Table::A, CarFunctionsA},
    {Table::B, CarFunctionsB},
    {Table::A, ShotFunctionsA},
    {Table::A, MissionFunctionsA},
    // Level, race, camera and render functions.
    {Table::A, LevelFunctionsA},
    {Table::B, LevelFunctionsB},
    {Table::A, CameraFunctionsA},
    {Table::B, CameraFunctionsB},
};

// Name -> function per table, built once from the areas.
const std::unordered_map<std::string, lua_CFunction>& FunctionsOf(Table table) {
    static const std::array<std::unordered_map<std::string, lua_CFunction>, 3> maps = [] {
        std::array<std::unordered_map<std::string, lua_CFunction>, 3> built;
        for (const Area& area : AreaList) {
            for (const luaL_Reg* entry = area.Functions; entry->name != nullptr; ++entry) {
                built[static_cast<size_t>(area.Target)].emplace(entry->name, entry->func);
            }
        }
        return built;
    }();
    return maps[static_cast<size_t>(table)];
}

// The entries to register, in registration order, closed by a null name.
const std::vector<luaL_Reg>& RegistrationOrder() {
    static const std::vector<luaL_Reg> order = [] {
        std::vector<luaL_Reg> entries;
        for (const Table table : {Table::A, Table::B, Table::E}) {
            for (const char* name : TableNames(table)) {
                if (const lua_CFunction function = FindFunction(table, name)) {
                    entries.push_back({name, function});
                }
            }
        }
        entries.push_back({nullptr, nullptr});
        return entries;
    }();
    return order;
}

// Runs under lua_cpcall: only Lua calls, so a memory error unwinds nothing of ours.
int RegisterEntries(lua_State* L) {
    const auto* entries = static_cast<const luaL_Reg*>(lua_touserdata(L, 1));
    RegisterProtectedPush(L);
    // One closure per C function: light userdata of the function -> its closure.
    lua_newtable(L);
    const int closures = lua_gettop(L);
    for (const luaL_Reg* entry = entries; entry->name != nullptr; ++entry) {
        // A function pointer is carried through a data pointer: the platform keeps both the
        // same size, and the value is only compared.
        void* key = reinterpret_cast<void*>(entry->func);
        lua_pushlightuserdata(L, key);
        lua_rawget(L, closures);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            lua_pushcfunction(L, entry->func);
            lua_pushlightuserdata(L, key);
            lua_pushvalue(L, -2);
            lua_rawset(L, closures);
        }
        lua_setglobal(L, entry->name);
    }
    return 0;
}

}  // namespace

std::span<const Area> Areas() { return AreaList; }

lua_CFunction FindFunction(Table table, const std::string& name) {
    const auto& functions = FunctionsOf(table);
    const auto found = functions.find(name);
    return found != functions.end() ? found->second : nullptr;
}

std::vector<std::string> MissingFunctions(Table table) {
    std::vector<std::string> missing;
    for (const char* name : TableNames(table)) {
        if (FindFunction(table, name) == nullptr) {
            missing.emplace_back(name);
        }
    }
    return missing;
}

bool RegisterFunctions(lua_State* L, std::string* error) {
    const std::vector<luaL_Reg>& entries = RegistrationOrder();
    const int status = lua_cpcall(L, RegisterEntries, const_cast<luaL_Reg*>(entries.data()));
    if (status != 0) {
        if (error != nullptr) {
            const char* message = lua_tostring(L, -1);
            *error = message != nullptr ? message : "out of memory";
        }
        lua_pop(L, 1);
        return false;
    }
    return true;
}

}  // namespace Script
