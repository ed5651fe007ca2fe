#include "platform/video/MultiMediaStream.h"

#include "platform/files/HostFiles.h"
#include "platform/ui/WinUser.h"
#include "platform/video/VideoFaults.h"
#include "platform/video/VideoFile.h"
#include "platform/win32/CallTrace.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/TextCodec.h"

#include <algorithm>
#include <atomic>
#include <cmath>

const CLSID CLSID_AMMultiMediaStream = {0x49C47CE5, 0x9BA4, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};

namespace MultiMediaStreamStandIn {

namespace {

std::atomic<int> liveObjects{0};

uint64_t NowMicros() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const auto perMicro = std::max<uint64_t>(static_cast<uint64_t>(frequency.QuadPart) / 1000000, 1);
    return static_cast<uint64_t>(count.QuadPart) / perMicro;
}

bool Injected(const char* call, HRESULT& result) { return VideoFaults::Take(call, result); }

class Stream;
class VideoStream;

// What every object of one multimedia stream shares. Objects point back at each other only
// through these plain pointers, which each object clears when it is freed.
struct State {
    Stream* stream = nullptr;
    VideoStream* video = nullptr;
    Observed seen;
    std::unique_ptr<VideoFile> file;
    uint64_t runStartMicros = 0;  // clock when stream time 0 was, while running
    double stoppedAt = 0.0;        // stream seconds while stopped

    double Now() const {
        if (seen.state == STREAMSTATE_RUN) {
            return static_cast<double>(NowMicros() - runStartMicros) / 1e6;
        }
        return stoppedAt;
    }
    HRESULT SetState(STREAM_STATE to) {
        if (to != STREAMSTATE_STOP && to != STREAMSTATE_RUN) {
            return E_INVALIDARG;
        }
        if (to == STREAMSTATE_RUN && file == nullptr) {
            return MS_E_NOTINIT;
        }
        if (to == seen.state) {
            return S_OK;
        }
        if (to == STREAMSTATE_RUN) {
            runStartMicros = NowMicros() - static_cast<uint64_t>(stoppedAt * 1e6);
        } else {
            stoppedAt = Now();
        }
        seen.state = to;
        return S_OK;
    }
    HRESULT Seek(double seconds) {
        if (file == nullptr) {
            return MS_E_NOTINIT;
        }
        if (!std::isfinite(seconds) || seconds < 0.0) {
            seconds = 0.0;
        }
        // Pictures are decoded forward only: going back starts the file again.
        if (seconds < file->PictureTime() || (seconds == 0.0 && file->PicturesShown() > 0)) {
            file->Rewind();
            ++seen.rewinds;
        }
        if (seen.state == STREAMSTATE_RUN) {
            runStartMicros = NowMicros() - static_cast<uint64_t>(seconds * 1e6);
        } else {
            stoppedAt = seconds;
        }
        return S_OK;
    }
};

template <class Interface>
class Counted : public ComObject<Interface> {
protected:
    Counted() { ++liveObjects; }
    ~Counted() override { --liveObjects; }
};

HRESULT Hand(IUnknown* object, void** out) {
    *out = object;
    object->AddRef();
    return S_OK;
}

// The filter graph behind the stream: its control, position and the audio renderer's volume.
class Graph final : public Counted<IGraphBuilder>, public IMediaControl, public IMediaPosition, public IBasicAudio {
public:
    explicit Graph(std::shared_ptr<State> s) : state(std::move(s)) {}

    HRESULT QueryInterface(REFIID riid, void** object) override {
        IGraphBuilder* builder = this;
        IBasicAudio* audio = state->seen.hasAudioStream ? this : nullptr;
        return VideoFaults::Query(riid, object,
                                  {{IID_IUnknown, builder},
                                   {IID_IGraphBuilder, builder},
                                   {IID_IMediaControl, static_cast<IMediaControl*>(this)},
                                   {IID_IMediaPosition, static_cast<IMediaPosition*>(this)},
                                   {IID_IBasicAudio, audio}});
    }
    // One count for every interface the graph offers.
    ULONG AddRef() override { return Counted::AddRef(); }
    ULONG Release() override { return Counted::Release(); }

