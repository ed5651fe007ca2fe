// DirectSound 8: the device's secondary buffers and their 3-D interface, without audio
// output. A buffer keeps its bytes, volume, frequency and play state; its play cursor
// moves with the platform clock (timeGetTime) at frequency x block-align bytes per second,
// so a one-shot sound stops by itself once its length has elapsed. Tests reach the
// stand-in objects behind the interfaces to read that state, to make a buffer lost, to
// make Restore fail and to make single calls fail.
#pragma once

#include "platform/win32/Com.h"
#include "platform/d3dx/D3DXMath.h"
#include "platform/win32/DxErrors.h"
#include "platform/audio/MMSystem.h"

#include <string>
#include <vector>

inline constexpr IID IID_IDirectSound8 = {0xC50A7E93, 0xF395, 0x4834, {0x9E, 0xF6, 0x7F, 0xA9, 0x9D, 0xE5, 0x09, 0x66}};
inline constexpr IID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectSound3DBuffer = {0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

// 3-D processing algorithms of a buffer (DSBUFFERDESC::guid3DAlgorithm).
inline constexpr GUID DS3DALG_DEFAULT = {};
inline constexpr GUID DS3DALG_NO_VIRTUALIZATION = {0xC241333F, 0x1C1B, 0x11D2, {0x94, 0xF5, 0x00, 0xC0, 0x4F, 0xC2, 0x8A, 0xCA}};
inline constexpr GUID DS3DALG_HRTF_FULL = {0xC2413340, 0x1C1B, 0x11D2, {0x94, 0xF5, 0x00, 0xC0, 0x4F, 0xC2, 0x8A, 0xCA}};
inline constexpr GUID DS3DALG_HRTF_LIGHT = {0xC2413342, 0x1C1B, 0x11D2, {0x94, 0xF5, 0x00, 0xC0, 0x4F, 0xC2, 0x8A, 0xCA}};

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr DWORD DSBCAPS_STATIC = 0x00000002;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x00000004;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;
constexpr DWORD DSBCAPS_CTRL3D = 0x00000010;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr DWORD DSBCAPS_LOCDEFER = 0x00040000;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001;

constexpr DWORD DSBSTATUS_PLAYING = 0x00000001;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x00000002;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004;

constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 200000;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

constexpr DWORD DS3DMODE_NORMAL = 0;
constexpr DWORD DS3DMODE_HEADRELATIVE = 1;
constexpr DWORD DS3DMODE_DISABLE = 2;
constexpr DWORD DS3D_IMMEDIATE = 0;
constexpr DWORD DS3D_DEFERRED = 1;
constexpr float DS3D_DEFAULTMINDISTANCE = 1.0f;
constexpr float DS3D_DEFAULTMAXDISTANCE = 1000000000.0f;
constexpr DWORD DS3D_DEFAULTCONEANGLE = 360;

struct DSBUFFERDESC {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwBufferBytes = 0;
    DWORD dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
    GUID guid3DAlgorithm;
};

// The published 64-byte parameter record of a 3-D buffer.
struct DS3DBUFFER {
    DWORD dwSize = 0;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    DWORD dwInsideConeAngle = 0;
    DWORD dwOutsideConeAngle = 0;
    D3DVECTOR vConeOrientation;
    LONG lConeOutsideVolume = 0;
    float flMinDistance = 0.0f;
    float flMaxDistance = 0.0f;
    DWORD dwMode = 0;
};
static_assert(sizeof(DS3DBUFFER) == 64);

struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    // Two regions: the second is the wrap-around from the buffer's start (null when the
    // lock does not wrap, or when the caller passes no place for it).
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
                         DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) = 0;
    virtual HRESULT Restore() = 0;
};

struct IDirectSound3DBuffer : IUnknown {
    virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
    virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
};

struct IDirectSound8 : IUnknown {
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                      IUnknown* outer) = 0;
};

// The default device; the cooperative level and speaker set-up belong to the host and are
// not modelled.
HRESULT DirectSoundCreate8(const GUID* device, IDirectSound8** directSound, IUnknown* outer);

namespace DirectSoundStandIn {

// A secondary buffer as the tests see it.
class Buffer : public ComObject<IDirectSoundBuffer> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT GetFrequency(DWORD* frequency) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) override;
    HRESULT Restore() override;

    // What the buffer was created with.
    DWORD Flags() const { return flags; }
    DWORD Size() const { return static_cast<DWORD>(data.size()); }
    const std::vector<uint8_t>& FormatBytes() const { return format; }
    const WAVEFORMATEX& Format() const { return *reinterpret_cast<const WAVEFORMATEX*>(format.data()); }
    const GUID& Algorithm() const { return algorithm; }

    // Current state.
    const std::vector<uint8_t>& Data() const { return data; }
    LONG Volume() const { return volume; }
    DWORD Frequency() const { return frequency; }
    bool IsPlaying();
    bool IsLooping() const { return looping; }
    DWORD PlayCursor();
    int OutstandingLocks() const { return locks; }
    int PlayCalls() const { return playCalls; }
    int RestoreCalls() const { return restoreCalls; }
    const DS3DBUFFER& Parameters3D() const { return parameters3D; }

    // The device is taken away: the buffer reports lost, stops, and refuses Lock and Play
    // until Restore succeeds; a restored buffer's bytes are cleared.
    void MakeLost();
    // The next `count` Restore calls report the buffer still lost.
    void FailRestores(int count) { restoreFailures = count; }
    // The next call of that method ("Lock", "Play", "SetFrequency", "GetFrequency",
    // "SetVolume", "SetCurrentPosition", "GetAllParameters", "SetAllParameters", ...) fails.
    void FailNext(const std::string& method, HRESULT result);

private:
    friend class Device;
    friend class Buffer3D;
    Buffer() = default;
    bool Injected(const char* method, HRESULT& result);
    void Advance();  // moves the cursor to the clock's present
    DWORD BytesPerSecond() const;

    DWORD flags = 0;
    std::vector<uint8_t> format;
    GUID algorithm;
    std::vector<uint8_t> data;
    LONG volume = DSBVOLUME_MAX;
    DWORD frequency = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    DWORD cursor = 0;          // bytes, at cursorTime while playing
    DWORD cursorTime = 0;      // timeGetTime of the last cursor update
    uint64_t cursorRemainder = 0;  // byte-milliseconds not yet a whole byte
    int locks = 0;
    int playCalls = 0;
    int restoreCalls = 0;
    int restoreFailures = 0;
    DS3DBUFFER parameters3D;
    std::vector<std::pair<std::string, HRESULT>> failures;
};

class Device : public ComObject<IDirectSound8> {
public:
    Device() = default;
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, IUnknown* outer) override;

    // The next CreateSoundBuffer fails with this result.
    void FailNextCreate(HRESULT result) { nextCreateFailure = result; }
    int CreateCalls() const { return createCalls; }
    // The description of the last call, whatever its result.
    const DSBUFFERDESC& LastDescription() const { return lastDescription; }

private:
    HRESULT nextCreateFailure = S_OK;
    int createCalls = 0;
    DSBUFFERDESC lastDescription;
};

// Every buffer comes from this stand-in, so the cast is always valid.
inline Buffer* StandIn(IDirectSoundBuffer* buffer) { return static_cast<Buffer*>(buffer); }
inline Device* StandIn(IDirectSound8* device) { return static_cast<Device*>(device); }

}  // namespace DirectSoundStandIn
