// Cost of the script frame on a call: a Lua loop of 10000 calls of a cheap script function that
// checks its handle (SetVisible: live-object lookup, kind check, one flag; GetParentObject: the
// same and one result) against the same loop calling an empty C function registered the same
// way with the same arguments (and pushing one result for the second pair); and a level function
// (GetCameraZAngle: the current level, its camera, one number) against an empty function that
// pushes one number. x_baseline is the frame's cost over a bare Lua-to-C call; the goal is at
// most 1.5.
#include "bench/BaselineRatio.h"

#include "game/CPLevel.h"
#include "game/CPRaceCamera.h"
#include "scene/CPGameObject.h"
#include "script/ScriptTables.h"

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

int Empty(lua_State*) { return 0; }
int EmptyWithResult(lua_State* L) {
    lua_pushlightuserdata(L, nullptr);
    return 1;
}
int EmptyWithNumber(lua_State* L) {
    lua_pushnumber(L, 0.0);
    return 1;
}

// A state with the tables, the empty functions and a scene object with a parent, plus some
// other live objects so the lookup is not in a set of two.
class Bench {
public:
    Bench() : L(luaL_newstate()) {
        luaL_openlibs(L);
        Script::RegisterFunctions(L);
        lua_register(L, "Empty", Empty);
        lua_register(L, "EmptyWithResult", EmptyWithResult);
        lua_register(L, "EmptyWithNumber", EmptyWithNumber);
        for (int i = 0; i < 1000; ++i) {
            others.push_back(std::make_unique<CPGameObject>("other"));
        }
        parent.AddChild(CPtr<CPGameObject>(&node));
        lua_pushlightuserdata(L, static_cast<CPObject*>(&node));
        lua_setglobal(L, "node");
    }
    ~Bench() {
        parent.Children.clear();
        node.Parent = nullptr;
        lua_close(L);
    }
    // A compiled loop kept in the registry.
    int Compile(const std::string& call) {
        const std::string code = "local node = node\nreturn function() for i = 1, 10000 do " + call + " end end";
        if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
            std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
            std::abort();
        }
        return luaL_ref(L, LUA_REGISTRYINDEX);
    }
    void Call(int loop) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, loop);
        if (lua_pcall(L, 0, 0, 0) != 0) {
            std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
            std::abort();
        }
    }

    lua_State* L;
    CPGameObject parent{"parent"};
    CPGameObject node{"node"};
    std::vector<std::unique_ptr<CPGameObject>> others;
};

void BM_SetVisibleAgainstEmptyCall(benchmark::State& state) {
    Bench bench;
    const int work = bench.Compile("SetVisible(node, true)");
    const int baseline = bench.Compile("Empty(node, true)");
    RunAgainstBaseline(state, [&] { bench.Call(work); }, [&] { bench.Call(baseline); });
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_SetVisibleAgainstEmptyCall)->UseManualTime();

void BM_GetParentObjectAgainstEmptyCall(benchmark::State& state) {
    Bench bench;
    const int work = bench.Compile("local p = GetParentObject(node)");
    const int baseline = bench.Compile("local p = EmptyWithResult(node)");
    RunAgainstBaseline(state, [&] { bench.Call(work); }, [&] { bench.Call(baseline); });
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_GetParentObjectAgainstEmptyCall)->UseManualTime();

}  // namespace

namespace {

// A level function: the current level and its camera looked up on every call, one number
// pushed, against an empty function pushing one number.
void BM_GetCameraZAngleAgainstEmptyCall(benchmark::State& state) {
    Bench bench;
    auto* level = new CPLevel();  // current while it lives
    level->Camera = CPtr<CPCamera>(new CPCamera());
    const int work = bench.Compile("local a = GetCameraZAngle()");
    const int baseline = bench.Compile("local a = EmptyWithNumber()");
    RunAgainstBaseline(state, [&] { bench.Call(work); }, [&] { bench.Call(baseline); });
    state.SetItemsProcessed(state.iterations() * 10000);
    delete level;
}
BENCHMARK(BM_GetCameraZAngleAgainstEmptyCall)->UseManualTime();

}  // namespace