    HRESULT RenderFile(const WCHAR*, const WCHAR*) override { return E_NOTIMPL; }
    HRESULT Abort() override { return S_OK; }
    HRESULT Run() override { return state->SetState(STREAMSTATE_RUN); }
    HRESULT Pause() override { return state->SetState(STREAMSTATE_STOP); }
    HRESULT Stop() override { return state->SetState(STREAMSTATE_STOP); }
    HRESULT GetState(LONG, OAFilterState* out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = state->seen.state == STREAMSTATE_RUN ? State_Running : State_Stopped;
        return S_OK;
    }
    HRESULT get_Duration(REFTIME* length) override {
        if (length == nullptr) {
            return E_POINTER;
        }
        *length = state->file != nullptr ? state->file->Duration() : 0.0;
        return S_OK;
    }
    HRESULT put_CurrentPosition(REFTIME time) override {
        HRESULT injected = S_OK;
        if (Injected("Seek", injected)) {
            return injected;
        }
        return state->Seek(time);
    }
    HRESULT get_CurrentPosition(REFTIME* time) override {
        if (time == nullptr) {
            return E_POINTER;
        }
        *time = state->Now();
        return S_OK;
    }
    HRESULT put_Volume(LONG volume) override {
        HRESULT injected = S_OK;
        if (Injected("put_Volume", injected)) {
            return injected;
        }
        if (volume < -10000 || volume > 0) {
            return E_INVALIDARG;
        }
        state->seen.volume = volume;
        return S_OK;
    }
    HRESULT get_Volume(LONG* volume) override {
        if (volume == nullptr) {
            return E_POINTER;
        }
        *volume = state->seen.volume;
        return S_OK;
    }

private:
    ~Graph() override = default;

    std::shared_ptr<State> state;
};

HRESULT ParentOf(State& state, IMultiMediaStream** out);

// What the audio and video streams share: their purpose and the way back to their stream.
template <class Interface>
class MediaStream : public Counted<Interface> {
public:
    MediaStream(std::shared_ptr<State> s, const MSPID& id) : state(std::move(s)), purpose(id) {}
    HRESULT GetMultiMediaStream(IMultiMediaStream** out) override { return ParentOf(*state, out); }
    HRESULT GetInformation(MSPID* id, STREAM_TYPE* type) override {
        if (id != nullptr) {
            *id = purpose;
        }
        if (type != nullptr) {
            *type = STREAMTYPE_READ;
        }
        return S_OK;
    }

protected:
    std::shared_ptr<State> state;

private:
    MSPID purpose;
};

class AudioStream final : public MediaStream<IMediaStream> {
public:
    explicit AudioStream(std::shared_ptr<State> s) : MediaStream(std::move(s), MSPID_PrimaryAudio) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return VideoFaults::Query(riid, object, {{IID_IUnknown, this}, {IID_IMediaStream, this}});
    }
};

class VideoStream final : public MediaStream<IDirectDrawMediaStream> {
public:
    explicit VideoStream(std::shared_ptr<State> s) : MediaStream(std::move(s), MSPID_PrimaryVideo) {
        state->video = this;
    }
    ~VideoStream() override {
        if (state->video == this) {
            state->video = nullptr;
        }
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return VideoFaults::Query(riid, object,
                                  {{IID_IUnknown, this}, {IID_IMediaStream, this}, {IID_IDirectDrawMediaStream, this}});
    }
    HRESULT GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette, DDSURFACEDESC* desired,
                      DWORD* flags) override;
    HRESULT CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD flags,
                         IDirectDrawStreamSample** sample) override;
};

