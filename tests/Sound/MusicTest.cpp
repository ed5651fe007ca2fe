#include "Sound/PMusic.h"

#include "SoundFixture.h"

#include "core/CPScheduler.h"

#include <gtest/gtest.h>

namespace {

using namespace WavFixtures;
using DirectShowStandIn::StandIn;

class Music : public GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        WriteFile("Data/Music/theme.ogg", Bytes(64, 1));
        WriteFile("Data/Music/race.ogg", Bytes(64, 2));
    }
    void TearDown() override {
        music.ReleaseGraph();
        EXPECT_EQ(DirectShowStandIn::LiveGraphs(), 0);
        GameFolderTest::TearDown();
    }
    CPMusic music;
};

TEST_F(Music, PlayRendersTheFileWithoutStartingIt) {
    EXPECT_EQ(music.Volume, 0.5f);  // the configured "musicVolume"
    ASSERT_EQ(music.Play("theme.ogg", true), S_OK);
    EXPECT_TRUE(music.Loaded);
    EXPECT_TRUE(music.Loop);
    EXPECT_EQ(music.Name, "theme.ogg");
    ASSERT_NE(music.Graph, nullptr);
    auto* graph = StandIn(music.Graph);
    EXPECT_EQ(graph->RenderedFile(), "Data\\Music\\theme.ogg");
    EXPECT_EQ(graph->State(), State_Stopped);
    EXPECT_EQ(graph->Volume(), -437);
    EXPECT_EQ(graph->RefCount(), 5u);  // the builder and four interfaces
    EXPECT_TRUE(reports.empty());
}

TEST_F(Music, VolumeSetWithoutAPieceIsAppliedToTheNext) {
    EXPECT_EQ(music.SetVolume(0.0f), 0);
    EXPECT_EQ(music.Volume, 0.0f);
    ASSERT_EQ(music.Play("theme.ogg", false), S_OK);
    EXPECT_EQ(StandIn(music.Graph)->Volume(), -7000);
    EXPECT_EQ(music.SetVolume(1.0f), S_OK);
    EXPECT_EQ(StandIn(music.Graph)->Volume(), 0);
}

TEST_F(Music, EachGraphFailureIsReportedAtItsLine) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* name;
        int line;
        HRESULT result;
    };
    const Case cases[] = {
        {"graph", [] { ComRuntime::FailNextCreate(E_OUTOFMEMORY); }, "theme.ogg", 54, E_OUTOFMEMORY},
        {"control", [] { DirectShowStandIn::FailQuery(IID_IMediaControl, E_NOINTERFACE); }, "theme.ogg", 55,
         E_NOINTERFACE},
        {"event", [] { DirectShowStandIn::FailQuery(IID_IMediaEvent, E_NOINTERFACE); }, "theme.ogg", 56,
         E_NOINTERFACE},
        {"position", [] { DirectShowStandIn::FailQuery(IID_IMediaPosition, E_NOINTERFACE); }, "theme.ogg", 57,
         E_NOINTERFACE},
        {"audio", [] { DirectShowStandIn::FailQuery(IID_IBasicAudio, E_NOINTERFACE); }, "theme.ogg", 58,
         E_NOINTERFACE},
        {"missing file", [] {}, "nothere.ogg", 59, VFW_E_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reports.clear();
        c.arrange();
        EXPECT_EQ(music.Play(c.name, false), c.result);
        EXPECT_FALSE(music.Loaded);
        EXPECT_EQ(music.Name, c.name);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].File, "Sound/PMusic");
        EXPECT_EQ(reports[0].Line, c.line);
        EXPECT_EQ(reports[0].Level, 0);
        EXPECT_EQ(reports[0].Result, c.result);
        // A task step with a piece that did not load does nothing.
        music.Update();
    }

    reports.clear();
    ASSERT_EQ(music.Play("theme.ogg", false), S_OK);
    DirectShowStandIn::FailNext("put_Volume", E_FAIL);
    EXPECT_EQ(music.SetVolume(0.3f), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Line, 121);
}

