#include "scene/CPPhysicScene.h"

#include "physics/RbKinematicBody.h"
#include "physics/RbRigidBody.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <algorithm>

namespace {

// Every live world, for the lookups by simulator and the node's last goodbye.
std::vector<CPPhysicScene*>& LiveScenes() {
    static std::vector<CPPhysicScene*> scenes;
    return scenes;
}

}  // namespace

CPPhysicScene::CPPhysicScene() : ActiveObjects(ActiveObjectBuckets) {
    LiveScenes().push_back(this);
    Current = this;
}

CPPhysicScene::~CPPhysicScene() {
    auto& scenes = LiveScenes();
    scenes.erase(std::remove(scenes.begin(), scenes.end(), this), scenes.end());
    if (Current == this) {
        Current = nullptr;
    }
}

CPPhysicScene* CPPhysicScene::OfSimulator(const RbSimulator* simulator) {
    if (simulator == nullptr) {
        return nullptr;
    }
    for (CPPhysicScene* scene : LiveScenes()) {
        if (scene->Simulator == simulator) {
            return scene;
        }
    }
    return nullptr;
}

void CPPhysicScene::ForgetNode(CPGameObject* node) {
    for (CPPhysicScene* scene : LiveScenes()) {
        scene->ActiveObjects.erase(node);
    }
    if (node == nullptr || node->Physics == nullptr) {
        return;
    }
    RbBody* bodies[2] = {node->Physics->RigidBody, node->Physics->KinematicBody};
    for (RbBody* body : bodies) {
        if (body != nullptr && body->GetUserData() == node) {
            body->SetUserData(nullptr);
        }
    }
}
