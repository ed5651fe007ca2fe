// The level's ray queries and small services.
#include "game/CPLevel.h"

#include "game/CPPlayer.h"
#include "scene/CPPickInfo.h"

// minimal until the full one lands
bool CPLevel::CrossObjectRay(CPPickInfo& pick) {
    return FollowedCar != nullptr && FollowedCar->RayPick(pick);
}

// minimal until the full one lands
bool CPLevel::IsPlayerMovingBackwards() const { return false; }

// minimal until the full one lands
void CPLevel::UpdatePlayerWeapons(const D3DXVECTOR3& position, CPtr<CPGameObject> car) {
    if (Player) {
        Player->UpdateWeapons(position, car);
    }
}

// minimal until the full one lands
void FlameHitTest(CPObject*, void*) {}
