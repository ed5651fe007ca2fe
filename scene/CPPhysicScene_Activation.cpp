// Switching the physics of scene nodes on and off. The bodies themselves enter the simulation
// in the physics step; switching off takes them out at once.
#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicScene.h"

void CPPhysicScene::ActivateObject(CPtr<CPGameObject> node) {
    if (node == nullptr || node->Physics == nullptr) {
        return;
    }
    ActiveObjects.insert(node.Get());
    node->Physics->Active = true;
}

void CPPhysicScene::DeactivateObject(CPtr<CPGameObject> node) {
    if (node == nullptr || node->Physics == nullptr) {
        return;
    }
    ActiveObjects.erase(node.Get());
    CPPhysicData& physics = *node->Physics;
    physics.Active = false;
    RbBody* body = physics.RigidBody != nullptr ? static_cast<RbBody*>(physics.RigidBody)
                                                 : static_cast<RbBody*>(physics.KinematicBody);
    if (body != nullptr && body->IsActive()) {
        body->SetActive(false, 0);
    }
}
