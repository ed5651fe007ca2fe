// A position-driven body: it moves only when the game sets its pose, and its world bounds
// follow every pose change.
#pragma once

#include "physics/RbBody.h"
#include "physics/RbMath.h"

#include <cstdint>

class RbKinematicBody : public RbBody {
public:
    RbKinematicBody() { Kind = KindKinematic; }

    // Both recompute the world bounds and mark the transform changed; a non-finite argument
    // changes nothing, a zero quaternion is the identity.
    void SetPosition(const RbVector& position);
    void SetRotation(const RbQuaternion& q);
    const RbVector& GetPosition() const { return Position; }
    const RbMatrix3& GetRotation() const { return Rotation; }
    // World bounds from the current pose (nothing for a body without geometries).
    void UpdateTransform();

    RbMatrix3 Rotation = RbMatrix3::Identity();
    RbVector Position = RbVec(0.0f, 0.0f, 0.0f, 1.0f);
    int32_t TransformChanged = 0;

    // Kept by the step: the pose at the end of the last step, and the velocities the pose
    // change since then implies (what the body pushes rigid bodies with).
    RbMatrix3 PreviousRotation = RbMatrix3::Identity();
    RbVector PreviousPosition = RbVec(0.0f, 0.0f, 0.0f, 1.0f);
    RbVector Velocity;
    RbVector AngularVelocity;
    int32_t Stepped = 0;  // 0 until the first step has seen the body
    int32_t Moved = 0;    // the pose differs from the last step's (or the body is new)
};