class Sample final : public Counted<IDirectDrawStreamSample> {
public:
    Sample(std::shared_ptr<State> s, IDirectDrawSurface* target, int targetBits)
        : state(std::move(s)), surface(target), bits(targetBits) {
        surface->AddRef();
    }
    ~Sample() override { surface->Release(); }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return VideoFaults::Query(riid, object,
                                  {{IID_IUnknown, this}, {IID_IStreamSample, this}, {IID_IDirectDrawStreamSample, this}});
    }
    HRESULT GetMediaStream(IMediaStream** stream) override {
        if (stream == nullptr) {
            return E_POINTER;
        }
        *stream = nullptr;
        if (state->video == nullptr) {
            return MS_E_NOSTREAM;
        }
        return Hand(static_cast<IMediaStream*>(state->video), reinterpret_cast<void**>(stream));
    }
    HRESULT GetSurface(IDirectDrawSurface** out, RECT* clipped) override {
        if (out != nullptr) {
            *out = surface;
            surface->AddRef();
        }
        if (clipped != nullptr && state->file != nullptr) {
            *clipped = RECT{0, 0, state->file->Width(), state->file->Height()};
        }
        return S_OK;
    }
    HRESULT Update(DWORD flags, HANDLE event, void* apc, uintptr_t apcData) override {
        if (flags != 0 || event != nullptr || apc != nullptr || apcData != 0) {
            return E_INVALIDARG;
        }
        HRESULT injected = S_OK;
        if (Injected("Update", injected)) {
            return injected;
        }
        if (state->file == nullptr) {
            return MS_E_NOTINIT;
        }
        if (state->seen.state != STREAMSTATE_RUN) {
            return MS_E_NOTRUNNING;
        }
        switch (state->file->ShowAt(state->Now())) {
        case VideoFile::Show::End:
            return MS_S_ENDOFSTREAM;
        case VideoFile::Show::Unchanged:
            return MS_S_NOUPDATE;
        case VideoFile::Show::Picture:
            break;
        }
        DDSURFACEDESC locked{};
        locked.dwSize = sizeof(locked);
        const HRESULT hr = surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
        if (FAILED(hr)) {
            return hr;
        }
        const bool copied = state->file->CopyPicture(
            static_cast<uint8_t*>(locked.lpSurface), locked.lPitch,
            bits == 32 ? VideoFile::Layout::X8R8G8B8 : VideoFile::Layout::R5G6B5);
        surface->Unlock(locked.lpSurface);
        if (!copied) {
            return VFW_E_UNSUPPORTED_VIDEO;
        }
        ++state->seen.picturesDelivered;
        return S_OK;
    }

private:
    std::shared_ptr<State> state;
    IDirectDrawSurface* surface;
    int bits;
};

