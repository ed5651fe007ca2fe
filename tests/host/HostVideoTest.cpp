// The host's video players: made with the renderer, stepped by the frame loop as tasks of
// priority 400, and taken down while a film still plays without leaving anything behind.
#include "host/Host.h"

#include "core/ConfigVars.h"
#include "platform/d3d9/D3D9Texture.h"
#include "platform/files/HostFiles.h"
#include "platform/win32/Clock.h"
#include "tests/TestTempDir.h"
#include "tests/platform/video/TestAvi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class HostVideo : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(scratch / "Data" / "Video");
        ASSERT_TRUE(TestAvi::Write((scratch / "Data" / "Video" / "intro.avi").string(),
                                   {.width = 16, .height = 8, .frames = 2, .fps = 10, .audio = true}));
        // The picture a material names "video" shows until a film takes its place: 4 x 4 pixels
        // of an uncompressed TGA.
        std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
        tga.resize(tga.size() + 4 * 4 * 3, 0x40);
        scratch.Write("Data/Textures/video", std::string(tga.begin(), tga.end()));
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
        Cfg::screenBPP = 32;
        PlatformClock::UseManual();
    }
    void TearDown() override {
        PlatformClock::UseReal();
        Cfg::ResetDefaults();
        HostFiles::ClearCache();
    }

    ScratchFolder scratch{"host_video_test"};
};

TEST_F(HostVideo, FilmsPlayAsTasksAndTheHostEndsWhilePlaying) {
    Host host;
    EXPECT_EQ(CPAVIPlayer::Instance, &host.VideoPlayer());
    EXPECT_EQ(CPAVIPlayer1::Instance, &host.VideoPlayer1());
    CPtr<CPTexture> shown = host.TextureManager().GetTexture("video");
    ASSERT_TRUE(shown);

    // What the script function does: open, loop flag, priority 400, add to the scheduler.
    CPAVIPlayer& player = host.VideoPlayer();
    player.Open("intro.avi", false);
    player.Loop = true;
    player.Priority = 400;
    ASSERT_TRUE(host.Scheduler().AddTask(CPtr<CPAVIPlayer>(&player)));
    EXPECT_EQ(shown->Texture, player.Texture);
    EXPECT_EQ(shown->Name, "VIDEO");

    std::vector<int> reds;
    for (int frame = 0; frame < 5; ++frame) {
        ASSERT_TRUE(host.RunFrame(0.1f));
        reds.push_back(static_cast<int>(D3D9Texture::From(shown->Texture)->Level(0).Pixel(2, 2) >> 16 & 255));
        PlatformClock::AdvanceMilliseconds(100);
    }
    const int r0 = TestAvi::PatternColour(0, 0, 0).r, r1 = TestAvi::PatternColour(1, 0, 0).r;
    EXPECT_EQ(reds, (std::vector<int>{r0, r1, r0, r1, r0}));
    EXPECT_TRUE(player.Running);
    // The host ends here with the film running and its texture shown: the leak and address
    // checks of the test run see that everything is given back once.
}

TEST_F(HostVideo, AStoppedFilmLeavesTheListAfterTheFrame) {
    Host host;
    CPAVIPlayer1& player = host.VideoPlayer1();
    player.Open("intro.avi");
    player.Priority = 400;
    ASSERT_TRUE(host.Scheduler().AddTask(CPtr<CPAVIPlayer1>(&player)));
    for (int frame = 0; frame < 4; ++frame) {
        host.RunFrame(0.1f);
        PlatformClock::AdvanceMilliseconds(100);
    }
    EXPECT_FALSE(player.Running);
    EXPECT_TRUE(player.EndReached);
    for (const CPtr<CPTask>& task : host.Scheduler().Tasks) {
        EXPECT_NE(task.Get(), &player);
    }
}

}  // namespace
