#include "platform/video/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr int IoBufferSize = 4096;
constexpr int ScratchAlign = 64;
// Pictures due within this many seconds of a time count as due, so that sums of frame
// durations (0.1 + 0.2) land on the picture they mean.
constexpr double TimeSlack = 1e-6;
// Longest wait for the next picture and longest picture duration a file is believed; a damaged
// time stamp or frame rate beyond them would freeze the film.
constexpr double MaxGap = 10.0;

int ReadPacket(void* opaque, uint8_t* buffer, int size);
int64_t SeekPacket(void* opaque, int64_t offset, int whence);

double Seconds(int64_t ticks, AVRational base) { return static_cast<double>(ticks) * av_q2d(base); }

}  // namespace

struct VideoFile::Source {
    virtual ~Source() = default;
    // Bytes read (0 at the end).
    virtual size_t Read(uint8_t* buffer, size_t size) = 0;
    virtual bool SeekTo(int64_t position) = 0;
    virtual int64_t Position() = 0;
    virtual int64_t Size() = 0;
};

namespace {

class MemorySource final : public VideoFile::Source {
public:
    explicit MemorySource(std::vector<uint8_t> data) : bytes(std::move(data)) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        const size_t count = std::min(size, bytes.size() - position);
        if (count == 0) {
            return 0;
        }
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return count;
    }
    bool SeekTo(int64_t to) override {
        position = static_cast<size_t>(to);
        return true;
    }
    int64_t Position() override { return static_cast<int64_t>(position); }
    int64_t Size() override { return static_cast<int64_t>(bytes.size()); }

private:
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

class FileSource final : public VideoFile::Source {
public:
    explicit FileSource(std::FILE* f) : file(f) {
        if (std::fseek(file, 0, SEEK_END) == 0) {
            size = std::max<int64_t>(std::ftell(file), 0);
        }
        std::fseek(file, 0, SEEK_SET);
    }
    ~FileSource() override { std::fclose(file); }
    size_t Read(uint8_t* buffer, size_t count) override { return std::fread(buffer, 1, count, file); }
    bool SeekTo(int64_t to) override { return std::fseek(file, static_cast<long>(to), SEEK_SET) == 0; }
    int64_t Position() override { return std::ftell(file); }
    int64_t Size() override { return size; }

private:
    std::FILE* file;
    int64_t size = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* source = static_cast<VideoFile::Source*>(opaque);
    const size_t count = source->Read(buffer, static_cast<size_t>(std::max(size, 0)));
    return count == 0 ? AVERROR_EOF : static_cast<int>(count);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* source = static_cast<VideoFile::Source*>(opaque);
    const int64_t size = source->Size();
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = source->Position();
        break;
    case SEEK_END:
        base = size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0 || base + offset > size ||
        !source->SeekTo(base + offset)) {
        return AVERROR(EINVAL);
    }
    return base + offset;
}

}  // namespace

struct VideoFile::Demuxer {
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* current = nullptr;
    AVFrame* next = nullptr;
    SwsContext* scaler = nullptr;
    uint8_t* scratch = nullptr;  // converted rows, av_malloc'd
    size_t scratchSize = 0;
    int stream = -1;
    AVRational timeBase{1, 25};
    int64_t startTicks = 0;
    bool inputEnded = false;  // the last packet was read and the decoder is being drained
    bool decoderEnded = false;

    ~Demuxer() {
        sws_freeContext(scaler);
        av_freep(&scratch);
        av_frame_free(&current);
        av_frame_free(&next);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            avformat_close_input(&format);
        }
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};

VideoFile::VideoFile(std::unique_ptr<Source> from) : source(std::move(from)) {}

VideoFile::~VideoFile() = default;

std::unique_ptr<VideoFile> VideoFile::Open(std::vector<uint8_t> data, OpenError& error, std::string& message) {
    return Open(std::make_unique<MemorySource>(std::move(data)), error, message);
}

std::unique_ptr<VideoFile> VideoFile::Open(std::FILE* file, OpenError& error, std::string& message) {
    if (file == nullptr) {
        error = OpenError::NotVideoFile;
        message = "no file";
        return nullptr;
    }
    return Open(std::make_unique<FileSource>(file), error, message);
}

