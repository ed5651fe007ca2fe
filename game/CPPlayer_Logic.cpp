// The per-step game logic of a car.
#include "game/CPPlayer.h"

// minimal until the full one lands
void CPPlayer::UpdateLogic(float) {}
