// Sequences of script calls: the input picks functions of the registration tables and their
// arguments of every Lua type, live, stale and made-up handles included, and each call runs
// under lua_pcall against a headless host with the tests' level loaded (its cars, camera and
// beacon among the handles). No input may crash, hang or leak; a call may fail only with a Lua
// error.
//
// The calls run as scripts run them: inside a task stepped in the middle of a frame, after the
// level's update has queued the race for drawing, and the frame is drawn after them.
//
// Finalizers: scripts cannot make one, but the engine's functions must not care if one runs in
// the middle of their pushes. A call can arm one instead (a garbage userdata whose __gc, a C
// function, calls a function of the tables, or raises an error, unprotected as a Lua finalizer
// would); the collector then runs a full cycle at every allocation for the rest of the input.
// Everything the target pushes itself is done under lua_cpcall, so an error from a finalizer
// never meets an unprotected push of ours.
//
// Speed: loading the level and making the runtime cost far more than the calls, so they are
// kept from one input to the next with the input's objects (a small tree, a screen, a script
// task with a queue); only what an input may have changed is put back (the tasks it added, the
// bonus list, the players and the timer, the special sounds, configuration values). The whole
// world is built anew when an input replaced or removed the level, and every 256 inputs, so
// what inputs leave behind stays small.
//
// What the world's rebuild runs (the teardown, the level's load, the first frame) is not the
// input's coverage: the edge counters are cleared after it, so an input that removed the level
// is not kept for the code of the next one's rebuild, and libFuzzer's bookkeeping does not pay
// for thousands of setup features that turn up once in a few dozen inputs.
//
// The level's files are written once into the scratch folder, which is the working directory
// while an input runs (the level and its meshes are read from "Data" there, as InitLevel and
// the other loaders of the calls read them); the directory libFuzzer started in is restored
// before each input returns. The road is the tests' level's but smaller (two triangles where
// the cars start and drive for the few seconds a world lasts): the calls reach the same
// ground queries, and each rebuild sorts a few hundred grid cells instead of thousands.
//
// Input: a list of calls, each two bytes choosing the function (there are more than 256), one
// byte the argument count (0..7), then each argument as a kind byte and its bytes; the value
// one past the functions arms a finalizer instead, with two bytes choosing what it does (odd:
// an error; even: the function it calls). The functions that write files into the working directory
// ("Actions.cfg", the save games, the score table) are left out (libFuzzer keeps its corpus
// there); links go to a recording shell.
#include "FuzzCoverage.h"
#include "FuzzFiles.h"

#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "host/Host.h"
#include "interface/CPGameData.h"
#include "platform/files/HostFiles.h"
#include "tests/game/TestLevelFiles.h"
#include "tools/MeshText.h"
#include "interface/CPInterface.h"
#include "platform/ui/Shell.h"
#include "platform/win32/Clock.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"
#include "script/CPScriptRuntime.h"
#include "script/ScriptTables.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool Empty() const { return at >= size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t Bytes2() {
        const uint16_t high = Byte();
        return static_cast<uint16_t>((high << 8) | Byte());
    }
    uint64_t Bytes8() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value = (value << 8) | Byte();
        }
        return value;
    }
    // A length byte and that many bytes (fewer at the end of the input), in place.
    const char* Text(size_t& length) {
        const size_t wanted = Byte();
        length = std::min(wanted, size - std::min(at, size));
        const char* text = reinterpret_cast<const char*>(data + std::min(at, size));
        at += length;
        return text;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

// The tests' level with its road cut down to 140 x 40 m around the start (see the file's
// comment).
void WriteLevel() {
    TestLevelFiles::Write(Fuzz::ScratchFolder());
    MeshText::Result mesh;
    std::string error;
    const bool parsed = MeshText::Parse("mesh static\nnode road\n"
                                        "  vertex -20 -20 0\n  vertex 120 -20 0\n  vertex -20 20 0\n  vertex 120 20 0\n"
                                        "  triangle 0 1 2\n  triangle 1 3 2\nend\n",
                                        mesh, error);
    Fuzz::Check(parsed, "the small road's mesh text parses");
    const std::vector<uint8_t> bytes = MeshText::Build(mesh);
    Fuzz::WriteFile("Data/Meshes/road_phys1.msh", bytes.data(), bytes.size());
}

// The function names to call: every registered name but the file writers.
const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Script::Table table : {Script::Table::A, Script::Table::B, Script::Table::E}) {
            for (const char* name : Script::TableNames(table)) {
                const std::string text = name;
                const bool writesFiles = text == "SaveActions" || text == "UpdateActions" || text == "SaveGame" ||
                                         text == "NewPlayer" || text == "DeleteSave" || text == "SaveScore";
                if (Script::FindFunction(table, text) != nullptr && !writesFiles) {
                    list.push_back(text);
                }
            }
        }
        return list;
    }();
    return names;
}

