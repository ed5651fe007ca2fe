// Letting a body go. The simulator frees nothing back to its pools, so a removed body is
// parked far below the level, switched off and detached from its physics data; the world
// keeps it in PendingRemovals for a few frames and then forgets it (CPPhysicWorld's step).
#include "scene/CPPhysicScene.h"

#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "scene/CPPhysicData.h"

namespace {

constexpr float ParkingStep = 500.0f;
constexpr float ParkingFloor = -100000.0f;

}  // namespace

void CPPhysicScene::RemoveBody(CPtr<CPPhysicData> physics) {
    if (physics == nullptr) {
        return;
    }
    const RbVector parking = RbVec(0.0f, 0.0f, ParkingHeight, 1.0f);
    if (physics->RigidBody != nullptr) {
        PendingRemovals.push_back(CPPendingRemoval{physics->RigidBody, nullptr, 2});
        physics->RigidBody->SetPosition(parking);
        physics->RigidBody->SetActive(false, 0);
        physics->RigidBody->SetUserData(nullptr);  // its node may go now
        physics->RigidBody = nullptr;
    } else if (physics->KinematicBody != nullptr) {
        PendingRemovals.push_back(CPPendingRemoval{nullptr, physics->KinematicBody, 2});
        physics->KinematicBody->SetPosition(parking);
        physics->KinematicBody->SetActive(false, 0);
        physics->KinematicBody->SetUserData(nullptr);
        physics->KinematicBody = nullptr;
    } else {
        return;
    }
    ParkingHeight -= ParkingStep;
    if (ParkingHeight < ParkingFloor) {
        ParkingHeight = FirstParkingHeight;
    }
}
