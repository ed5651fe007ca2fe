// What a script cannot do to the engine: attach a Lua finalizer, make the engine hold commands
// or screens without bound, take more memory than the state's limit, or run one resume for
// ever. Going past a bound is a script error with the script's file and line.
//
// Finalizers: scripts cannot make one any more, so the functions that push results built from
// engine data are checked with a finalizer the test installs from C. The collector is set to
// run a whole cycle at every allocation and the finalizer rearms itself, so it runs in the
// middle of the function's pushes.
#include "ScriptFixture.h"

#include "core/CPScriptTask.h"
#include "interface/CPGameData.h"

#include <filesystem>
#include <string>

namespace {

class ScriptLimits : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        lua_register(L(), "finalizer", MakeFinalizer);
    }

    // finalizer(f): a userdata, dropped at once, whose __gc calls f. A script has no way to
    // make one; the test reaches past the scripts' libraries.
    static int MakeFinalizer(lua_State* L) {
        luaL_checktype(L, 1, LUA_TFUNCTION);
        lua_newuserdata(L, 1);
        lua_createtable(L, 0, 1);
        lua_pushvalue(L, 1);
        lua_setfield(L, -2, "__gc");
        lua_setmetatable(L, -2);
        return 0;
    }

    // Runs pcall(call) (call: a function and its arguments) while a finalizer runs at every
    // allocation and does `action` at its run number `at` inside the call (the first run is
    // the call's first allocation). `acted` tells whether it did; the results are in `result`.
    void RunWithFinalizer(const std::string& action, int at, const std::string& call, const std::string& check) {
        Run("collectgarbage('collect')\n"
            "local function pack(...) return {n = select('#', ...), ...} end\n"
            "local function after(...) inside = false return pack(...) end\n"
            "local function call() return pcall(" + call + ") end\n"
            "runs, inside, acted, armed = 0, false, false, true\n"
            "local function arm()\n"
            "    finalizer(function()\n"
            "        if armed then arm() end\n"
            "        if inside then\n"
            "            runs = runs + 1\n"
            "            if runs == " + std::to_string(at) + " then acted = true " + action + " end\n"
            "        end\n"
            "    end)\n"
            "end\n"
            "call()\n"  // the stack and the call records grow to their size before the finalizer runs
            "collectgarbage('setpause', 0)\n"
            "collectgarbage('setstepmul', 1000000)\n"
            "collectgarbage('collect')\n"  // the pause counts from the end of a cycle
            "arm()\n"
            "inside = true\n"
            "result = after(call())\n"
            "armed = false\n"
            "collectgarbage('setpause', 200)\n"
            "collectgarbage('setstepmul', 200)\n"
            "collectgarbage('collect')\n" +
            check);
    }
};

TEST_F(ScriptLimits, AScriptHasNoWayToAttachAFinalizer) {
    Run("assert(newproxy == nil)\n"
        "assert(debug.setmetatable == nil and debug.getmetatable == nil)\n"
        "assert(debug.getregistry == nil and debug.sethook == nil)\n"
        "assert(getmetatable(io.stdout) == false)\n"
        "assert(not pcall(setmetatable, io.stdout, {}))\n"
        "assert(package.loadlib == nil and package.loaders[3] == nil and package.loaders[4] == nil)\n"
        // What stays: tables take metatables, tracebacks work.
        "assert(getmetatable(setmetatable({}, {__index = {}})) ~= nil)\n"
        "assert(type(debug.traceback()) == 'string')\n");
}

TEST_F(ScriptLimits, PrecompiledChunksAreRefusedByEveryLoader) {
    Run("local code = string.dump(function() return 1 end)\n"
        "local refused = 'precompiled chunks are not loaded'\n"
        "local f, message = loadstring(code)\n"
        "assert(f == nil and message == refused)\n"
        "local given = false\n"
        "f, message = load(function() if given then return nil end given = true return code end)\n"
        "assert(f == nil and message == refused)\n"
        "local file = io.open('chunk.out', 'wb') file:write(code) file:close()\n"
        "f, message = loadfile('chunk.out')\n"
        "assert(f == nil and message == refused)\n"
        "local ok, problem = pcall(dofile, 'chunk.out')\n"
        "assert(not ok and string.find(problem, refused, 1, true))\n"
        "string.byte = function() return 0 end\n"
        "assert(loadstring(code) == nil)\n"
        // Text still loads through each of them.
        "assert(loadstring('return 2')() == 2)\n"
        "given = false\n"
        "assert(load(function() if given then return nil end given = true return 'return 3' end)() == 3)\n"
        "file = io.open('chunk.out', 'wb') file:write('return 4') file:close()\n"
        "assert(loadfile('chunk.out')() == 4 and dofile('chunk.out') == 4)\n");
}

