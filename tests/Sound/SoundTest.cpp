#include "Sound/NSound.h"
#include "Sound/PMusic.h"
#include "Sound/PSoundManager.h"

#include "SoundFixture.h"

#include "core/Singletons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using namespace WavFixtures;
using DirectSoundStandIn::StandIn;

class Sound : public GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        cache.Device = device;
        manager.Cache = &cache;
        CPSoundManager::Instance = &manager;
        AddSound("mono8.wav", PcmWav(1, 8000, 8, Samples(800)));
        AddSound("mono16.wav", PcmWav(1, 22050, 16, Samples(4410)));
    }
    void TearDown() override {
        manager.SpecialSounds.clear();
        cache.Entries.clear();
        for (CNSound* sound : owned) {
            delete sound;
        }
        EXPECT_TRUE(CNSound::AllSounds.empty());
        CNSound::GlobalVolume = 0.0f;
        CPSoundManager::Instance = nullptr;
        GameFolderTest::TearDown();
    }
    // Loads through the manager and keeps the sound for deletion at the end.
    CPtr<CNSound> Load(const std::string& name, int is3D = 0, bool unique = false) {
        CPtr<CNSound> sound;
        manager.LoadSound(sound, name, is3D, unique);
        if (sound && std::find(owned.begin(), owned.end(), sound.Get()) == owned.end()) {
            owned.push_back(sound.Get());
        }
        return sound;
    }
    DirectSoundStandIn::Buffer* BufferOf(const CPtr<CNSound>& sound) { return StandIn(sound->Buffer); }

    CPSoundCache cache;
    CPSoundManager manager;
    std::vector<CNSound*> owned;
};

TEST_F(Sound, LoadsTheWholeWaveIntoItsBuffer) {
    CPtr<CNSound> sound = Load("mono16.wav");
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->Loaded);
    EXPECT_EQ(sound->Name, "Data\\Sounds\\mono16.wav");
    EXPECT_EQ(sound->GetTypeName(), "CNSound_Data\\Sounds\\mono16.wav");
    EXPECT_EQ(sound->BufferSize, 4410u);
    EXPECT_EQ(sound->BaseFrequency, 22050u);
    EXPECT_EQ(BufferOf(sound)->Data(), Samples(4410));
    EXPECT_EQ(BufferOf(sound)->Flags(), DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY);
    EXPECT_EQ(sound->Buffer3D, nullptr);
    EXPECT_EQ(BufferOf(sound)->Volume(), -7000);  // GlobalVolume starts at 0
    EXPECT_EQ(CNSound::AllSounds.size(), 1u);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(GetSoundManager(), &manager);
}

TEST_F(Sound, BitrateChoosesTheThreeDAlgorithm) {
    struct Case {
        int is3D;
        int bitrate;
        GUID algorithm;
        DWORD flags;
    };
    const DWORD controls = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
    const Case cases[] = {
        {1, 16, DS3DALG_HRTF_FULL, controls | DSBCAPS_CTRL3D},
        {1, 8, DS3DALG_HRTF_LIGHT, controls | DSBCAPS_CTRL3D},
        {0, 16, DS3DALG_DEFAULT, controls},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitrate);
        Cfg::bitrate = c.bitrate;
        CPtr<CNSound> sound = Load("mono8.wav", c.is3D, true);
        ASSERT_TRUE(sound);
        EXPECT_EQ(BufferOf(sound)->Algorithm(), c.algorithm);
        EXPECT_EQ(BufferOf(sound)->Flags(), c.flags);
        EXPECT_EQ(sound->Buffer3D != nullptr, c.is3D == 1);
        if (c.is3D == 1) {
            // Loading sets the distances 1..1000 and normal 3-D processing.
            EXPECT_EQ(BufferOf(sound)->Parameters3D().flMinDistance, 1.0f);
            EXPECT_EQ(BufferOf(sound)->Parameters3D().flMaxDistance, 1000.0f);
            EXPECT_EQ(BufferOf(sound)->Parameters3D().dwMode, DS3DMODE_NORMAL);
        }
    }
}

