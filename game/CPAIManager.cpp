#include "game/CPAIManager.h"

#include "scene/CPGameObject.h"

// minimal until the full one lands
CPAIManager* CPAIManager::Instance = nullptr;

void CPAIManager::UpdateVehicle(int, CPtr<CPGameObject>, const D3DXVECTOR3*, float, CPtr<CPGameObject>, int, int) {}
