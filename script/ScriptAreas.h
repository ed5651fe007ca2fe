// The registration tables of the area files, closed by {nullptr, nullptr}. Only ScriptTables.cpp
// collects them; scripts reach the functions through the registered names.
#pragma once

#include <lua.hpp>

namespace Script {

extern const luaL_Reg SoundFunctionsA[];
extern const luaL_Reg SoundFunctionsB[];
extern const luaL_Reg SoundFunctionsE[];
extern const luaL_Reg ActionFunctionsA[];
extern const luaL_Reg SystemFunctionsA[];
extern const luaL_Reg EngineFunctionsA[];
extern const luaL_Reg EngineFunctionsE[];
extern const luaL_Reg PathFunctionsA[];
// Interface and HUD functions.
extern const luaL_Reg InterfaceFunctionsA[];
extern const luaL_Reg InterfaceFunctionsB[];
extern const luaL_Reg HudFunctionsA[];
extern const luaL_Reg HudFunctionsB[];
// Shop catalogues, profile and save games.
extern const luaL_Reg ShopFunctionsA[];
extern const luaL_Reg ShopFunctionsB[];
extern const luaL_Reg SaveFunctionsA[];
extern const luaL_Reg SaveFunctionsB[];
// Objects, cars, shots, bonuses, missions and enemies.
extern const luaL_Reg ObjectFunctionsA[];
extern const luaL_Reg ObjectFunctionsB[];
extern const luaL_Reg CarFunctionsA[];
extern const luaL_Reg CarFunctionsB[];
extern const luaL_Reg ShotFunctionsA[];
extern const luaL_Reg MissionFunctionsA[];
// Level, race, camera and render functions.
extern const luaL_Reg LevelFunctionsA[];
extern const luaL_Reg LevelFunctionsB[];
extern const luaL_Reg CameraFunctionsA[];
extern const luaL_Reg CameraFunctionsB[];

}  // namespace Script