// A task that does its work once, when it is stepped.
class CallTask : public CPTask {
public:
    void Update() override {
        if (Work) {
            Work();
            Work = nullptr;
        }
    }
    int GetKind() const override { return 0; }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "CallTask"; }
    std::function<void()> Work;
};

// What one input works on, kept from input to input (see the file's comment).
struct World {
    std::unique_ptr<CPScriptRuntime> Runtime;
    std::unique_ptr<CPGameObject> Root;
    CPGameObject* Child = nullptr;
    std::unique_ptr<CPInterface> Screen;
    std::unique_ptr<CPLuaScriptTask> Task;
    CPLevel* Level = nullptr;
    std::vector<CPObject*> Live;
    const void* Stale = nullptr;
    std::unordered_set<std::string> Sounds;  // the special sounds' names between inputs
    int Inputs = 0;
};

// Everything the world made goes, the level first (it may hold the tree and the screen).
void TearDown(Host& host, World& world) {
    for (BonusEntry& entry : host.GameData().Bonuses) {
        entry.Bonus = nullptr;
    }
    host.GameData().Bonuses.clear();
    delete CPLevel::Current;
    if (world.Task) {
        host.UnregisterScriptTask(world.Task.get());
    }
    host.Music().Stop();
    host.GlobalTimer().Stop();
    host.VideoPlayer().Stop();
    host.VideoPlayer1().Stop();
    host.Scheduler().Tasks.clear();
    host.RunFrame(0.0f);
    host.SoundManager().SpecialSounds.clear();
    if (world.Root) {
        // The tree lets go of the task while both are alive (its pointer is not counted).
        world.Root->Deactivate();
        world.Root->ScriptObject = nullptr;
        CPSceneLoader::DeleteObject(world.Child);  // the subtree AddChild took
        world.Root.reset();
    }
    world.Screen.reset();
    world.Task.reset();
    world.Runtime.reset();
    world = World();
    CPObject::Registry().clear();
}

