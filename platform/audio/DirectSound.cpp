#include "platform/audio/DirectSound.h"

#include "platform/win32/CallTrace.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <cstring>

namespace DirectSoundStandIn {

// The 3-D interface of a buffer: a tear-off that keeps its buffer alive.
class Buffer3D : public ComObject<IDirectSound3DBuffer> {
public:
    explicit Buffer3D(Buffer* owner) : owner(owner) { owner->AddRef(); }
    ~Buffer3D() override { owner->Release(); }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IDirectSound3DBuffer || riid == IID_IUnknown) {
            AddRef();
            *object = static_cast<IDirectSound3DBuffer*>(this);
            return S_OK;
        }
        return owner->QueryInterface(riid, object);
    }

    HRESULT GetAllParameters(DS3DBUFFER* parameters) override;
    HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override;

private:
    Buffer* owner;
};

// ---- Buffer -----------------------------------------------------------------------------

HRESULT Buffer::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    HRESULT injected = S_OK;
    if (Injected("QueryInterface", injected)) {
        return injected;
    }
    if (riid == IID_IDirectSoundBuffer || riid == IID_IUnknown) {
        AddRef();
        *object = static_cast<IDirectSoundBuffer*>(this);
        return S_OK;
    }
    if (riid == IID_IDirectSound3DBuffer && (flags & DSBCAPS_CTRL3D) != 0) {
        *object = static_cast<IDirectSound3DBuffer*>(new Buffer3D(this));
        return S_OK;
    }
    return E_NOINTERFACE;
}

bool Buffer::Injected(const char* method, HRESULT& result) {
    auto it = std::find_if(failures.begin(), failures.end(), [&](const auto& f) { return f.first == method; });
    if (it == failures.end()) {
        return false;
    }
    result = it->second;
    failures.erase(it);
    return true;
}

void Buffer::FailNext(const std::string& method, HRESULT result) { failures.emplace_back(method, result); }

DWORD Buffer::BytesPerSecond() const { return frequency * std::max<DWORD>(1, Format().nBlockAlign); }

void Buffer::Advance() {
    const DWORD now = timeGetTime();
    if (!playing) {
        cursorTime = now;
        return;
    }
    const uint64_t elapsed = static_cast<DWORD>(now - cursorTime);  // wraps like the clock
    cursorTime = now;
    const uint64_t total = elapsed * BytesPerSecond() + cursorRemainder;
    cursorRemainder = total % 1000;
    const uint64_t position = cursor + total / 1000;
    if (looping) {
        cursor = static_cast<DWORD>(position % data.size());
    } else if (position >= data.size()) {
        // A one-shot sound ends; the next Play starts it from the beginning.
        playing = false;
        cursor = 0;
        cursorRemainder = 0;
    } else {
        cursor = static_cast<DWORD>(position);
    }
}

bool Buffer::IsPlaying() {
    Advance();
    return playing;
}

DWORD Buffer::PlayCursor() {
    Advance();
    return cursor;
}

HRESULT Buffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
    HRESULT injected = S_OK;
    if (Injected("GetCurrentPosition", injected)) {
        return injected;
    }
    Advance();
    if (playCursor != nullptr) {
        *playCursor = cursor;
    }
    if (writeCursor != nullptr) {
        // The writer stays about 10 ms ahead of a playing cursor, in whole blocks.
        const DWORD block = std::max<DWORD>(1, Format().nBlockAlign);
        const DWORD lead = playing ? (BytesPerSecond() / 100) / block * block : 0;
        *writeCursor = static_cast<DWORD>((uint64_t{cursor} + lead) % data.size());
    }
    return DS_OK;
}

