// The script fixture with the test level's files in its game folder (TestLevelFiles) and a
// running script task in the category "main", the global "inbox" of the state, so scripts can
// read the commands the level functions send.
#pragma once

#include "ScriptFixture.h"

#include "game/CPLevel.h"
#include "script/CPScriptRuntime.h"
#include "tests/game/TestLevelFiles.h"

#include <memory>

class LevelScriptTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        TestLevelFiles::Write(dir);
        HostFiles::ClearCache();
        Cfg::weight_div = 1;
        inbox = std::make_unique<CPLuaScriptTask>(host->Scripts(), "none.lua");
        inbox->Running = true;
        host->RegisterScriptTask(inbox.get(), "inbox", {"main"});
        SetHandle("inbox", static_cast<CPObject*>(inbox.get()));
    }
    void TearDown() override {
        host->UnregisterScriptTask(inbox.get());
        delete CPLevel::Current;  // before the host's singletons go
        inbox.reset();
        ScriptTest::TearDown();
    }
    // The test level loaded as InitLevel loads it; the current level.
    CPLevel* LoadLevel() {
        Run(std::string("InitLevel(\"") + TestLevelFiles::LevelName + "\", false)");
        return CPLevel::Current;
    }

    std::unique_ptr<CPLuaScriptTask> inbox;
};
