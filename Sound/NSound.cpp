#include "Sound/NSound.h"

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/win32/Clock.h"
#include "platform/audio/Volume.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr const char* SourceFile = "Sound/NSound";

}  // namespace

std::list<CNSound*> CNSound::AllSounds;
float CNSound::GlobalVolume = 0.0f;

CNSound::CNSound(IDirectSound8* device, const std::string& path, int is3D)
    : Wave(std::make_unique<CPWaveFile>()), Is3D(is3D), Name(path) {
    // A file that does not open leaves no format and a size of 0; creating the buffer then
    // fails and is reported below.
    const HRESULT opened = Wave->Open(path.c_str(), nullptr, CPWaveFile::ReadMode);
    BufferSize = Wave->GetSize();

    DSBUFFERDESC description;
    description.dwSize = sizeof(DSBUFFERDESC);
    description.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | (is3D == 1 ? DSBCAPS_CTRL3D : 0);
    description.dwBufferBytes = BufferSize;
    description.lpwfxFormat = Wave->GetFormat();
    if (is3D == 1) {
        description.guid3DAlgorithm = Cfg::bitrate == 16 ? DS3DALG_HRTF_FULL : DS3DALG_HRTF_LIGHT;
    }
    const HRESULT created =
        device != nullptr ? device->CreateSoundBuffer(&description, &Buffer, nullptr) : E_POINTER;
    if (FAILED(created)) {
        Buffer = nullptr;
        ReportDXError(created, SourceFile, 46, 1,
                      "sound " + path + (FAILED(opened) ? ": missing or not a wave file" : ": a format the buffer cannot take"));
        return;
    }

    FillBuffer(Buffer, false);
    Buffer->SetCurrentPosition(0);
    if (FAILED(Buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&Buffer3D)))) {
        Buffer3D = nullptr;  // plain buffers have none
    }
    if (is3D != 0 && Buffer3D != nullptr) {
        Params3D.dwSize = sizeof(DS3DBUFFER);
        Buffer3D->GetAllParameters(&Params3D);
        Params3D.dwMode = DS3DMODE_NORMAL;
        Buffer3D->SetAllParameters(&Params3D, DS3D_IMMEDIATE);
    }

    AllSounds.push_back(this);
    Loaded = true;
    ApplyGlobalVolume();
}

CNSound::~CNSound() {
    SafeRelease(Buffer3D);
    SafeRelease(Buffer);
    if (Wave != nullptr) {
        Wave->Close();
        Wave.reset();
    }
    if (Loaded) {
        AllSounds.remove(this);
    }
}

HRESULT CNSound::FillBuffer(IDirectSoundBuffer* buffer, bool repeat) {
    if (Buffer == nullptr || buffer == nullptr) {
        return 0;
    }
    RestoreBuffer(buffer, nullptr);

    void* locked = nullptr;
    DWORD lockedBytes = 0;
    const HRESULT lockResult = buffer->Lock(0, BufferSize, &locked, &lockedBytes, nullptr, nullptr, 0);
    if (FAILED(lockResult) || locked == nullptr) {
        ReadBaseFrequency(buffer);
        return lockResult;  // nothing to fill
    }
    auto* bytes = static_cast<BYTE*>(locked);

    DWORD filled = 0;
    Wave->ResetFile();
    if (FAILED(Wave->Read(bytes, lockedBytes, &filled))) {
        filled = 0;
    }
    // Looping the wave to fill the buffer; a pass that reads nothing ends it, so an empty or
    // unreadable wave cannot loop for ever.
    while (repeat && filled > 0 && filled < lockedBytes) {
        DWORD more = 0;
        if (FAILED(Wave->ResetFile()) || FAILED(Wave->Read(bytes + filled, lockedBytes - filled, &more)) ||
            more == 0) {
            break;
        }
        filled += more;
    }
    const WAVEFORMATEX* format = Wave->GetFormat();
    const BYTE silence = (format != nullptr && format->wBitsPerSample == 8) ? 0x80 : 0x00;
    std::memset(bytes + filled, silence, lockedBytes - filled);

    buffer->Unlock(locked, lockedBytes, nullptr, 0);
    ReadBaseFrequency(buffer);
    return 0;
}

