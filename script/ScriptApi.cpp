#include "script/ScriptApi.h"

#include "game/CarNameTable.h"

#include <array>
#include <cstdlib>
#include <cmath>
#include <limits>

namespace Script {

int32_t Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

namespace {

using CarNameRow = CarNameTable::Row;
constexpr const auto& CarNames = CarNameTable::Rows;

// The registry key of the one trampoline closure, made once so a call makes no new closure.
char TrampolineKey;

struct ProtectedPush {
    int (*Push)(lua_State*, void*);
    void* Context;
};

int Trampoline(lua_State* L) {
    const auto* call = static_cast<const ProtectedPush*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    return call->Push(L, call->Context);
}

}  // namespace

float Number(lua_State* L, int index) {
    const float value = static_cast<float>(lua_tonumber(L, index));
    return std::isfinite(value) ? value : 0.0f;
}

std::string Text(lua_State* L, int index) {
    const int type = lua_type(L, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
        return std::string();
    }
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return std::string(text, length);
}

CPObject* HandleObject(lua_State* L, int index, const char* function) {
    // lua_touserdata: the address of a light or full userdata, null for any other value.
    const void* address = lua_touserdata(L, index);
    if (address == nullptr) {
        return nullptr;
    }
    CPObject* object = CPObject::FindLive(address);
    if (object == nullptr) {
        RaiseInvalidHandle(L, function);
    }
    return object;
}

void RegisterProtectedPush(lua_State* L) {
    lua_pushlightuserdata(L, &TrampolineKey);
    lua_pushcfunction(L, Trampoline);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

int PushProtectedCall(lua_State* L, int (*push)(lua_State*, void*), void* context) {
    const int base = lua_gettop(L);
    lua_pushlightuserdata(L, &TrampolineKey);
    lua_rawget(L, LUA_REGISTRYINDEX);  // a lookup: nothing is allocated
    if (!lua_iscfunction(L, -1)) {
        // A state that was never prepared (a bare state of a test): the closure is made here.
        lua_pop(L, 1);
        lua_pushcfunction(L, Trampoline);
    }
    ProtectedPush call{push, context};
    lua_pushlightuserdata(L, &call);
    if (lua_pcall(L, 1, LUA_MULTRET, 0) != 0) {
        return -1;
    }
    return lua_gettop(L) - base;
}

void RaiseInvalidHandle(lua_State* L, const char* function) {
    luaL_error(L, "%s: stale or invalid handle", function);
    // luaL_error does not return; this keeps [[noreturn]] honest for the compiler.
    std::abort();
}

void RaiseTooManyResults(lua_State* L, const char* function) {
    luaL_error(L, "%s: too many results", function);
    std::abort();
}

SplitTimeValue SplitTime(float t) {
    SplitTimeValue split;
    split.Seconds = Truncate(t);
    split.Hundredths = Truncate((static_cast<double>(t) - split.Seconds) * 100.0);
    if (split.Seconds >= 60) {
        // 0.016666668 is the float nearest 1/60; the product is a float, as the game computes it.
        split.Minutes = Truncate(static_cast<float>(split.Seconds) * 0.016666668f);
        split.Seconds -= 60 * split.Minutes;
    }
    return split;
}

void PushSplitTime(lua_State* L, float t) {
    const SplitTimeValue split = SplitTime(t);
    lua_pushnumber(L, split.Minutes);
    lua_pushnumber(L, split.Seconds);
    lua_pushnumber(L, split.Hundredths);
}

std::string_view CarModelName(std::string_view carName) {
    for (const CarNameRow& row : CarNames) {
        if (row.Car == carName) {
            return row.Model;
        }
    }
    return carName;
}

std::string_view CarNameOfModel(std::string_view modelName) {
    for (const CarNameRow& row : CarNames) {
        if (row.Model == modelName) {
            return row.Car;
        }
    }
    return modelName;
}

int CarSide(std::string_view carName) {
    for (const CarNameRow& row : CarNames) {
        if (row.Car == carName) {
            return row.Side;
        }
    }
    return 0;
}

}  // namespace Script
