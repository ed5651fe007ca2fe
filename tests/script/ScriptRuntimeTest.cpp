// The script runtime: script files from "Data\Scripts" run as coroutine tasks of the host that
// take the commands sent to them by name, object and category in order; errors are logged with
// their file and line and end only their own task.
#include "ScriptFixture.h"

#include "core/PackFiles.h"
#include "scene/CPGameObject.h"

#include <string>

namespace {

class ScriptRuntime : public ScriptTest {
protected:
    // The global "log" of the state as one text.
    std::string Log() {
        lua_getglobal(L(), "log");
        const char* text = lua_tostring(L(), -1);
        std::string result = text != nullptr ? text : "";
        lua_pop(L(), 1);
        return result;
    }
};

// A script that appends every command it receives to the global "log" and ends on "quit".
constexpr const char* Listener = R"(local task = ...
log = log or ""
while true do
    while SetNextCommand(task) do
        local name = GetCurrentCommand(task)
        if name == "quit" then return end
        log = log .. name .. "(" .. table.concat({GetCurrentParams(task)}, "|") .. ");"
    end
    local dt = coroutine.yield()
    assert(type(dt) == "number")
end
)";

TEST_F(ScriptRuntime, CommandsByNameObjectAndCategoryReachTheScriptInOrder) {
    WriteFile("Data/Scripts/listener.lua", Listener);
    CPLuaScriptTask* task = host->StartScript("Listener.lua", "jeep", {"main", "level"});
    ASSERT_NE(task, nullptr);
    EXPECT_TRUE(task->Running);
    CPGameObject car("car");
    car.SetScriptObject(CPtr<CPScriptTask>(task));
    SetHandle("car", static_cast<CPObject*>(&car));

    Run(R"(
        SendCommandByName("jeep", "a", "1,2")
        SendCommandByCategory("level", "b", "")
        SendCommandByObject(car, "c", "x, \"y,z\"")
        SendCommandByName("nobody", "lost", "")
        SendCommandByCategory("interface", "lost", "")
    )");
    host->RunFrame(0.1f);
    EXPECT_EQ(Log(), "a(1|2);b();c(x|y,z);");

    // Later commands arrive at later frames, still in sending order.
    Run(R"(SendCommandByName("jeep", "d", "") SendCommandByName("jeep", "e", "3"))");
    host->RunFrame(0.1f);
    EXPECT_EQ(Log(), "a(1|2);b();c(x|y,z);d();e(3);");

    // The chunk returning ends the task; the sweep takes it off the list.
    Run(R"(SendCommandByName("jeep", "quit", ""))");
    host->RunFrame(0.1f);
    EXPECT_FALSE(task->Running);
    EXPECT_TRUE(task->Finished);
    EXPECT_TRUE(task->GetLastError().Message.empty());
    Run(R"(SendCommandByName("jeep", "late", ""))");
    host->RunFrame(0.1f);
    EXPECT_EQ(Log(), "a(1|2);b();c(x|y,z);d();e(3);");
    EXPECT_TRUE(reports.empty());
}

TEST_F(ScriptRuntime, AScriptErrorIsLoggedWithFileAndLineAndEndsOnlyItsTask) {
    WriteFile("Data/Scripts/listener.lua", Listener);
    WriteFile("Data/Scripts/broken.lua", "local task = ...\ncoroutine.yield()\nlocal x = nil\nx.field = 1\n");
    CPLuaScriptTask* good = host->StartScript("listener.lua", "good", {});
    CPLuaScriptTask* bad = host->StartScript("broken.lua", "bad", {});
    host->RunFrame(0.1f);
    EXPECT_TRUE(bad->Running);
    host->RunFrame(0.1f);
    EXPECT_FALSE(bad->Running);
    EXPECT_EQ(bad->GetLastError().File, "Data\\Scripts\\broken.lua");
    EXPECT_EQ(bad->GetLastError().Line, 4);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].File, "Data\\Scripts\\broken.lua");
    EXPECT_EQ(reports[0].Line, 4);
    EXPECT_NE(reports[0].Text.find("attempt to index"), std::string::npos) << reports[0].Text;

    // The other script goes on.
    Run(R"(SendCommandByName("good", "still", ""))");
    host->RunFrame(0.1f);
    EXPECT_TRUE(good->Running);
    EXPECT_EQ(Log(), "still();");
}

TEST_F(ScriptRuntime, ScriptsThatCannotStartAreReportedAndFinished) {
    struct Row {
        const char* file;
        const char* text;  // null: no file
        int line;
    };
    WriteFile("Data/Scripts/syntax.lua", "local a = \n\n(");
    WriteFile("Data/Scripts/binary.lua", std::string("\x1bLua\x51", 5) + std::string(40, '\0'));
    for (const Row& row : {Row{"missing.lua", nullptr, 0}, Row{"syntax.lua", "", 3}, Row{"binary.lua", "", 0}}) {
        reports.clear();
        CPLuaScriptTask* task = host->StartScript(row.file, "", {});
        ASSERT_NE(task, nullptr);
        EXPECT_FALSE(task->Running) << row.file;
        EXPECT_TRUE(task->Finished) << row.file;
        ASSERT_EQ(reports.size(), 1u) << row.file;
        EXPECT_EQ(reports[0].File, std::string("Data\\Scripts\\") + row.file);
        EXPECT_EQ(reports[0].Line, row.line) << reports[0].Text;
    }
    host->RunFrame(0.1f);  // nothing runs, nothing breaks
}

