// Sequences of script calls: the input picks functions of the registration tables and their
// arguments of every Lua type, live, stale and made-up handles included, and each call runs
// under lua_pcall against a headless host with the tests' level loaded (its cars, camera and
// beacon among the handles). No input may crash, hang or leak; a call may fail only with a Lua
// error.
//
// The calls run as scripts run them: inside a task stepped in the middle of a frame, after the
// level's update has queued the race for drawing, and the frame is drawn after them.
//
// The level's files are written once into the scratch folder, which is the working directory
// while an input runs (the level and its meshes are read from "Data" there, as InitLevel and
// the other loaders of the calls read them); the directory libFuzzer started in is restored
// before each input returns.
//
// Input: a list of calls, each one byte choosing the function, one byte the argument count
// (0..7), then each argument as a kind byte and its bytes. The functions that write files
// into the working directory ("Actions.cfg", the save games, the score table) are left out
// (libFuzzer keeps its corpus there); links go to a recording shell.
#include "FuzzFiles.h"

#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPRaceCamera.h"
#include "host/Host.h"
#include "interface/CPGameData.h"
#include "platform/files/HostFiles.h"
#include "tests/game/TestLevelFiles.h"
#include "interface/CPInterface.h"
#include "platform/ui/Shell.h"
#include "platform/win32/Clock.h"
#include "scene/CPGameObject.h"
#include "scene/CPSceneLoader.h"
#include "script/CPScriptRuntime.h"
#include "script/ScriptTables.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool Empty() const { return at >= size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint64_t Bytes8() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value = (value << 8) | Byte();
        }
        return value;
    }
    std::string Text() {
        const size_t length = Byte();
        const size_t n = std::min(length, size - std::min(at, size));
        std::string text(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return text;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

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

void PushArgument(lua_State* L, Reader& in, const std::vector<CPObject*>& live, const void* stale) {
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
        const std::string text = in.Text();
        lua_pushlstring(L, text.data(), text.size());
        break;
    }
    case 5: lua_pushlightuserdata(L, live[in.Byte() % live.size()]); break;
    case 6: lua_pushlightuserdata(L, const_cast<void*>(stale)); break;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Host* host = [] {
        PlatformClock::UseManual();
        TestLevelFiles::Write(Fuzz::ScratchFolder());
        return new Host();
    }();
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(Fuzz::ScratchFolder());
    HostFiles::ClearCache();
    Cfg::weight_div = 1;
    RecordingShell shell;
    ScopedShellBackend scopedShell(shell);
    Reader in(data, size);

    // The objects the calls may name: a small tree, a screen, a running script task with a
    // queue, and the host's own objects; plus the address of an object already gone.
    const void* stale = nullptr;
    {
        auto* gone = new CPGameObject("gone");
        stale = static_cast<CPObject*>(gone);
        delete gone;
    }
    CPScriptRuntime runtime;
    lua_State* L = runtime.State();
    {
        CPGameObject root("root");
        CPGameObject* child = new CPGameObject("child");
        CPGameObject* grandchild = new CPGameObject("grandchild");
        root.AddChild(CPtr<CPGameObject>(child));
        child->AddChild(CPtr<CPGameObject>(grandchild));
        CPInterface screen;
        CPLuaScriptTask task(runtime, "none.lua");
        task.Running = true;
        host->RegisterScriptTask(&task, "fuzz", {"main"});
        root.SetScriptObject(CPtr<CPScriptTask>(&task));
        host->Dispatcher().SendCommandByName("fuzz", "one", "1,2,3");
        host->Dispatcher().SendCommandByName("fuzz", "two", "");
        std::vector<CPObject*> live{&root, child, grandchild, &screen, &task, &host->Music(),
                                    &host->VideoPlayer(), &host->ActionsManager(), &host->GlobalTimer()};
        // The level, started, and its objects.
        CPLevel* level = CPLevel::CreateCurrent();
        if (level->Load(TestLevelFiles::LevelName, false, false)) {
            level->Start();
            live.push_back(level->Player.Get());
            live.push_back(level->Camera.Get());
            for (const CPtr<CPPlayer>& car : level->Cars) {
                live.push_back(car.Get());
            }
            for (const CPtr<CPGameObject>& object : level->Objects) {
                live.push_back(object.Get());
            }
            for (const CPLevel::BeaconEntry& beacon : level->Beacons) {
                live.push_back(beacon.Object.Get());
            }
        }

        // A frame of the race, then the calls inside the next one (after every task of the
        // level), then a frame after them.
        constexpr float Frame = 1.0f / 60.0f;
        host->RunFrame(Frame);
        auto* calls = new CallTask();
        calls->Priority = 10000;
        calls->Work = [&] {
            const std::vector<std::string>& names = Names();
            for (int count = 0; count < 64 && !in.Empty(); ++count) {
                lua_settop(L, 0);
                lua_getglobal(L, names[in.Byte() % names.size()].c_str());
                const int arguments = in.Byte() % 8;
                for (int i = 0; i < arguments; ++i) {
                    PushArgument(L, in, live, stale);
                }
                lua_pcall(L, arguments, LUA_MULTRET, 0);
            }
            lua_settop(L, 0);
        };
        host->Scheduler().AddTask(CPtr<CallTask>(calls));
        host->RunFrame(Frame);
        host->RunFrame(Frame);

        // The bonus list lets go of this input's objects while they live; then whatever level
        // the calls left current goes (stopping its race).
        for (BonusEntry& entry : host->GameData().Bonuses) {
            entry.Bonus = nullptr;
        }
        host->GameData().Bonuses.clear();
        delete CPLevel::Current;
        // Nothing the calls scheduled or queued for drawing outlives this input: the players
        // stop, the list empties, and an empty frame is drawn, which lets go of the batches.
        host->UnregisterScriptTask(&task);
        host->Music().Stop();
        host->GlobalTimer().Stop();
        host->VideoPlayer().Stop();
        host->VideoPlayer1().Stop();
        host->Scheduler().Tasks.clear();
        host->RunFrame(0.0f);
        // Every name asked for a special sound is remembered; forget this input's.
        host->SoundManager().SpecialSounds.clear();
        // The tree lets go of the task while both are alive (its pointer is not counted).
        root.Deactivate();
        root.ScriptObject = nullptr;
        CPSceneLoader::DeleteObject(child);  // the subtree AddChild took; each node leaves its parent
    }
    CPObject::Registry().clear();
    RenderTemp = 1.0f;
    std::filesystem::current_path(started);
    return 0;
}
