#include "Render/CPVideoPlayer.h"

#include "Render/CPRender.h"
#include "Render/CPTextureManager.h"
#include "core/CPLog.h"
#include "core/CPScheduler.h"
#include "core/ConfigVars.h"
#include "platform/audio/Volume.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/TextCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t MaxPath = 260;  // characters of the wide path, terminator included

// The texture manager's entry of that key, or null (no manager, no entry).
CPTexture* TextureEntry(const char* key) {
    CPTextureManager* manager = CPTextureManager::Instance;
    if (manager == nullptr) {
        return nullptr;
    }
    auto it = manager->Textures.find(key);
    return it != manager->Textures.end() ? it->second : nullptr;
}

}  // namespace

CPVideoPlayer::CPVideoPlayer(const Config& c) : config(c) {}

CPVideoPlayer::~CPVideoPlayer() {
    ReleaseStreams();
    if (Texture == nullptr) {
        return;
    }
    CPTexture* entry = TextureEntry(config.TextureEntry);
    if (entry != nullptr && entry->Texture == Texture) {
        // Still shown: the entry owns it from now on.
        entry->Name = config.TextureEntry;
        Texture = nullptr;
        return;
    }
    SafeRelease(Texture);
}

int CPVideoPlayer::NextPowerOfTwo(int n) {
    if (n < 2) {
        return 2;
    }
    int power = 2;
    while (power <= n && power < (1 << 30)) {
        power <<= 1;
    }
    return power;
}

HRESULT CPVideoPlayer::Init() {
    const char* file = config.SourceFile;
    HRESULT hr = DirectDrawCreate(nullptr, &DirectDraw, nullptr);
    if (FAILED(hr)) {
        return ReportDXError(hr, file, config.DirectDrawLine);
    }
    HWND window = CPScheduler::Instance != nullptr ? CPScheduler::Instance->MainWindow : nullptr;
    if (FAILED(hr = DirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL))) {
        return ReportDXError(hr, file, config.CooperativeLine);
    }
    if (FAILED(hr = CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IAMMultiMediaStream, reinterpret_cast<void**>(&Stream)))) {
        return ReportDXError(hr, file, config.CreateStreamLine);
    }
    if (FAILED(hr = Stream->Initialize(STREAMTYPE_READ, 0, nullptr))) {
        return ReportDXError(hr, file, config.InitializeLine);
    }
    if (!NoSound &&
        FAILED(hr = Stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr))) {
        return ReportDXError(hr, file, config.AudioStreamLine);
    }
    if (FAILED(hr = Stream->AddMediaStream(DirectDraw, &MSPID_PrimaryVideo, 0, nullptr))) {
        return ReportDXError(hr, file, config.VideoStreamAddLine);
    }
    return hr;
}

void CPVideoPlayer::ReleaseStreams() {
    SafeRelease(BasicAudio);
    SafeRelease(MediaControl);
    SafeRelease(MediaPosition);
    SafeRelease(Sample);
    SafeRelease(DDStream);
    SafeRelease(VideoStream);
    SafeRelease(Stream);
    SafeRelease(Surface);
    SafeRelease(Extra);
    SafeRelease(DirectDraw);
}

HRESULT CPVideoPlayer::Restart() {
    ReleaseStreams();
    const HRESULT hr = Init();
    if (FAILED(hr)) {
        ReleaseStreams();
    }
    return hr;
}

bool CPVideoPlayer::MakeTexture(int width, int height) {
    const int32_t bpp = Cfg::screenBPP;
    const int32_t textureWidth = NextPowerOfTwo(width);
    const int32_t textureHeight = NextPowerOfTwo(height);
    if (Texture != nullptr && TextureBpp == bpp && TextureWidth == textureWidth && TextureHeight == textureHeight) {
        return true;
    }
    IDirect3DTexture9* made = nullptr;
    const HRESULT hr = Device->CreateTexture(static_cast<UINT>(textureWidth), static_cast<UINT>(textureHeight), 1, 0,
                                             bpp == 32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5, D3DPOOL_MANAGED, &made,
                                             nullptr);
    if (FAILED(hr)) {
        // The old texture stays, still valid wherever it is shown.
        ReportDXError(hr, config.SourceFile, config.TextureLine);
        return false;
    }
    IDirect3DTexture9* old = Texture;
    Texture = made;
    TextureWidth = textureWidth;
    TextureHeight = textureHeight;
    TextureBpp = bpp;
    CPTexture* entry = TextureEntry(config.TextureEntry);
    if (entry != nullptr && old != nullptr && entry->Texture == old) {
        entry->Texture = Texture;  // shown in place of the old one before that is let go
    }
    SafeRelease(old);
    return true;
}

