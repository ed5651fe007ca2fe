// Getters of the engine's one-of-a-kind objects. Each returns the class's global instance
// pointer as it stands (null until the host or the class itself sets it) and adds no
// reference. A getter is defined next to its class, so only the getters of linked
// subsystems can be called.
#pragma once

class CPRender;
class CPParticleManager;
class CPCommandDispatcher;
class CPSoundManager;
class CPShotManager;
class CPGameData;
class CPFontManager;
class CPLevel;
class CPPhysicWorld;

CPRender* GetRender();
CPParticleManager* GetParticleManager();
CPCommandDispatcher* GetCommandDispatcher();
CPSoundManager* GetSoundManager();
CPShotManager* GetShotManager();
CPGameData* GetGameData();
CPFontManager* GetFontManager();
CPLevel* GetCurrentLevel();
CPPhysicWorld* GetPhysicWorld();
