#include "platform/win32/Clock.h"
#include "platform/audio/DirectSound.h"
#include "platform/audio/Volume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using DirectSoundStandIn::StandIn;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class DirectSound : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformClock::UseManual();
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    }
    void TearDown() override {
        SafeRelease(device);
        PlatformClock::UseReal();
    }
    HRESULT Create(DWORD flags, DWORD bytes, const WAVEFORMATEX* format, IDirectSoundBuffer** out,
                   GUID algorithm = DS3DALG_DEFAULT) {
        DSBUFFERDESC d;
        d.dwSize = sizeof(d);
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = format;
        d.guid3DAlgorithm = algorithm;
        return device->CreateSoundBuffer(&d, out, nullptr);
    }
    IDirectSound8* device = nullptr;
};

TEST_F(DirectSound, CreationChecksSizeFormatAnd3DRules) {
    const WAVEFORMATEX mono = Pcm(1, 22050, 16);
    const WAVEFORMATEX stereo = Pcm(2, 22050, 16);
    WAVEFORMATEX adpcm = Pcm(1, 22050, 4);
    adpcm.wFormatTag = 2;
    const DWORD controls = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
    struct Case {
        const char* what;
        DWORD flags;
        DWORD bytes;
        const WAVEFORMATEX* format;
        GUID algorithm;
        HRESULT expected;
    };
    const Case cases[] = {
        {"plain", controls, 4, &stereo, DS3DALG_DEFAULT, DS_OK},
        {"3-D light", controls | DSBCAPS_CTRL3D, 100, &mono, DS3DALG_HRTF_LIGHT, DS_OK},
        {"below 4 bytes", controls, 3, &mono, DS3DALG_DEFAULT, DSERR_INVALIDPARAM},
        {"no format", controls, 100, nullptr, DS3DALG_DEFAULT, DSERR_INVALIDPARAM},
        {"not PCM", controls, 100, &adpcm, DS3DALG_DEFAULT, DSERR_BADFORMAT},
        {"3-D stereo", controls | DSBCAPS_CTRL3D, 100, &stereo, DS3DALG_HRTF_FULL, DSERR_INVALIDPARAM},
        {"algorithm without 3-D", controls, 100, &mono, DS3DALG_HRTF_FULL, DSERR_INVALIDPARAM},
        {"primary", DSBCAPS_PRIMARYBUFFER, 0, nullptr, DS3DALG_DEFAULT, DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(Create(c.flags, c.bytes, c.format, &buffer, c.algorithm), c.expected);
        EXPECT_EQ(buffer != nullptr, c.expected == DS_OK);
        if (buffer != nullptr) {
            EXPECT_EQ(StandIn(buffer)->Size(), c.bytes);
            EXPECT_EQ(StandIn(buffer)->Flags(), c.flags);
            EXPECT_EQ(StandIn(buffer)->Algorithm(), c.algorithm);
            buffer->Release();
        }
    }
    StandIn(device)->FailNextCreate(DSERR_OUTOFMEMORY);
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(Create(controls, 100, &mono, &buffer), DSERR_OUTOFMEMORY);
    EXPECT_EQ(StandIn(device)->LastDescription().dwBufferBytes, 100u);
}

TEST_F(DirectSound, LockGivesTwoRegionsWhenItWraps) {
    const WAVEFORMATEX f = Pcm(1, 8000, 8);
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Create(DSBCAPS_CTRLVOLUME, 100, &f, &buffer), DS_OK);
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(80, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(n2, 30u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 80);
    std::memset(p1, 1, n1);
    std::memset(p2, 2, n2);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(StandIn(buffer)->Data()[0], 2);
    EXPECT_EQ(StandIn(buffer)->Data()[99], 1);
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    EXPECT_EQ(buffer->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(StandIn(buffer)->OutstandingLocks(), 0);
    buffer->Release();
}

TEST_F(DirectSound, ControlsRangesAndTheirAbsence) {
    const WAVEFORMATEX f = Pcm(1, 22050, 16);
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Create(DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY, 1000, &f, &buffer), DS_OK);
    EXPECT_EQ(buffer->SetVolume(-10000), DS_OK);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(StandIn(buffer)->Volume(), -10000);
    DWORD frequency = 0;
    EXPECT_EQ(buffer->SetFrequency(44100), DS_OK);
    EXPECT_EQ(buffer->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFrequency(200001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 44100u);
    EXPECT_EQ(buffer->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    EXPECT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 22050u);
    EXPECT_EQ(buffer->SetCurrentPosition(1000), DSERR_INVALIDPARAM);
    void* noInterface = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, &noInterface), E_NOINTERFACE);
    buffer->Release();

    ASSERT_EQ(Create(0, 1000, &f, &buffer), DS_OK);
    EXPECT_EQ(buffer->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(buffer->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    buffer->Release();
}

TEST_F(DirectSound, OneShotStopsWhenItsLengthHasElapsedAndLoopsGoOn) {
    const WAVEFORMATEX f = Pcm(1, 1000, 16);  // 2000 bytes per second
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Create(DSBCAPS_CTRLFREQUENCY, 2000, &f, &buffer), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    PlatformClock::AdvanceMilliseconds(999);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    EXPECT_EQ(StandIn(buffer)->PlayCursor(), 1998u);
    PlatformClock::AdvanceMilliseconds(1);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(StandIn(buffer)->PlayCursor(), 0u);

    // Twice the frequency halves the time.
    ASSERT_EQ(buffer->SetFrequency(2000), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    PlatformClock::AdvanceMilliseconds(500);
    EXPECT_FALSE(StandIn(buffer)->IsPlaying());

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    PlatformClock::AdvanceMilliseconds(1250);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(StandIn(buffer)->PlayCursor(), 1000u);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    PlatformClock::AdvanceMilliseconds(100);
    EXPECT_EQ(StandIn(buffer)->PlayCursor(), 1000u);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Play(0, 3, 0), DSERR_INVALIDPARAM);  // priority needs deferred location
    buffer->Release();
}

TEST_F(DirectSound, LostBufferRefusesWorkUntilRestored) {
    const WAVEFORMATEX f = Pcm(1, 8000, 8);
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Create(0, 16, &f, &buffer), DS_OK);
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(buffer->Lock(0, 16, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    std::memset(p1, 9, n1);
    buffer->Unlock(p1, n1, nullptr, 0);
    StandIn(buffer)->MakeLost();
    StandIn(buffer)->FailRestores(2);
    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Lock(0, 16, &p1, &n1, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DS_OK);
    EXPECT_EQ(StandIn(buffer)->RestoreCalls(), 3);
    EXPECT_EQ(StandIn(buffer)->Data(), std::vector<uint8_t>(16, 0));
    EXPECT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffer->Release();
}

TEST_F(DirectSound, ThreeDParametersKeepTheirRecordAndTheBufferAlive) {
    const WAVEFORMATEX f = Pcm(1, 22050, 16);
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(Create(DSBCAPS_CTRL3D, 100, &f, &buffer, DS3DALG_HRTF_FULL), DS_OK);
    IDirectSound3DBuffer* buffer3D = nullptr;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3D)), DS_OK);
    EXPECT_EQ(StandIn(buffer)->RefCount(), 2u);
    DS3DBUFFER p;
    EXPECT_EQ(buffer3D->GetAllParameters(&p), DSERR_INVALIDPARAM);  // size not set
    p.dwSize = sizeof(p);
    ASSERT_EQ(buffer3D->GetAllParameters(&p), DS_OK);
    EXPECT_EQ(p.flMinDistance, DS3D_DEFAULTMINDISTANCE);
    EXPECT_EQ(p.dwMode, DS3DMODE_NORMAL);
    p.vPosition = D3DVECTOR{1, 2, 3};
    p.flMaxDistance = 1000.0f;
    ASSERT_EQ(buffer3D->SetAllParameters(&p, DS3D_IMMEDIATE), DS_OK);
    EXPECT_EQ(StandIn(buffer)->Parameters3D().vPosition.y, 2.0f);
    p.flMinDistance = 0.0f;
    EXPECT_EQ(buffer3D->SetAllParameters(&p, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    buffer->Release();
    buffer3D->Release();  // frees both
}

TEST(VolumeMapping, FourthPowerOfTheDistanceFromFull) {
    struct Case {
        float volume;
        LONG expected;
    };
    const Case cases[] = {
        {1.0f, 0},     {0.5f, -437},  {0.0f, -7000}, {0.9f, 0},  // -0.7 truncates to 0
        {0.25f, -2214}, {2.0f, 0},     {-1.0f, -7000},
        {std::numeric_limits<float>::quiet_NaN(), -7000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        EXPECT_EQ(VolumeToAttenuation(c.volume), c.expected);
    }
}

}  // namespace
