#include "scene/CPLight.h"

#include "scene/CPGameObject.h"

D3DLIGHT9* CPLight::GetLight() {
    if (Owner != nullptr) {
        Light.Position.x = Owner->WorldMatrix._41;
        Light.Position.y = Owner->WorldMatrix._42;
        Light.Position.z = Owner->WorldMatrix._43;
    }
    return &Light;
}