void CPVideoPlayer::InstallTexture() {
    CPTexture* entry = TextureEntry(config.TextureEntry);
    if (entry == nullptr || Texture == nullptr || entry->Texture == Texture) {
        return;
    }
    // The texture loaded for the entry's own file is the entry's; it goes when replaced.
    if (!CPTexture::IsVideoName(entry->Name)) {
        SafeRelease(entry->Texture);
    }
    entry->Texture = Texture;
    entry->Name = config.TextureName;
}

void CPVideoPlayer::OpenFile(const std::string& fileName, bool noSound) {
    const char* file = config.SourceFile;
    NoSound = config.SoundOptional && noSound;
    PicturesCopied = 0;
    HRESULT hr = Restart();
    if (FAILED(hr)) {
        ReportDXError(hr, file, config.RestartLine);
        return;
    }
    Device = CPRender::Instance != nullptr ? CPRender::Instance->Device : nullptr;

    std::vector<WCHAR> path(MaxPath, 0);
    const std::string name = "Data\\Video\\" + fileName;
    const int length = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, path.data(), static_cast<int>(MaxPath));
    if (length == 0) {
        ReportDXError(E_INVALIDARG, file, config.OpenFileLine);  // longer than a Windows path
        return;
    }
    if (FAILED(hr = Stream->OpenFile(path.data(), 0))) {
        ReportDXError(hr, file, config.OpenFileLine);
        return;
    }
    if (FAILED(hr = Stream->GetMediaStream(MSPID_PrimaryVideo, &VideoStream))) {
        ReportDXError(hr, file, config.VideoStreamLine);
        return;
    }
    if (FAILED(hr = VideoStream->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&DDStream)))) {
        ReportDXError(hr, file, config.DDStreamLine);
        return;
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(hr = DDStream->GetFormat(&desc, nullptr, nullptr, nullptr))) {
        ReportDXError(hr, file, config.FormatLine);
        return;
    }
    const int width = static_cast<int>(desc.dwWidth);
    const int height = static_cast<int>(desc.dwHeight);
    SafeRelease(Surface);
    if (FAILED(hr = DirectDraw->CreateSurface(&desc, &Surface, nullptr))) {
        ReportDXError(hr, file, config.SurfaceLine);
        return;
    }
    SourceRect = RECT{0, 0, width, height};
    SafeRelease(Sample);
    if (FAILED(hr = DDStream->CreateSample(Surface, nullptr, 0, &Sample))) {
        ReportDXError(hr, file, config.SampleLine);
        return;
    }
    // Without a device there is nothing to show the film on; its sound still plays.
    if (Device != nullptr && !MakeTexture(width, height)) {
        return;
    }
    IGraphBuilder* graph = nullptr;
    if (FAILED(hr = Stream->GetFilterGraph(&graph))) {
        ReportDXError(hr, file, config.FilterGraphLine);
        return;
    }
    const auto opened = [&]() -> bool {
        if (FAILED(hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&MediaControl)))) {
            ReportDXError(hr, file, config.MediaControlLine);
            return false;
        }
        if (FAILED(hr = graph->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&MediaPosition)))) {
            ReportDXError(hr, file, config.MediaPositionLine);
            return false;
        }
        if (!NoSound) {
            if (FAILED(hr = graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&BasicAudio)))) {
                ReportDXError(hr, file, config.BasicAudioLine);
                return false;
            }
            if (FAILED(hr = BasicAudio->put_Volume(VolumeToAttenuation(Cfg::soundVolume)))) {
                ReportDXError(hr, file, config.VolumeLine);
                return false;
            }
        }
        return true;
    }();
    graph->Release();
    if (!opened) {
        return;
    }
    if (FAILED(hr = Stream->SetState(STREAMSTATE_STOP))) {
        ReportDXError(hr, file, config.StopLine);
        return;
    }
    EndReached = false;
    InstallTexture();
    // Opened again while it plays: the scheduler keeps the running task and starts nothing,
    // so the new film runs now.
    if (Running) {
        Stream->SetState(STREAMSTATE_RUN);
    }
}

