// The level's ray queries and small services.
#include "game/CPLevel.h"

#include "game/CPPlayer.h"
#include "scene/CPPickInfo.h"

// minimal until the full one lands
bool CPLevel::CrossObjectRay(CPPickInfo& pick) {
    return FollowedCar != nullptr && FollowedCar->RayPick(pick);
}

// minimal until the full one lands
void FlameHitTest(CPObject*, void*) {}

// minimal until the full one lands
bool CPLevel::CrossInterfaceRay(CPPickInfo&) { return false; }
