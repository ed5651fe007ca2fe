#include "script/CPScriptRuntime.h"

#include "script/ScriptApi.h"
#include "script/ScriptTables.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/FrameTime.h"

#include <cctype>
#include <cstring>
#include <utility>

CPScriptRuntime* CPScriptRuntime::Instance = nullptr;

namespace {

int OpenLibraries(lua_State* L) {
    luaL_openlibs(L);
    return 0;
}

// Precompiled chunks are not loaded: Lua 5.1 does not verify bytecode, and a damaged one can
// corrupt memory. Scripts are text.
bool IsBinaryChunk(const char* data, size_t size) {
    return size > 0 && data[0] == LUA_SIGNATURE[0];
}

std::string PrefixedChunkName(const std::string& name) {
    if (!name.empty() && (name[0] == '@' || name[0] == '=')) {
        return name;
    }
    return "=" + name;
}

// Splits "chunk:line: text" into its position; false when the message has none.
bool ParsePosition(const std::string& message, std::string& file, int& line) {
    for (size_t colon = message.find(':'); colon != std::string::npos; colon = message.find(':', colon + 1)) {
        size_t end = colon + 1;
        while (end < message.size() && std::isdigit(static_cast<unsigned char>(message[end]))) {
            ++end;
        }
        if (end > colon + 1 && end < message.size() && message[end] == ':' && end - colon <= 10) {
            file = message.substr(0, colon);
            line = std::stoi(message.substr(colon + 1, end - colon - 1));
            return true;
        }
    }
    return false;
}

struct ThreadSetup {
    const char* Data;
    size_t Size;
    const char* Chunk;
    lua_State* Thread;
    int Ref;
};

// Under lua_cpcall: compiles the chunk and makes the coroutine that will run it, anchored in
// the registry.
int SetUpThread(lua_State* L) {
    auto* setup = static_cast<ThreadSetup*>(lua_touserdata(L, 1));
    if (luaL_loadbuffer(L, setup->Data, setup->Size, setup->Chunk) != 0) {
        lua_error(L);
    }
    lua_State* thread = lua_newthread(L);
    lua_pushvalue(L, -2);
    lua_xmove(L, thread, 1);
    setup->Thread = thread;
    setup->Ref = luaL_ref(L, LUA_REGISTRYINDEX);
    return 0;
}

}  // namespace

CPScriptRuntime::CPScriptRuntime() {
    L = luaL_newstate();
    if (L == nullptr) {
        Report({"cannot create the Lua state (out of memory)", "", 0});
        return;
    }
    std::string error;
    if (lua_cpcall(L, OpenLibraries, nullptr) != 0) {
        Report(TakeError(L));
    } else if (!Script::RegisterFunctions(L, &error)) {
        Report({error, "", 0});
    }
}

CPScriptRuntime::~CPScriptRuntime() {
    for (CPLuaScriptTask* task : Tasks) {
        task->Runtime = nullptr;
        task->Thread = nullptr;
        task->ThreadRef = LUA_NOREF;
    }
    Tasks.clear();
    if (Instance == this) {
        Instance = nullptr;
    }
    if (L != nullptr) {
        lua_close(L);
    }
    while (!Adopted.empty()) {
        Adopted.pop_back();
    }
}

CPObject* CPScriptRuntime::Adopt(std::unique_ptr<CPObject> object) {
    Adopted.push_back(std::move(object));
    return Adopted.back().get();
}

std::string CPScriptRuntime::ChunkName(const std::string& fileName) {
    return std::string("@") + ScriptFolder + "\\" + fileName;
}

bool CPScriptRuntime::ReadScript(const std::string& fileName, std::vector<char>& text) {
    CPFileReader reader(std::string(ScriptFolder) + "\\" + fileName, false);
    if (FAILED(reader.Load())) {
        return false;
    }
    const auto* data = reinterpret_cast<const char*>(reader.GetData());
    text.assign(data, data + reader.GetLength());
    return true;
}

void CPScriptRuntime::Report(const ScriptError& error) {
    CPLogReport report;
    report.File = error.File;
    report.Line = error.Line;
    report.Text = "Script error in " + (error.File.empty() ? std::string("?") : error.File) + " on line " +
                  std::to_string(error.Line) + "\n" + error.Message + "\n";
    CPLog::GetInstance().WriteReport(report);
}