TEST_F(ScriptLimits, FileFunctionsStayInTheGameFolder) {
    // The scratch folder is the game folder; its parent is outside.
    const std::filesystem::path outside = dir.parent_path() / (dir.filename().string() + "_outside.txt");
    WriteFile("Data/Keep.txt", "kept");
    const std::string name = "../" + outside.filename().string();
    Run("local outside = '" + name + "'\n"
        "local function refused(f, ...) local r, m = f(...) return r == nil and m:find('outside the game folder', 1, true) end\n"
        "local function raises(f, ...) local ok, m = pcall(f, ...) return not ok and m:find('outside the game folder', 1, true) end\n"
        "for _, n in ipairs({outside, '/etc/passwd', '\\\\etc\\\\passwd', 'C:\\\\boot.ini', 'Data\\\\..\\\\..\\\\x'}) do\n"
        "    assert(refused(io.open, n), n) assert(refused(io.open, n, 'w'), n) assert(refused(io.open, n, 'a+'), n)\n"
        "    assert(raises(io.lines, n), n) assert(raises(io.input, n), n) assert(raises(io.output, n), n)\n"
        "    assert(refused(os.remove, n), n) assert(refused(os.rename, 'Data\\\\Keep.txt', n), n)\n"
        "    assert(refused(os.rename, n, 'Data\\\\x.txt'), n)\n"
        "    assert(refused(loadfile, n), n) assert(raises(dofile, n), n)\n"
        "end\n"
        "assert(io.open('a\\0b') == nil)\n"
        // Nothing runs another program, ends the game or names a file elsewhere.
        "assert(os.execute == nil and os.exit == nil and os.tmpname == nil and io.popen == nil)\n"
        "assert(package.path == './?.lua' and package.cpath == '')\n"
        // Wrong arguments still get the library's own errors.
        "assert(not pcall(io.open, {}) and not pcall(io.lines, true) and not pcall(os.remove))\n");
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_EQ(ReadFile("Data/Keep.txt"), "kept");
}

TEST_F(ScriptLimits, FileFunctionsTakeEnginePaths) {
    Run("local file = assert(io.open('DATA\\\\Notes.txt', 'w')) file:write('one\\ntwo\\n') file:close()\n"
        "local read = {} for line in io.lines('data\\\\NOTES.TXT') do read[#read + 1] = line end\n"
        "assert(#read == 2 and read[2] == 'two')\n"
        "assert(os.rename('Data\\\\notes.txt', 'Data\\\\Moved.txt'))\n"
        "assert(io.open('data/moved.txt', 'r')):close()\n"
        "assert(os.remove('DATA\\\\MOVED.TXT') and io.open('Data\\\\Moved.txt') == nil)\n"
        // A first line "#..." is skipped and a byte-order mark too; errors name the engine path.
        "file = io.open('Data\\\\Script.lua', 'wb') file:write('\\239\\187\\191#!lua\\nreturn 5, ...') file:close()\n"
        "assert(loadfile('data\\\\script.lua')(6) == 5 and select(2, dofile('Data\\\\Script.lua')) == nil)\n"
        "file = io.open('Data\\\\Bad.lua', 'wb') file:write('\\nerror(\"stop\")') file:close()\n"
        "local ok, message = pcall(dofile, 'Data\\\\Bad.lua')\n"
        "assert(not ok and message == 'Data\\\\Bad.lua:2: stop', message)\n"
        "assert(select(2, loadfile('Data\\\\None.lua')) == 'cannot open Data\\\\None.lua')\n"
        "assert(select(2, loadfile()) ~= nil)\n");
    EXPECT_EQ(ReadFile("Data/Script.lua").substr(3, 5), "#!lua");
}

