// What every script function shares: reading its arguments by absolute stack position, checking
// the object handles it is given, pushing results, the time split and the car-name table.
//
// Calling convention. A function reads argument i at stack index i and never moves the stack.
// Numbers are lua_tonumber's (a numeric string converts, anything else is 0) and finite (a NaN
// or an infinity reads as 0); integers are truncated toward zero (NaN gives 0, values beyond
// int32 are clamped); flags are Lua truth (nil and false are false, the number 0 is true).
// Text is lua_tostring's, and an argument that is neither a string nor a number reads as "".
// Strict text raises Lua's argument error for anything else.
//
// Handles. Engine objects travel as light userdata holding their CPObject address and hold no
// reference. A handle a function follows is checked first: null keeps the function's own null
// behaviour; an address that is not a live object of the kind the function needs raises
// "<function>: stale or invalid handle". That is the only error of a script function besides
// the argument errors.
//
// Lua raises errors with longjmp (it is built as C): a function reads and checks every argument
// that can raise before any C++ object with a destructor is alive, and raises errors of its own
// (RaiseTooManyResults) only after such objects are gone.
//
// Results built from engine data go through PushProtected: the function first copies what it
// returns into its own locals (never keeping a reference into an engine container), then
// pushes them under lua_pcall. Any push can allocate, and an allocation can fail (the state's
// memory limit) or run the collector; an error there is caught, the copies are destroyed as
// the function's scope ends, and only then raised again with Results.
#pragma once

#include "core/CPObject.h"
#include "platform/d3dx/D3DXMath.h"

#include <lua.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

class CPGameObject;

namespace Script {

// A number that is not finite (NaN, an infinity, or a double beyond the float range) reads as
// 0: nothing non-finite crosses into the engine.
float Number(lua_State* L, int index);
// Truncated toward zero; NaN gives 0 and values outside int32 are clamped.
int32_t Truncate(double value);
inline int32_t Int(lua_State* L, int index) { return Truncate(lua_tonumber(L, index)); }
inline bool Flag(lua_State* L, int index) { return lua_toboolean(L, index) != 0; }
// True only for the boolean true (a number 1 is false).
inline bool IsTrue(lua_State* L, int index) { return lua_type(L, index) == LUA_TBOOLEAN && lua_toboolean(L, index) != 0; }
// The argument's text; "" for anything but a string or a number.
std::string Text(lua_State* L, int index);
// luaL_checkstring: the pointer stays valid during the call (the value is on the stack).
inline const char* CheckText(lua_State* L, int index) { return luaL_checkstring(L, index); }

[[noreturn]] void RaiseInvalidHandle(lua_State* L, const char* function);

// The object of the handle at index: null for a null handle (or a value that is no userdata
// at all, which reads as null); raises the handle error for an address that is not a live T.
CPObject* HandleObject(lua_State* L, int index, const char* function);
template <class T>
T* Handle(lua_State* L, int index, const char* function) {
    CPObject* object = HandleObject(L, index, function);
    if (object == nullptr) {
        return nullptr;
    }
    // The exact class is the common case and costs one comparison; anything else (a derived
    // class, a wrong kind) takes the full cast.
    if (typeid(*object) == typeid(T)) {
        return static_cast<T*>(object);
    }
    T* typed = dynamic_cast<T*>(object);
    if (typed == nullptr) {
        RaiseInvalidHandle(L, function);
    }
    return typed;
}

// A light userdata of the object's CPObject address; null pushes a null userdata, not nil.
inline void PushHandle(lua_State* L, CPObject* object) { lua_pushlightuserdata(L, object); }

// Whether count more values fit on the stack (lua_checkstack; growing the stack allocates, so
// call it where a memory error is harmless: inside PushProtected).
inline bool HasRoom(lua_State* L, int count) { return count >= 0 && lua_checkstack(L, count) != 0; }
[[noreturn]] void RaiseTooManyResults(lua_State* L, const char* function);

// Makes the state ready for PushProtected (under a protected call: it allocates).
void RegisterProtectedPush(lua_State* L);
// Calls push(L, context) under lua_pcall with an empty stack of its own. The values it
// returns are left on top of the caller's stack and their count returned; on an error the
// error object is left on top and -1 returned. Raises nothing itself once the state went
// through RegisterProtectedPush (two stack slots are used, which every C function has).
int PushProtectedCall(lua_State* L, int (*push)(lua_State*, void*), void* context);
template <class F>
int PushProtected(lua_State* L, F&& push) {
    using Push = std::remove_reference_t<F>;
    return PushProtectedCall(L, [](lua_State* state, void* context) { return (*static_cast<Push*>(context))(state); },
                             &push);
}
// A PushProtected count returned from a function: raises the error it left when negative,
// a text prefixed with the caller's position as luaL_error does. Call it once the function's
// C++ objects are gone.
inline int Results(lua_State* L, int count) {
    if (count < 0) {
        if (lua_type(L, -1) == LUA_TSTRING) {
            luaL_where(L, 1);
            lua_insert(L, -2);
            lua_concat(L, 2);
        }
        lua_error(L);
    }
    return count;
}

// Time split of t seconds: pushes minutes, seconds and hundredths.
void PushSplitTime(lua_State* L, float t);
struct SplitTimeValue {
    int32_t Minutes = 0;
    int32_t Seconds = 0;
    int32_t Hundredths = 0;
};
SplitTimeValue SplitTime(float t);

// The car-name table: car name <-> model name, and the side a car name counts to (1 Solmar,
// 2 Drevik, 0 for a name outside the table). Names outside the table pass through.
std::string_view CarModelName(std::string_view carName);
std::string_view CarNameOfModel(std::string_view modelName);
int CarSide(std::string_view carName);

// Cars: the heading of a car, its nose (0, -1, 0) turned by its orientation, normalised.
D3DXVECTOR3 CarHeading(const CPGameObject& car);

}  // namespace Script
