// The level's ray queries.
#include "game/CPLevel.h"

#include "scene/CPPickInfo.h"

// minimal until the full one lands
bool CPLevel::CrossInterfaceRay(CPPickInfo&) { return false; }