class Stream final : public Counted<IAMMultiMediaStream> {
public:
    Stream() : state(std::make_shared<State>()) { state->stream = this; }
    ~Stream() override {
        state->stream = nullptr;
        SafeRelease(video);
        SafeRelease(audio);
        SafeRelease(graph);
    }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return VideoFaults::Query(riid, object,
                                  {{IID_IUnknown, this}, {IID_IMultiMediaStream, this}, {IID_IAMMultiMediaStream, this}});
    }

    HRESULT Initialize(STREAM_TYPE type, DWORD, IGraphBuilder* existing) override {
        HRESULT injected = S_OK;
        if (Injected("Initialize", injected)) {
            return injected;
        }
        if (state->seen.initialized) {
            return MS_E_SOURCEALREADYDEFINED;
        }
        if (type != STREAMTYPE_READ) {
            return MS_E_INVALIDSTREAMTYPE;
        }
        if (existing != nullptr) {
            return E_INVALIDARG;
        }
        graph = new Graph(state);
        state->seen.initialized = true;
        return S_OK;
    }

    HRESULT GetFilterGraph(IGraphBuilder** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        HRESULT injected = S_OK;
        if (Injected("GetFilterGraph", injected)) {
            return injected;
        }
        if (graph == nullptr) {
            return MS_E_NOTINIT;
        }
        return Hand(static_cast<IGraphBuilder*>(graph), reinterpret_cast<void**>(out));
    }

    HRESULT AddMediaStream(IUnknown* streamObject, const MSPID* purpose, DWORD flags,
                           IMediaStream** result) override {
        if (result != nullptr) {
            *result = nullptr;
        }
        HRESULT injected = S_OK;
        if (Injected("AddMediaStream", injected)) {
            return injected;
        }
        if (!state->seen.initialized) {
            return MS_E_NOTINIT;
        }
        if (purpose == nullptr) {
            return E_POINTER;
        }
        if (state->file != nullptr) {
            return MS_E_SOURCEALREADYDEFINED;
        }
        IMediaStream* added = nullptr;
        if (*purpose == MSPID_PrimaryVideo) {
            if (video != nullptr) {
                return MS_E_PURPOSEID;
            }
            if (streamObject != nullptr) {
                IDirectDraw* directDraw = nullptr;
                if (FAILED(streamObject->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&directDraw)))) {
                    return E_NOINTERFACE;
                }
                directDraw->Release();
            }
            video = new VideoStream(state);
            added = video;
            state->seen.hasVideoStream = true;
        } else if (*purpose == MSPID_PrimaryAudio) {
            if (audio != nullptr) {
                return MS_E_PURPOSEID;
            }
            if (streamObject != nullptr || (flags & AMMSF_ADDDEFAULTRENDERER) == 0) {
                return E_INVALIDARG;  // only the default audio renderer is offered
            }
            audio = new AudioStream(state);
            added = audio;
            state->seen.hasAudioStream = true;
        } else {
            return MS_E_PURPOSEID;
        }
        if (result != nullptr) {
            *result = added;
            added->AddRef();
        }
        return S_OK;
    }

    HRESULT OpenFile(const WCHAR* fileName, DWORD) override {
        if (fileName == nullptr) {
            return E_POINTER;
        }
        const std::string path = WideToUtf8(fileName);
        CallTrace::Record("OpenFile " + path);
        HRESULT injected = S_OK;
        if (Injected("OpenFile", injected)) {
            return injected;
        }
        if (!state->seen.initialized) {
            return MS_E_NOTINIT;
        }
        if (state->file != nullptr) {
            return MS_E_SOURCEALREADYDEFINED;
        }
        std::FILE* handle = HostFiles::Open(path, "rb");
        if (handle == nullptr) {
            state->seen.openError = "file not found";
            return VFW_E_NOT_FOUND;
        }
        VideoFile::OpenError error = VideoFile::OpenError::None;
        std::string message;
        std::unique_ptr<VideoFile> file = VideoFile::Open(handle, error, message);
        if (file == nullptr) {
            state->seen.openError = message;
            switch (error) {
            case VideoFile::OpenError::NoVideoStream:
                return VFW_E_CANNOT_RENDER;
            case VideoFile::OpenError::NoDecoder:
                return VFW_E_NO_DECOMPRESSOR;
            case VideoFile::OpenError::BadPicture:
                return VFW_E_UNSUPPORTED_VIDEO;
            default:
                return VFW_E_INVALID_FILE_FORMAT;
            }
        }
        state->seen.openedFile = path;
        state->seen.openError.clear();
        state->seen.fileHasAudio = file->HasAudio();
        state->seen.videoWidth = file->Width();
        state->seen.videoHeight = file->Height();
        state->file = std::move(file);
        state->stoppedAt = 0.0;
        return S_OK;
    }

    HRESULT GetMediaStream(REFMSPID purpose, IMediaStream** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        HRESULT injected = S_OK;
        if (Injected("GetMediaStream", injected)) {
            return injected;
        }
        IMediaStream* found = purpose == MSPID_PrimaryVideo   ? static_cast<IMediaStream*>(video)
                              : purpose == MSPID_PrimaryAudio ? static_cast<IMediaStream*>(audio)
                                                              : nullptr;
        if (found == nullptr) {
            return MS_E_NOSTREAM;
        }
        return Hand(found, reinterpret_cast<void**>(out));
    }
    HRESULT GetState(STREAM_STATE* out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = state->seen.state;
        return S_OK;
    }
    HRESULT SetState(STREAM_STATE to) override {
        HRESULT injected = S_OK;
        if (Injected("SetState", injected)) {
            return injected;
        }
        return state->SetState(to);
    }
    HRESULT GetTime(STREAM_TIME* time) override {
        if (time == nullptr) {
            return E_POINTER;
        }
        *time = static_cast<STREAM_TIME>(state->Now() * 1e7);
        return S_OK;
    }
    HRESULT GetDuration(STREAM_TIME* duration) override {
        if (duration == nullptr) {
            return E_POINTER;
        }
        if (state->file == nullptr) {
            return MS_E_NOTINIT;
        }
        *duration = static_cast<STREAM_TIME>(state->file->Duration() * 1e7);
        return S_OK;
    }
    HRESULT Seek(STREAM_TIME time) override {
        HRESULT injected = S_OK;
        if (Injected("Seek", injected)) {
            return injected;
        }
        return state->Seek(static_cast<double>(time) / 1e7);
    }

    const Observed& Seen() const { return state->seen; }

