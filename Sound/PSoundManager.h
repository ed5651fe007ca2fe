// The sound manager singleton and its loader. The game loads sounds by file name under
// "Data\Sounds" and finds its named special sounds ("change_weapon", "bonus_plus", "slam")
// here; the static operations move a 3-D sound and set the sound and music volumes.
//
// The host builds both objects, gives the cache its DirectSound device and fills
// SpecialSounds and, if it wants loads to be shared, Entries (or sets Share). The manager owns
// no sound; the cache owns only what it entered itself.
#pragma once

#include "Sound/NSound.h"

#include "core/CPtr.h"
#include "platform/d3dx/D3DXMath.h"

#include <string>
#include <unordered_map>
#include <vector>

class CPSoundCache {
public:
    struct Entry {
        std::string Name;
        CPtr<CNSound> Sound;
    };

    // The sound of the first entry whose name equals name (case-sensitive), else null.
    void FindSound(CPtr<CNSound>& out, const std::string& name);
    CPSoundCache() = default;
    CPSoundCache(const CPSoundCache&) = delete;
    CPSoundCache& operator=(const CPSoundCache&) = delete;
    // Deletes the sounds it entered (Share); whoever holds them must have let go.
    ~CPSoundCache();

    // A cached sound when there is one and unique is false; otherwise a new sound from
    // "Data\Sounds\" + name. Null when it did not load. With Share set, a new sound loaded
    // without unique is entered under its name and stays the cache's (a later load of that
    // name with another is3D gets a sound of its own); every other new sound is the caller's
    // to delete. IsShared tells them apart.
    void LoadSound(CPtr<CNSound>& out, const std::string& name, int is3D, bool unique);
    // Whether sound stands in Entries, and so is not a caller's to delete.
    bool IsShared(const CNSound* sound) const;

    std::vector<Entry> Entries;
    IDirectSound8* Device = nullptr;  // not owned
    // Loads without unique fill Entries, so each name is read once for the whole process
    // (a race after race would otherwise load its sounds anew).
    bool Share = false;

private:
    std::vector<CNSound*> entered;  // owned
};

class CPSoundManager {
public:
    static CPSoundManager* Instance;

    void LoadSound(CPtr<CNSound>& out, const std::string& name, int is3D, bool unique);
    // SpecialSounds[name]: a name that is not there gets a null entry, and the result is null.
    void GetSpecialSound(CPtr<CNSound>& out, const std::string& name);

    // Position (world units) and velocity (units per second) of a 3-D sound, applied at
    // once; nothing for a null or plain sound.
    static void SetSoundPosition(CPtr<CNSound> sound, const D3DXVECTOR3& position, const D3DXVECTOR3& velocity);
    // Distance where the attenuation starts and where it stops growing; nothing for a null
    // or plain sound.
    static void SetSoundDistances(CPtr<CNSound> sound, float minDistance, float maxDistance);
    // "soundVolume" := v, then every sound's volume.
    static void SetSoundVolume(float v);
    // "musicVolume" := v, then the music player's volume when there is a player.
    static void SetMusicVolume(float v);

    CPSoundCache* Cache = nullptr;  // not owned
    std::unordered_map<std::string, CPtr<CNSound>> SpecialSounds{100};
};