// The objects the calls may name: a small tree, a screen, a running script task with a queue,
// and the host's own objects; the level, started, and its objects; plus the address of an
// object already gone. A frame of the race is run.
void BuildUp(Host& host, World& world) {
    HostFiles::ClearCache();
    {
        auto* gone = new CPGameObject("gone");
        world.Stale = static_cast<CPObject*>(gone);
        delete gone;
    }
    world.Runtime = std::make_unique<CPScriptRuntime>();
    world.Root = std::make_unique<CPGameObject>("root");
    world.Child = new CPGameObject("child");
    auto* grandchild = new CPGameObject("grandchild");
    world.Root->AddChild(CPtr<CPGameObject>(world.Child));
    world.Child->AddChild(CPtr<CPGameObject>(grandchild));
    world.Screen = std::make_unique<CPInterface>();
    world.Task = std::make_unique<CPLuaScriptTask>(*world.Runtime, "none.lua");
    world.Task->Running = true;
    host.RegisterScriptTask(world.Task.get(), "fuzz", {"main"});
    world.Root->SetScriptObject(CPtr<CPScriptTask>(world.Task.get()));
    host.Dispatcher().SendCommandByName("fuzz", "one", "1,2,3");
    host.Dispatcher().SendCommandByName("fuzz", "two", "");
    world.Live = {world.Root.get(),      world.Child,           grandchild,
                  world.Screen.get(),    world.Task.get(),      &host.Music(),
                  &host.VideoPlayer(),   &host.ActionsManager(), &host.GlobalTimer()};
    CPLevel* level = CPLevel::CreateCurrent();
    world.Level = level;
    const bool loaded = level->Load(TestLevelFiles::LevelName, false, false);
    Fuzz::Check(loaded, "the fuzz level loads");  // else every input would run without one
    if (loaded) {
        level->Start();
        world.Live.push_back(level->Player.Get());
        world.Live.push_back(level->Camera.Get());
        for (const CPtr<CPPlayer>& car : level->Cars) {
            world.Live.push_back(car.Get());
        }
        for (const CPtr<CPGameObject>& object : level->Objects) {
            world.Live.push_back(object.Get());
        }
        for (const CPLevel::BeaconEntry& beacon : level->Beacons) {
            world.Live.push_back(beacon.Object.Get());
        }
    }
    host.RunFrame(1.0f / 60.0f);
    world.Sounds.clear();
    for (const auto& [name, sound] : host.SoundManager().SpecialSounds) {
        world.Sounds.insert(name);
    }
}

// Whether the level is still the world's (an input may have replaced or removed it).
bool Intact(const World& world) {
    return world.Level != nullptr && CPLevel::Current == world.Level && world.Inputs < 256;
}

struct Call {
    Reader* In;
    const World* Where;
};

void PushArgument(lua_State* L, Reader& in, const World& world) {
    switch (in.Byte() % 12) {
    case 0: lua_pushnil(L); break;
    case 1: lua_pushboolean(L, in.Byte() & 1); break;
    case 2: lua_pushnumber(L, static_cast<int8_t>(in.Byte())); break;
    case 3: {
        const uint64_t bits = in.Bytes8();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        lua_pushnumber(L, value);  // NaN and infinities included
        break;
    }
    case 4: {
        size_t length = 0;
        const char* text = in.Text(length);
        lua_pushlstring(L, text, length);
        break;
    }
    case 5: lua_pushlightuserdata(L, world.Live[in.Byte() % world.Live.size()]); break;
    case 6: lua_pushlightuserdata(L, const_cast<void*>(world.Stale)); break;
    case 7: lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(in.Bytes8()))); break;
    case 8: lua_pushlightuserdata(L, nullptr); break;
    case 9:
        lua_newtable(L);
        lua_pushnumber(L, 1);
        lua_pushstring(L, "x");
        lua_settable(L, -3);
        break;
    case 10: lua_newuserdata(L, 16); break;
    default: lua_getglobal(L, "print"); break;
    }
}