TEST_F(ScriptLimits, FunctionsPushCopiesWhileAFinalizerChangesTheEngine) {
    // The bonus list cleared by a finalizer while GetBonusList walks it.
    Run("for i = 1, 50 do AddBonus(nil, i) end");
    RunWithFinalizer("ClearBonuses()", 2, "GetBonusList",
                     "assert(acted and result[1] == true and #result[2] == 50 and result[2][50][2] == 50)\n"
                     "assert(GetBonusesCount() == 0)\n");

    // The current command dropped by a finalizer while GetCurrentParams reads it.
    CPScriptTask task;
    task.Running = true;
    task.PushCommand({"first", {"first argument", "second argument", "third argument", "fourth argument"}});
    task.PushCommand({"second", {"x"}});
    SetHandle("task", static_cast<CPObject*>(&task));
    Run("assert(SetNextCommand(task))");
    RunWithFinalizer("SetNextCommand(task)", 2, "GetCurrentParams, task",
                     "assert(acted and result[1] == true and result.n == 5 and result[5] == 'fourth argument')\n"
                     "assert(GetCurrentCommand(task) == 'second')\n");

    // An error raised by a finalizer in the middle of the pushes comes out of the function as
    // its error, with nothing of the function's left behind (the leak check sees that).
    struct Row {
        const char* call;
    };
    for (const Row& row : {Row{"SplitString, 'a,b,c,d,e,f,g,h,i,j', ','"}, Row{"GetSaves"}, Row{"GetCarInfo"},
                           Row{"GetActionNames"}, Row{"GetRecords, 1"}, Row{"PointerToString, task"},
                           Row{"GetAIPositions"}, Row{"GetEnemyType, 1, false"}}) {
        RunWithFinalizer("error('from the finalizer')", 1, row.call,
                         "assert(acted == not result[1])\n"
                         "assert(result[1] or string.find(result[2], 'from the finalizer'), result[2])\n");
    }
}

TEST_F(ScriptLimits, ATaskThatNeverTakesItsCommandsStopsTheSender) {
    CPScriptTask deaf;
    deaf.Running = true;
    host->Dispatcher().RegisterName("deaf", &deaf);
    host->Dispatcher().RegisterCategory("deafs", &deaf);
    struct Row {
        const char* send;
        const char* message;
    };
    for (const Row& row : {Row{"SendCommandByName('deaf', 'c', '1,2')", "the command queue of \"deaf\" is full"},
                           Row{"SendCommandByCategory('deafs', 'c', '')", "of category \"deafs\" is full"},
                           Row{"SendCommandByName('deaf', 'c', string.rep('p', 100000))", "is full"}}) {
        deaf.Commands.clear();
        deaf.Current = nullptr;
        reports.clear();
        const ScriptError error = RunFailing("local n = 0\n"
                                             "while n < 100000 do\n"
                                             "    " + std::string(row.send) + "\n"
                                             "    n = n + 1\n"
                                             "end\n");
        EXPECT_NE(error.Message.find(row.message), std::string::npos) << error.Message;
        EXPECT_EQ(error.File, "test");
        EXPECT_EQ(error.Line, 3);
        EXPECT_LE(deaf.Commands.size(), CPScriptTask::MaxQueuedCommands);
        ASSERT_FALSE(reports.empty());
        EXPECT_NE(reports[0].Text.find("is full"), std::string::npos) << reports[0].Text;
    }
    // Once the task takes a command, there is room again.
    ASSERT_TRUE(deaf.NextCommand());
    ASSERT_TRUE(deaf.NextCommand());
    Run("SendCommandByName('deaf', 'more', '')");
    host->Dispatcher().Unregister(&deaf);
}

TEST_F(ScriptLimits, ScreensMadeWithoutEndAreAScriptError) {
    const ScriptError error = RunFailing("local screens = 0\n"
                                         "while screens < 100000 do\n"
                                         "    CreateInterface('none.int', 0)\n"
                                         "    screens = screens + 1\n"
                                         "end\n");
    EXPECT_NE(error.Message.find("CreateInterface: too many screens"), std::string::npos) << error.Message;
    EXPECT_EQ(error.Line, 3);
}

