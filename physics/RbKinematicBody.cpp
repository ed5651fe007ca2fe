// Pose of kinematic bodies; every change moves their world bounds with them.
#include "physics/RbKinematicBody.h"

void RbKinematicBody::SetPosition(const RbVector& position) {
    if (!RbIsFinite(position)) {
        return;
    }
    Position = position;
    UpdateTransform();
    TransformChanged = 1;
}

void RbKinematicBody::SetRotation(const RbQuaternion& q) {
    if (!RbIsFinite(q)) {
        return;
    }
    Rotation = RbRotationFromQuaternion(RbNonZeroQuaternion(q));
    UpdateTransform();
    TransformChanged = 1;
}

void RbKinematicBody::UpdateTransform() { UpdateWorldBounds(Rotation, Position); }
