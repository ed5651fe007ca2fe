#include "TestAvi.h"

#include "platform/files/HostFiles.h"
#include "platform/ui/WinUser.h"
#include "platform/video/DirectDraw.h"
#include "platform/video/MultiMediaStream.h"
#include "platform/video/VideoFaults.h"
#include "platform/video/VideoFile.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/TextCodec.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class VideoFixture : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformClock::UseManual();
        CoInitialize(nullptr);
        VideoFaults::Clear();
    }
    void TearDown() override {
        VideoFaults::Clear();
        CoUninitialize();
        PlatformClock::UseReal();
        EXPECT_EQ(MultiMediaStreamStandIn::LiveObjects(), 0);
        EXPECT_EQ(DirectDrawStandIn::LiveObjects(), 0);
        HostFiles::ClearCache();
    }
    std::string Make(const std::string& name, const TestAvi::Options& options) {
        const std::string path = (dir / name).string();
        EXPECT_TRUE(TestAvi::Write(path, options));
        return path;
    }
    static std::unique_ptr<VideoFile> OpenBytes(std::vector<uint8_t> bytes, VideoFile::OpenError* error = nullptr,
                                                std::string* message = nullptr) {
        VideoFile::OpenError e{};
        std::string m;
        auto file = VideoFile::Open(std::move(bytes), e, m);
        if (error != nullptr) {
            *error = e;
        }
        if (message != nullptr) {
            *message = m;
        }
        return file;
    }
    static uint32_t Xrgb(const TestAvi::Rgb& c) {
        return 0xFF000000u | static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 |
               static_cast<uint32_t>(c.b);
    }

    ScratchFolder scratch{"video_test", ScratchFolder::Stay};
    const fs::path& dir = scratch.Path();
};

// ---- The decoder -------------------------------------------------------------------------

TEST_F(VideoFixture, RawFilePlaysItsPicturesInOrderWithExactPixels) {
    const TestAvi::Options o{.width = 24, .height = 10, .frames = 3, .fps = 10};
    auto file = OpenBytes(TestAvi::ReadBytes(Make("raw.avi", o)));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Width(), 24);
    EXPECT_EQ(file->Height(), 10);
    EXPECT_FALSE(file->HasAudio());
    EXPECT_NEAR(file->FrameDuration(), 0.1, 1e-9);

    std::vector<uint32_t> pixels(24 * 10);
    // Times in seconds and the picture each one shows (End after the last one's 0.1 s).
    const struct {
        double at;
        VideoFile::Show show;
        int picture;
    } steps[] = {{0.0, VideoFile::Show::Picture, 0},   {0.05, VideoFile::Show::Unchanged, 0},
                 {0.1, VideoFile::Show::Picture, 1},   {0.25, VideoFile::Show::Picture, 2},
                 {0.29, VideoFile::Show::Unchanged, 2}, {0.3, VideoFile::Show::End, 2}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.at);
        EXPECT_EQ(file->ShowAt(step.at), step.show);
        ASSERT_TRUE(file->CopyPicture(reinterpret_cast<uint8_t*>(pixels.data()), 24 * 4,
                                      VideoFile::Layout::X8R8G8B8));
        for (const auto& [x, y] : {std::pair{0, 0}, {23, 0}, {5, 9}, {23, 9}}) {
            EXPECT_EQ(pixels[static_cast<size_t>(y) * 24 + x], Xrgb(TestAvi::PatternColour(step.picture, x, y)))
                << x << "," << y;
        }
    }
    EXPECT_EQ(file->PicturesShown(), 3);

    ASSERT_TRUE(file->Rewind());
    EXPECT_EQ(file->ShowAt(0.0), VideoFile::Show::Picture);
    EXPECT_EQ(file->PicturesShown(), 1);
}

TEST_F(VideoFixture, SixteenBitCopiesKeepTheTopBitsOfEachColour) {
    auto file = OpenBytes(TestAvi::ReadBytes(Make("raw16.avi", {.width = 16, .height = 4, .frames = 1})));
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->ShowAt(0.0), VideoFile::Show::Picture);
    std::vector<uint16_t> pixels(16 * 4);
    ASSERT_TRUE(file->CopyPicture(reinterpret_cast<uint8_t*>(pixels.data()), 32, VideoFile::Layout::R5G6B5));
    const TestAvi::Rgb c = TestAvi::PatternColour(0, 10, 2);
    const uint16_t expected = static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3));
    EXPECT_EQ(pixels[2 * 16 + 10], expected);
    EXPECT_FALSE(file->CopyPicture(reinterpret_cast<uint8_t*>(pixels.data()), 31, VideoFile::Layout::R5G6B5));
}

