#include "RenderFixture.h"

#include "Render/CPAVIPlayer.h"
#include "Render/CPAVIPlayer1.h"
#include "platform/d3d9/D3D9Texture.h"
#include "platform/video/VideoFaults.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "tests/platform/video/TestAvi.h"

namespace {

using RenderFixtures::RenderTest;

class VideoPlayerTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        PlatformClock::UseManual();
        CoInitialize(nullptr);
        VideoFaults::Clear();
        Cfg::screenBPP = 32;  // exact colours in the texture; the 16-bit case sets its own
        std::filesystem::create_directories(dir / "Data" / "Video");
        for (const char* key : {"video", "video1"}) {
            auto* texture = new CPTexture();
            texture->Name = key;
            ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture->Texture, nullptr),
                      S_OK);
            textures->Textures[key] = texture;
        }
    }
    void TearDown() override {
        VideoFaults::Clear();
        CoUninitialize();
        PlatformClock::UseReal();
        RenderTest::TearDown();
    }
    void MakeFilm(const std::string& name, const TestAvi::Options& options) {
        ASSERT_TRUE(TestAvi::Write((dir / "Data" / "Video" / name).string(), options));
    }
    CPTexture* Entry(const char* key) { return textures->Textures.at(key); }
    // The red level of a texel of the player's texture: it names the picture (TestAvi pattern).
    static int PictureRed(const CPVideoPlayer& player, UINT x = 1, UINT y = 1) {
        return static_cast<int>(D3D9Texture::From(player.Texture)->Level(0).Pixel(x, y) >> 16 & 255);
    }
    std::vector<int> ReportedLines() const {
        std::vector<int> lines;
        for (const auto& r : reports) {
            lines.push_back(r.Line);
        }
        return lines;
    }
};

TEST(VideoPlayerSizes, NextPowerOfTwoIsStrictlyGreater) {
    const std::pair<int, int> cases[] = {{-5, 2}, {0, 2}, {1, 2}, {2, 4}, {3, 4}, {240, 256}, {255, 256}, {256, 512},
                                         {320, 512}};
    for (const auto& [n, expected] : cases) {
        EXPECT_EQ(CPVideoPlayer::NextPowerOfTwo(n), expected) << n;
    }
}

