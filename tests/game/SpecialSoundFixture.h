// One special sound of the sound manager ("fast", "slam", ...) in a game folder of the test's
// own (the working directory while it lives), played through the DirectSound stand-in so a
// test can count its starts. With a still clock, a sound that started keeps playing.
#pragma once

#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "platform/audio/DirectSound.h"
#include "platform/win32/Clock.h"
#include "tests/Sound/WavFixtures.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class SpecialSoundFixture {
public:
    SpecialSoundFixture(const std::string& name, const std::string& folderTag, bool stillClock)
        : dir(TestTempDir(folderTag)), previous(std::filesystem::current_path()), stillClock(stillClock) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "Data" / "Sounds");
        const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(88200));
        std::ofstream(dir / "Data" / "Sounds" / (name + ".wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
        std::filesystem::current_path(dir);
        if (stillClock) {
            PlatformClock::UseManual();
        }
        EXPECT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        sound = std::make_unique<CNSound>(device, "Data\\Sounds\\" + name + ".wav", 0);
        manager.SpecialSounds[name] = sound.get();
        CPSoundManager::Instance = &manager;
    }
    ~SpecialSoundFixture() {
        CPSoundManager::Instance = nullptr;
        manager.SpecialSounds.clear();
        sound.reset();
        SafeRelease(device);
        if (stillClock) {
            PlatformClock::UseReal();
        }
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    int Plays() const {
        auto* buffer = static_cast<DirectSoundStandIn::Buffer*>(sound->Buffer);
        return buffer != nullptr ? buffer->PlayCalls() : -1;
    }

    std::filesystem::path dir;
    std::filesystem::path previous;
    IDirectSound8* device = nullptr;
    std::unique_ptr<CNSound> sound;
    CPSoundManager manager;

private:
    bool stillClock;
};
