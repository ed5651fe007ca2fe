// Video cost per frame: the player's step for a 320 x 240 MJPEG film, one new picture per
// step (decode, convert into the DirectDraw surface, copy into the texture), against a plain
// baseline doing the same work with FFmpeg directly: the packets already in memory, decode
// one, convert it to 32-bit rows, copy them into a texture-sized buffer.
#include "Render/CPAVIPlayer.h"
#include "Render/CPRender.h"
#include "bench/BaselineRatio.h"
#include "core/ConfigVars.h"
#include "platform/d3d9/D3D9Device.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "tests/TempFolder.h"
#include "tests/platform/video/TestAvi.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int Frames = 50;
constexpr int Fps = 25;

// Every video packet of the file, for the baseline.
std::vector<std::vector<uint8_t>> Packets(const std::string& path, AVCodecParameters*& parameters) {
    AVFormatContext* format = nullptr;
    std::vector<std::vector<uint8_t>> packets;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return packets;
    }
    avformat_find_stream_info(format, nullptr);
    parameters = avcodec_parameters_alloc();
    avcodec_parameters_copy(parameters, format->streams[0]->codecpar);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        packets.emplace_back(packet->data, packet->data + packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return packets;
}

void BM_VideoFrame320x240(benchmark::State& state) {
    const TempFolder folder(TempFolder::ForProcess("bench_video"));
    std::filesystem::create_directories(folder / "Data" / "Video");
    const std::string film = (folder / "Data" / "Video" / "film.avi").string();
    if (!TestAvi::Write(film, {.width = Width, .height = Height, .frames = Frames, .fps = Fps,
                               .codec = TestAvi::Codec::Mjpeg})) {
        state.SkipWithError("cannot write the film");
        return;
    }
    PlatformClock::UseManual();
    CoInitialize(nullptr);
    Cfg::screenBPP = 32;

    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    {
        CPRender render;
        render.Device = device;
        CPRender::Instance = &render;
        CPAVIPlayer player;
        player.Open("film.avi", true);
        player.Loop = true;
        player.Start();

        // The baseline's decoder, converter and buffers.
        AVCodecParameters* parameters = nullptr;
        const auto packets = Packets(film, parameters);
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        AVCodecContext* decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, parameters);
        avcodec_open2(decoder, codec, nullptr);
        AVFrame* frame = av_frame_alloc();
        AVPacket* packet = av_packet_alloc();
        SwsContext* scaler = nullptr;
        std::vector<uint8_t> rows(size_t{Width} * Height * 4);
        std::vector<uint8_t> texture(size_t{512} * 256 * 4);
        size_t next = 0;

        RunAgainstBaseline(
            state,
            [&] {
                PlatformClock::AdvanceMicroseconds(1000000 / Fps);
                player.Update();
            },
            [&] {
                const auto& bytes = packets[next++ % packets.size()];
                av_new_packet(packet, static_cast<int>(bytes.size()));
                std::memcpy(packet->data, bytes.data(), bytes.size());
                avcodec_send_packet(decoder, packet);
                av_packet_unref(packet);
                if (avcodec_receive_frame(decoder, frame) == 0) {
                    scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                                  static_cast<AVPixelFormat>(frame->format), Width, Height,
                                                  AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
                    uint8_t* planes[4] = {rows.data(), nullptr, nullptr, nullptr};
                    int pitches[4] = {Width * 4, 0, 0, 0};
                    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
                    for (int y = 0; y < Height; ++y) {
                        std::memcpy(&texture[size_t{512} * 4 * y], &rows[size_t{Width} * 4 * y], Width * 4);
                    }
                }
                benchmark::DoNotOptimize(texture.data());
            });
        state.counters["pictures"] = player.PicturesCopied;

        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&decoder);
        avcodec_parameters_free(&parameters);
        CPRender::Instance = nullptr;
    }
    device->Release();
    CoUninitialize();
    PlatformClock::UseReal();
}
BENCHMARK(BM_VideoFrame320x240)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
