// minimal until the full one lands: the race rules' per-frame step.
#include "game/CPLevel.h"

// minimal until the full one lands
void CPLevel::Update() {}
