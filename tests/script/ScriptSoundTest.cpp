// Sound, music, video and timer functions through scripts: special sounds played, stopped and
// placed (the DirectSound stand-in's buffers), music prepared, started, stopped and named, the
// volumes and options, the two video players, and the global timer on an injected clock.
#include "ScriptFixture.h"

#include "tests/Sound/WavFixtures.h"
#include "tests/platform/video/TestAvi.h"

#include "core/FrameTime.h"
#include "platform/audio/DirectShow.h"

#include <algorithm>

namespace {

using DirectShowStandIn::StandIn;

class ScriptSound : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        DirectShowStandIn::SetMediaDuration(2.0);
        WriteFile("Data/Music/theme.ogg", std::string(64, '\1'));
        const WavFixtures::Bytes wav = WavFixtures::PcmWav(1, 22050, 16, WavFixtures::Samples(4000));
        WriteFile("Data/Sounds/slam.wav", std::string(wav.begin(), wav.end()));
        ASSERT_TRUE(host->AddSpecialSound("slam", "slam.wav", 0));
        ASSERT_TRUE(host->AddSpecialSound("siren", "slam.wav", 1));
    }
    DirectSoundStandIn::Buffer& BufferOf(const char* name) {
        return *static_cast<DirectSoundStandIn::Buffer*>(host->SoundManager().SpecialSounds[name]->Buffer);
    }
    bool Listed(const CPTask* task) {
        const auto& tasks = host->Scheduler().Tasks;
        return std::any_of(tasks.begin(), tasks.end(), [task](const CPtr<CPTask>& t) { return t.Get() == task; });
    }
};

TEST_F(ScriptSound, SpecialSoundsPlayStopAndReportWhetherTheyPlay) {
    Run(R"(
        assert(IsSpecialSoundPlaying("slam") == false)
        PlaySpecialSound("slam")
        assert(IsSpecialSoundPlaying("slam") == true)
        StopSpecialSound("slam")
        assert(IsSpecialSoundPlaying("slam") == false)
        -- names without a sound do nothing; the 3-D one still answers true
        PlaySpecialSound("nothing") StopSpecialSound("nothing") UpdateSoundPosition("nothing", 1, 2, 3)
        assert(IsSpecialSoundPlaying("nothing") == false)
        assert(PlaySpecialSound3D("nothing", 1, 2, 3) == true)
        assert(not pcall(PlaySpecialSound, {}))
    )");
    EXPECT_EQ(BufferOf("slam").PlayCalls(), 1);
    EXPECT_FALSE(BufferOf("slam").IsLooping());

    // A playing sound is restarted from its beginning.
    PlatformClock::AdvanceMilliseconds(20);
    Run(R"(PlaySpecialSound("slam"))");
    EXPECT_EQ(BufferOf("slam").PlayCursor(), 0u);
    EXPECT_EQ(BufferOf("slam").PlayCalls(), 2);
}

TEST_F(ScriptSound, ThreeDSoundsLoopKeepAndMoveAsTheirFlagsSay) {
    Run(R"(assert(PlaySpecialSound3D("siren", 1, 2, 3, true) == true))");
    DirectSoundStandIn::Buffer& siren = BufferOf("siren");
    EXPECT_TRUE(siren.IsPlaying());
    EXPECT_TRUE(siren.IsLooping());
    EXPECT_EQ(siren.Parameters3D().vPosition.x, 1.0f);
    EXPECT_EQ(siren.Parameters3D().vPosition.z, 3.0f);

    // Keep: a playing sound plays on from where it is, at the new place.
    PlatformClock::AdvanceMilliseconds(20);
    const DWORD cursor = siren.PlayCursor();
    Run(R"(assert(PlaySpecialSound3D("siren", 4, 5, 6, true, true) == false))");
    EXPECT_EQ(siren.PlayCursor(), cursor);
    EXPECT_EQ(siren.Parameters3D().vPosition.y, 5.0f);
    EXPECT_EQ(siren.PlayCalls(), 1);

    // The number 1 is not true: restarted, once, not looping.
    Run(R"(assert(PlaySpecialSound3D("siren", 0, 0, 0, 1, 1) == true))");
    EXPECT_EQ(siren.PlayCursor(), 0u);
    EXPECT_FALSE(siren.IsLooping());

    // The velocity needs all three numbers.
    Run(R"(UpdateSoundPosition("siren", 1, 2, 3, 4, 5))");
    EXPECT_EQ(siren.Parameters3D().vVelocity.x, 0.0f);
    Run(R"(UpdateSoundPosition("siren", 1, 2, 3, 4, 5, "6"))");
    EXPECT_EQ(siren.Parameters3D().vVelocity.x, 4.0f);
    EXPECT_EQ(siren.Parameters3D().vVelocity.z, 6.0f);

    Run("StopSounds()");
    EXPECT_FALSE(siren.IsPlaying());
}

TEST_F(ScriptSound, MusicIsPreparedStartedStoppedAndNamed) {
    Run(R"(PlayMusic("theme.ogg") assert(GetMusicName() == "theme.ogg"))");
    CPMusic& music = host->Music();
    EXPECT_TRUE(music.Loop);
    EXPECT_EQ(StandIn(music.Graph)->State(), State_Stopped);  // prepared only
    host->RunFrame(0.1f);
    EXPECT_EQ(StandIn(music.Graph)->State(), State_Running);

    Run(R"(PlayMusicNoLoop("theme.ogg"))");
    EXPECT_FALSE(music.Loop);
    EXPECT_EQ(StandIn(music.Graph)->State(), State_Running);
    Run("StopPlayingMusic()");
    EXPECT_FALSE(music.Running);
    EXPECT_EQ(StandIn(music.Graph)->State(), State_Stopped);
}