TEST_F(Sound, VolumeTableAndAllSounds) {
    CPtr<CNSound> a = Load("mono8.wav");
    CPtr<CNSound> b = Load("mono16.wav");
    struct Case {
        float volume;
        LONG attenuation;
    };
    // Out-of-range volumes are clamped to 0..1.
    const Case cases[] = {{1.0f, 0}, {0.5f, -437}, {0.0f, -7000}, {2.0f, 0}, {-1.0f, -7000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        EXPECT_EQ(a->SetVolume(c.volume), DS_OK);
        EXPECT_EQ(BufferOf(a)->Volume(), c.attenuation);
    }
    EXPECT_TRUE(reports.empty());

    CPSoundManager::SetSoundVolume(0.5f);
    EXPECT_EQ(Cfg::soundVolume, 0.5f);
    EXPECT_EQ(CNSound::GlobalVolume, 0.5f);
    EXPECT_EQ(BufferOf(a)->Volume(), -437);
    EXPECT_EQ(BufferOf(b)->Volume(), -437);
    // A sound loaded later takes the global volume.
    CPtr<CNSound> c = Load("mono8.wav");
    EXPECT_EQ(BufferOf(c)->Volume(), -437);
    EXPECT_EQ(CNSound::AllSounds.size(), 3u);
    owned.erase(std::find(owned.begin(), owned.end(), c.Get()));
    delete c.Get();
    c.MakeNull();
    EXPECT_EQ(CNSound::AllSounds, (std::list<CNSound*>{a.Get(), b.Get()}));
}

TEST_F(Sound, FailedCallsAreReportedAtTheirLines) {
    CPtr<CNSound> sound = Load("mono16.wav");
    auto* buffer = BufferOf(sound);
    struct Case {
        const char* method;
        std::function<HRESULT()> call;
        int line;
    };
    const Case cases[] = {
        {"SetFrequency", [&] { return sound->SetFrequencyRatio(1.5f); }, 19},
        {"GetFrequency",
         [&] {
             sound->BaseFrequency = 0;  // not yet known: the refill reads it
             return sound->FillBuffer(sound->Buffer, false);
         },
         117},
        {"SetFrequency", [&] { return sound->Play(0, 0); }, 167},
        {"SetVolume", [&] { return sound->ApplyGlobalVolume(); }, 203},
        {"SetVolume", [&] { return sound->SetVolume(0.5f); }, 212},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        reports.clear();
        buffer->FailNext(c.method, DSERR_GENERIC);
        EXPECT_EQ(c.call(), 0);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].File, "Sound/NSound");
        EXPECT_EQ(reports[0].Line, c.line);
        EXPECT_EQ(reports[0].Level, 0);
        EXPECT_EQ(reports[0].Result, DSERR_GENERIC);
    }
    EXPECT_FALSE(buffer->IsPlaying());  // the failed Play never started it
    // A ratio with no frequency is refused like an out-of-range one.
    sound->BaseFrequency = 22050;  // lost with the failed read above
    reports.clear();
    EXPECT_EQ(sound->SetFrequencyRatio(-1.0f), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Line, 19);
}

TEST_F(Sound, MissingWaveGivesNullAndOneReportAtLevelOne) {
    CPtr<CNSound> sound = Load("nothere.wav");
    EXPECT_FALSE(sound);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].File, "Sound/NSound");
    EXPECT_EQ(reports[0].Line, 46);
    EXPECT_EQ(reports[0].Level, 1);
    // The system's report, then the sound it was about.
    EXPECT_EQ(reports[0].Text.rfind("DXError if Sound/NSound on line 46\n", 0), 0u) << reports[0].Text;
    EXPECT_TRUE(reports[0].Text.ends_with("\nsound Data\\Sounds\\nothere.wav: missing or not a wave file\n"))
        << reports[0].Text;
    EXPECT_TRUE(CNSound::AllSounds.empty());

    // A sound without a buffer does nothing and reports nothing.
    reports.clear();
    CNSound unloaded(device, "Data\\Sounds\\nothere.wav", 0);
    reports.clear();
    EXPECT_FALSE(unloaded.IsPlaying());
    unloaded.Stop();
    unloaded.Rewind();
    EXPECT_EQ(unloaded.Play(0, 0), 0);
    EXPECT_EQ(unloaded.SetVolume(1.0f), 0);
    EXPECT_EQ(unloaded.SetFrequencyRatio(2.0f), 0);
    EXPECT_TRUE(reports.empty());

    // A stereo wave cannot be a 3-D sound.
    AddSound("stereo.wav", PcmWav(2, 8000, 8, Samples(64)));
    reports.clear();
    EXPECT_FALSE(Load("stereo.wav", 1));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Result, DSERR_INVALIDPARAM);
    EXPECT_TRUE(reports[0].Text.ends_with("\nsound Data\\Sounds\\stereo.wav: a format the buffer cannot take\n"))
        << reports[0].Text;
}

