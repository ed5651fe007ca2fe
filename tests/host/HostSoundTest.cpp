// The host's sound and input singletons: the sound manager with its cache and special
// sounds, the music player as a scheduled task, and the actions manager with the mouse.
#include "host/Host.h"

#include "tests/Sound/SoundFixture.h"

#include "core/Singletons.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace WavFixtures;
using DirectShowStandIn::StandIn;

// The sound tests' game folder (working directory, manual time, the log's reports) with a
// piece of music and a sound.
class HostSound : public GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        DirectShowStandIn::SetMediaDuration(2.0);
        WriteFile("Data/Music/theme.ogg", Bytes(64, 1));
        AddSound("slam.wav", PcmWav(1, 22050, 16, Samples(400)));
    }
    void TearDown() override {
        EXPECT_EQ(DirectShowStandIn::LiveGraphs(), 0);
        EXPECT_TRUE(CNSound::AllSounds.empty());
        GameFolderTest::TearDown();
    }
};

bool Listed(Host& host, const CPTask* task) {
    const auto& tasks = host.Scheduler().Tasks;
    return std::any_of(tasks.begin(), tasks.end(), [task](const CPtr<CPTask>& t) { return t.Get() == task; });
}

TEST_F(HostSound, SetsTheSoundAndInputSingletonsWhileItLives) {
    {
        Host host;
        EXPECT_EQ(GetSoundManager(), &host.SoundManager());
        EXPECT_EQ(CPSoundManager::Instance, &host.SoundManager());
        EXPECT_EQ(host.SoundManager().Cache, &host.SoundCache());
        ASSERT_NE(host.SoundDevice(), nullptr);
        EXPECT_EQ(host.SoundCache().Device, host.SoundDevice());
        EXPECT_EQ(CPMusic::Instance, &host.Music());
        EXPECT_EQ(CPActionsManager::Instance, &host.ActionsManager());

        // The music player is scheduled from the start, with the default priority.
        EXPECT_TRUE(host.Music().Running);
        EXPECT_TRUE(Listed(host, &host.Music()));
        EXPECT_EQ(host.Music().Priority, CPTask::DefaultPriority);
    }
    EXPECT_EQ(GetSoundManager(), nullptr);
    EXPECT_EQ(CPMusic::Instance, nullptr);
    EXPECT_EQ(CPActionsManager::Instance, nullptr);
}

TEST_F(HostSound, TheMusicTaskRunsInTheFrameLoop) {
    Host host;
    ASSERT_EQ(host.Music().Play("theme.ogg", true), S_OK);
    auto* graph = StandIn(host.Music().Graph);
    EXPECT_EQ(graph->State(), State_Stopped);  // loaded, not started

    host.RunFrame(0.1f);  // the task's step starts the looping piece
    EXPECT_EQ(graph->State(), State_Running);
    PlatformClock::AdvanceMilliseconds(2500);
    host.RunFrame(0.1f);  // completed, played again from its start
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 0.0);
    EXPECT_EQ(graph->State(), State_Running);

    // The manager's music volume reaches the host's player.
    CPSoundManager::SetMusicVolume(1.0f);
    EXPECT_EQ(graph->Volume(), 0);
    EXPECT_EQ(Cfg::musicVolume, 1.0f);
    EXPECT_TRUE(reports.empty());
}