// The __gc of an armed finalizer: upvalue 1 is the function to call (nil: raise an error).
// Called unprotected in the middle of whatever allocated, as a Lua finalizer is.
int Finalize(lua_State* L) {
    if (lua_isnil(L, lua_upvalueindex(1))) {
        return luaL_error(L, "error from a finalizer");
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_call(L, 0, 0);
    return 0;
}

// A garbage userdata whose finalizer calls the chosen function (an odd byte: raises), and a
// collector that runs whole cycles at every allocation from now on.
void ArmFinalizer(lua_State* L, Reader& in) {
    const uint16_t choice = in.Bytes2();
    lua_newuserdata(L, 1);
    lua_createtable(L, 0, 1);
    if ((choice & 1) != 0) {
        lua_pushnil(L);
    } else {
        const std::vector<std::string>& names = Names();
        lua_getglobal(L, names[(choice >> 1) % names.size()].c_str());
    }
    lua_pushcclosure(L, Finalize, 1);
    lua_setfield(L, -2, "__gc");
    lua_setmetatable(L, -2);
    lua_pop(L, 1);
    lua_gc(L, LUA_GCSETPAUSE, 0);
    lua_gc(L, LUA_GCSETSTEPMUL, 1000000);
}

// Under lua_cpcall: one call of the input, its function and arguments pushed here, so a
// finalizer's error during a push is caught like any other.
int OneCall(lua_State* L) {
    const Call& call = *static_cast<const Call*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    Reader& in = *call.In;
    const std::vector<std::string>& names = Names();
    const size_t choice = in.Bytes2() % (names.size() + 1);
    if (choice == names.size()) {
        ArmFinalizer(L, in);
        return 0;
    }
    lua_getglobal(L, names[choice].c_str());
    const int arguments = in.Byte() % 8;
    for (int i = 0; i < arguments; ++i) {
        PushArgument(L, in, *call.Where);
    }
    lua_pcall(L, arguments, LUA_MULTRET, 0);
    return 0;
}

// Under lua_cpcall: the collector back to its defaults and every garbage finalizer run.
int Collect(lua_State* L) {
    lua_gc(L, LUA_GCSETPAUSE, 200);
    lua_gc(L, LUA_GCSETSTEPMUL, 200);
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Host* host = [] {
        PlatformClock::UseManual();
        WriteLevel();
        auto* made = new Host();
        made->RenderDevice().KeepCalls(false);  // nobody reads them; kept, they grow every frame
        return made;
    }();
    static World& world = *new World();  // never destroyed: the level may hold its objects at exit
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(Fuzz::ScratchFolder());
    Cfg::ResetDefaults();
    Cfg::weight_div = 1;
    RenderTemp = 1.0f;
    RecordingShell shell;
    ScopedShellBackend scopedShell(shell);
    if (!Intact(world)) {
        TearDown(*host, world);
        BuildUp(*host, world);
        Fuzz::ForgetCoverage();
    }
    ++world.Inputs;
    std::unordered_set<const CPTask*> scheduled;
    for (const CPtr<CPTask>& task : host->Scheduler().Tasks) {
        scheduled.insert(task.Get());
    }
    Reader in(data, size);
    lua_State* L = world.Runtime->State();

    // The calls inside a frame, after every task of the level; the frame is drawn after them.
    constexpr float Frame = 1.0f / 60.0f;
    auto* calls = new CallTask();
    calls->Priority = 10000;
    calls->Work = [&] {
        Call call{&in, &world};
        for (int count = 0; count < 64 && !in.Empty(); ++count) {
            if (lua_cpcall(L, OneCall, &call) != 0) {
                lua_pop(L, 1);
            }
        }
        if (lua_cpcall(L, Collect, nullptr) != 0) {
            lua_pop(L, 1);
        }
        lua_settop(L, 0);
    };
    host->Scheduler().AddTask(CPtr<CallTask>(calls));
    host->RunFrame(Frame);

    // What the input may have added goes: the bonus list, the tasks it scheduled (the players
    // and the timer stopped), and an empty frame lets go of what it queued for drawing.
    for (BonusEntry& entry : host->GameData().Bonuses) {
        entry.Bonus = nullptr;
    }
    host->GameData().Bonuses.clear();
    host->Music().Stop();
    host->GlobalTimer().Stop();
    host->VideoPlayer().Stop();
    host->VideoPlayer1().Stop();
    host->Scheduler().Tasks.remove_if([&](const CPtr<CPTask>& task) { return scheduled.count(task.Get()) == 0; });
    // Every name asked for a special sound is remembered; forget this input's.
    std::erase_if(host->SoundManager().SpecialSounds,
                  [&](const auto& entry) { return world.Sounds.count(entry.first) == 0; });
    std::filesystem::current_path(started);
    return 0;
}
