// The registration tables A, B and E and the one entry point that registers them into a Lua
// state as global functions.
//
// Each area file (ScriptSound.cpp, ScriptEngine.cpp, ...) ends with its registration tables,
// one per table it serves: luaL_Reg entries closed by {nullptr, nullptr}. The table names are
// data (ScriptTableNames.cpp); registration walks them in table order and registers each name
// whose function exists, so the functions of areas not built yet are simply absent.
//
// Order: A, then B, then E. Where a name stands in both A and B (SetCursor, GetWindowPosition)
// B's function is the one the scripts see. A function registered under several names (the
// empty SetBrightness, ClearTimer and ClearGlobalTimer, DeactivateInterface and
// DeactivateObject, ...) is one C function and one Lua value: every name holds the same
// closure, so the aliases compare equal in Lua.
#pragma once

#include <lua.hpp>

#include <span>
#include <string>
#include <vector>

namespace Script {

enum class Table { A, B, E };

// Every name of the table in table order (230, 51 and 30).
std::span<const char* const> TableNames(Table table);

// One area's entries for one table.
struct Area {
    Table Target;
    const luaL_Reg* Functions;  // closed by {nullptr, nullptr}
};
std::span<const Area> Areas();

// The function of a name in a table, or null when its area is not built.
lua_CFunction FindFunction(Table table, const std::string& name);
// The names of the table that have no function yet.
std::vector<std::string> MissingFunctions(Table table);

// Registers A, then B, then E as globals of the state, under a protected call. False (with
// the state unchanged apart from what was registered before the failure, and the message in
// *error) only when Lua runs out of memory.
bool RegisterFunctions(lua_State* L, std::string* error = nullptr);

}  // namespace Script
