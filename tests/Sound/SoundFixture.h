// A game folder in a temporary directory (the working directory while the test runs), a
// DirectSound device, manual time and the log's reports.
#pragma once

#include "WavFixtures.h"

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "platform/audio/DirectShow.h"
#include "platform/audio/DirectSound.h"

#include <filesystem>
#include <vector>

namespace WavFixtures {

class GameFolderTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        PlatformClock::UseManual();
        Cfg::ResetDefaults();
        CPLog::GetInstance().SetSink([this](const CPLogReport& r) { reports.push_back(r); });
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        CoInitialize(nullptr);
        DirectShowStandIn::ClearFailures();
        DirectShowStandIn::SetMediaDuration(120.0);
    }
    void TearDown() override {
        DirectShowStandIn::ClearFailures();
        CoUninitialize();
        SafeRelease(device);
        CPLog::GetInstance().SetSink({});
        Cfg::ResetDefaults();
        PlatformClock::UseReal();
        std::filesystem::current_path(previousDirectory);
        TempDirTest::TearDown();
    }
    // A sound file under Data/Sounds.
    void AddSound(const std::string& name, const Bytes& bytes) { WriteFile("Data/Sounds/" + name, bytes); }

    IDirectSound8* device = nullptr;
    std::vector<CPLogReport> reports;
    std::filesystem::path previousDirectory;
};

}  // namespace WavFixtures