// The frequency as created, read once: a refill after the buffer was lost finds it at
// whatever SetFrequencyRatio left, which must not become the base that ratios multiply.
void CNSound::ReadBaseFrequency(IDirectSoundBuffer* buffer) {
    if (BaseFrequency != 0) {
        return;
    }
    const HRESULT frequency = buffer->GetFrequency(&BaseFrequency);
    if (FAILED(frequency)) {
        BaseFrequency = 0;
        ReportDXError(frequency, SourceFile, 117);
    }
}

HRESULT CNSound::RestoreBuffer(IDirectSoundBuffer* buffer, bool* restored) {
    if (Buffer == nullptr || buffer == nullptr) {
        return 0;
    }
    if (restored != nullptr) {
        *restored = false;
    }
    DWORD status = 0;
    if (FAILED(buffer->GetStatus(&status)) || (status & DSBSTATUS_BUFFERLOST) == 0) {
        return 1;  // nothing to do
    }
    // The device may stay with another application for a while: try again every 10 ms
    // while the buffer reports lost, but not for ever.
    HRESULT result = DSERR_BUFFERLOST;
    for (int attempt = 0; attempt < MaxRestoreAttempts; ++attempt) {
        result = buffer->Restore();
        if (SUCCEEDED(result)) {
            break;
        }
        if (result != DSERR_BUFFERLOST) {
            return result;
        }
        Sleep(10);
        status = 0;
        if (SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_BUFFERLOST) == 0) {
            result = DS_OK;  // back without our help; its content still needs refilling
            break;
        }
    }
    if (FAILED(result)) {
        return result;
    }
    if (restored != nullptr) {
        *restored = true;
    }
    return 0;
}

HRESULT CNSound::Play(DWORD priority, DWORD flags) {
    if (Buffer == nullptr) {
        return 0;
    }
    bool restored = false;
    RestoreBuffer(Buffer, &restored);
    if (restored) {
        FillBuffer(Buffer, false);
        Rewind();
    }
    const HRESULT frequency = Buffer->SetFrequency(static_cast<DWORD>(BaseFrequency * 1.0));
    if (FAILED(frequency)) {
        ReportDXError(frequency, SourceFile, 167);
        return 0;
    }
    return Buffer->Play(0, priority, flags);
}

void CNSound::Stop() {
    if (Buffer != nullptr) {
        Buffer->Stop();
    }
}

void CNSound::Rewind() {
    if (Buffer != nullptr) {
        Buffer->SetCurrentPosition(0);
    }
}

bool CNSound::IsPlaying() {
    if (Buffer == nullptr) {
        return false;
    }
    DWORD status = 0;
    if (FAILED(Buffer->GetStatus(&status))) {
        return false;
    }
    return (status & DSBSTATUS_PLAYING) != 0;
}

HRESULT CNSound::SetFrequencyRatio(float ratio) {
    if (Buffer == nullptr) {
        return 0;
    }
    const double frequency = static_cast<double>(BaseFrequency) * ratio;
    HRESULT result = DSERR_INVALIDPARAM;
    // A negative, non-finite or huge ratio has no frequency; refuse it like one out of range.
    if (frequency >= 0.0 && frequency <= static_cast<double>(std::numeric_limits<DWORD>::max())) {
        result = Buffer->SetFrequency(static_cast<DWORD>(frequency));
    }
    if (FAILED(result)) {
        ReportDXError(result, SourceFile, 19);
        return 0;
    }
    return result;
}

HRESULT CNSound::SetVolume(float v) {
    if (Buffer == nullptr) {
        return 0;
    }
    const HRESULT result = Buffer->SetVolume(VolumeToAttenuation(v));
    if (FAILED(result)) {
        ReportDXError(result, SourceFile, 212);
        return 0;
    }
    return result;
}

HRESULT CNSound::ApplyGlobalVolume() {
    if (Buffer == nullptr) {
        return 0;
    }
    const HRESULT result = Buffer->SetVolume(VolumeToAttenuation(GlobalVolume));
    if (FAILED(result)) {
        ReportDXError(result, SourceFile, 203);
        return 0;
    }
    return result;
}

void CNSound::SetAllVolumes(float v) {
    GlobalVolume = v;
    for (CNSound* sound : AllSounds) {
        sound->ApplyGlobalVolume();
    }
}
