#include "script/CPScriptRuntime.h"

#include "script/ScriptApi.h"
#include "script/ScriptTables.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/FrameTime.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

CPScriptRuntime* CPScriptRuntime::Instance = nullptr;

namespace {

// Lua 5.1 loads precompiled chunks through every loader of the base library and does not
// verify them, so crafted bytecode could corrupt memory: the loaders refuse a chunk that starts
// with the bytecode signature's first byte, as the runtime does for script files.
constexpr const char* GuardedLoaders = R"(
local loadstring, load, loadfile, dofile, open, type, error = loadstring, load, loadfile, dofile, io.open, type, error
local byte = string.byte
local refused = "precompiled chunks are not loaded"
local function binary(text) return type(text) == "string" and byte(text, 1) == 27 end
local function binaryfile(name)
    local file = type(name) == "string" and open(name, "rb")
    if not file then return false end
    local first = file:read(1)
    file:close()
    return first == "\27"
end
_G.loadstring = function(text, ...)
    if binary(text) then return nil, refused end
    return loadstring(text, ...)
end
_G.load = function(reader, ...)
    local first, blocked = true, false
    local function guarded()
        local piece = reader()
        if first and type(piece) == "string" and piece ~= "" then
            first = false
            if binary(piece) then blocked = true return nil end
        end
        return piece
    end
    local chunk, message = load(guarded, ...)
    if blocked then return nil, refused end
    return chunk, message
end
_G.loadfile = function(name, ...)
    if binaryfile(name) then return nil, refused end
    return loadfile(name, ...)
end
_G.dofile = function(name, ...)
    if binaryfile(name) then error(refused, 2) end
    return dofile(name, ...)
end
)";

