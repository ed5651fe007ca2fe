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
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestTempDir("script_test");
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "Data" / "Scripts");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
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
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
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
    void WriteFile(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string ReadFile(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir;
    std::filesystem::path previous;
    std::vector<CPLogReport> reports;
    std::unique_ptr<Host> host;
};