TEST_F(Music, PathTooLongFailsCleanly) {
    const std::string name(249, 'a');  // with "Data\Music\" 260 characters, one too many
    EXPECT_EQ(music.Play(name, true), E_INVALIDARG);
    EXPECT_EQ(music.Graph, nullptr);
    EXPECT_FALSE(music.Loaded);
    EXPECT_EQ(music.Name, name);
    EXPECT_TRUE(reports.empty());
    WriteFile("Data/Music/" + std::string(248, 'b'), Bytes(4, 0));
    EXPECT_EQ(music.Play(std::string(248, 'b'), true), S_OK);  // 260 with the zero: fits
}

TEST_F(Music, SecondPlayReleasesTheFirstGraph) {
    ASSERT_EQ(music.Play("theme.ogg", true), S_OK);
    IGraphBuilder* first = music.Graph;
    first->AddRef();
    ASSERT_EQ(music.Play("race.ogg", false), S_OK);
    EXPECT_EQ(StandIn(first)->RefCount(), 1u);  // only the test's reference is left
    EXPECT_EQ(StandIn(first)->AbortCalls(), 1);
    first->Release();
    EXPECT_EQ(DirectShowStandIn::LiveGraphs(), 1);
    EXPECT_EQ(StandIn(music.Graph)->RenderedFile(), "Data\\Music\\race.ogg");
    // A failed Play leaves no graph of the earlier piece behind.
    EXPECT_TRUE(FAILED(music.Play("gone.ogg", false)));
    EXPECT_EQ(DirectShowStandIn::LiveGraphs(), 1);  // the failed one, until the next Play
}

TEST_F(Music, LoopingMusicRestartsAfterCompletion) {
    DirectShowStandIn::SetMediaDuration(2.0);
    ASSERT_EQ(music.Play("theme.ogg", true), S_OK);
    auto* graph = StandIn(music.Graph);
    // Loaded without Start: the first step starts it.
    music.Update();
    EXPECT_EQ(graph->State(), State_Running);
    PlatformClock::AdvanceMilliseconds(1500);
    music.Update();
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 1.5);
    PlatformClock::AdvanceMilliseconds(600);
    music.Update();
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 0.0);
    EXPECT_EQ(graph->State(), State_Running);
    PlatformClock::AdvanceMilliseconds(2000);
    music.Update();
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 0.0);

    // A piece without loop ends and stays ended.
    ASSERT_EQ(music.Play("race.ogg", false), S_OK);
    EXPECT_TRUE(music.Start());
    graph = StandIn(music.Graph);
    EXPECT_EQ(graph->State(), State_Running);
    PlatformClock::AdvanceMilliseconds(2500);
    music.Update();
    music.Update();
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 2.0);
    EXPECT_EQ(graph->RunCalls(), 1);
}

TEST_F(Music, StopSilencesAndStartPlaysFromTheBeginning) {
    ASSERT_EQ(music.Play("theme.ogg", false), S_OK);
    CPScheduler scheduler;
    CPtr<CPTask> task(&music);
    ASSERT_TRUE(scheduler.AddTask(task));  // starts the task, and with it the piece
    auto* graph = StandIn(music.Graph);
    EXPECT_EQ(graph->State(), State_Running);
    PlatformClock::AdvanceMilliseconds(1000);
    music.Stop();
    EXPECT_TRUE(music.Finished);
    EXPECT_EQ(graph->State(), State_Stopped);
    EXPECT_DOUBLE_EQ(graph->PlayedSeconds(), 0.0);
    EXPECT_TRUE(music.Start());
    EXPECT_EQ(graph->State(), State_Running);
    // Start of a task already running still makes the loaded piece heard.
    ASSERT_EQ(music.Play("race.ogg", false), S_OK);
    EXPECT_FALSE(music.Start());
    EXPECT_EQ(StandIn(music.Graph)->State(), State_Running);
    task.MakeNull();
}

}  // namespace
