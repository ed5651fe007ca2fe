#include "scene/CPPhysicWorld.h"

#include "core/Singletons.h"

CPPhysicWorld* GetPhysicWorld() { return CPPhysicWorld::Instance; }

CPPhysicWorld::CPPhysicWorld() : ActiveObjects(ActiveObjectBuckets) {}

CPPhysicWorld::~CPPhysicWorld() {
    if (Instance == this) {
        Instance = nullptr;
    }
}