TEST_F(VideoFixture, MjpegFileDecodesCloseToItsColours) {
    auto file = OpenBytes(TestAvi::ReadBytes(
        Make("mjpeg.avi", {.width = 32, .height = 16, .frames = 3, .fps = 5, .codec = TestAvi::Codec::Mjpeg})));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->CodecName(), "mjpeg");
    std::vector<uint32_t> pixels(32 * 16);
    for (int picture = 0; picture < 3; ++picture) {
        ASSERT_EQ(file->ShowAt(picture * 0.2), VideoFile::Show::Picture);
        ASSERT_TRUE(file->CopyPicture(reinterpret_cast<uint8_t*>(pixels.data()), 32 * 4,
                                      VideoFile::Layout::X8R8G8B8));
        const TestAvi::Rgb c = TestAvi::FlatColour(picture);
        const uint32_t p = pixels[8 * 32 + 16];
        EXPECT_NEAR(static_cast<int>(p >> 16 & 255), c.r, 6);
        EXPECT_NEAR(static_cast<int>(p >> 8 & 255), c.g, 6);
        EXPECT_NEAR(static_cast<int>(p & 255), c.b, 6);
    }
}

TEST_F(VideoFixture, ConversionWritesNothingPastTheLastRow) {
    // Widths that are no multiple of the converter's vector width, in both layouts.
    for (const int width : {124, 30, 3}) {
        for (const auto codec : {TestAvi::Codec::Raw, TestAvi::Codec::Mjpeg}) {
            SCOPED_TRACE(testing::Message() << width << (codec == TestAvi::Codec::Raw ? " raw" : " mjpeg"));
            auto file = OpenBytes(TestAvi::ReadBytes(
                Make("w.avi", {.width = width, .height = 8, .frames = 1, .codec = codec})));
            ASSERT_NE(file, nullptr);
            ASSERT_EQ(file->ShowAt(0.0), VideoFile::Show::Picture);
            for (const auto& [layout, bytes] : {std::pair{VideoFile::Layout::X8R8G8B8, 4},
                                               std::pair{VideoFile::Layout::R5G6B5, 2}}) {
                const size_t size = static_cast<size_t>(width) * 8 * bytes;
                std::vector<uint8_t> pixels(size + 256, 0xAB);
                ASSERT_TRUE(file->CopyPicture(pixels.data(), width * bytes, layout));
                EXPECT_EQ(std::count(pixels.begin() + static_cast<std::ptrdiff_t>(size), pixels.end(), 0xAB), 256);
            }
        }
    }
}

TEST_F(VideoFixture, FilesThatCannotPlayAreRefusedWithAReason) {
    auto mjpeg = TestAvi::ReadBytes(Make("m.avi", {.codec = TestAvi::Codec::Mjpeg}));
    auto unknownCodec = mjpeg;
    TestAvi::ReplaceFourCC(unknownCodec, "MJPG", "QQZ9");
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        VideoFile::OpenError error;
        const char* messagePart;
    } cases[] = {
        {"empty", {}, VideoFile::OpenError::NotVideoFile, "AVI"},
        {"text", {'h', 'e', 'l', 'l', 'o'}, VideoFile::OpenError::NotVideoFile, "AVI"},
        {"header only", std::vector<uint8_t>(mjpeg.begin(), mjpeg.begin() + 12), VideoFile::OpenError::NotVideoFile,
         ""},
        {"unknown codec", unknownCodec, VideoFile::OpenError::NoDecoder, "no decoder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VideoFile::OpenError error{};
        std::string message;
        EXPECT_EQ(OpenBytes(c.bytes, &error, &message), nullptr);
        EXPECT_EQ(error, c.error);
        EXPECT_NE(message.find(c.messagePart), std::string::npos) << message;
    }
}