private:
    std::shared_ptr<State> state;
    VideoStream* video = nullptr;
    AudioStream* audio = nullptr;
    Graph* graph = nullptr;
};

HRESULT ParentOf(State& state, IMultiMediaStream** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (state.stream == nullptr) {
        return E_FAIL;  // the stream was released before its media stream
    }
    return Hand(static_cast<IMultiMediaStream*>(state.stream), reinterpret_cast<void**>(out));
}

HRESULT VideoStream::GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette, DDSURFACEDESC* desired,
                               DWORD* flags) {
    HRESULT injected = S_OK;
    if (Injected("GetFormat", injected)) {
        return injected;
    }
    if (state->file == nullptr) {
        return MS_E_NOSTREAM;
    }
    for (DDSURFACEDESC* desc : {current, desired}) {
        if (desc == nullptr) {
            continue;
        }
        if (desc->dwSize != sizeof(DDSURFACEDESC)) {
            return E_INVALIDARG;
        }
        *desc = DDSURFACEDESC{};
        desc->dwSize = sizeof(DDSURFACEDESC);
        desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc->dwWidth = static_cast<DWORD>(state->file->Width());
        desc->dwHeight = static_cast<DWORD>(state->file->Height());
        desc->ddpfPixelFormat = DDPixelFormatX8R8G8B8();
        desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    }
    if (palette != nullptr) {
        *palette = nullptr;
    }
    if (flags != nullptr) {
        *flags = 0;
    }
    return S_OK;
}

HRESULT VideoStream::CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD,
                                  IDirectDrawStreamSample** sample) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    *sample = nullptr;
    HRESULT injected = S_OK;
    if (Injected("CreateSample", injected)) {
        return injected;
    }
    if (surface == nullptr || rect != nullptr) {
        return E_INVALIDARG;
    }
    if (state->file == nullptr) {
        return MS_E_NOSTREAM;
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->GetSurfaceDesc(&desc))) {
        return MS_E_INCOMPATIBLE;
    }
    const int bits = DDPixelFormatBits(desc.ddpfPixelFormat);
    if (bits == 0 || desc.dwWidth < static_cast<DWORD>(state->file->Width()) ||
        desc.dwHeight < static_cast<DWORD>(state->file->Height())) {
        return MS_E_INCOMPATIBLE;
    }
    *sample = new Sample(state, surface, bits);
    return S_OK;
}

// Registered while the program starts, so CoCreateInstance finds the class.
[[maybe_unused]] const bool registeredAtStart = (RegisterMultiMediaStream(), true);

}  // namespace

Observed Observe(IAMMultiMediaStream* stream) {
    if (stream == nullptr) {
        return {};
    }
    return static_cast<Stream*>(stream)->Seen();
}

int LiveObjects() { return liveObjects.load(); }

void RegisterMultiMediaStream() {
    ComRuntime::RegisterClass(CLSID_AMMultiMediaStream, [] { return static_cast<IAMMultiMediaStream*>(new Stream()); });
}

}  // namespace MultiMediaStreamStandIn
