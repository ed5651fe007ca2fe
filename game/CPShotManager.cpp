// minimal until the full one lands
#include "game/CPShotManager.h"

CPShotManager* GetShotManager() { return CPShotManager::Instance; }