TEST_F(Sound, PlayUndoesTheFrequencyRatioAndOneShotsEnd) {
    CPtr<CNSound> sound = Load("mono16.wav");  // 4410 bytes at 44100 bytes/s: 100 ms
    EXPECT_EQ(sound->SetFrequencyRatio(2.0f), DS_OK);
    EXPECT_EQ(BufferOf(sound)->Frequency(), 44100u);
    ASSERT_EQ(sound->Play(0, 0), DS_OK);
    EXPECT_EQ(BufferOf(sound)->Frequency(), 22050u);
    EXPECT_TRUE(sound->IsPlaying());
    PlatformClock::AdvanceMilliseconds(100);
    EXPECT_FALSE(sound->IsPlaying());
    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), DS_OK);
    PlatformClock::AdvanceMilliseconds(1050);
    EXPECT_TRUE(sound->IsPlaying());
    sound->Stop();
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_NE(BufferOf(sound)->PlayCursor(), 0u);
    sound->Rewind();
    EXPECT_EQ(BufferOf(sound)->PlayCursor(), 0u);
}

TEST_F(Sound, LostBufferOnPlayIsRestoredRefilledAndRewound) {
    CPtr<CNSound> sound = Load("mono16.wav");
    auto* buffer = BufferOf(sound);
    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), DS_OK);
    PlatformClock::AdvanceMilliseconds(30);
    buffer->MakeLost();
    buffer->FailRestores(3);
    const int restoresBefore = buffer->RestoreCalls();

    ASSERT_EQ(sound->Play(0, 0), DS_OK);
    EXPECT_EQ(buffer->RestoreCalls() - restoresBefore, 4);
    EXPECT_EQ(PlatformClock::SleptMilliseconds(), 30u);
    EXPECT_EQ(buffer->Data(), Samples(4410));
    EXPECT_EQ(buffer->PlayCursor(), 0u);
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_FALSE(buffer->IsLooping());

    // A buffer that stays lost is given up on after a bounded number of attempts.
    buffer->MakeLost();
    buffer->FailRestores(1000);
    const int attemptsBefore = buffer->RestoreCalls();
    EXPECT_EQ(sound->Play(0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->RestoreCalls() - attemptsBefore, CNSound::MaxRestoreAttempts);
    EXPECT_FALSE(sound->IsPlaying());
}

TEST_F(Sound, RefillHandlesShortAndUnreadableWaves) {
    // "data" claims 600 bytes but the file holds 200: the buffer is made for the 200 there.
    Bytes bytes = PcmWav(1, 8000, 8, Samples(600));
    bytes.resize(bytes.size() - 400);
    AddSound("cut8.wav", bytes);
    CPtr<CNSound> sound = Load("cut8.wav");
    ASSERT_TRUE(sound);
    const Bytes samples = Samples(600);
    const Bytes held(samples.begin(), samples.begin() + 200);
    EXPECT_EQ(BufferOf(sound)->Data(), held);
    // A wave that reads nothing leaves silence (0x80 for 8-bit samples), and with repeat it
    // does not loop for ever either.
    sound->Wave->Close();
    EXPECT_EQ(sound->FillBuffer(sound->Buffer, true), 0);
    EXPECT_EQ(BufferOf(sound)->Data(), Bytes(200, 0x80));
    // A buffer that cannot be locked is left as it is; its frequency is still learnt.
    sound->BaseFrequency = 0;
    BufferOf(sound)->FailNext("Lock", DSERR_INVALIDCALL);
    EXPECT_EQ(sound->FillBuffer(sound->Buffer, false), DSERR_INVALIDCALL);
    EXPECT_EQ(BufferOf(sound)->OutstandingLocks(), 0);
    EXPECT_EQ(sound->BaseFrequency, 8000u);
}