TEST_F(VideoFixture, DamagedFilesNeverCrashAndEndInTime) {
    const auto good = TestAvi::ReadBytes(Make("d.avi", {.width = 16, .height = 8, .frames = 4}));
    std::vector<uint32_t> pixels(16 * 8);
    const auto play = [&](std::vector<uint8_t> bytes) {
        auto file = OpenBytes(std::move(bytes));
        if (file == nullptr) {
            return;
        }
        std::vector<uint8_t> picture(static_cast<size_t>(file->Width()) * file->Height() * 4);
        for (int step = 0; step < 1000; ++step) {
            if (file->ShowAt(step * 0.5) == VideoFile::Show::End) {
                return;
            }
            file->CopyPicture(picture.data(), file->Width() * 4, VideoFile::Layout::X8R8G8B8);
        }
        ADD_FAILURE() << "a damaged file never ended: ";
    };
    for (size_t length = 0; length < good.size(); length += 7) {
        play(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        auto bytes = good;
        for (int flips = 0; flips < 4; ++flips) {
            seed = seed * 1103515245u + 12345u;
            bytes[(seed >> 8) % bytes.size()] ^= static_cast<uint8_t>(1u << (seed >> 28 & 7));
        }
        play(std::move(bytes));
    }
}

// ---- DirectDraw ------------------------------------------------------------------------

TEST_F(VideoFixture, SurfacesHaveTheirFormatAndLockOnce) {
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    for (const int bits : {32, 16}) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = 5;
        desc.dwHeight = 3;
        desc.ddpfPixelFormat = bits == 32 ? DDPixelFormatX8R8G8B8() : DDPixelFormatR5G6B5();
        IDirectDrawSurface* surface = nullptr;
        ASSERT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
        DDSURFACEDESC locked{};
        locked.dwSize = sizeof(locked);
        RECT rect{1, 1, 3, 2};
        ASSERT_EQ(surface->Lock(&rect, &locked, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_EQ(locked.lPitch, 5 * bits / 8);
        static_cast<uint8_t*>(locked.lpSurface)[0] = 0xAB;
        EXPECT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
        EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
        EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
        EXPECT_EQ(DirectDrawStandIn::StandIn(surface)->Pixel(1, 1) & 0xFF, 0xABu);
        surface->Release();
    }
    DDSURFACEDESC bad{};
    bad.dwSize = 108;  // the 32-bit layout's size is refused here
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&bad, &surface, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface, nullptr);
    VideoFaults::FailNext("CreateSurface", DDERR_OUTOFMEMORY);
    bad.dwSize = sizeof(bad);
    bad.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    bad.dwWidth = bad.dwHeight = 2;
    EXPECT_EQ(dd->CreateSurface(&bad, &surface, nullptr), DDERR_OUTOFMEMORY);
    dd->Release();
}

// ---- The multimedia stream, as the players drive it -----------------------------------

struct Player {
    IDirectDraw* dd = nullptr;
    IAMMultiMediaStream* stream = nullptr;
    IMediaStream* video = nullptr;
    IDirectDrawMediaStream* ddStream = nullptr;
    IDirectDrawSurface* surface = nullptr;
    IDirectDrawStreamSample* sample = nullptr;
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IBasicAudio* audio = nullptr;
    DDSURFACEDESC format{};

    HRESULT Prepare(const std::string& path, bool sound) {
        HRESULT hr = DirectDrawCreate(nullptr, &dd, nullptr);
        if (FAILED(hr)) {
            return hr;
        }
        hr = CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER, IID_IAMMultiMediaStream,
                              reinterpret_cast<void**>(&stream));
        if (FAILED(hr) || FAILED(hr = stream->Initialize(STREAMTYPE_READ, 0, nullptr))) {
            return hr;
        }
        if (sound && FAILED(hr = stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER,
                                                         nullptr))) {
            return hr;
        }
        if (FAILED(hr = stream->AddMediaStream(dd, &MSPID_PrimaryVideo, 0, nullptr))) {
            return hr;
        }
        const std::u16string wide = AnsiToWide(path);
        const std::vector<WCHAR> name(wide.begin(), wide.end() + 1);
        if (FAILED(hr = stream->OpenFile(name.data(), 0)) ||
            FAILED(hr = stream->GetMediaStream(MSPID_PrimaryVideo, &video)) ||
            FAILED(hr = video->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&ddStream)))) {
            return hr;
        }
        format.dwSize = sizeof(format);
        if (FAILED(hr = ddStream->GetFormat(&format, nullptr, nullptr, nullptr)) ||
            FAILED(hr = dd->CreateSurface(&format, &surface, nullptr)) ||
            FAILED(hr = ddStream->CreateSample(surface, nullptr, 0, &sample)) ||
            FAILED(hr = stream->GetFilterGraph(&graph)) ||
            FAILED(hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
            return hr;
        }
        if (sound && FAILED(hr = graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)))) {
            return hr;
        }
        return stream->SetState(STREAMSTATE_STOP);
    }
    ~Player() {
        SafeRelease(audio);
        SafeRelease(control);
        SafeRelease(graph);
        SafeRelease(sample);
        SafeRelease(ddStream);
        SafeRelease(video);
        SafeRelease(stream);
        SafeRelease(surface);
        SafeRelease(dd);
    }
};

