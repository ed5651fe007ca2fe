#include "game/CPBeaconPointer.h"

#include "scene/CPGameObject.h"

CPBeaconPointer::~CPBeaconPointer() = default;

void CPBeaconPointer::SetTarget(CPGameObject* target) {
    Target = CPtr<CPGameObject>(target);
    if (target != nullptr) {
        if (ShapeA != nullptr) {
            ShapeA->SetVisible(true);
        }
        if (ShapeB != nullptr) {
            ShapeB->SetVisible(true);
        }
        Shown = ShapeA.Get();
        return;
    }
    Shown = nullptr;
    if (ShapeB != nullptr) {
        ShapeB->SetVisible(false);
    }
}
