// Per-step force sources of rigid bodies. The step calls the callback of every due
// controller of an active body; the force and torque it sets act on the body for that step
// (world axes, N and N·m).
#pragma once

#include "physics/RbMath.h"

#include <cstdint>

class RbController;
class RbRigidBody;

class RbControllerCallback {
public:
    virtual void OnStep(RbController* controller, float timeStep) = 0;

protected:
    ~RbControllerCallback() = default;
};

class RbController {
public:
    // Non-finite values are ignored (the previous value stays).
    void SetForce(const RbVector& force) {
        if (RbIsFinite(force)) {
            Force = force;
        }
    }
    void SetTorque(const RbVector& torque) {
        if (RbIsFinite(torque)) {
            Torque = torque;
        }
    }

    // Steps between calls; 0 and 1 both mean every step. Countdown starts at the period.
    int32_t Period = 0;
    int32_t Countdown = 0;
    RbControllerCallback* Callback = nullptr;
    RbRigidBody* Body = nullptr;
    RbVector Force;
    RbVector Torque;
    RbVector Reserved[2];
    // Next controller of the body; null at the end.
    RbController* Next = nullptr;
};
