#include "game/CPShotManager.h"

#include "core/Singletons.h"
#include "scene/CPGameObject.h"

CPShotManager* GetShotManager() { return CPShotManager::Instance; }

// minimal until the full one lands
void CPShotManager::LaunchShot(const std::string& /*name*/, const D3DXVECTOR3& /*position*/,
                               const D3DXVECTOR3& /*direction*/, float /*lifetime*/, CPtr<CPGameObject> /*owner*/,
                               int32_t /*extra*/) {}