std::unique_ptr<VideoFile> VideoFile::Open(std::unique_ptr<Source> from, OpenError& error, std::string& message) {
    std::unique_ptr<VideoFile> file(new VideoFile(std::move(from)));
    error = file->Start(message);
    if (error != OpenError::None) {
        return nullptr;
    }
    return file;
}

VideoFile::OpenError VideoFile::Start(std::string& message) {
    // FFmpeg's own complaints about damaged data would go to stderr; failures reach the
    // caller through the results here instead.
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    auto d = std::make_unique<Demuxer>();
    if (!source->SeekTo(0)) {
        message = "the file cannot be read";
        return OpenError::NotVideoFile;
    }
    auto* buffer = static_cast<uint8_t*>(av_malloc(IoBufferSize));
    if (buffer == nullptr) {
        message = "out of memory";
        return OpenError::NotVideoFile;
    }
    d->io = avio_alloc_context(buffer, IoBufferSize, 0, source.get(), ReadPacket, nullptr, SeekPacket);
    d->format = avformat_alloc_context();
    if (d->io == nullptr || d->format == nullptr) {
        if (d->io == nullptr) {
            av_free(buffer);
        }
        message = "out of memory";
        return OpenError::NotVideoFile;
    }
    d->format->pb = d->io;
    d->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* avi = av_find_input_format("avi");
    if (avi == nullptr) {
        message = "this FFmpeg has no AVI demuxer";
        return OpenError::NotVideoFile;
    }
    // On failure avformat_open_input frees the context it was given.
    if (avformat_open_input(&d->format, nullptr, avi, nullptr) < 0) {
        d->format = nullptr;
        message = "not an AVI file";
        return OpenError::NotVideoFile;
    }
    if (avformat_find_stream_info(d->format, nullptr) < 0) {
        message = "damaged AVI file";
        return OpenError::NotVideoFile;
    }
    d->stream = av_find_best_stream(d->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (d->stream < 0) {
        message = "no video stream";
        return OpenError::NoVideoStream;
    }
    hasAudio = av_find_best_stream(d->format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
    const AVStream* stream = d->format->streams[d->stream];
    const AVCodecParameters* parameters = stream->codecpar;
    codecName = avcodec_get_name(parameters->codec_id);
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) {
        message = "no decoder for codec '" + codecName + "'";
        return OpenError::NoDecoder;
    }
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > MaxSide ||
        parameters->height > MaxSide) {
        message = "picture size " + std::to_string(parameters->width) + "x" + std::to_string(parameters->height) +
                  " out of range";
        return OpenError::BadPicture;
    }
    width = parameters->width;
    height = parameters->height;
    d->codec = avcodec_alloc_context3(decoder);
    if (d->codec == nullptr || avcodec_parameters_to_context(d->codec, parameters) < 0 ||
        avcodec_open2(d->codec, decoder, nullptr) < 0) {
        message = "codec '" + codecName + "' cannot be opened";
        return OpenError::NoDecoder;
    }
    d->packet = av_packet_alloc();
    d->current = av_frame_alloc();
    d->next = av_frame_alloc();
    if (d->packet == nullptr || d->current == nullptr || d->next == nullptr) {
        message = "out of memory";
        return OpenError::NotVideoFile;
    }
    d->timeBase = stream->time_base;
    if (d->timeBase.num <= 0 || d->timeBase.den <= 0) {
        d->timeBase = AVRational{1, 25};
    }
    d->startTicks = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = stream->r_frame_rate;
    }
    const double perPicture = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.0;
    frameDuration = std::isfinite(perPicture) && perPicture > 0.0 && perPicture <= MaxGap ? perPicture : 0.04;
    duration = 0.0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        duration = Seconds(stream->duration, d->timeBase);
    }
    demuxer = std::move(d);
    pictureTime = -1.0;
    haveCurrent = haveNext = primed = false;
    shown = 0;
    return OpenError::None;
}