bool CPVideoPlayer::Start() {
    if (!CPTask::Start()) {
        return false;
    }
    if (Stream != nullptr) {
        if (EndReached) {
            Stream->Seek(0);
            EndReached = false;
        }
        Stream->SetState(STREAMSTATE_RUN);
    }
    return true;
}

void CPVideoPlayer::Stop() {
    CPTask::Stop();
    if (Stream != nullptr) {
        Stream->SetState(STREAMSTATE_STOP);
    }
}

void CPVideoPlayer::Update() {
    if (Sample == nullptr) {
        Stop();  // nothing was opened
        return;
    }
    HRESULT hr = Sample->Update(0, nullptr, nullptr, 0);
    if (hr == MS_S_ENDOFSTREAM) {
        EndReached = true;
        if (!Loop || FAILED(Stream->Seek(0))) {
            Stop();
            return;
        }
        // The first picture again, in this same frame; a film without pictures stops.
        EndReached = false;
        hr = Sample->Update(0, nullptr, nullptr, 0);
        if (hr == MS_S_ENDOFSTREAM) {
            EndReached = true;
            Stop();
            return;
        }
    }
    if (FAILED(hr)) {
        ReportDXError(hr, config.SourceFile, config.UpdateLine);
        Stop();
        return;
    }
    if (hr == S_OK) {
        CopyPicture();
    }
}

void CPVideoPlayer::CopyPicture() {
    if (Texture == nullptr || Surface == nullptr) {
        return;
    }
    DDSURFACEDESC source{};
    source.dwSize = sizeof(source);
    HRESULT hr = Surface->Lock(nullptr, &source, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    if (FAILED(hr)) {
        ReportDXError(hr, config.SourceFile, config.CopyLine);
        return;
    }
    D3DLOCKED_RECT target{};
    hr = Texture->LockRect(0, &target, nullptr, 0);
    if (FAILED(hr)) {
        Surface->Unlock(source.lpSurface);
        ReportDXError(hr, config.SourceFile, config.CopyLine);
        return;
    }
    const int sourceBits = DDPixelFormatBits(source.ddpfPixelFormat);
    const int rows = std::min(static_cast<int>(source.dwHeight), TextureHeight);
    const int columns = std::min(static_cast<int>(source.dwWidth), TextureWidth);
    for (int y = 0; y < rows; ++y) {
        const auto* from = static_cast<const uint8_t*>(source.lpSurface) + static_cast<ptrdiff_t>(y) * source.lPitch;
        auto* to = static_cast<uint8_t*>(target.pBits) + static_cast<ptrdiff_t>(y) * target.Pitch;
        if (sourceBits == 32 && TextureBpp == 32) {
            std::memcpy(to, from, static_cast<size_t>(columns) * 4);
        } else if (sourceBits == 16 && TextureBpp != 32) {
            std::memcpy(to, from, static_cast<size_t>(columns) * 2);
        } else if (sourceBits == 32) {
            for (int x = 0; x < columns; ++x) {
                const uint8_t* p = from + x * 4;  // B, G, R, X
                const auto pixel = static_cast<uint16_t>((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3));
                std::memcpy(to + x * 2, &pixel, 2);
            }
        } else {
            for (int x = 0; x < columns; ++x) {
                uint16_t p = 0;
                std::memcpy(&p, from + x * 2, 2);
                const uint32_t r = (p >> 11 & 31) * 255 / 31, g = (p >> 5 & 63) * 255 / 63, b = (p & 31) * 255 / 31;
                const uint32_t pixel = 0xFF000000u | r << 16 | g << 8 | b;
                std::memcpy(to + x * 4, &pixel, 4);
            }
        }
    }
    Texture->UnlockRect(0);
    Surface->Unlock(source.lpSurface);
    ++PicturesCopied;
}