// Under lua_cpcall: the standard libraries, less what would let a script run Lua code from
// inside an engine function or escape the bounds. A Lua 5.1 finalizer (a `__gc` that is a Lua
// function on a userdata) runs unprotected during any allocation, so a script must not be
// able to make one: `newproxy` is gone, the debug library cannot set or read a userdata's
// metatable (nor reach the registry, nor replace the instruction hook), the file handles'
// metatable is hidden from getmetatable, and no native library can be loaded (one could open
// the base or debug library anew).
int OpenLibraries(lua_State* L) {
    luaL_openlibs(L);
    lua_pushnil(L);
    lua_setglobal(L, "newproxy");
    lua_getglobal(L, LUA_DBLIBNAME);
    if (lua_istable(L, -1)) {
        for (const char* name : {"setmetatable", "getmetatable", "getregistry", "sethook"}) {
            lua_pushnil(L);
            lua_setfield(L, -2, name);
        }
    }
    lua_pop(L, 1);
    luaL_getmetatable(L, LUA_FILEHANDLE);
    if (lua_istable(L, -1)) {
        lua_pushboolean(L, 0);
        lua_setfield(L, -2, "__metatable");
    }
    lua_pop(L, 1);
    lua_getglobal(L, LUA_LOADLIBNAME);
    if (lua_istable(L, -1)) {
        lua_pushnil(L);
        lua_setfield(L, -2, "loadlib");
        lua_getfield(L, -1, "loaders");
        if (lua_istable(L, -1)) {
            // The searchers: 1 preload, 2 Lua files, 3 C libraries, 4 all-in-one C libraries.
            lua_pushnil(L);
            lua_rawseti(L, -2, 4);
            lua_pushnil(L);
            lua_rawseti(L, -2, 3);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    if (luaL_loadbuffer(L, GuardedLoaders, std::strlen(GuardedLoaders), "=loaders") != 0) {
        lua_error(L);
    }
    lua_call(L, 0, 0);
    return 0;
}

int Panic(lua_State* L) {
    // Every call into Lua is protected; an error outside one is a fault of ours.
    const char* message = lua_tostring(L, -1);
    CPScriptRuntime::Report({message != nullptr ? message : "unprotected error", "", 0});
    return 0;
}

// A UTF-8 byte-order mark some editors put at the start of a file; Lua does not skip it.
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

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
    L = lua_newstate(Allocate, this);
    if (L == nullptr) {
        Report({"cannot create the Lua state (out of memory)", "", 0});
        return;
    }
    lua_atpanic(L, Panic);
    std::string error;
    if (lua_cpcall(L, OpenLibraries, nullptr) != 0) {
        Report(TakeError(L));
    } else if (!Script::RegisterFunctions(L, &error)) {
        Report({error, "", 0});
    }
    // Threads made later take the hook of the thread that makes them.
    lua_sethook(L, CountHook, LUA_MASKCOUNT, HookStep);
}

void* CPScriptRuntime::Allocate(void* runtime, void* block, size_t oldSize, size_t newSize) {
    auto* self = static_cast<CPScriptRuntime*>(runtime);
    // Lua passes oldSize 0 with a null block.
    if (newSize == 0) {
        std::free(block);
        self->Used -= std::min(oldSize, self->Used);
        return nullptr;
    }
    // Only growth is refused: Lua 5.1 takes a failed shrink for an error too.
    if (newSize > oldSize && self->Used - std::min(oldSize, self->Used) + newSize > self->MemoryLimit) {
        self->Refused = true;
        return nullptr;
    }
    void* moved = std::realloc(block, newSize);
    if (moved != nullptr) {
        self->Used = self->Used - std::min(oldSize, self->Used) + newSize;
    }
    return moved;
}

void CPScriptRuntime::CountHook(lua_State* thread, lua_Debug*) {
    void* runtime = nullptr;
    lua_getallocf(thread, &runtime);
    auto* self = static_cast<CPScriptRuntime*>(runtime);
    self->Executed += static_cast<uint64_t>(lua_gethookcount(thread));
    if (self->Executed <= self->InstructionLimit) {
        return;
    }
    // From now on every instruction of the thread raises again, so a pcall in the script
    // cannot hold the run past its limit.
    lua_sethook(thread, CountHook, LUA_MASKCOUNT, 1);
    // A plain buffer: lua_error must not skip a destructor.
    char limit[32];
    std::snprintf(limit, sizeof(limit), "%llu", static_cast<unsigned long long>(self->InstructionLimit));
    luaL_where(thread, 0);
    lua_pushfstring(thread, "the script ran more than %s instructions without yielding", limit);
    lua_concat(thread, 2);
    lua_error(thread);
}

static int CollectGarbage(lua_State* L) {
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

void CPScriptRuntime::MakeRoom() {
    // Lua 5.1 refuses a block without collecting first; a state past half its limit is
    // collected before a run, so garbage of a run that failed does not fail the next.
    if (L != nullptr && Used > MemoryLimit / 2 && lua_cpcall(L, CollectGarbage, nullptr) != 0) {
        lua_pop(L, 1);
    }
}

void CPScriptRuntime::StartCount(lua_State* thread) {
    MakeRoom();
    Executed = 0;
    Refused = false;
    lua_sethook(thread, CountHook, LUA_MASKCOUNT, HookStep);
}

ScriptError CPScriptRuntime::TakeRunError(lua_State* thread, int status) {
    ScriptError error = TakeError(thread);
    // Lua's own message; a script function that caught it raises it again with its position.
    static constexpr std::string_view outOfMemory = "not enough memory";
    if (Refused && (status == LUA_ERRMEM || error.Message.ends_with(outOfMemory))) {
        error.Message += ": the scripts' memory limit of " + std::to_string(MemoryLimit >> 20) + " MB is reached";
    }
    Refused = false;
    return error;
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
    size_t length = reader.GetLength();
    constexpr size_t markLength = sizeof(ByteOrderMark) - 1;
    if (length >= markLength && std::memcmp(data, ByteOrderMark, markLength) == 0) {
        data += markLength;
        length -= markLength;
    }
    text.assign(data, data + length);
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
    // Read without converting in place: a conversion allocates, outside any protection.
    if (lua_type(thread, -1) == LUA_TSTRING) {
        size_t length = 0;
        const char* message = lua_tolstring(thread, -1, &length);
        error.Message.assign(message, length);
    } else if (lua_type(thread, -1) == LUA_TNUMBER) {
        char number[32];
        std::snprintf(number, sizeof(number), LUA_NUMBER_FMT, lua_tonumber(thread, -1));
        error.Message = number;
    } else {
        error.Message = "(error object is not a string)";
    }
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
        StartCount(L);
        int status = luaL_loadbuffer(L, code.data(), code.size(), chunk.c_str());
        if (status == 0) {
            status = lua_pcall(L, 0, 0, 0);
        }
        if (status == 0) {
            return true;
        }
        failure = TakeRunError(L, status);
        if (failure.File.empty()) {
            failure.File = chunk.substr(1);  // the stack is gone after lua_pcall; the chunk stays known
        }
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
        Runtime->MakeRoom();
        if (const int status = lua_cpcall(Runtime->L, SetUpThread, &setup); status != 0) {
            ScriptError error = Runtime->TakeRunError(Runtime->L, status);
            if (error.File.empty()) {
                error.File = chunk.substr(1);
            }
            Fail(std::move(error));
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
    Runtime->StartCount(Thread);
    const int status = lua_resume(Thread, 1);
    Resuming = false;
    if (status == LUA_YIELD) {
        if (!Running) {
            ReleaseThread();  // stopped from inside the script
        }
        return;
    }
    if (status != 0) {
        Fail(Runtime->TakeRunError(Thread, status));
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
        // Not luaL_unref, which may allocate (outside any protection, perhaps at the memory
        // limit): clearing a key that is there never does, and luaL_ref finds the hole again.
        lua_pushnil(Runtime->L);
        lua_rawseti(Runtime->L, LUA_REGISTRYINDEX, ThreadRef);
    }
    ThreadRef = LUA_NOREF;
    Thread = nullptr;
    Resumed = false;
}
