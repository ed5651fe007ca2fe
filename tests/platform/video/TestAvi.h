// Small AVI files for the video tests, made with FFmpeg's own encoders and AVI muxer: a few
// pictures of a known pattern, uncompressed (exact colours) or MJPEG (colours within a few
// steps), with an optional silent PCM sound track.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace TestAvi {

enum class Codec { Raw, Mjpeg };

struct Options {
    int width = 32;
    int height = 16;
    int frames = 4;
    int fps = 10;
    Codec codec = Codec::Raw;
    bool audio = false;
};

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// The picture pattern: picture i has a red level that names it, green rising along x, blue
// along y. MJPEG files use flat pictures (FlatColour) instead, which survive compression.
inline Rgb PatternColour(int picture, int x, int y) {
    return Rgb{(picture * 60 + 30) & 255, (x * 8) & 255, (y * 12) & 255};
}
inline Rgb FlatColour(int picture) {
    static const Rgb colours[] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}, {40, 200, 200}};
    return colours[picture % 5];
}

// Writes the file; false when FFmpeg refuses something (the test then fails on its own).
inline bool Write(const std::string& path, const Options& o) {
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "avi", path.c_str()) < 0) {
        return false;
    }
    bool ok = true;
    const AVCodec* encoder = avcodec_find_encoder(o.codec == Codec::Raw ? AV_CODEC_ID_RAWVIDEO : AV_CODEC_ID_MJPEG);
    AVCodecContext* video = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
    AVStream* videoStream = avformat_new_stream(out, nullptr);
    AVCodecContext* sound = nullptr;
    AVStream* soundStream = nullptr;
    if (video == nullptr || videoStream == nullptr) {
        ok = false;
    } else {
        video->width = o.width;
        video->height = o.height;
        video->time_base = AVRational{1, o.fps};
        video->framerate = AVRational{o.fps, 1};
        video->pix_fmt = o.codec == Codec::Raw ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_YUVJ420P;
        video->color_range = AVCOL_RANGE_JPEG;
        if (o.codec == Codec::Mjpeg) {
            video->flags |= AV_CODEC_FLAG_QSCALE;
            video->global_quality = FF_QP2LAMBDA * 2;
        }
        if (out->oformat->flags & AVFMT_GLOBALHEADER) {
            video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        ok = avcodec_open2(video, encoder, nullptr) >= 0 &&
             avcodec_parameters_from_context(videoStream->codecpar, video) >= 0;
        videoStream->time_base = video->time_base;
    }
    if (ok && o.audio) {
        const AVCodec* pcm = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
        sound = pcm != nullptr ? avcodec_alloc_context3(pcm) : nullptr;
        soundStream = avformat_new_stream(out, nullptr);
        if (sound == nullptr || soundStream == nullptr) {
            ok = false;
        } else {
            sound->sample_rate = 8000;
            sound->sample_fmt = AV_SAMPLE_FMT_S16;
            av_channel_layout_default(&sound->ch_layout, 1);
            sound->time_base = AVRational{1, 8000};
            ok = avcodec_open2(sound, pcm, nullptr) >= 0 &&
                 avcodec_parameters_from_context(soundStream->codecpar, sound) >= 0;
            soundStream->time_base = sound->time_base;
        }
    }
    if (ok) {
        ok = avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    }
    if (ok) {
        ok = avformat_write_header(out, nullptr) >= 0;
    }
    AVPacket* packet = av_packet_alloc();
    const auto drain = [&](AVCodecContext* codec, AVStream* stream) {
        while (avcodec_receive_packet(codec, packet) == 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            ok = av_interleaved_write_frame(out, packet) >= 0 && ok;
        }
    };
    AVFrame* frame = av_frame_alloc();
    for (int i = 0; ok && i < o.frames; ++i) {
        av_frame_unref(frame);
        frame->format = video->pix_fmt;
        frame->width = o.width;
        frame->height = o.height;
        frame->color_range = AVCOL_RANGE_JPEG;
        if (av_frame_get_buffer(frame, 0) < 0) {
            ok = false;
            break;
        }
        for (int y = 0; y < o.height; ++y) {
            for (int x = 0; x < o.width; ++x) {
                const Rgb c = o.codec == Codec::Raw ? PatternColour(i, x, y) : FlatColour(i);
                if (o.codec == Codec::Raw) {
                    uint8_t* p = frame->data[0] + y * frame->linesize[0] + x * 3;
                    p[0] = static_cast<uint8_t>(c.b);
                    p[1] = static_cast<uint8_t>(c.g);
                    p[2] = static_cast<uint8_t>(c.r);
                } else {
                    // Full-range BT.601, as JPEG uses.
                    const double Y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
                    const double U = 128 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b;
                    const double V = 128 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b;
                    frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(Y + 0.5);
                    frame->data[1][(y / 2) * frame->linesize[1] + x / 2] = static_cast<uint8_t>(U + 0.5);
                    frame->data[2][(y / 2) * frame->linesize[2] + x / 2] = static_cast<uint8_t>(V + 0.5);
                }
            }
        }
        frame->pts = i;
        ok = avcodec_send_frame(video, frame) >= 0;
        drain(video, videoStream);
        if (ok && sound != nullptr) {
            av_frame_unref(frame);
            frame->format = AV_SAMPLE_FMT_S16;
            frame->nb_samples = 8000 / o.fps;
            frame->sample_rate = 8000;
            av_channel_layout_default(&frame->ch_layout, 1);
            ok = av_frame_get_buffer(frame, 0) >= 0;
            if (ok) {
                av_samples_set_silence(frame->data, 0, frame->nb_samples, 1, AV_SAMPLE_FMT_S16);
                frame->pts = static_cast<int64_t>(i) * frame->nb_samples;
                ok = avcodec_send_frame(sound, frame) >= 0;
                drain(sound, soundStream);
            }
        }
    }
    if (ok) {
        avcodec_send_frame(video, nullptr);
        drain(video, videoStream);
        if (sound != nullptr) {
            avcodec_send_frame(sound, nullptr);
            drain(sound, soundStream);
        }
        ok = av_write_trailer(out) >= 0 && ok;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    if (out->pb != nullptr) {
        avio_closep(&out->pb);
    }
    avformat_free_context(out);
    return ok;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Replaces every occurrence of one four-character code, to name a codec nobody decodes.
inline void ReplaceFourCC(std::vector<uint8_t>& bytes, const char* from, const char* to) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::equal(from, from + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i))) {
            std::copy(to, to + 4, bytes.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

}  // namespace TestAvi