TEST_F(ScriptRuntime, ScriptsAreFoundInThePackFiles) {
    const std::string text = "local task = ...\npacked = (packed or 0) + 1\n";
    std::vector<uint8_t> pack;
    ASSERT_TRUE(PackFormat::Encode({{"data\\scripts\\packed.lua", std::vector<uint8_t>(text.begin(), text.end())}}, pack));
    WriteFile("game.pak", std::string(pack.begin(), pack.end()));
    ASSERT_EQ(host->AddPackFiles(), 1);
    EXPECT_TRUE(host->Scripts().RunFile("Packed.lua"));
    CPLuaScriptTask* task = host->StartScript("packed.lua", "", {});
    host->RunFrame(0.1f);
    EXPECT_TRUE(task->Finished);
    Run("assert(packed == 2)");
    PackFiles.clear();
}

TEST_F(ScriptRuntime, RunStringAndRunFileReportErrorsAndKeepTheStateUsable) {
    WriteFile("Data/Scripts/setup.lua", "value = 41\nfunction bump() value = value + 1 end\n");
    ScriptError error;
    EXPECT_TRUE(host->Scripts().RunFile("SETUP.LUA", &error));
    Run("bump() assert(value == 42)");

    error = RunFailing("local t = {}\n\nerror('boom')");
    EXPECT_EQ(error.File, "test");
    EXPECT_EQ(error.Line, 3);
    EXPECT_NE(error.Message.find("boom"), std::string::npos);
    EXPECT_EQ(lua_gettop(L()), 0);
    error = RunFailing("error({})");
    EXPECT_EQ(error.Message, "(error object is not a string)");
    EXPECT_FALSE(host->Scripts().RunFile("absent.lua", &error));
    Run("assert(value == 42)");
}

TEST_F(ScriptRuntime, AYieldReturnsTheFrameTimeAndKilledTasksEndAtTheSweep) {
    WriteFile("Data/Scripts/timer.lua", "local task = ...\ntotal = 0\nwhile true do total = total + coroutine.yield() end\n");
    CPLuaScriptTask* task = host->StartScript("timer.lua", "timer", {});
    host->RunFrame(0.25f);  // starts the chunk
    host->RunFrame(0.5f);
    host->RunFrame(0.25f);
    lua_getglobal(L(), "total");
    EXPECT_EQ(lua_tonumber(L(), -1), 0.75);
    lua_pop(L(), 1);

    Run("KillAllTasks()");
    host->RunFrame(0.25f);
    EXPECT_FALSE(task->Running);
    // Started again, the script begins anew.
    EXPECT_TRUE(host->Scheduler().AddTask(CPtr<CPLuaScriptTask>(task)));
    host->RunFrame(0.5f);
    lua_getglobal(L(), "total");
    EXPECT_EQ(lua_tonumber(L(), -1), 0.0);
    lua_pop(L(), 1);
}

TEST_F(ScriptRuntime, TheHostOwnsTheRuntimeTheTimerAndItsScriptTasks) {
    WriteFile("Data/Scripts/forever.lua", "local task = ...\nwhile true do coroutine.yield() end\n");
    EXPECT_EQ(CPScriptRuntime::Instance, &host->Scripts());
    EXPECT_EQ(CPGlobalTimer::Instance, &host->GlobalTimer());
    CPLuaScriptTask* task = host->StartScript("forever.lua", "forever", {"main"}, 700);
    EXPECT_EQ(task->Priority, 700);
    EXPECT_EQ(host->Dispatcher().FindObject("forever").Get(), task);
    host->RunFrame(0.1f);
    Run("StartGlobalTimer()");
    // The host ends with a running script and a running timer, and leaves nothing behind.
    host.reset();
    EXPECT_EQ(CPScriptRuntime::Instance, nullptr);
    EXPECT_EQ(CPGlobalTimer::Instance, nullptr);
}

TEST_F(ScriptRuntime, ATaskOutlivingItsRuntimeRunsNothing) {
    WriteFile("Data/Scripts/timer.lua", "local task = ...\nwhile true do coroutine.yield() end\n");
    auto runtime = std::make_unique<CPScriptRuntime>();
    CPLuaScriptTask task(*runtime, "timer.lua");
    EXPECT_TRUE(task.Start());
    task.Update();
    runtime.reset();
    task.Update();
    task.Stop();
    EXPECT_FALSE(task.Start());
}

}  // namespace
