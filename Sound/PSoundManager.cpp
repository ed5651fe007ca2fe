#include "Sound/PSoundManager.h"

#include "Sound/PMusic.h"

#include "core/ConfigVars.h"
#include "core/Singletons.h"

#include <algorithm>

CPSoundManager* CPSoundManager::Instance = nullptr;

CPSoundManager* GetSoundManager() { return CPSoundManager::Instance; }

void CPSoundCache::FindSound(CPtr<CNSound>& out, const std::string& name) {
    for (const Entry& entry : Entries) {
        if (entry.Name == name) {
            out = entry.Sound;
            return;
        }
    }
    out = nullptr;
}

CPSoundCache::~CPSoundCache() {
    for (CNSound* sound : entered) {
        std::erase_if(Entries, [sound](const Entry& entry) { return entry.Sound.Get() == sound; });
        delete sound;
    }
}

bool CPSoundCache::IsShared(const CNSound* sound) const {
    return sound != nullptr &&
           std::any_of(Entries.begin(), Entries.end(), [sound](const Entry& entry) { return entry.Sound.Get() == sound; });
}

void CPSoundCache::LoadSound(CPtr<CNSound>& out, const std::string& name, int is3D, bool unique) {
    CPtr<CNSound> cached;
    FindSound(cached, name);
    // A sound the cache entered itself is shared only as it was loaded: a plain sound cannot
    // be placed, and a placed one would play where its last user put it.
    const bool enteredHere = cached && std::find(entered.begin(), entered.end(), cached.Get()) != entered.end();
    if (cached && !unique && (!enteredHere || cached->Is3D == is3D)) {
        out = cached;
        return;
    }
    auto* sound = new CNSound(Device, "Data\\Sounds\\" + name, is3D);
    if (!sound->Loaded) {
        // Nobody can reach a sound that is not returned.
        delete sound;
        out = nullptr;
        return;
    }
    out = sound;
    if (is3D == 1) {
        CPSoundManager::SetSoundDistances(out, 1.0f, 1000.0f);
    }
    if (Share && !unique && !cached) {
        Entries.push_back(Entry{name, out});
        entered.push_back(sound);
    }
}

void CPSoundManager::LoadSound(CPtr<CNSound>& out, const std::string& name, int is3D, bool unique) {
    if (Cache == nullptr) {
        out = nullptr;
        return;
    }
    Cache->LoadSound(out, name, is3D, unique);
}

void CPSoundManager::GetSpecialSound(CPtr<CNSound>& out, const std::string& name) { out = SpecialSounds[name]; }

void CPSoundManager::SetSoundPosition(CPtr<CNSound> sound, const D3DXVECTOR3& position, const D3DXVECTOR3& velocity) {
    if (!sound || sound->Buffer3D == nullptr) {
        return;
    }
    sound->Params3D.dwSize = sizeof(DS3DBUFFER);
    sound->Buffer3D->GetAllParameters(&sound->Params3D);
    sound->Params3D.vPosition = position;
    sound->Params3D.vVelocity = velocity;
    sound->Buffer3D->SetAllParameters(&sound->Params3D, DS3D_IMMEDIATE);
}

void CPSoundManager::SetSoundDistances(CPtr<CNSound> sound, float minDistance, float maxDistance) {
    if (!sound || sound->Buffer3D == nullptr) {
        return;
    }
    sound->Params3D.dwSize = sizeof(DS3DBUFFER);
    sound->Buffer3D->GetAllParameters(&sound->Params3D);
    sound->Params3D.flMinDistance = minDistance;
    sound->Params3D.flMaxDistance = maxDistance;
    sound->Buffer3D->SetAllParameters(&sound->Params3D, DS3D_IMMEDIATE);
}

void CPSoundManager::SetSoundVolume(float v) {
    Cfg::soundVolume = v;
    CNSound::SetAllVolumes(v);
}

void CPSoundManager::SetMusicVolume(float v) {
    Cfg::musicVolume = v;
    if (CPMusic::Instance != nullptr) {
        CPMusic::Instance->SetVolume(v);
    }
}