// A stop (a script's, or the frame loop's after a kill) takes the player off the schedule;
// what the scripts do next must still be heard, and only that.
TEST_F(HostSound, MusicAfterAStopPlaysWhatTheScriptsAskFor) {
    enum Step { PlayLoop, PlayOnce, Start, Stop, Kill };
    struct Case {
        const char* name;
        std::vector<Step> steps;  // one frame after each
        OAFilterState state;      // of the last graph
    };
    const Case cases[] = {
        {"a looping piece after a stop", {PlayLoop, Stop, PlayLoop}, State_Running},
        {"a looping piece after a kill", {PlayLoop, Kill, PlayLoop}, State_Running},
        {"a started piece, then a looping one, after a stop", {PlayLoop, Stop, PlayOnce, Start, PlayLoop}, State_Running},
        {"a stop stays silent", {PlayLoop, Stop}, State_Stopped},
        {"a piece loaded without loop waits for its start", {PlayLoop, Stop, PlayOnce}, State_Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        CPMusic& music = host.Music();
        for (const Step step : c.steps) {
            switch (step) {
            case PlayLoop:
                ASSERT_EQ(music.Play("theme.ogg", true), S_OK);
                break;
            case PlayOnce:
                ASSERT_EQ(music.Play("theme.ogg", false), S_OK);
                break;
            case Start:
                music.Start();
                break;
            case Stop:
                music.Stop();
                break;
            case Kill:
                host.Scheduler().KillAllTasks();
                break;
            }
            host.RunFrame(0.1f);
        }
        host.RunFrame(0.1f);
        EXPECT_EQ(StandIn(music.Graph)->State(), c.state);
        if (music.Loop) {
            // Stepped: the piece comes round again when it ends.
            PlatformClock::AdvanceMilliseconds(2500);
            host.RunFrame(0.1f);
            EXPECT_EQ(StandIn(music.Graph)->State(), c.state);
            EXPECT_LT(StandIn(music.Graph)->PlayedSeconds(), 1.0);
        }
    }
}

TEST_F(HostSound, EndsCleanlyWithAPlayingPieceAndSpecialSounds) {
    // The teardown checks that no graph and no sound is left; the sanitizers check the rest.
    Host host;
    ASSERT_EQ(host.Music().Play("theme.ogg", false), S_OK);
    host.Music().Start();  // as a script starts a piece without loop
    host.RunFrame(0.1f);
    EXPECT_EQ(StandIn(host.Music().Graph)->State(), State_Running);
    ASSERT_TRUE(host.AddSpecialSound("slam", "slam.wav", 0));
    CPtr<CNSound> held;
    host.SoundManager().GetSpecialSound(held, "slam");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->Play(0, DSBPLAY_LOOPING), DS_OK);
}

TEST_F(HostSound, SpecialSoundsAreLoadedOnceByName) {
    Host host;
    CPSoundManager& manager = *GetSoundManager();
    CPtr<CNSound> sound;

    manager.GetSpecialSound(sound, "slam");  // asked before the host fills it: a null entry
    EXPECT_FALSE(sound);
    ASSERT_TRUE(host.AddSpecialSound("slam", "slam.wav", 0));
    ASSERT_TRUE(host.AddSpecialSound("fast", "slam.wav", 1));
    manager.GetSpecialSound(sound, "slam");
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->Name, "Data\\Sounds\\slam.wav");
    EXPECT_EQ(sound->Is3D, 0);
    EXPECT_EQ(sound->GetRefCount(), 2);  // the manager's entry and ours
    CNSound* const first = sound.Get();

    manager.GetSpecialSound(sound, "fast");  // 3-D sounds get the loader's distances
    ASSERT_TRUE(sound);
    ASSERT_NE(sound->Buffer3D, nullptr);
    EXPECT_EQ(sound->Params3D.flMinDistance, 1.0f);
    EXPECT_EQ(sound->Params3D.flMaxDistance, 1000.0f);

    EXPECT_FALSE(host.AddSpecialSound("slam", "slam.wav", 0));  // taken: the first one stays
    manager.GetSpecialSound(sound, "slam");
    EXPECT_EQ(sound.Get(), first);

    EXPECT_FALSE(host.AddSpecialSound("bonus_plus", "missing.wav", 0));
    manager.GetSpecialSound(sound, "bonus_plus");
    EXPECT_FALSE(sound);
    ASSERT_EQ(reports.size(), 1u);  // the missing file, once
    EXPECT_EQ(reports[0].Line, 46);
    EXPECT_EQ(CNSound::AllSounds.size(), 2u);
}

TEST_F(HostSound, TheHostFeedsTheMousePosition) {
    Host host;
    host.SetMousePosition(-2.7f, 600.9f);
    EXPECT_EQ(host.ActionsManager().MouseX, -2.7f);
    int x = 0, y = 0;
    CPActionsManager::Instance->GetMousePosition(x, y);
    EXPECT_EQ(x, -2);
    EXPECT_EQ(y, 600);
}

}  // namespace
