#include "script/CPScriptRuntime.h"

#include "script/ScriptApi.h"
#include "script/ScriptTables.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/FrameTime.h"
#include "platform/files/HostFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

CPScriptRuntime* CPScriptRuntime::Instance = nullptr;

namespace {

// The file functions of the standard libraries reach the host's file system directly. A name a
// script hands them goes through the path layer instead, as every engine file does: it is an
// engine path ("Data\Saves\notes.txt", any letter case) inside the game folder, and one that
// is absolute or climbs out is refused as any function refuses a file it cannot open.
// Lua 5.1 loads precompiled chunks through every loader of the base library and does not
// verify them, so crafted bytecode could corrupt memory: the loaders refuse a chunk that starts
// with the bytecode signature's first byte, as the runtime does for script files. loadfile
// reads the file once and checks the text it compiles.
constexpr const char* GuardedLibraries = R"lua(
local resolve = ...
local loadstring, load, type, error, tostring = loadstring, load, type, error, tostring
local open, lines, input, output, remove, rename = io.open, io.lines, io.input, io.output, os.remove, os.rename
local byte, sub = string.byte, string.sub
local refused = "precompiled chunks are not loaded"
local function binary(text) return type(text) == "string" and byte(text, 1) == 27 end
-- Anything else is not a name: the library's own function gives its argument error.
local function named(name) local kind = type(name) return kind == "string" or kind == "number" end
local function opened(name, mode)
    local path, problem = resolve(name, mode)
    if not path then error(problem, 3) end
    return path
end
_G.io.open = function(name, mode, ...)
    if not named(name) then return open(name, mode, ...) end
    local path, problem = resolve(name, mode)
    if not path then return nil, problem end
    return open(path, mode, ...)
end
-- A function whose first argument may be a file name, opened in mode (a file handle passes).
local function takingName(original, mode)
    return function(file, ...)
        if not named(file) then return original(file, ...) end
        return original(opened(file, mode), ...)
    end
end
_G.io.lines = takingName(lines, "r")
_G.io.input = takingName(input, "r")
_G.io.output = takingName(output, "w")
_G.os.remove = function(name, ...)
    if not named(name) then return remove(name, ...) end
    local path, problem = resolve(name, "r")
    if not path then return nil, problem end
    return remove(path, ...)
end
_G.os.rename = function(from, to, ...)
    if not named(from) or not named(to) then return rename(from, to, ...) end
    local fromPath, problem = resolve(from, "r")
    if not fromPath then return nil, problem end
    local toPath, toProblem = resolve(to, "w")
    if not toPath then return nil, toProblem end
    return rename(fromPath, toPath, ...)
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
-- No name reads standard input, which a game has no use for and would wait on.
local function loadfile(name)
    if not named(name) then return nil, "bad argument #1 to 'loadfile' (file name expected)" end
    name = tostring(name)
    local path, problem = resolve(name, "r")
    if not path then return nil, problem end
    local file = open(path, "rb")
    if not file then return nil, "cannot open " .. name end
    local text = file:read("*a")
    file:close()
    if not text then return nil, "cannot read " .. name end
    if binary(text) then return nil, refused end
    if sub(text, 1, 3) == "\239\187\191" then text = sub(text, 4) end
    -- A first line starting with "#" is skipped, as Lua's own loadfile does; the line stays counted.
    if byte(text, 1) == 35 then text = "--" .. text end
    return loadstring(text, "@" .. name)
end
_G.loadfile = loadfile
_G.dofile = function(name)
    local chunk, problem = loadfile(name)
    if not chunk then error(problem, 2) end
    return chunk()
end
-- What would run another program or end this one, and names outside the game folder.
_G.os.execute, _G.os.exit, _G.os.tmpname, _G.io.popen = nil, nil, nil, nil
package.path, package.cpath = "./?.lua", ""
)lua";

// resolve(name, mode): the host path of an engine path inside the game folder, for reading or
// (a mode that writes or appends) writing; nil and a message for a name outside it.
int ResolveGameFile(lua_State* L) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const char* mode = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : "r";
    const bool writes = mode[0] == 'w' || mode[0] == 'a';
    int count = 0;
    {
        const std::string name(text, length);
        const bool valid = name.find('\0') == std::string::npos;
        const bool inside = valid && HostFiles::StaysInGameFolder(".", name);
        const std::string path = !inside ? std::string() : writes ? HostFiles::ResolveForWrite(name) : HostFiles::Resolve(name);
        count = Script::PushProtected(L, [&](lua_State* S) {
            if (!inside) {
                lua_pushnil(S);
                lua_pushfstring(S, valid ? "%s: outside the game folder" : "%s: not a file name", name.c_str());
                return 2;
            }
            lua_pushlstring(S, path.data(), path.size());
            return 1;
        });
    }
    return Script::Results(L, count);
}

// Under lua_cpcall: the standard libraries, less what would let a script run Lua code from
// inside an engine function or escape the bounds. A Lua 5.1 finalizer (a `__gc` that is a Lua
// function on a userdata) runs unprotected during any allocation, so a script must not be
// able to make one: `newproxy` is gone, the debug library cannot set or read a userdata's
// metatable (nor reach the registry, nor replace the instruction hook), the file handles'
// metatable is hidden from getmetatable, and no native library can be loaded (one could open
// the base or debug library anew). File names go through the path layer (GuardedLibraries).
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
    if (luaL_loadbuffer(L, GuardedLibraries, std::strlen(GuardedLibraries), "=libraries") != 0) {
        lua_error(L);
    }
    lua_pushcfunction(L, ResolveGameFile);
    lua_call(L, 1, 0);
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
