// A video file decoded by FFmpeg (libavformat, libavcodec, libswscale) picture by picture in
// presentation order, for the multimedia-streaming stand-in.
//
// The bytes come through a custom I/O context from an open file or from memory, so a file on the
// disk and bytes from a fuzzer take the same road, and rewinding reopens the source instead of
// trusting the container's index. Only AVI containers are accepted (the game's films are AVI);
// every video codec this FFmpeg decodes plays. Pictures larger than MaxSide on a side are
// refused before anything is allocated for them.
//
// Time is seconds from the first picture. ShowAt moves forward to the picture due at a time; a
// time earlier than the shown picture needs Rewind first. A time stamp more than 10 s after the
// previous picture's, or a frame rate slower than one picture in 10 s, is taken as damage: the
// picture then follows its predecessor by one frame duration (1/25 s without a usable rate).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class VideoFile {
public:
    static constexpr int MaxSide = 4096;

    enum class OpenError { None, NotVideoFile, NoVideoStream, NoDecoder, BadPicture };
    enum class Show { Picture, Unchanged, End };
    // Memory layouts of the pictures handed out; little-endian words as Direct3D's formats.
    enum class Layout { X8R8G8B8, R5G6B5 };

    // Null on failure, with the kind and a text for the log ("no decoder for codec 'xyz'").
    static std::unique_ptr<VideoFile> Open(std::vector<uint8_t> bytes, OpenError& error, std::string& message);
    // Takes the file over (closed with the VideoFile, or at once on failure).
    static std::unique_ptr<VideoFile> Open(std::FILE* file, OpenError& error, std::string& message);
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    int Width() const { return width; }
    int Height() const { return height; }
    bool HasAudio() const { return hasAudio; }
    const std::string& CodecName() const { return codecName; }
    // Seconds one picture stays (from the frame rate; 1/25 when the file gives none).
    double FrameDuration() const { return frameDuration; }
    // Seconds the container claims, or 0 when it does not say.
    double Duration() const { return duration; }

    // Decodes forward to the picture due at `seconds`. Picture: a newer picture is current;
    // Unchanged: the current one still holds (or none is due yet); End: the last picture has
    // been shown for its whole duration, or nothing in the file decodes.
    Show ShowAt(double seconds);
    // Seconds at which the current picture began; negative before the first.
    double PictureTime() const { return pictureTime; }
    // Pictures made current since the last Open or Rewind.
    int PicturesShown() const { return shown; }
    // Back to before the first picture.
    bool Rewind();

    // Converts the current picture into rows of `pitch` bytes at `pixels` (Width x Height
    // pixels). False when no picture is current or the conversion is impossible.
    bool CopyPicture(uint8_t* pixels, int pitch, Layout layout);

    struct Source;  // where the bytes come from

private:
    struct Demuxer;
    explicit VideoFile(std::unique_ptr<Source> source);
    static std::unique_ptr<VideoFile> Open(std::unique_ptr<Source> source, OpenError& error, std::string& message);
    OpenError Start(std::string& message);
    bool DecodeNext();  // into `next`; false at the end of the stream or on a broken decoder

    std::unique_ptr<Source> source;
    std::unique_ptr<Demuxer> demuxer;
    int width = 0;
    int height = 0;
    bool hasAudio = false;
    std::string codecName;
    double frameDuration = 0.04;
    double duration = 0.0;
    double pictureTime = -1.0;
    double nextTime = 0.0;
    bool haveCurrent = false;
    bool haveNext = false;
    bool primed = false;
    int shown = 0;
};
