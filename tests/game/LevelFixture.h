// The test level (TestLevelFiles) in a game folder of its own, with a headless host made in
// it (every singleton a level uses), the log's reports collected and frames stepped through
// the host.
#pragma once

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "host/Host.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"
#include "tests/game/TestLevelFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace LevelFixture {

class LevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestLevelFiles::Write(dir);
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { reports.push_back(report.Text); });
        host = std::make_unique<Host>();
    }
    void TearDown() override {
        host.reset();  // deletes a level still current
        CPLog::GetInstance().SetSink({});
        Cfg::ResetDefaults();
        HostFiles::ClearCache();
    }

    // A new current level, loaded from the game folder.
    CPLevel* LoadLevel(const std::string& name = TestLevelFiles::LevelName, bool single = false, bool timed = false) {
        HostFiles::ClearCache();
        CPLevel* level = CPLevel::CreateCurrent();
        loaded = level->Load(name, single, timed);
        return level;
    }
    void Run(int frames, float seconds = 1.0f / 60.0f) {
        for (int i = 0; i < frames; ++i) host->RunFrame(seconds);
    }
    bool Listed(const CPTask* task) const {
        for (const CPtr<CPTask>& listed : host->Scheduler().Tasks) {
            if (listed.Get() == task) return true;
        }
        return false;
    }
    int Reports(const std::string& part) const {
        int count = 0;
        for (const std::string& report : reports) count += report.find(part) != std::string::npos;
        return count;
    }

    ScratchFolder scratch{"level_test"};  // first: left and removed after the host is gone
    const std::filesystem::path& dir = scratch.Path();
    std::vector<std::string> reports;
    std::unique_ptr<Host> host;
    bool loaded = false;
};

}  // namespace LevelFixture