TEST_F(VideoPlayerTest, OpenMakesAPowerOfTwoTextureAndInstallsIt) {
    MakeFilm("film.avi", {.width = 20, .height = 12, .frames = 3});
    CPAVIPlayer player;
    player.Open("film.avi", false);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(player.TextureWidth, 32);
    EXPECT_EQ(player.TextureHeight, 16);
    EXPECT_EQ(player.TextureBpp, 32);
    EXPECT_EQ(D3D9Texture::From(player.Texture)->Format(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(player.SourceRect.right, 20);
    EXPECT_EQ(player.SourceRect.bottom, 12);
    EXPECT_FALSE(player.EndReached);
    EXPECT_EQ(Entry("video")->Texture, player.Texture);
    EXPECT_EQ(Entry("video")->Name, "VIDEO");
    EXPECT_NE(Entry("video1")->Name, "VIDEO1");
    const auto seen = MultiMediaStreamStandIn::Observe(player.Stream);
    EXPECT_EQ(seen.openedFile, "Data\\Video\\film.avi");
    EXPECT_EQ(seen.state, STREAMSTATE_STOP);
    EXPECT_EQ(seen.volume, -437);
}

TEST_F(VideoPlayerTest, PicturesReachTheTextureInOrderThenThePlayerStops) {
    MakeFilm("film.avi", {.width = 16, .height = 8, .frames = 3, .fps = 10});
    CPAVIPlayer player;
    player.Open("film.avi", true);
    ASSERT_TRUE(player.Start());
    std::vector<int> shown;
    for (int step = 0; step < 10 && player.Running; ++step) {
        player.Update();
        if (player.Running) {
            shown.push_back(PictureRed(player));
        }
        PlatformClock::AdvanceMilliseconds(50);
    }
    const int r0 = TestAvi::PatternColour(0, 0, 0).r, r1 = TestAvi::PatternColour(1, 0, 0).r,
              r2 = TestAvi::PatternColour(2, 0, 0).r;
    EXPECT_EQ(shown, (std::vector<int>{r0, r0, r1, r1, r2, r2}));
    EXPECT_FALSE(player.Running);
    EXPECT_TRUE(player.EndReached);
    EXPECT_EQ(player.PicturesCopied, 3);
    // Green rises along x and blue along y in every picture.
    const DWORD texel = D3D9Texture::From(player.Texture)->Level(0).Pixel(5, 3);
    EXPECT_EQ(texel & 0xFFFFFF, static_cast<DWORD>(r2 << 16 | 5 * 8 << 8 | 3 * 12));

    // Started again after the end, it plays from the start.
    ASSERT_TRUE(player.Start());
    player.Update();
    EXPECT_EQ(PictureRed(player), r0);
}

TEST_F(VideoPlayerTest, ALoopingFilmStartsAgainAtItsEnd) {
    MakeFilm("loop.avi", {.width = 8, .height = 8, .frames = 2, .fps = 10});
    CPAVIPlayer1 player;
    player.Open("loop.avi");
    player.Loop = true;
    ASSERT_TRUE(player.Start());
    std::vector<int> shown;
    for (int step = 0; step < 9; ++step) {
        player.Update();
        shown.push_back(PictureRed(player));
        PlatformClock::AdvanceMilliseconds(100);
    }
    EXPECT_TRUE(player.Running);
    const int r0 = TestAvi::PatternColour(0, 0, 0).r, r1 = TestAvi::PatternColour(1, 0, 0).r;
    EXPECT_EQ(shown, (std::vector<int>{r0, r1, r0, r1, r0, r1, r0, r1, r0}));
    player.Stop();
    EXPECT_EQ(MultiMediaStreamStandIn::Observe(player.Stream).state, STREAMSTATE_STOP);
}

TEST_F(VideoPlayerTest, AFilmOpenedWhileThePlayerRunsPlaysFromItsStart) {
    // The script opens a film and adds the player again while the last one still plays: the
    // scheduler keeps the running task, whose steps must play the new film.
    MakeFilm("first.avi", {.width = 8, .height = 8, .frames = 4, .fps = 10});
    MakeFilm("second.avi", {.width = 8, .height = 8, .frames = 2, .fps = 10});
    CPAVIPlayer player;
    player.Open("first.avi", true);
    ASSERT_TRUE(player.Start());
    player.Update();
    PlatformClock::AdvanceMilliseconds(100);
    player.Update();
    ASSERT_EQ(player.PicturesCopied, 2);

    player.Open("second.avi", true);
    EXPECT_FALSE(player.Start());  // already running: AddTask leaves it as it is
    std::vector<int> shown;
    for (int step = 0; step < 2 && player.Running; ++step) {
        player.Update();
        shown.push_back(PictureRed(player));
        PlatformClock::AdvanceMilliseconds(100);
    }
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(shown, (std::vector<int>{TestAvi::PatternColour(0, 0, 0).r, TestAvi::PatternColour(1, 0, 0).r}));
    EXPECT_EQ(player.PicturesCopied, 2);
    player.Update();
    EXPECT_FALSE(player.Running);
    EXPECT_TRUE(player.EndReached);
}

TEST_F(VideoPlayerTest, SixteenBitScreensGetA565Texture) {
    MakeFilm("film.avi", {.width = 8, .height = 4, .frames = 1});
    Cfg::screenBPP = 16;
    CPAVIPlayer player;
    player.Open("film.avi", false);
    EXPECT_EQ(D3D9Texture::From(player.Texture)->Format(), D3DFMT_R5G6B5);
    ASSERT_TRUE(player.Start());
    player.Update();
    const TestAvi::Rgb c = TestAvi::PatternColour(0, 3, 2);
    EXPECT_EQ(D3D9Texture::From(player.Texture)->Level(0).Pixel(3, 2),
              static_cast<DWORD>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3)));
}

