// The world's side of the cars: the driver's inputs reach the vehicle model through it.
#include "game/CPCar.h"
#include "game/CPPhysicWorld.h"
#include "scene/CPGameObject.h"

void CPPhysicWorld::SetCarControls(CPtr<CPGameObject> car, float throttle, float steering) {
    if (car == nullptr) {
        return;
    }
    if (auto* model = dynamic_cast<CPCar*>(car->Car.Get())) {
        model->SetControls(throttle, steering);
    }
}
