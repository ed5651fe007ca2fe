// One sound effect: a whole WAV file in one DirectSound secondary buffer, plain (2-D) or
// positioned in space (3-D). Every sound that loaded stands in CNSound::AllSounds, so the
// sound volume can be changed and every sound stopped at once.
//
// Failed DirectSound calls are reported to the log as "Sound/NSound" with a fixed line per
// call site and the operation returns 0; a buffer that could not be created leaves the
// sound unloaded and outside AllSounds.
#pragma once

#include "Sound/PWaveFile.h"

#include "core/CPObject.h"
#include "platform/audio/DirectSound.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>

class CNSound : public CPObject {
public:
    // Loads the WAV file at path (an engine path) into a new buffer of the device. is3D 1
    // makes a 3-D sound whose algorithm follows the configuration variable "bitrate".
    CNSound(IDirectSound8* device, const std::string& path, int is3D);
    ~CNSound() override;

    size_t GetObjectSize() const override { return sizeof(CNSound); }
    std::string GetTypeName() const override { return "CNSound_" + Name; }

    // Restores and refills a lost buffer first, and plays at the base frequency
    // (undoing SetFrequencyRatio). flags are DirectSound play flags (DSBPLAY_LOOPING).
    HRESULT Play(DWORD priority, DWORD flags);
    void Stop();
    void Rewind();
    bool IsPlaying();
    // Frequency := BaseFrequency x ratio.
    HRESULT SetFrequencyRatio(float ratio);
    // Volume 0..1 through the engine's volume mapping; v is not stored.
    HRESULT SetVolume(float v);
    HRESULT ApplyGlobalVolume();
    // GlobalVolume := v, then ApplyGlobalVolume on every loaded sound in list order.
    static void SetAllVolumes(float v);

    // Copies the wave into the whole buffer; the rest after the wave is silence, or the
    // wave again when repeat is set. Learns BaseFrequency while it is still 0. 0, or the
    // Lock failure when the buffer could not be filled.
    HRESULT FillBuffer(IDirectSoundBuffer* buffer, bool repeat);
    // 1 when the buffer was not lost, 0 when it was restored (*restored true), or the
    // failure when it stayed lost.
    HRESULT RestoreBuffer(IDirectSoundBuffer* buffer, bool* restored);

    // Sounds that loaded and are not yet destroyed (not owned).
    static std::list<CNSound*> AllSounds;
    static float GlobalVolume;

    // Attempts of RestoreBuffer before it gives up, 10 ms apart.
    static constexpr int MaxRestoreAttempts = 50;

    IDirectSoundBuffer* Buffer = nullptr;  // owned
    DWORD BufferSize = 0;                  // bytes of wave data = buffer size
    std::unique_ptr<CPWaveFile> Wave;
    int Is3D = 0;
    DWORD BaseFrequency = 0;  // samples per second of the buffer as created; 0 until read
    std::string Name;
    bool Loaded = false;
    IDirectSound3DBuffer* Buffer3D = nullptr;  // owned; null for plain sounds
    DS3DBUFFER Params3D;                       // the last parameters read or set
    // Frame number (FrameNumber) of the sound's last start by a launched shot; 0 until then.
    int32_t TimeStamp = 0;

private:
    void ReadBaseFrequency(IDirectSoundBuffer* buffer);
};