TEST_F(ScriptLimits, RunawayAllocationIsAScriptErrorWithFileAndLine) {
    host->Scripts().MemoryLimit = size_t{16} << 20;
    WriteFile("Data/Scripts/tables.lua", "local task = ...\nlocal t = {}\nfor i = 1, 400000 do\n"
                                         "    t[i] = {i, tostring(i)}\nend\n");
    WriteFile("Data/Scripts/string.lua", "local task = ...\nlocal s = string.rep('x', 64 * 1024 * 1024)\n");
    struct Row {
        const char* file;
        int line;
    };
    for (const Row& row : {Row{"tables.lua", 4}, Row{"string.lua", 2}}) {
        reports.clear();
        CPLuaScriptTask* task = host->StartScript(row.file, "", {});
        host->RunFrame(0.1f);
        EXPECT_FALSE(task->Running) << row.file;
        EXPECT_EQ(task->GetLastError().File, std::string("Data\\Scripts\\") + row.file);
        EXPECT_EQ(task->GetLastError().Line, row.line) << task->GetLastError().Message;
        EXPECT_NE(task->GetLastError().Message.find("memory limit of 16 MB"), std::string::npos)
            << task->GetLastError().Message;
        ASSERT_EQ(reports.size(), 1u) << row.file;
        EXPECT_EQ(reports[0].Line, row.line);
    }
    // A run of its own names the chunk; the state goes on once the garbage is gone.
    const ScriptError error = RunFailing("local s = string.rep('y', 32 * 1024 * 1024)");
    EXPECT_EQ(error.File, "test");
    EXPECT_NE(error.Message.find("memory limit"), std::string::npos) << error.Message;
    Run("collectgarbage('collect') local t = {} for i = 1, 1000 do t[i] = tostring(i) end");
    EXPECT_LT(host->Scripts().MemoryUsed(), host->Scripts().MemoryLimit);
}

TEST_F(ScriptLimits, AResumeThatNeverEndsIsAScriptErrorWithFileAndLine) {
    host->Scripts().InstructionLimit = 200000;
    WriteFile("Data/Scripts/loop.lua", "local task = ...\ncoroutine.yield()\nwhile true do\nend\n");
    // pcall does not hold it, nor does a coroutine of the script's own (whose error is told at
    // the line that resumed it).
    WriteFile("Data/Scripts/caught.lua", "local task = ...\nwhile true do\n"
                                         "    pcall(function() while true do end end)\nend\n");
    WriteFile("Data/Scripts/inner.lua", "local task = ...\n"
                                        "local inner = coroutine.wrap(function() while true do end end)\n"
                                        "inner()\n");
    // Many frames of work add up past the limit, but no one resume does.
    WriteFile("Data/Scripts/steady.lua", "local task = ...\nwhile true do\n"
                                         "    for i = 1, 10000 do end\n    coroutine.yield()\nend\n");
    CPLuaScriptTask* steady = host->StartScript("steady.lua", "", {});
    struct Row {
        const char* file;
        int line;
    };
    for (const Row& row : {Row{"loop.lua", 3}, Row{"caught.lua", 0}, Row{"inner.lua", 3}}) {
        reports.clear();
        CPLuaScriptTask* task = host->StartScript(row.file, "", {});
        for (int frame = 0; frame < 3; ++frame) {
            host->RunFrame(0.1f);
        }
        EXPECT_FALSE(task->Running) << row.file;
        EXPECT_EQ(task->GetLastError().File, std::string("Data\\Scripts\\") + row.file);
        if (row.line != 0) {
            EXPECT_EQ(task->GetLastError().Line, row.line) << task->GetLastError().Message;
        }
        EXPECT_NE(task->GetLastError().Message.find("more than 200000 instructions without yielding"), std::string::npos)
            << task->GetLastError().Message;
    }
    EXPECT_TRUE(steady->Running);
    EXPECT_EQ(RunFailing("local n = 0\nrepeat n = n + 1 until false").Line, 2);
    Run("local n = 0 for i = 1, 1000 do n = n + i end assert(n == 500500)");
}

TEST_F(ScriptLimits, AByteOrderMarkAtTheStartOfAScriptIsSkipped) {
    const std::string mark = "\xEF\xBB\xBF";
    WriteFile("Data/Scripts/marked.lua", mark + "local task = ...\nmarked = (marked or 0) + 1\n");
    EXPECT_TRUE(host->Scripts().RunFile("marked.lua"));
    CPLuaScriptTask* task = host->StartScript("marked.lua", "", {});
    host->RunFrame(0.1f);
    EXPECT_TRUE(task->Finished);
    EXPECT_TRUE(task->GetLastError().Message.empty()) << task->GetLastError().Message;
    Run("assert(marked == 2)");
    // Only one mark, only at the start.
    WriteFile("Data/Scripts/twice.lua", mark + mark + "x = 1\n");
    EXPECT_FALSE(host->Scripts().RunFile("twice.lua"));
}

}  // namespace
