// The shot manager.
#include "game/CPShotManager.h"

#include "core/Singletons.h"

// minimal until the full one lands
CPShotManager* CPShotManager::Instance = nullptr;

CPShotManager* GetShotManager() { return CPShotManager::Instance; }

void CPShotManager::LaunchShot(const std::string&, const D3DXVECTOR3&, const D3DXVECTOR3&, float, CPtr<CPGameObject>,
                               int) {}
