// A game folder in a temporary directory (the working directory while the test runs), manual
// time, default configuration, the log's reports, and a headless host whose script runtime
// runs the test's Lua snippets.
#pragma once

#include "host/Host.h"

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/files/HostFiles.h"
#include "platform/win32/Clock.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "Data" / "Scripts");
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        PlatformClock::UseManual();
        CPLog::GetInstance().SetSink([this](const CPLogReport& r) { reports.push_back(r); });
        host = std::make_unique<Host>();
    }
    void TearDown() override {
        host.reset();
        CPLog::GetInstance().SetSink({});
        PlatformClock::UseReal();
        Cfg::ResetDefaults();
        HostFiles::ClearCache();
    }

    lua_State* L() { return host->Scripts().State(); }

    // Runs the snippet; a failing assert (or any error) fails the test with its message.
    void Run(const std::string& code) {
        ScriptError error;
        EXPECT_TRUE(host->Scripts().RunString(code, "test", &error)) << error.Message;
    }
    // Runs the snippet, which must fail; its error.
    ScriptError RunFailing(const std::string& code) {
        ScriptError error;
        EXPECT_FALSE(host->Scripts().RunString(code, "test", &error)) << code;
        return error;
    }
    // A global of the state holding a handle.
    void SetHandle(const char* name, const void* object) {
        lua_pushlightuserdata(L(), const_cast<void*>(object));
        lua_setglobal(L(), name);
    }
    void WriteFile(const std::string& name, const std::string& bytes) { scratch.Write(name, bytes); }
    std::string ReadFile(const std::string& name) { return scratch.Read(name); }

    ScratchFolder scratch{"script_test"};  // first: left and removed after the host is gone
    const std::filesystem::path& dir = scratch.Path();
    std::vector<CPLogReport> reports;
    std::unique_ptr<Host> host;
};
