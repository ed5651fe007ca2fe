// DirectShow's multimedia streaming as the video players use it: CoCreateInstance of
// CLSID_AMMultiMediaStream gives a read stream that takes a primary video stream (decoded into
// DirectDraw surfaces through a sample) and a primary audio stream, opens a file through the
// path layer, and exposes its filter graph's control, position and volume.
//
// Pictures are decoded for real (VideoFile, FFmpeg): the picture size comes from the file, and a
// running stream's time follows the platform clock, so Update hands out the picture due now,
// MS_S_NOUPDATE while it still holds, and MS_S_ENDOFSTREAM once the last one has had its time.
// Seek(0) or put_CurrentPosition(0) rewinds. The audio stream keeps its volume and follows the
// stream's state; nothing is heard.
//
// Every object of a stream shares one state block, so the stream, its media streams, samples
// and graph can be released in any order. The class registers itself with the COM runtime when
// this file's object is linked, which any use of CLSID_AMMultiMediaStream brings about.
#pragma once

#include "platform/audio/DirectShow.h"
#include "platform/video/DirectDraw.h"

#include <memory>
#include <string>

using STREAM_TIME = LONGLONG;  // 100-nanosecond units
using MSPID = GUID;
using REFMSPID = const MSPID&;

enum STREAM_TYPE : uint32_t { STREAMTYPE_READ = 0, STREAMTYPE_WRITE = 1, STREAMTYPE_TRANSFORM = 2 };
enum STREAM_STATE : uint32_t { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

constexpr DWORD AMMSF_ADDDEFAULTRENDERER = 0x00000001;

extern const CLSID CLSID_AMMultiMediaStream;
inline constexpr MSPID MSPID_PrimaryVideo = {0xA35FF56A, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr MSPID MSPID_PrimaryAudio = {0xA35FF56B, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IMultiMediaStream = {0xB502D1BC, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IMediaStream = {0xB502D1BD, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IStreamSample = {0xB502D1BE, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IAMMultiMediaStream = {0xBEBE595C, 0x9A6F, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawMediaStream = {0xF4104FCE, 0x9A70, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawStreamSample = {0xF4104FCF, 0x9A70, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};

struct IMediaStream;
struct IStreamSample;
struct IDirectDrawStreamSample;

struct IMultiMediaStream : IUnknown {
    virtual HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** stream) = 0;
    virtual HRESULT GetState(STREAM_STATE* state) = 0;
    virtual HRESULT SetState(STREAM_STATE state) = 0;
    virtual HRESULT GetTime(STREAM_TIME* time) = 0;
    virtual HRESULT GetDuration(STREAM_TIME* duration) = 0;
    virtual HRESULT Seek(STREAM_TIME time) = 0;
};

struct IAMMultiMediaStream : IMultiMediaStream {
    // type must be STREAMTYPE_READ and graph null.
    virtual HRESULT Initialize(STREAM_TYPE type, DWORD flags, IGraphBuilder* graph) = 0;
    virtual HRESULT GetFilterGraph(IGraphBuilder** graph) = 0;
    // Video: streamObject is the IDirectDraw the surfaces come from (or null). Audio: streamObject
    // null and AMMSF_ADDDEFAULTRENDERER. result may be null.
    virtual HRESULT AddMediaStream(IUnknown* streamObject, const MSPID* purpose, DWORD flags,
                                   IMediaStream** result) = 0;
    // Called once per stream.
    virtual HRESULT OpenFile(const WCHAR* fileName, DWORD flags) = 0;
};

struct IMediaStream : IUnknown {
    virtual HRESULT GetMultiMediaStream(IMultiMediaStream** stream) = 0;
    virtual HRESULT GetInformation(MSPID* purpose, STREAM_TYPE* type) = 0;
};

struct IDirectDrawMediaStream : IMediaStream {
    // The file's picture size and the surfaces' 32-bit format; every out argument may be null.
    virtual HRESULT GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette, DDSURFACEDESC* desired,
                              DWORD* flags) = 0;
    // surface must be at least the picture's size, X8R8G8B8 or R5G6B5; rect must be null.
    virtual HRESULT CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD flags,
                                 IDirectDrawStreamSample** sample) = 0;
};

struct IStreamSample : IUnknown {
    virtual HRESULT GetMediaStream(IMediaStream** stream) = 0;
    // flags 0 (synchronous): S_OK with the picture due now in the surface, MS_S_NOUPDATE when the
    // surface already holds it, MS_S_ENDOFSTREAM after the last picture, MS_E_NOTRUNNING while
    // the stream is stopped. event, apc and apcData must be null.
    virtual HRESULT Update(DWORD flags, HANDLE event, void* apc, uintptr_t apcData) = 0;
};

struct IDirectDrawStreamSample : IStreamSample {
    virtual HRESULT GetSurface(IDirectDrawSurface** surface, RECT* clipped) = 0;
};

namespace MultiMediaStreamStandIn {

// What a test can see of a stream; from the stream's IAMMultiMediaStream.
struct Observed {
    bool initialized = false;
    bool hasVideoStream = false;
    bool hasAudioStream = false;
    std::string openedFile;  // engine path in UTF-8; empty before OpenFile succeeded
    std::string openError;   // the decoder's reason when OpenFile failed
    bool fileHasAudio = false;
    int videoWidth = 0;
    int videoHeight = 0;
    STREAM_STATE state = STREAMSTATE_STOP;
    LONG volume = 0;
    int picturesDelivered = 0;  // Updates that wrote a picture
    int rewinds = 0;
};
Observed Observe(IAMMultiMediaStream* stream);

// Streams and their parts created and not yet freed.
int LiveObjects();
// Puts CLSID_AMMultiMediaStream back into the COM runtime (after a test removed it).
void RegisterMultiMediaStream();

}  // namespace MultiMediaStreamStandIn