TEST_F(VideoPlayerTest, TheTextureIsKeptForTheSameSizeAndSwappedSafelyOtherwise) {
    MakeFilm("a.avi", {.width = 20, .height = 12, .frames = 1});
    MakeFilm("b.avi", {.width = 24, .height = 10, .frames = 1});
    MakeFilm("c.avi", {.width = 40, .height = 10, .frames = 1});
    CPAVIPlayer player;
    player.Open("a.avi", false);
    IDirect3DTexture9* first = player.Texture;
    player.Open("b.avi", false);
    EXPECT_EQ(player.Texture, first);  // 32 x 16 both
    player.Open("c.avi", false);
    EXPECT_NE(player.Texture, first);
    EXPECT_EQ(player.TextureWidth, 64);
    EXPECT_EQ(Entry("video")->Texture, player.Texture);
    Cfg::screenBPP = 16;
    IDirect3DTexture9* second = player.Texture;
    player.Open("c.avi", false);
    EXPECT_NE(player.Texture, second);
    EXPECT_EQ(Entry("video")->Texture, player.Texture);

    // A failed creation keeps the texture that is shown.
    Cfg::screenBPP = 32;
    D3D9Faults::Fail(D3D9Fault::CreateTexture, D3DERR_OUTOFVIDEOMEMORY);
    IDirect3DTexture9* shown = player.Texture;
    player.Open("a.avi", false);
    EXPECT_EQ(player.Texture, shown);
    EXPECT_EQ(Entry("video")->Texture, shown);
    EXPECT_EQ(ReportedLines(), std::vector<int>{136});
}

TEST_F(VideoPlayerTest, APlayerGoneBeforeItsTextureLeavesItToTheEntry) {
    MakeFilm("film.avi", {.frames = 1});
    {
        CPAVIPlayer1 player;
        player.Open("film.avi");
        EXPECT_EQ(Entry("video1")->Name, "VIDEO1");
    }
    // The entry owns the texture again and frees it with the manager (leak checking sees it).
    EXPECT_EQ(Entry("video1")->Name, "video1");
    EXPECT_NE(Entry("video1")->Texture, nullptr);
}

