// Sound, music, video and timer functions: named special sounds (2-D and 3-D), stopping every
// sound, the music player, the sound and music volumes and two stored options, the two video
// players, the global timer and the frame time.
//
// Thin on purpose: the sound manager, the sounds, the music player and the video players do the
// work. Every singleton is the host's and may be missing; a function then does nothing (and a
// getter of a missing player's value pushes its empty value).
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPAVIPlayer.h"
#include "Render/CPAVIPlayer1.h"
#include "Sound/NSound.h"
#include "Sound/PMusic.h"
#include "Sound/PSoundManager.h"
#include "core/CPActionsManager.h"
#include "core/CPGlobalTimer.h"
#include "core/CPScheduler.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"

#include <cmath>
#include <string>

namespace Script {

namespace {

// Scheduling priority of a playing video.
constexpr int32_t VideoPriority = 400;

// Volumes are shares of full volume; anything else (NaN included) is brought into 0..1.
float ClampVolume(float v) {
    if (std::isnan(v) || v < 0.0f) {
        return 0.0f;
    }
    return v > 1.0f ? 1.0f : v;
}

CPtr<CNSound> SpecialSound(const char* name) {
    CPtr<CNSound> sound;
    if (CPSoundManager::Instance != nullptr) {
        CPSoundManager::Instance->GetSpecialSound(sound, name);
    }
    return sound;
}

template <class Player>
void AddToScheduler(Player* player) {
    player->Priority = VideoPriority;
    if (CPScheduler::Instance != nullptr) {
        CPScheduler::Instance->AddTask(CPtr<Player>(player));
    }
}

// Special sounds and all sounds.

int PlaySpecialSound(lua_State* L) {
    const char* name = CheckText(L, 1);
    if (CPtr<CNSound> sound = SpecialSound(name)) {
        if (sound->IsPlaying()) {
            sound->Stop();
            sound->Rewind();
        }
        sound->Play(0, 0);
    }
    return 0;
}

int PlaySpecialSound3D(lua_State* L) {
    const char* name = CheckText(L, 1);
    const D3DXVECTOR3 position(Number(L, 2), Number(L, 3), Number(L, 4));
    // Only the boolean true counts: a number 1 plays once and does not keep.
    const bool loop = IsTrue(L, 5);
    const bool keep = IsTrue(L, 6);
    bool played = true;
    if (CPtr<CNSound> sound = SpecialSound(name)) {
        CPSoundManager::SetSoundPosition(sound, position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        if (sound->IsPlaying() && keep) {
            played = false;
        } else {
            if (sound->IsPlaying()) {
                sound->Stop();
                sound->Rewind();
            }
            sound->Play(0, loop ? DSBPLAY_LOOPING : 0);
        }
    }
    lua_pushboolean(L, played);
    return 1;
}

int StopSpecialSound(lua_State* L) {
    const char* name = CheckText(L, 1);
    if (CPtr<CNSound> sound = SpecialSound(name)) {
        sound->Stop();
    }
    return 0;
}

int IsSpecialSoundPlaying(lua_State* L) {
    const char* name = CheckText(L, 1);
    bool playing = false;
    if (CPtr<CNSound> sound = SpecialSound(name)) {
        playing = sound->IsPlaying();
    }
    lua_pushboolean(L, playing);
    return 1;
}

int UpdateSoundPosition(lua_State* L) {
    const D3DXVECTOR3 position(Number(L, 2), Number(L, 3), Number(L, 4));
    D3DXVECTOR3 velocity(0.0f, 0.0f, 0.0f);
    if (lua_isnumber(L, 5) && lua_isnumber(L, 6) && lua_isnumber(L, 7)) {
        velocity = D3DXVECTOR3(Number(L, 5), Number(L, 6), Number(L, 7));
    }
    if (CPtr<CNSound> sound = SpecialSound(Text(L, 1).c_str())) {
        CPSoundManager::SetSoundPosition(sound, position, velocity);
    }
    return 0;
}

int StopSounds(lua_State*) {
    if (CPSoundManager::Instance != nullptr && CPSoundManager::Instance->Cache != nullptr) {
        for (CPSoundCache::Entry& entry : CPSoundManager::Instance->Cache->Entries) {
            if (entry.Sound) {
                entry.Sound->Stop();
                entry.Sound->Rewind();
            }
        }
    }
    for (CNSound* sound : CNSound::AllSounds) {
        sound->Stop();
    }
    return 0;
}

// Music.

int PlayMusic(lua_State* L) {
    if (CPMusic::Instance != nullptr) {
        CPMusic::Instance->Play(Text(L, 1), true);
    }
    return 0;
}

int PlayMusicNoLoop(lua_State* L) {
    if (CPMusic::Instance != nullptr) {
        CPMusic::Instance->Play(Text(L, 1), false);
        CPMusic::Instance->Start();
    }
    return 0;
}

int StopPlayingMusic(lua_State*) {
    if (CPMusic::Instance != nullptr) {
        CPMusic::Instance->Stop();
    }
    return 0;
}

int GetMusicName(lua_State* L) {
    if (CPMusic::Instance != nullptr) {
        const std::string& name = CPMusic::Instance->Name;
        lua_pushlstring(L, name.data(), name.size());
    } else {
        lua_pushstring(L, "");
    }
    return 1;
}

// Options.

int GetSoundVolume(lua_State* L) {
    lua_pushnumber(L, Cfg::soundVolume);
    return 1;
}

int SetSoundVolume(lua_State* L) {
    CPSoundManager::SetSoundVolume(ClampVolume(Number(L, 1)));
    return 0;
}

int GetMusicVolume(lua_State* L) {
    lua_pushnumber(L, Cfg::musicVolume);
    return 1;
}

int SetMusicVolume(lua_State* L) {
    CPSoundManager::SetMusicVolume(ClampVolume(Number(L, 1)));
    return 0;
}

int GetMouse(lua_State* L) {
    lua_pushnumber(L, Cfg::mouse);
    return 1;
}

int SetMouse(lua_State* L) {
    Cfg::mouse = Number(L, 1);
    return 0;
}

int GetBrightness(lua_State* L) {
    lua_pushnumber(L, Cfg::plane);
    return 1;
}

// SetBrightness, DumpAIInfo, CreateArrow and DrawArrow: one function that does nothing.
int DoNothing(lua_State*) { return 0; }

// Videos.

void PlayFirstVideo(lua_State* L, bool noSound) {
    CPAVIPlayer* player = CPAVIPlayer::Instance;
    if (player == nullptr) {
        return;
    }
    player->Open(Text(L, 1), noSound);
    // Each call sets the loop flag from its own argument: a looping film does not make the
    // next one loop too.
    player->Loop = Flag(L, 2);
    AddToScheduler(player);
}

int PlayVideo(lua_State* L) {
    PlayFirstVideo(L, false);
    return 0;
}

int PlayVideoNoSound(lua_State* L) {
    PlayFirstVideo(L, true);
    return 0;
}

int PlayVideo1(lua_State* L) {
    const char* name = CheckText(L, 1);
    if (CPAVIPlayer1* player = CPAVIPlayer1::Instance) {
        player->Open(name);
        player->Loop = true;
        AddToScheduler(player);
    }
    return 0;
}

int StopVideo(lua_State*) {
    if (CPAVIPlayer::Instance != nullptr && CPAVIPlayer::Instance->Running) {
        CPAVIPlayer::Instance->Stop();
    }
    return 0;
}

int StopVideo1(lua_State*) {
    if (CPAVIPlayer1::Instance != nullptr && CPAVIPlayer1::Instance->Running) {
        CPAVIPlayer1::Instance->Stop();
    }
    return 0;
}

// Global timer and frame time.

int StartGlobalTimer(lua_State*) {
    if (CPGlobalTimer::Instance != nullptr && CPScheduler::Instance != nullptr) {
        CPScheduler::Instance->AddTask(CPtr<CPGlobalTimer>(CPGlobalTimer::Instance));
    }
    return 0;
}

int StopGlobalTimer(lua_State*) {
    if (CPGlobalTimer::Instance != nullptr) {
        CPGlobalTimer::Instance->Stop();
    }
    FrameTime = 0.0f;
    return 0;
}

// ClearTimer and ClearGlobalTimer.
int ClearTimer(lua_State*) {
    FrameTime = 0.0f;
    return 0;
}

int SetActions(lua_State* L) {
    if (CPActionsManager::Instance != nullptr) {
        CPActionsManager::Instance->ActionsEnabled = Flag(L, 1);
    }
    FrameTime = 0.0f;
    return 0;
}

}  // namespace

extern const luaL_Reg SoundFunctionsA[] = {
    {"ClearTimer", ClearTimer},
    {"SetActions", SetActions},
    {"PlaySpecialSound3D", PlaySpecialSound3D},
    {"PlaySpecialSound", PlaySpecialSound},
    {"StopSounds", StopSounds},
    {"PlayMusicNoLoop", PlayMusicNoLoop},
    {"GetSoundVolume", GetSoundVolume},
    {"SetSoundVolume", SetSoundVolume},
    {"GetMusicVolume", GetMusicVolume},
    {"SetMusicVolume", SetMusicVolume},
    {"GetMouse", GetMouse},
    {"SetMouse", SetMouse},
    {"GetBrightness", GetBrightness},
    {"SetBrightness", DoNothing},
    {"GetMusicName", GetMusicName},
    {"DumpAIInfo", DoNothing},
    {"CreateArrow", DoNothing},
    {"DrawArrow", DoNothing},
    {"UpdateSoundPosition", UpdateSoundPosition},
    {"StopSpecialSound", StopSpecialSound},
    {"IsSpecialSoundPlaying", IsSpecialSoundPlaying},
    {"StopPlayingMusic", StopPlayingMusic},
    {nullptr, nullptr},
};

extern const luaL_Reg SoundFunctionsB[] = {
    {"PlayVideo", PlayVideo},
    {"PlayVideoNoSound", PlayVideoNoSound},
    {"PlayVideo1", PlayVideo1},
    {"StopVideo", StopVideo},
    {"StopVideo1", StopVideo1},
    {"StopGlobalTimer", StopGlobalTimer},
    {"StartGlobalTimer", StartGlobalTimer},
    {"ClearGlobalTimer", ClearTimer},
    {nullptr, nullptr},
};

extern const luaL_Reg SoundFunctionsE[] = {
    {"PlayMusic", PlayMusic},
    {nullptr, nullptr},
};

}  // namespace Script
