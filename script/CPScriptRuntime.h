// The script runtime: one Lua 5.1 state with the standard libraries and the registration tables
// A, B and E as globals, the game's script files loaded from "Data\Scripts" (through the path
// layer and the pack files), and the script tasks that run them.
//
// How a script takes its commands (docs/Scripts.md): each CPLuaScriptTask runs its file as a
// coroutine. The first step starts the chunk with the task's own handle as its argument
// (`local task = ...`); the script handles the commands queued for it with SetNextCommand,
// GetCurrentCommand and GetCurrentParams, then calls coroutine.yield() to wait for the next
// frame, where yield returns the frame time. When the chunk returns, the task is finished.
//
// Every call from C++ into Lua is protected (lua_cpcall, lua_pcall, lua_resume). A script error
// is reported to the log with its file and line (CPLog report with File and Line), ends that
// task, and never ends the program.
//
// What one script can take is bounded, and going past a bound is a script error with the
// script's file and line (docs/Scripts.md, "Limits"): the state's memory (MemoryLimit bytes,
// its allocator refuses more) and the instructions of one resume (InstructionLimit, counted
// by a hook every HookStep instructions). The bounds are fields of the runtime, set by
// whoever owns it. Lua's finalizers are out of the scripts' reach: no `newproxy`, and the
// debug and io libraries lose what would let a script put a metatable of its own on a
// userdata or take the hook away.
//
// The host owns the runtime. Tasks are owned by whoever made them and must not outlive the
// runtime's state; a runtime that goes first detaches its tasks, which then run nothing.
#pragma once

#include "core/CPObject.h"
#include "core/CPScriptTask.h"

#include <lua.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class CPLuaScriptTask;

// A script error with where it happened (File empty and Line 0 when Lua gave no position).
struct ScriptError {
    std::string Message;
    std::string File;
    int Line = 0;
};

class CPScriptRuntime {
public:
    static constexpr const char* ScriptFolder = "Data\\Scripts";

    // A new state with the standard libraries and the three tables registered.
    CPScriptRuntime();
    ~CPScriptRuntime();
    CPScriptRuntime(const CPScriptRuntime&) = delete;
    CPScriptRuntime& operator=(const CPScriptRuntime&) = delete;

    lua_State* State() const { return L; }

    // Runs a chunk to its end under lua_pcall; the chunk name appears in error positions. False
    // on a syntax or run-time error, which is reported and stored in *error.
    bool RunString(const std::string& code, const std::string& chunkName, ScriptError* error = nullptr);
    // Runs "Data\Scripts\" + fileName the same way; a file that cannot be read is an error too.
    bool RunFile(const std::string& fileName, ScriptError* error = nullptr);

    // "Data\Scripts\" + fileName read through the data files (pack files included). False when
    // it cannot be read.
    static bool ReadScript(const std::string& fileName, std::vector<char>& text);
    // The chunk name of a script file ("@Data\Scripts\x.lua"), so errors show the file's path.
    static std::string ChunkName(const std::string& fileName);

    // Reports an error to the log: "Script error in %s on line %d\n%s\n".
    static void Report(const ScriptError& error);
    // The error at the top of a state (or thread) that failed: its message, with the file and
    // line of the innermost Lua function on the thread's stack, else parsed from the message's
    // "chunk:line:" prefix. Pops the message.
    static ScriptError TakeError(lua_State* thread);

    static CPScriptRuntime* Instance;  // set by the host

    // The bounds. A change takes effect at the next allocation or resume.
    static constexpr size_t DefaultMemoryLimit = size_t{512} << 20;  // bytes of the Lua state
    static constexpr uint64_t DefaultInstructionLimit = 200'000'000;   // per resume or run
    static constexpr int HookStep = 1000;                                // instructions per count
    size_t MemoryLimit = DefaultMemoryLimit;
    uint64_t InstructionLimit = DefaultInstructionLimit;
    // Bytes the Lua state holds now.
    size_t MemoryUsed() const { return Used; }

    // Objects the scripts made that nothing else owns (the screens of CreateInterface): the
    // runtime keeps them and deletes them, newest first, when it goes, after the Lua state.
    CPObject* Adopt(std::unique_ptr<CPObject> object);
    // How many objects the runtime may keep for the scripts; past it, the functions that
    // would add one raise a script error instead.
    static constexpr size_t MaxAdopted = 4096;
    bool CanAdopt() const { return Adopted.size() < MaxAdopted; }

private:
    friend class CPLuaScriptTask;

    static void* Allocate(void* runtime, void* block, size_t oldSize, size_t newSize);
    static void CountHook(lua_State* thread, lua_Debug* ar);
    // Collects the garbage when the state holds more than half its limit.
    void MakeRoom();
    // Starts a new count of instructions for a run on the thread (after MakeRoom).
    void StartCount(lua_State* thread);
    // The error of a run that ended with status: a refused allocation is told as the limit.
    ScriptError TakeRunError(lua_State* thread, int status);

    lua_State* L = nullptr;
    size_t Used = 0;
    bool Refused = false;  // the allocator refused a block since the last run began
    uint64_t Executed = 0;
    std::unordered_set<CPLuaScriptTask*> Tasks;
    std::vector<std::unique_ptr<CPObject>> Adopted;
};

// A script task that runs one script file as a coroutine of a runtime (see above).
class CPLuaScriptTask : public CPScriptTask {
public:
    CPLuaScriptTask(CPScriptRuntime& runtime, std::string fileName);
    ~CPLuaScriptTask() override;

    size_t GetObjectSize() const override { return sizeof(CPLuaScriptTask); }
    std::string GetTypeName() const override { return "CPLuaScriptTask - " + FileName; }

    // Loads the file into a new coroutine when none runs yet; false (the task finished, the
    // error reported) when it cannot be read or compiled, or when the task already runs.
    bool Start() override;
    // Resumes the coroutine once: the first time with the task's handle, then with FrameTime.
    // A chunk that returns finishes the task; an error is reported and finishes it.
    void Update() override;
    // Finishes the task and lets its coroutine go (once it is no longer running).
    void Stop() override;

    const std::string& GetFileName() const { return FileName; }
    // The last error that ended the task; empty message when none.
    const ScriptError& GetLastError() const { return LastError; }
    // Whether the coroutine has been resumed since it was made.
    bool HasStarted() const { return Resumed; }

private:
    friend class CPScriptRuntime;

    void ReleaseThread();
    void Fail(ScriptError error);

    CPScriptRuntime* Runtime;  // null once the runtime is gone
    std::string FileName;
    lua_State* Thread = nullptr;
    int ThreadRef = LUA_NOREF;
    bool Resumed = false;
    bool Resuming = false;
    ScriptError LastError;
};