TEST_F(Sound, RefillAfterALostBufferKeepsTheBaseFrequency) {
    // An engine sound pitched up when the device is taken away: the refill must not take
    // the pitched frequency for the base, or every later ratio would compound on it.
    CPtr<CNSound> sound = Load("mono16.wav");
    ASSERT_EQ(sound->SetFrequencyRatio(2.0f), DS_OK);
    BufferOf(sound)->MakeLost();
    ASSERT_EQ(sound->Play(0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(sound->BaseFrequency, 22050u);
    EXPECT_EQ(BufferOf(sound)->Frequency(), 22050u);
    ASSERT_EQ(sound->SetFrequencyRatio(1.5f), DS_OK);
    EXPECT_EQ(BufferOf(sound)->Frequency(), 33075u);
}

TEST_F(Sound, CacheSpecialSoundsAndThreeDPlacement) {
    CPtr<CNSound> first = Load("mono8.wav");
    CPtr<CNSound> second = Load("mono8.wav");
    EXPECT_NE(first, second);  // nothing cached unless the host lists it
    cache.Entries.push_back({"mono8.wav", first});
    EXPECT_EQ(Load("mono8.wav"), first);
    CPtr<CNSound> found;
    cache.FindSound(found, "MONO8.wav");
    EXPECT_FALSE(found);  // names are case-sensitive
    CPtr<CNSound> fresh = Load("mono8.wav", 0, true);
    EXPECT_NE(fresh, first);

    CPtr<CNSound> special = first;
    manager.GetSpecialSound(special, "slam");
    EXPECT_FALSE(special);
    EXPECT_EQ(manager.SpecialSounds.count("slam"), 1u);
    manager.SpecialSounds["bonus_plus"] = second;
    manager.GetSpecialSound(special, "bonus_plus");
    EXPECT_EQ(special, second);

    CPtr<CNSound> spatial = Load("mono16.wav", 1);
    CPSoundManager::SetSoundPosition(spatial, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, -5));
    CPSoundManager::SetSoundDistances(spatial, 2.0f, 50.0f);
    const DS3DBUFFER& p = BufferOf(spatial)->Parameters3D();
    EXPECT_EQ(p.vPosition.z, 3.0f);
    EXPECT_EQ(p.vVelocity.z, -5.0f);
    EXPECT_EQ(p.flMinDistance, 2.0f);
    EXPECT_EQ(p.flMaxDistance, 50.0f);
    EXPECT_EQ(spatial->Params3D.vPosition.x, 1.0f);
    // Null and plain sounds are passed over.
    CPSoundManager::SetSoundPosition(nullptr, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3());
    CPSoundManager::SetSoundDistances(nullptr, 1.0f, 2.0f);
    CPSoundManager::SetSoundPosition(first, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3());
    EXPECT_EQ(first->Params3D.vPosition.x, 0.0f);

    manager.Cache = nullptr;
    CPtr<CNSound> none = first;
    manager.LoadSound(none, "mono8.wav", 0, false);
    EXPECT_FALSE(none);
}

TEST_F(Sound, ACacheThatSharesReadsEachNameOnceAndDeletesWhatItEntered) {
    CNSound* shared = nullptr;
    {
        CPSoundCache sharing;
        sharing.Device = device;
        sharing.Share = true;
        CPtr<CNSound> first, again, unique, placed, missing;
        sharing.LoadSound(first, "mono8.wav", 0, false);
        sharing.LoadSound(again, "mono8.wav", 0, false);
        ASSERT_TRUE(first);
        EXPECT_EQ(again, first);
        EXPECT_TRUE(sharing.IsShared(first.Get()));
        ASSERT_EQ(sharing.Entries.size(), 1u);
        EXPECT_EQ(sharing.Entries[0].Name, "mono8.wav");
        // A unique load, and one of the same name placed in space, are the caller's.
        sharing.LoadSound(unique, "mono8.wav", 0, true);
        sharing.LoadSound(placed, "mono8.wav", 1, false);
        EXPECT_NE(unique, first);
        EXPECT_NE(placed, first);
        EXPECT_FALSE(sharing.IsShared(unique.Get()));
        EXPECT_FALSE(sharing.IsShared(placed.Get()));
        EXPECT_FALSE(sharing.IsShared(nullptr));
        sharing.LoadSound(missing, "none.wav", 0, false);
        EXPECT_FALSE(missing);
        EXPECT_EQ(sharing.Entries.size(), 1u);
        owned.push_back(unique.Get());
        owned.push_back(placed.Get());
        shared = first.Get();
    }
    EXPECT_EQ(CPObject::FindLive(shared), nullptr);  // the cache deleted it
    EXPECT_EQ(std::count(CNSound::AllSounds.begin(), CNSound::AllSounds.end(), shared), 0);
}

TEST_F(Sound, MusicVolumeGoesToThePlayerWhenThereIsOne) {
    CPSoundManager::SetMusicVolume(0.25f);  // no player: only the setting
    EXPECT_EQ(Cfg::musicVolume, 0.25f);
    auto music = std::make_unique<CPMusic>();
    CPMusic::Instance = music.get();
    CPSoundManager::SetMusicVolume(0.5f);
    EXPECT_EQ(Cfg::musicVolume, 0.5f);
    EXPECT_EQ(music->Volume, 0.5f);
    music.reset();
    EXPECT_EQ(CPMusic::Instance, nullptr);
}

}  // namespace