TEST_F(VideoPlayerTest, VolumeFollowsTheSettingWithinRange) {
    MakeFilm("film.avi", {.frames = 1, .audio = true});
    const std::pair<float, LONG> cases[] = {{1.0f, 0}, {0.5f, -437}, {0.0f, -7000}, {3.0f, 0}, {-1.0f, -7000}};
    for (const auto& [volume, expected] : cases) {
        Cfg::soundVolume = volume;
        CPAVIPlayer1 player;
        player.Open("film.avi");
        EXPECT_EQ(MultiMediaStreamStandIn::Observe(player.Stream).volume, expected) << volume;
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(VideoPlayerTest, NoSoundMakesNoAudioStreamOnTheFirstPlayerOnly) {
    MakeFilm("film.avi", {.frames = 1, .audio = true});
    CPAVIPlayer player;
    player.Open("film.avi", true);
    EXPECT_FALSE(MultiMediaStreamStandIn::Observe(player.Stream).hasAudioStream);
    EXPECT_EQ(player.BasicAudio, nullptr);
    player.Open("film.avi", false);
    EXPECT_TRUE(MultiMediaStreamStandIn::Observe(player.Stream).hasAudioStream);
    EXPECT_NE(player.BasicAudio, nullptr);
}

TEST_F(VideoPlayerTest, FilmsThatCannotPlayAreReportedAndPlayNothing) {
    MakeFilm("m.avi", {.codec = TestAvi::Codec::Mjpeg});
    auto bytes = TestAvi::ReadBytes((dir / "Data/Video/m.avi").string());
    TestAvi::ReplaceFourCC(bytes, "MJPG", "QQZ9");
    TestAvi::WriteBytes((dir / "Data/Video/codec.avi").string(), bytes);
    TestAvi::WriteBytes((dir / "Data/Video/damaged.avi").string(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 40));
    const struct {
        const char* file;
        HRESULT result;
    } cases[] = {{"missing.avi", VFW_E_NOT_FOUND},
                 {"damaged.avi", VFW_E_INVALID_FILE_FORMAT},
                 {"codec.avi", VFW_E_NO_DECOMPRESSOR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        reports.clear();
        CPAVIPlayer player;
        player.Open(c.file, false);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].File, "Render/PAVIPlayer");
        EXPECT_EQ(reports[0].Line, 82);
        EXPECT_EQ(reports[0].Result, c.result);
        EXPECT_EQ(Entry("video")->Name, "video");  // nothing installed
        ASSERT_TRUE(player.Start());
        player.Update();
        EXPECT_FALSE(player.Running);
    }
}

TEST_F(VideoPlayerTest, EveryFailingCallIsReportedOnItsLine) {
    MakeFilm("film.avi", {.frames = 1, .audio = true});
    // The call, the line of each player's report for it; failures in Init are followed by
    // the restart's report.
    const struct {
        const char* call;
        std::vector<int> first, second;
    } cases[] = {
        {"DirectDrawCreate", {172, 63}, {150, 62}}, {"SetCooperativeLevel", {173, 63}, {151, 62}},
        {"Initialize", {177, 63}, {155, 62}},       {"AddMediaStream", {180, 63}, {156, 62}},
        {"OpenFile", {82}, {78}},                   {"GetMediaStream", {84}, {79}},
        {"GetFormat", {90}, {83}},                  {"CreateSurface", {96}, {88}},
        {"CreateSample", {105}, {96}},              {"GetFilterGraph", {140}, {128}},
        {"put_Volume", {152}, {134}},               {"SetState", {156}, {136}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        for (int which = 0; which < 2; ++which) {
            reports.clear();
            VideoFaults::FailNext(c.call, E_OUTOFMEMORY);
            if (which == 0) {
                CPAVIPlayer player;
                player.Open("film.avi", false);
            } else {
                CPAVIPlayer1 player;
                player.Open("film.avi");
            }
            EXPECT_EQ(ReportedLines(), which == 0 ? c.first : c.second);
            VideoFaults::Clear();
        }
    }
    for (const auto& [iid, first, second] : {std::tuple{IID_IDirectDrawMediaStream, 86, 80},
                                             std::tuple{IID_IMediaControl, 142, 129},
                                             std::tuple{IID_IMediaPosition, 144, 130},
                                             std::tuple{IID_IBasicAudio, 148, 131}}) {
        reports.clear();
        VideoFaults::FailQuery(iid, E_NOINTERFACE);
        CPAVIPlayer player;
        player.Open("film.avi", false);
        VideoFaults::FailQuery(iid, E_NOINTERFACE);
        CPAVIPlayer1 player1;
        player1.Open("film.avi");
        EXPECT_EQ(ReportedLines(), (std::vector<int>{first, second}));
    }
    ComRuntime::FailNextCreate(REGDB_E_CLASSNOTREG);
    reports.clear();
    CPAVIPlayer player;
    player.Open("film.avi", false);
    EXPECT_EQ(ReportedLines(), (std::vector<int>{175, 63}));
    EXPECT_EQ(player.Stream, nullptr);  // a failed Init leaves nothing behind
    EXPECT_EQ(player.DirectDraw, nullptr);
}

TEST_F(VideoPlayerTest, WithoutDeviceOrTextureManagerTheSoundStillPlays) {
    MakeFilm("film.avi", {.frames = 2, .audio = true});
    render->Device = nullptr;
    CPAVIPlayer player;
    player.Open("film.avi", false);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(player.Texture, nullptr);
    EXPECT_NE(player.BasicAudio, nullptr);
    ASSERT_TRUE(player.Start());
    player.Update();
    EXPECT_TRUE(player.Running);
    render->Device = device;

    CPTextureManager::Instance = nullptr;
    CPAVIPlayer1 other;
    other.Open("film.avi");
    EXPECT_NE(other.Texture, nullptr);
    EXPECT_TRUE(reports.empty());
    CPTextureManager::Instance = textures.get();
}

}  // namespace
