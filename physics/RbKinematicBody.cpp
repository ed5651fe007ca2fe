// Pose of kinematic bodies; every change moves their world bounds with them.
#include "physics/RbKinematicBody.h"

void RbKinematicBody::SetPosition(const RbVector& position) {
    Position = position;
    UpdateTransform();
    TransformChanged = 1;
}

void RbKinematicBody::SetRotation(const RbQuaternion& q) {
    Rotation = RbRotationFromQuaternion(q);
    UpdateTransform();
    TransformChanged = 1;
}

void RbKinematicBody::UpdateTransform() { UpdateWorldBounds(Rotation, Position); }