TEST_F(ScriptSound, VolumesAreClampedAndOptionsStored) {
    struct Row {
        const char* given;
        float stored;
        LONG buffer;  // hundredths of a decibel
    };
    for (const Row& row : {Row{"1", 1.0f, 0}, Row{"0", 0.0f, -7000}, Row{"2.5", 1.0f, 0}, Row{"-3", 0.0f, -7000},
                           Row{"0/0", 0.0f, -7000}, Row{"0.5", 0.5f, -437}}) {
        Run(std::string("SetSoundVolume(") + row.given + ") SetMusicVolume(" + row.given + ")");
        EXPECT_EQ(Cfg::soundVolume, row.stored) << row.given;
        EXPECT_EQ(Cfg::musicVolume, row.stored) << row.given;
        EXPECT_EQ(host->Music().Volume, row.stored) << row.given;
        EXPECT_NEAR(BufferOf("slam").Volume(), row.buffer, 1) << row.given;
    }
    Cfg::plane = 0.8f;
    Run(R"(
        SetSoundVolume(0.25) assert(GetSoundVolume() == 0.25)
        SetMusicVolume(0.75) assert(GetMusicVolume() == 0.75)
        SetMouse(3) assert(GetMouse() == 3)
        assert(math.abs(GetBrightness() - 0.8) < 1e-6)
        SetBrightness(0.1) assert(math.abs(GetBrightness() - 0.8) < 1e-6)
    )");
}

TEST_F(ScriptSound, VideosPlayWithTheirOwnLoopFlagAndStop) {
    std::filesystem::create_directories(dir / "Data" / "Video");
    ASSERT_TRUE(TestAvi::Write((dir / "Data" / "Video" / "intro.avi").string(),
                               {.width = 16, .height = 8, .frames = 2, .fps = 10, .audio = true}));
    Cfg::screenBPP = 32;
    CPAVIPlayer& first = host->VideoPlayer();
    CPAVIPlayer1& second = host->VideoPlayer1();

    Run(R"(PlayVideo("intro.avi", true))");
    EXPECT_TRUE(first.Running);
    EXPECT_TRUE(first.Loop);
    EXPECT_FALSE(first.NoSound);
    EXPECT_EQ(first.Priority, 400);
    EXPECT_TRUE(Listed(&first));
    Run("StopVideo()");
    EXPECT_FALSE(first.Running);

    // Each call sets the flag from its own argument: the next film plays once.
    Run(R"(PlayVideoNoSound("intro.avi"))");
    EXPECT_FALSE(first.Loop);
    EXPECT_TRUE(first.NoSound);
    EXPECT_TRUE(first.Running);
    Run("StopVideo() StopVideo()");
    EXPECT_FALSE(first.Running);

    Run(R"(PlayVideo1("intro.avi"))");
    EXPECT_TRUE(second.Running);
    EXPECT_TRUE(second.Loop);
    EXPECT_EQ(second.Priority, 400);
    host->RunFrame(0.1f);
    EXPECT_GT(second.PicturesCopied, 0);
    Run("StopVideo1()");
    EXPECT_FALSE(second.Running);
    Run(R"(assert(not pcall(PlayVideo1, nil)))");
}

TEST_F(ScriptSound, TheGlobalTimerMeasuresFramesOnTheClockUntilStopped) {
    CPGlobalTimer& timer = host->GlobalTimer();
    EXPECT_FALSE(timer.Running);
    Run("StartGlobalTimer()");
    EXPECT_TRUE(timer.Running);
    EXPECT_TRUE(Listed(&timer));
    EXPECT_EQ(host->Scheduler().Tasks.front().Get(), &timer);  // stepped first

    PlatformClock::AdvanceMilliseconds(40);
    host->RunFrame(0.5f);
    EXPECT_FLOAT_EQ(FrameTime, 0.04f);
    PlatformClock::AdvanceMilliseconds(10000);  // a long stall comes back capped
    host->RunFrame(0.5f);
    EXPECT_FLOAT_EQ(FrameTime, CPGlobalTimer::MaxStep);
    Run("StartGlobalTimer()");  // already running: nothing
    EXPECT_EQ(std::count_if(host->Scheduler().Tasks.begin(), host->Scheduler().Tasks.end(),
                            [&](const CPtr<CPTask>& t) { return t.Get() == &timer; }),
              1);

    Run("assert(GetDeltaTime() > 0) ClearGlobalTimer() assert(GetDeltaTime() == 0)");
    FrameTime = 0.3f;
    Run("ClearTimer() assert(GetDeltaTime() == 0)");
    FrameTime = 0.3f;
    Run("SetActions(true) assert(GetDeltaTime() == 0)");
    FrameTime = 0.3f;
    Run("StopGlobalTimer() assert(GetDeltaTime() == 0)");
    EXPECT_FALSE(timer.Running);

    // Stopped, the frame loop's own time holds again.
    PlatformClock::AdvanceMilliseconds(40);
    host->RunFrame(0.5f);
    EXPECT_EQ(FrameTime, 0.5f);
    EXPECT_FALSE(Listed(&timer));
}

}  // namespace
