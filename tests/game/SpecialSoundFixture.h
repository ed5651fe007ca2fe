// Special sounds of the sound manager ("fast", "slam", ...) in a game folder of the test's own
// (the current folder while they live), each a plain sound of one 2 s WAV played through the
// DirectSound stand-in so a test can count its starts; their manager is the current one. With
// a still clock, a sound that started keeps playing.
#pragma once

#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "platform/audio/DirectSound.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Com.h"
#include "tests/Sound/WavFixtures.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class SpecialSoundFixture {
public:
    enum ClockMode { StillClock, RealClock };

    SpecialSoundFixture(const std::vector<std::string>& names, const std::string& folderTag,
                        ClockMode clock = StillClock)
        : scratch(folderTag), stillClock(clock == StillClock) {
        const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(88200));
        scratch.Write("Data/Sounds/s.wav", std::string(wav.begin(), wav.end()));
        if (stillClock) {
            PlatformClock::UseManual();
        }
        EXPECT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        for (const std::string& name : names) {
            sounds.push_back(std::make_unique<CNSound>(device, "Data\\Sounds\\s.wav", 0));
            manager.SpecialSounds[name] = sounds.back().get();
        }
        CPSoundManager::Instance = &manager;
    }
    ~SpecialSoundFixture() {
        CPSoundManager::Instance = nullptr;
        manager.SpecialSounds.clear();
        sounds.clear();
        SafeRelease(device);
        if (stillClock) {
            PlatformClock::UseReal();
        }
    }
    SpecialSoundFixture(const SpecialSoundFixture&) = delete;
    SpecialSoundFixture& operator=(const SpecialSoundFixture&) = delete;

    CNSound& Sound(const std::string& name) { return *manager.SpecialSounds[name].Get(); }
    static DirectSoundStandIn::Buffer& Buffer(CNSound& sound) {
        return *static_cast<DirectSoundStandIn::Buffer*>(sound.Buffer);
    }
    // How often the named sound started; -1 when it has no buffer.
    int Plays(const std::string& name) {
        auto* buffer = static_cast<DirectSoundStandIn::Buffer*>(Sound(name).Buffer);
        return buffer != nullptr ? buffer->PlayCalls() : -1;
    }

private:
    ScratchFolder scratch;  // first: the folder outlives the sounds read from it
    bool stillClock;
    IDirectSound8* device = nullptr;
    std::vector<std::unique_ptr<CNSound>> sounds;
    CPSoundManager manager;
};
