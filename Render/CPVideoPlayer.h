// What the two video players (CPAVIPlayer, CPAVIPlayer1) share: a task that plays a file of
// "Data\Video" through DirectShow's multimedia streaming into a DirectDraw surface, and copies
// each new picture into the top-left corner of a power-of-two Direct3D texture that it installs
// in the texture manager in place of a texture of a given name ("video", "video1"), with sound
// through the stream's audio renderer.
//
// The players differ only in their source file and report lines, the texture name they take
// over and whether sound can be left out; each gives its own Config.
//
// Texture ownership: the player holds one reference to Texture. While the texture manager's
// entry shows it (its Name is "VIDEO"/"VIDEO1"), the entry does not release it. A new texture
// is installed before the old one is released, so a material never shows a freed texture;
// a player destroyed while its texture is still installed hands its reference to the entry
// (whose Name goes back to the request, so the entry releases it).
//
// The task: Start runs the stream, each Update copies the picture due by the platform clock,
// and at the end of the file the film rewinds when Loop is set, otherwise the task stops.
#pragma once

#include "core/CPTask.h"
#include "platform/d3d9/D3D9.h"
#include "platform/ui/WinUser.h"
#include "platform/video/MultiMediaStream.h"

#include <cstdint>
#include <string>

class CPVideoPlayer : public CPTask {
public:
    // The report lines of one player, in the order its operations make the calls.
    struct Config {
        const char* SourceFile;
        const char* TextureEntry;  // the texture manager's key ("video")
        const char* TextureName;   // the installed texture's Name ("VIDEO")
        bool SoundOptional;        // the first player can play without its audio stream
        int RestartLine, OpenFileLine, VideoStreamLine, DDStreamLine, FormatLine, SurfaceLine, SampleLine,
            TextureLine, FilterGraphLine, MediaControlLine, MediaPositionLine, BasicAudioLine, VolumeLine,
            StopLine;
        int DirectDrawLine, CooperativeLine, CreateStreamLine, InitializeLine, AudioStreamLine, VideoStreamAddLine;
        int UpdateLine, CopyLine;  // the task's steps
    };

    explicit CPVideoPlayer(const Config& config);
    ~CPVideoPlayer() override;

    size_t GetObjectSize() const override { return sizeof(CPVideoPlayer); }

    // Creates the streaming objects; the first failing call's result.
    HRESULT Init();
    // Releases the streaming objects (not Texture). Named apart from CPObject::Release, the
    // reference count, which every CPtr calls and which must not close the film.
    void ReleaseStreams();
    // ReleaseStreams, then Init; a failed Init is followed by ReleaseStreams again.
    HRESULT Restart();
    // 2 when n < 2, otherwise the smallest power of two greater than n (256 gives 512).
    static int NextPowerOfTwo(int n);

    // Runs the stream (from the start again when the last play reached the end).
    bool Start() override;
    // Copies a new picture into Texture; at the end rewinds (Loop) or stops.
    void Update() override;
    void Stop() override;
    int GetKind() const override { return 0; }

    IDirectDraw* DirectDraw = nullptr;
    IUnknown* Extra = nullptr;
    IDirectDrawSurface* Surface = nullptr;
    IAMMultiMediaStream* Stream = nullptr;
    IMediaStream* VideoStream = nullptr;
    IDirectDrawMediaStream* DDStream = nullptr;
    IDirectDrawStreamSample* Sample = nullptr;
    IMediaControl* MediaControl = nullptr;
    IMediaPosition* MediaPosition = nullptr;
    IBasicAudio* BasicAudio = nullptr;
    RECT SourceRect;
    IDirect3DTexture9* Texture = nullptr;  // one reference, the player's
    IDirect3DDevice9* Device = nullptr;    // the renderer's, not counted
    int32_t TextureWidth = 0;
    int32_t TextureHeight = 0;
    int32_t TextureBpp = 0;
    bool EndReached = false;
    bool Loop = false;
    bool NoSound = false;

    // Pictures copied into Texture since the last Open.
    int PicturesCopied = 0;

protected:
    // Prepares the file (stream stopped, texture installed). Failures are reported and end it.
    void OpenFile(const std::string& fileName, bool noSound);

private:
    bool MakeTexture(int width, int height);
    void InstallTexture();
    void CopyPicture();

    const Config& config;
};