bool VideoFile::DecodeNext() {
    Demuxer& d = *demuxer;
    while (!d.decoderEnded) {
        const int received = avcodec_receive_frame(d.codec, d.next);
        if (received == 0) {
            if (d.next->width <= 0 || d.next->height <= 0) {
                av_frame_unref(d.next);
                continue;
            }
            const int64_t ticks = d.next->best_effort_timestamp;
            double at = ticks != AV_NOPTS_VALUE ? Seconds(ticks - d.startTicks, d.timeBase)
                                                : (haveCurrent ? pictureTime + frameDuration : 0.0);
            const double previous = haveCurrent ? pictureTime : 0.0;
            if (!std::isfinite(at) || at < 0.0 || at > previous + MaxGap) {
                at = haveCurrent ? pictureTime + frameDuration : 0.0;
            }
            nextTime = at;
            return true;
        }
        if (received != AVERROR(EAGAIN)) {
            d.decoderEnded = true;  // drained, or the decoder broke down: no more pictures
            break;
        }
        if (d.inputEnded) {
            d.decoderEnded = true;
            break;
        }
        const int read = av_read_frame(d.format, d.packet);
        if (read < 0) {
            d.inputEnded = true;
            avcodec_send_packet(d.codec, nullptr);  // drain what the decoder holds
            continue;
        }
        if (d.packet->stream_index == d.stream) {
            // A damaged packet is dropped; the next one may decode.
            avcodec_send_packet(d.codec, d.packet);
        }
        av_packet_unref(d.packet);
    }
    return false;
}

VideoFile::Show VideoFile::ShowAt(double seconds) {
    if (demuxer == nullptr) {
        return Show::End;
    }
    if (!primed) {
        primed = true;
        haveNext = DecodeNext();
    }
    bool changed = false;
    while (haveNext && nextTime <= seconds + TimeSlack) {
        std::swap(demuxer->current, demuxer->next);
        av_frame_unref(demuxer->next);
        pictureTime = haveCurrent ? std::max(nextTime, pictureTime) : nextTime;
        haveCurrent = true;
        changed = true;
        ++shown;
        haveNext = DecodeNext();
    }
    if (!haveNext) {
        const double end = haveCurrent ? pictureTime + frameDuration : 0.0;
        if (seconds + TimeSlack >= end && !changed) {
            return Show::End;
        }
    }
    return changed ? Show::Picture : Show::Unchanged;
}

bool VideoFile::Rewind() {
    std::string message;
    demuxer.reset();
    return Start(message) == OpenError::None;
}

bool VideoFile::CopyPicture(uint8_t* pixels, int pitch, Layout layout) {
    if (!haveCurrent || demuxer == nullptr || pixels == nullptr) {
        return false;
    }
    const AVFrame* frame = demuxer->current;
    const auto target = layout == Layout::X8R8G8B8 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGB565LE;
    const int minimumPitch = width * (layout == Layout::X8R8G8B8 ? 4 : 2);
    if (pitch < minimumPitch) {
        return false;
    }
    // A damaged stream may change the picture's size: it is scaled to the file's size.
    demuxer->scaler = sws_getCachedContext(demuxer->scaler, frame->width, frame->height,
                                           static_cast<AVPixelFormat>(frame->format), width, height, target,
                                           SWS_POINT, nullptr, nullptr, nullptr);
    if (demuxer->scaler == nullptr) {
        return false;
    }
    // libswscale's vector code may write past the end of a row, also of the last one: it writes
    // into aligned, padded rows of its own, which are then copied out.
    const int scratchPitch = FFALIGN(minimumPitch, ScratchAlign) + ScratchAlign;
    const size_t scratchSize = static_cast<size_t>(scratchPitch) * (height + 2);
    if (demuxer->scratchSize < scratchSize) {
        av_freep(&demuxer->scratch);
        demuxer->scratch = static_cast<uint8_t*>(av_malloc(scratchSize));
        demuxer->scratchSize = demuxer->scratch != nullptr ? scratchSize : 0;
        if (demuxer->scratch == nullptr) {
            return false;
        }
    }
    uint8_t* planes[4] = {demuxer->scratch, nullptr, nullptr, nullptr};
    int pitches[4] = {scratchPitch, 0, 0, 0};
    if (sws_scale(demuxer->scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches) != height) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(pixels + static_cast<ptrdiff_t>(y) * pitch,
                    demuxer->scratch + static_cast<ptrdiff_t>(y) * scratchPitch, static_cast<size_t>(minimumPitch));
    }
    return true;
}