TEST_F(VideoFixture, StreamDeliversPicturesByTheClockAndRewinds) {
    const std::string path = Make("play.avi", {.width = 20, .height = 8, .frames = 3, .fps = 10, .audio = true});
    Player p;
    ASSERT_EQ(p.Prepare(path, true), S_OK);
    EXPECT_EQ(p.format.dwWidth, 20u);
    EXPECT_EQ(p.format.dwHeight, 8u);
    EXPECT_EQ(DDPixelFormatBits(p.format.ddpfPixelFormat), 32);
    auto seen = MultiMediaStreamStandIn::Observe(p.stream);
    EXPECT_TRUE(seen.hasAudioStream);
    EXPECT_TRUE(seen.fileHasAudio);
    EXPECT_EQ(seen.openedFile, path);

    EXPECT_EQ(p.audio->put_Volume(-437), S_OK);
    EXPECT_EQ(p.audio->put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(MultiMediaStreamStandIn::Observe(p.stream).volume, -437);

    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), MS_E_NOTRUNNING);
    ASSERT_EQ(p.stream->SetState(STREAMSTATE_RUN), S_OK);
    auto* surface = DirectDrawStandIn::StandIn(p.surface);
    const auto red = [&] { return static_cast<int>(surface->Pixel(3, 2) >> 16 & 255); };
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(red(), TestAvi::PatternColour(0, 0, 0).r);
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), MS_S_NOUPDATE);
    PlatformClock::AdvanceMilliseconds(100);
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(red(), TestAvi::PatternColour(1, 0, 0).r);
    // Stopped time does not count.
    ASSERT_EQ(p.control->Stop(), S_OK);
    PlatformClock::AdvanceMilliseconds(5000);
    ASSERT_EQ(p.control->Run(), S_OK);
    PlatformClock::AdvanceMilliseconds(100);
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(red(), TestAvi::PatternColour(2, 0, 0).r);
    PlatformClock::AdvanceMilliseconds(100);
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), MS_S_ENDOFSTREAM);
    EXPECT_EQ(MultiMediaStreamStandIn::Observe(p.stream).picturesDelivered, 3);

    ASSERT_EQ(p.stream->Seek(0), S_OK);
    EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(red(), TestAvi::PatternColour(0, 0, 0).r);
    EXPECT_EQ(MultiMediaStreamStandIn::Observe(p.stream).rewinds, 1);
}

TEST_F(VideoFixture, OpenFileFailuresNameTheirCause) {
    auto bytes = TestAvi::ReadBytes(Make("m.avi", {.codec = TestAvi::Codec::Mjpeg}));
    TestAvi::ReplaceFourCC(bytes, "MJPG", "QQZ9");
    TestAvi::WriteBytes((dir / "codec.avi").string(), bytes);
    TestAvi::WriteBytes((dir / "junk.avi").string(), {'R', 'I', 'F', 'F', 1, 2, 3});
    const struct {
        const char* file;
        HRESULT result;
    } cases[] = {{"missing.avi", VFW_E_NOT_FOUND},
                 {"junk.avi", VFW_E_INVALID_FILE_FORMAT},
                 {"codec.avi", VFW_E_NO_DECOMPRESSOR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Player p;
        EXPECT_EQ(p.Prepare((dir / c.file).string(), false), c.result);
        EXPECT_FALSE(MultiMediaStreamStandIn::Observe(p.stream).openError.empty());
    }
}

TEST_F(VideoFixture, NoSoundMeansNoAudioInterface) {
    Player p;
    ASSERT_EQ(p.Prepare(Make("n.avi", {.audio = true}), false), S_OK);
    IBasicAudio* audio = nullptr;
    EXPECT_EQ(p.graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)), E_NOINTERFACE);
    EXPECT_FALSE(MultiMediaStreamStandIn::Observe(p.stream).hasAudioStream);
}

TEST_F(VideoFixture, PartsOutliveTheirStreamAndFaultsAreReported) {
    const std::string path = Make("o.avi", {});
    {
        Player p;
        ASSERT_EQ(p.Prepare(path, true), S_OK);
        // The stream goes first; its sample and graph still work.
        SafeRelease(p.stream);
        ASSERT_EQ(p.control->Run(), S_OK);
        EXPECT_EQ(p.sample->Update(0, nullptr, nullptr, 0), S_OK);
        IMultiMediaStream* parent = nullptr;
        EXPECT_EQ(p.video->GetMultiMediaStream(&parent), E_FAIL);
    }
    for (const char* call : {"Initialize", "AddMediaStream", "OpenFile", "GetMediaStream", "GetFormat",
                              "CreateSurface", "CreateSample", "GetFilterGraph", "SetState"}) {
        SCOPED_TRACE(call);
        VideoFaults::FailNext(call, E_OUTOFMEMORY);
        Player p;
        EXPECT_EQ(p.Prepare(path, true), E_OUTOFMEMORY);
        VideoFaults::Clear();
    }
    VideoFaults::FailQuery(IID_IDirectDrawMediaStream, E_NOINTERFACE);
    Player p;
    EXPECT_EQ(p.Prepare(path, true), E_NOINTERFACE);
}

}  // namespace
