// The world's work once per frame: fixed simulation steps from the frame time, the parked
// bodies' waiting counts, and the poses of the moving bodies back into their nodes.
//
// Poses go straight into the node's Position and Orientation (and its level-of-detail
// substitutes) without passing through CPGameObject::SetPosition, which would hand them back
// to the body and wake it; then the node's transform is brought up to date. Only root nodes
// follow their body: a child's placement is relative to its parent. Kinematic bodies follow their nodes, never the other way round.
#include "game/CPPhysicWorld.h"

#include "core/FrameTime.h"
#include "physics/RbSimulator.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <algorithm>
#include <cmath>

float CarFrameTime = 0.0f;

namespace {

// A frame time this close below a whole step still makes the step (float sums of 1/60).
constexpr float StepSlack = 1e-4f;

void PlaceNode(CPGameObject& node, const D3DXVECTOR3& position, const D3DXQUATERNION& orientation) {
    for (size_t i = 1; i < node.LodLevels.size(); ++i) {
        if (node.LodLevels[i].first != nullptr) {
            PlaceNode(*node.LodLevels[i].first, position, orientation);
        }
    }
    node.Position = position;
    node.Orientation = orientation;
    node.TransformUpdated = false;
    node.TransformDirty = true;
}

}  // namespace

void CPPhysicWorld::Update() {
    SparkCount = 0;
    LastStepCount = 0;
    if (Simulator == nullptr) {
        return;
    }
    const float frame = std::isfinite(FrameTime) && FrameTime > 0.0f ? FrameTime : 0.0f;
    Accumulator = std::min(Accumulator + frame, StepLength * static_cast<float>(MaxStepsPerFrame));
    // A frame without a step hands its time on to the next one that steps.
    CarFrameTime = UnsteppedTime + frame;
    while (LastStepCount < MaxStepsPerFrame && Accumulator >= StepLength * (1.0f - StepSlack)) {
        Simulator->Step(StepLength);
        Accumulator = std::max(Accumulator - StepLength, 0.0f);
        ++LastStepCount;
    }
    UnsteppedTime = LastStepCount == 0 ? CarFrameTime : 0.0f;

    for (auto it = PendingRemovals.begin(); it != PendingRemovals.end();) {
        if (--it->Count > 0) {
            ++it;
            continue;
        }
        // Still parked and off; nothing of the game reaches it any more.
        RbBody* body = it->RigidBody != nullptr ? static_cast<RbBody*>(it->RigidBody)
                                                : static_cast<RbBody*>(it->KinematicBody);
        if (body != nullptr) {
            body->SetActive(false, 0);
            body->SetUserData(nullptr);
        }
        it = PendingRemovals.erase(it);
    }

    if (LastStepCount == 0) {
        return;
    }
    for (CPGameObject* node : ActiveObjects) {
        CPPhysicData* physics = node->Physics.Get();
        if (physics == nullptr || node->Parent != nullptr) {
            continue;
        }
        const RbRigidBody* body = physics->RigidBody;
        if (body == nullptr || !body->IsActive()) {
            continue;
        }
        const RbVector& p = body->GetPosition();
        const RbQuaternion& q = body->GetOrientation();
        PlaceNode(*node, D3DXVECTOR3(p.x, p.y, p.z), D3DXQUATERNION(q.x, q.y, q.z, q.w));
        // Drawing, culling by box, ray picks and the respawn's overlap test read the world
        // matrix and bounds, so the node is brought up to date here, once per frame.
        node->UpdateTransform();
    }
}
