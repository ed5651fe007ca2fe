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
    // changes nothing.
    void SetPosition(const RbVector& position);
    void SetRotation(const RbQuaternion& q);
    const RbVector& GetPosition() const { return Position; }
    const RbMatrix3& GetRotation() const { return Rotation; }
    // World bounds from the current pose (nothing for a body without geometries).
    void UpdateTransform();

    RbMatrix3 Rotation = RbMatrix3::Identity();
    RbVector Position = RbVec(0.0f, 0.0f, 0.0f, 1.0f);
    int32_t TransformChanged = 0;
};
