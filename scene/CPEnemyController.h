// What a scene node asks of the enemy that animates it: the enemy code implements this and
// puts itself in the figure's CPGameObject::Controller. The node does not own it.
#pragma once

#include "platform/d3dx/D3DXMath.h"

class CPEnemyController {
public:
    // The figure's animated mesh has just sent "animation_stopped" / "animation_report";
    // the controller reads its own current animation.
    virtual void OnAnimationStopped() = 0;
    virtual void OnAnimationReport() = 0;
    // The figure was hit at position from direction impact; a dead enemy ignores it.
    virtual void OnDamage(const D3DXVECTOR3& position, const D3DXVECTOR3& impact, float amount, bool noEffect,
                          bool silent) = 0;

protected:
    ~CPEnemyController() = default;
};