ScriptError CPScriptRuntime::TakeError(lua_State* thread) {
    ScriptError error;
    const char* message = lua_tostring(thread, -1);
    error.Message = message != nullptr ? message : "(error object is not a string)";
    lua_pop(thread, 1);
    lua_Debug ar;
    for (int level = 0; lua_getstack(thread, level, &ar) != 0; ++level) {
        if (lua_getinfo(thread, "Sl", &ar) != 0 && ar.currentline > 0 && ar.source != nullptr) {
            const char* source = ar.source;
            error.File = (source[0] == '@' || source[0] == '=') ? source + 1 : ar.short_src;
            error.Line = ar.currentline;
            return error;
        }
    }
    ParsePosition(error.Message, error.File, error.Line);
    return error;
}

bool CPScriptRuntime::RunString(const std::string& code, const std::string& chunkName, ScriptError* error) {
    ScriptError failure;
    if (L == nullptr) {
        failure = {"no Lua state", chunkName, 0};
    } else if (IsBinaryChunk(code.data(), code.size())) {
        failure = {"precompiled chunks are not loaded", chunkName, 0};
    } else {
        const std::string chunk = PrefixedChunkName(chunkName);
        const int top = lua_gettop(L);
        if (luaL_loadbuffer(L, code.data(), code.size(), chunk.c_str()) == 0 && lua_pcall(L, 0, 0, 0) == 0) {
            return true;
        }
        failure = TakeError(L);
        lua_settop(L, top);
    }
    Report(failure);
    if (error != nullptr) {
        *error = std::move(failure);
    }
    return false;
}

bool CPScriptRuntime::RunFile(const std::string& fileName, ScriptError* error) {
    std::vector<char> text;
    if (!ReadScript(fileName, text)) {
        ScriptError failure{"cannot read the script", ChunkName(fileName).substr(1), 0};
        Report(failure);
        if (error != nullptr) {
            *error = std::move(failure);
        }
        return false;
    }
    return RunString(std::string(text.begin(), text.end()), ChunkName(fileName), error);
}

CPLuaScriptTask::CPLuaScriptTask(CPScriptRuntime& runtime, std::string fileName)
    : Runtime(&runtime), FileName(std::move(fileName)) {
    runtime.Tasks.insert(this);
}

CPLuaScriptTask::~CPLuaScriptTask() {
    ReleaseThread();
    if (Runtime != nullptr) {
        Runtime->Tasks.erase(this);
    }
}

void CPLuaScriptTask::Fail(ScriptError error) {
    CPScriptRuntime::Report(error);
    LastError = std::move(error);
    CPTask::Stop();
    if (!Resuming) {
        ReleaseThread();
    }
}

bool CPLuaScriptTask::Start() {
    if (Running) {
        return false;
    }
    if (Runtime == nullptr || Runtime->L == nullptr) {
        Fail({"the script runtime is gone", CPScriptRuntime::ChunkName(FileName).substr(1), 0});
        return false;
    }
    if (Thread == nullptr) {
        const std::string chunk = CPScriptRuntime::ChunkName(FileName);
        std::vector<char> text;
        if (!CPScriptRuntime::ReadScript(FileName, text)) {
            Fail({"cannot read the script", chunk.substr(1), 0});
            return false;
        }
        if (IsBinaryChunk(text.data(), text.size())) {
            Fail({"precompiled chunks are not loaded", chunk.substr(1), 0});
            return false;
        }
        ThreadSetup setup{text.data(), text.size(), chunk.c_str(), nullptr, LUA_NOREF};
        if (lua_cpcall(Runtime->L, SetUpThread, &setup) != 0) {
            Fail(CPScriptRuntime::TakeError(Runtime->L));
            return false;
        }
        Thread = setup.Thread;
        ThreadRef = setup.Ref;
        Resumed = false;
    }
    return CPTask::Start();
}

void CPLuaScriptTask::Update() {
    if (Thread == nullptr || !Running || Finished || Resuming) {
        return;
    }
    if (Resumed) {
        lua_settop(Thread, 0);  // what the last yield handed out
        lua_pushnumber(Thread, FrameTime);
    } else {
        Script::PushHandle(Thread, this);
        Resumed = true;
    }
    Resuming = true;
    const int status = lua_resume(Thread, 1);
    Resuming = false;
    if (status == LUA_YIELD) {
        if (!Running) {
            ReleaseThread();  // stopped from inside the script
        }
        return;
    }
    if (status != 0) {
        Fail(CPScriptRuntime::TakeError(Thread));
        return;
    }
    Stop();  // the chunk returned
}

void CPLuaScriptTask::Stop() {
    CPTask::Stop();
    if (!Resuming) {
        ReleaseThread();
    }
}

void CPLuaScriptTask::ReleaseThread() {
    if (Runtime != nullptr && Runtime->L != nullptr && ThreadRef != LUA_NOREF) {
        luaL_unref(Runtime->L, LUA_REGISTRYINDEX, ThreadRef);
    }
    ThreadRef = LUA_NOREF;
    Thread = nullptr;
    Resumed = false;
}