HRESULT Buffer::GetVolume(LONG* out) {
    if (out == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    if ((flags & DSBCAPS_CTRLVOLUME) == 0) {
        return DSERR_CONTROLUNAVAIL;
    }
    *out = volume;
    return DS_OK;
}

HRESULT Buffer::GetFrequency(DWORD* out) {
    if (out == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    HRESULT injected = S_OK;
    if (Injected("GetFrequency", injected)) {
        return injected;
    }
    if ((flags & DSBCAPS_CTRLFREQUENCY) == 0) {
        return DSERR_CONTROLUNAVAIL;
    }
    *out = frequency;
    return DS_OK;
}

HRESULT Buffer::GetStatus(DWORD* status) {
    if (status == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    HRESULT injected = S_OK;
    if (Injected("GetStatus", injected)) {
        return injected;
    }
    Advance();
    *status = 0;
    if (lost) {
        *status |= DSBSTATUS_BUFFERLOST;
    }
    if (playing) {
        *status |= DSBSTATUS_PLAYING;
        if (looping) {
            *status |= DSBSTATUS_LOOPING;
        }
    }
    return DS_OK;
}

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
                     DWORD lockFlags) {
    if (region1 == nullptr || bytes1 == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *region1 = nullptr;
    *bytes1 = 0;
    if (region2 != nullptr) {
        *region2 = nullptr;
    }
    if (bytes2 != nullptr) {
        *bytes2 = 0;
    }
    HRESULT injected = S_OK;
    if (Injected("Lock", injected)) {
        return injected;
    }
    if (lost) {
        return DSERR_BUFFERLOST;
    }
    const DWORD size = Size();
    if ((lockFlags & DSBLOCK_ENTIREBUFFER) != 0) {
        bytes = size;
    }
    if ((lockFlags & DSBLOCK_FROMWRITECURSOR) != 0) {
        GetCurrentPosition(nullptr, &offset);
    }
    if (bytes == 0 || bytes > size || offset >= size) {
        return DSERR_INVALIDPARAM;
    }
    const DWORD first = std::min(bytes, size - offset);
    *region1 = data.data() + offset;
    *bytes1 = first;
    if (first < bytes && region2 != nullptr && bytes2 != nullptr) {
        *region2 = data.data();
        *bytes2 = bytes - first;
    }
    ++locks;
    return DS_OK;
}

HRESULT Buffer::Unlock(void* region1, DWORD bytes1, void*, DWORD) {
    uint8_t* const begin = data.data();
    const auto* p = static_cast<uint8_t*>(region1);
    if (locks == 0 || p < begin || p + bytes1 > begin + data.size()) {
        return DSERR_INVALIDPARAM;
    }
    --locks;
    return DS_OK;
}

HRESULT Buffer::Play(DWORD reserved, DWORD priority, DWORD playFlags) {
    ++playCalls;
    HRESULT injected = S_OK;
    if (Injected("Play", injected)) {
        return injected;
    }
    if (reserved != 0 || (priority != 0 && (flags & DSBCAPS_LOCDEFER) == 0)) {
        return DSERR_INVALIDPARAM;
    }
    if (lost) {
        return DSERR_BUFFERLOST;
    }
    Advance();
    if (!playing) {
        playing = true;
        cursorRemainder = 0;
        cursorTime = timeGetTime();
    }
    looping = (playFlags & DSBPLAY_LOOPING) != 0;
    CallTrace::Record(looping ? "DirectSoundBuffer Play looping" : "DirectSoundBuffer Play");
    return DS_OK;
}

HRESULT Buffer::SetCurrentPosition(DWORD position) {
    HRESULT injected = S_OK;
    if (Injected("SetCurrentPosition", injected)) {
        return injected;
    }
    if (position >= Size()) {
        return DSERR_INVALIDPARAM;
    }
    Advance();
    cursor = position;
    cursorRemainder = 0;
    return DS_OK;
}

HRESULT Buffer::SetVolume(LONG value) {
    HRESULT injected = S_OK;
    if (Injected("SetVolume", injected)) {
        return injected;
    }
    if ((flags & DSBCAPS_CTRLVOLUME) == 0) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (value < DSBVOLUME_MIN || value > DSBVOLUME_MAX) {
        return DSERR_INVALIDPARAM;
    }
    volume = value;
    return DS_OK;
}

HRESULT Buffer::SetFrequency(DWORD value) {
    HRESULT injected = S_OK;
    if (Injected("SetFrequency", injected)) {
        return injected;
    }
    if ((flags & DSBCAPS_CTRLFREQUENCY) == 0) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (value == DSBFREQUENCY_ORIGINAL) {
        value = Format().nSamplesPerSec;
    } else if (value < DSBFREQUENCY_MIN || value > DSBFREQUENCY_MAX) {
        return DSERR_INVALIDPARAM;
    }
    Advance();  // the part already played went at the old rate
    frequency = value;
    return DS_OK;
}

HRESULT Buffer::Stop() {
    HRESULT injected = S_OK;
    if (Injected("Stop", injected)) {
        return injected;
    }
    Advance();
    playing = false;
    return DS_OK;
}

HRESULT Buffer::Restore() {
    ++restoreCalls;
    if (!lost) {
        return DS_OK;
    }
    if (restoreFailures > 0) {
        --restoreFailures;
        return DSERR_BUFFERLOST;
    }
    lost = false;
    std::fill(data.begin(), data.end(), uint8_t{0});  // the memory's content is gone
    return DS_OK;
}

void Buffer::MakeLost() {
    Advance();
    lost = true;
    playing = false;
    cursor = 0;
}

HRESULT Buffer3D::GetAllParameters(DS3DBUFFER* parameters) {
    if (parameters == nullptr || parameters->dwSize != sizeof(DS3DBUFFER)) {
        return DSERR_INVALIDPARAM;
    }
    HRESULT injected = S_OK;
    if (owner->Injected("GetAllParameters", injected)) {
        return injected;
    }
    *parameters = owner->parameters3D;
    return DS_OK;
}

HRESULT Buffer3D::SetAllParameters(const DS3DBUFFER* parameters, DWORD) {
    if (parameters == nullptr || parameters->dwSize != sizeof(DS3DBUFFER)) {
        return DSERR_INVALIDPARAM;
    }
    HRESULT injected = S_OK;
    if (owner->Injected("SetAllParameters", injected)) {
        return injected;
    }
    if (parameters->flMinDistance <= 0.0f || parameters->flMaxDistance <= 0.0f ||
        parameters->dwMode > DS3DMODE_DISABLE || parameters->lConeOutsideVolume < DSBVOLUME_MIN ||
        parameters->lConeOutsideVolume > DSBVOLUME_MAX) {
        return DSERR_INVALIDPARAM;
    }
    // Deferred settings take effect at the listener's commit; with no listener modelled,
    // both kinds apply at once.
    owner->parameters3D = *parameters;
    return DS_OK;
}

namespace {

bool ValidPcm(const WAVEFORMATEX& f) {
    const bool bitsOk = f.wBitsPerSample == 8 || f.wBitsPerSample == 16 || f.wBitsPerSample == 24 ||
                        f.wBitsPerSample == 32;
    return f.nChannels >= 1 && bitsOk && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

}  // namespace

// ---- Device -----------------------------------------------------------------------------

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IDirectSound8 || riid == IID_IUnknown) {
        AddRef();
        *object = static_cast<IDirectSound8*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT Device::CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** out, IUnknown* outer) {
    ++createCalls;
    if (out == nullptr || description == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *out = nullptr;
    lastDescription = *description;
    if (nextCreateFailure != S_OK) {
        const HRESULT result = nextCreateFailure;
        nextCreateFailure = S_OK;
        return result;
    }
    if (outer != nullptr) {
        return DSERR_NOAGGREGATION;
    }
    const DWORD flags = description->dwFlags;
    if (description->dwSize != sizeof(DSBUFFERDESC) || (flags & DSBCAPS_PRIMARYBUFFER) != 0) {
        return DSERR_INVALIDPARAM;  // no primary buffer in the stand-in
    }
    if (description->dwBufferBytes < DSBSIZE_MIN || description->dwBufferBytes > DSBSIZE_MAX ||
        description->lpwfxFormat == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    const WAVEFORMATEX& format = *description->lpwfxFormat;
    if (format.wFormatTag != WAVE_FORMAT_PCM || !ValidPcm(format)) {
        return DSERR_BADFORMAT;
    }
    // 3-D buffers must be mono; only they take a 3-D algorithm.
    if ((flags & DSBCAPS_CTRL3D) != 0 ? format.nChannels != 1 : description->guid3DAlgorithm != DS3DALG_DEFAULT) {
        return DSERR_INVALIDPARAM;
    }

    Buffer* buffer = new Buffer();
    buffer->flags = flags;
    buffer->format.assign(reinterpret_cast<const uint8_t*>(&format),
                          reinterpret_cast<const uint8_t*>(&format) + sizeof(WAVEFORMATEX));
    reinterpret_cast<WAVEFORMATEX*>(buffer->format.data())->cbSize = 0;
    buffer->algorithm = description->guid3DAlgorithm;
    buffer->data.assign(description->dwBufferBytes, 0);
    buffer->frequency = format.nSamplesPerSec;
    buffer->parameters3D.dwSize = sizeof(DS3DBUFFER);
    buffer->parameters3D.dwInsideConeAngle = DS3D_DEFAULTCONEANGLE;
    buffer->parameters3D.dwOutsideConeAngle = DS3D_DEFAULTCONEANGLE;
    buffer->parameters3D.vConeOrientation = D3DVECTOR{0.0f, 0.0f, 1.0f};
    buffer->parameters3D.flMinDistance = DS3D_DEFAULTMINDISTANCE;
    buffer->parameters3D.flMaxDistance = DS3D_DEFAULTMAXDISTANCE;
    buffer->parameters3D.dwMode = DS3DMODE_NORMAL;
    *out = buffer;
    return DS_OK;
}

}  // namespace DirectSoundStandIn

HRESULT DirectSoundCreate8(const GUID*, IDirectSound8** directSound, IUnknown* outer) {
    if (directSound == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *directSound = nullptr;
    if (outer != nullptr) {
        return DSERR_NOAGGREGATION;
    }
    *directSound = new DirectSoundStandIn::Device();
    return DS_OK;
}
