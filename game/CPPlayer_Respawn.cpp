// Respawn: putting a car back on the track.
#include "game/CPPlayer.h"

// minimal until the full one lands
void CPPlayer::Respawn(bool) {}
