// The weapons of a car.
#include "game/CPPlayer.h"

// minimal until the full one lands
void CPPlayer::UpdateWeapons(const D3DXVECTOR3&, CPtr<CPGameObject>) {}
