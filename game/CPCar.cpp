// Building the car and the driver's side of it: controls, brake, impulses.
#include "game/CPCar.h"

#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPLog.h"
#include "core/Singletons.h"
#include "physics/RbRigidBody.h"
#include "physics/RbSensor.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

void SetVisibleIfPresent(CPGameObject* node, bool visible) {
    if (node != nullptr) {
        node->Visible = visible;
    }
}

}  // namespace

CPCar::CPCar(CPGameObject* body) : Body(body) {
    D3DXMatrixIdentity(&BodyTransform);
    D3DXMatrixIdentity(&InverseTransform);
    Rotation = RbMatrix3::Identity();
    Translation = RbVec(0.0f, 0.0f, 0.0f, 1.0f);
}

CPCar::~CPCar() {
    // A body that stays in the simulation without its car must not call back into it, nor
    // keep the car's last force.
    if (RbRigidBody* rigid = GetRigidBody()) {
        for (RbController* controller = rigid->Controllers; controller != nullptr; controller = controller->Next) {
            if (controller->Callback == this) {
                controller->Callback = nullptr;
                controller->SetForce(RbVector{});
                controller->SetTorque(RbVector{});
            }
        }
    }
    for (int32_t slot = 1; slot < SoundSlots; ++slot) {
        if (Sounds[slot] != nullptr) {
            Sounds[slot]->Stop();
        }
    }
    for (CNSound* sound : ownSounds) {
        for (CPtr<CNSound>& slot : Sounds) {
            if (slot.Get() == sound) {
                slot = nullptr;
            }
        }
        delete sound;
    }
}

CPtr<CPCar> CPCar::Create(CPtr<CPGameObject> body, bool withSound) {
    CPtr<CPCar> car(new CPCar(body.Get()));
    if (body != nullptr) {
        body->Car = CPtr<CPObject>(car.Get());
    }
    car->Build(withSound);
    car->HasSound = withSound;
    if (withSound) {
        if (CPSoundManager* sounds = GetSoundManager()) {
            sounds->LoadSound(car->Sounds[EngineSound], "main.wav", 0, true);
            sounds->LoadSound(car->Sounds[SqueakSound], "vizg.wav", 0, true);
            sounds->LoadSound(car->Sounds[NitroSound], "nitro.wav", 0, false);
            for (int32_t slot : {EngineSound, SqueakSound, NitroSound}) {
                CNSound* sound = car->Sounds[slot].Get();
                if (sound != nullptr && (sounds->Cache == nullptr || !sounds->Cache->IsShared(sound)) &&
                    std::find(car->ownSounds.begin(), car->ownSounds.end(), sound) == car->ownSounds.end()) {
                    car->ownSounds.push_back(sound);
                }
            }
        }
    }
    return car;
}

RbRigidBody* CPCar::GetRigidBody() const {
    if (Body == nullptr || Body->Physics == nullptr) {
        return nullptr;
    }
    return Body->Physics->RigidBody;
}

void CPCar::Build(bool send) {
    Locked = false;
    ReadParams(send);
    if (Body == nullptr) {
        return;
    }
    const std::string& name = Body->GetName();
    for (int32_t i = 0; i < WheelCount; ++i) {
        std::string wheel = "w";  // appended: GCC 12 warns falsely (-Wrestrict) on "w" + std::string
        wheel += std::to_string(i);
        Wheels[i] = Body->GetChild(wheel);
        if (Wheels[i] == nullptr) {
            CPLog::GetInstance().Write(0, "car %s: no wheel mesh \"w%d\", the wheel is left out\n", name.c_str(),
                                       static_cast<int>(i));
        }
    }

    RbRigidBody* rigid = GetRigidBody();
    if (rigid == nullptr) {
        CPLog::GetInstance().Write(0, "car %s: the body has no rigid body, the car stays inert\n", name.c_str());
    } else {
        for (int32_t i = 0; i < WheelCount; ++i) {
            if (Wheels[i] == nullptr) {
                continue;
            }
            const D3DXVECTOR3& m = Wheels[i]->Position;
            const float side = i % 2 == 0 ? 1.0f : -1.0f;
            RbSensor* sensor = rigid->AddSensor();
            if (sensor == nullptr) {
                CPLog::GetInstance().Write(0, "car %s: no sensor left for wheel %d, the wheel is left out\n",
                                           name.c_str(), static_cast<int>(i));
                continue;
            }
            const RbVector start = RbVec(m.x - side * WheelX, m.y, WheelY);
            sensor->SetLine(start, RbVec(0.0f, 0.0f, -Length));
            WheelRestPositions[i] = D3DXVECTOR4(m.x, m.y, WheelY, 0.0f);
            DustPositions[i] = D3DXVECTOR3(start.x, start.y, 0.0f);
            Sensors[i] = sensor;
            WheelOffsets[i] = Radius - Length;
        }
        if (rigid->AddController(this, 0) == nullptr) {
            CPLog::GetInstance().Write(0, "car %s: no controller left, the car stays inert\n", name.c_str());
        }
        Body->Physics->Refresh();
    }

    StopLights = Body->GetChild("stoplights").Get();
    StopLights2 = Body->GetChild("stoplights2").Get();
    BackLights = Body->GetChild("backlights").Get();
    BackLights2 = Body->GetChild("backlights2").Get();
    SetVisibleIfPresent(StopLights, true);
    SetVisibleIfPresent(StopLights2, false);
    SetVisibleIfPresent(BackLights, true);
    SetVisibleIfPresent(BackLights2, false);
}

void CPCar::ReadParams(bool send) {
    if (Body == nullptr) {
        return;
    }
    const std::optional<CarCommandTexts> commands = ReadCarDescription(Body->XmlDocument, *this);
    if (send && commands) {
        if (CPCommandDispatcher* dispatcher = GetCommandDispatcher()) {
            dispatcher->SendCommandByName("jeep", "set_car_params", commands->CarParams);
            dispatcher->SendCommandByName("jeep", "set_car_params2", commands->CarParams2);
        }
    }
}

void CPCar::SetControls(float throttle, float steering) {
    if (!std::isfinite(throttle)) {
        throttle = 0.0f;
    }
    // r1 is the second column of the inverse (the transposed rotation).
    const RbVector r1 = RbVec(InverseTransform._12, InverseTransform._22, InverseTransform._32);
    const float rearward = RbDot(Velocity, r1);
    if (throttle < 0.0f) {
        DriveForce = throttle * AccelBack;
        // Reversing lights only once the car rolls backwards.
        if (rearward > 0.0f) {
            SetVisibleIfPresent(BackLights, false);
            SetVisibleIfPresent(BackLights2, true);
        }
    } else {
        DriveForce = throttle * AccelFront;
        SetVisibleIfPresent(BackLights, true);
        SetVisibleIfPresent(BackLights2, false);
    }
    SteerInput = std::isnan(steering) ? 0.0f : std::clamp(steering, -MaxSteer, MaxSteer);
}

void CPCar::SetLights(bool on) {
    if (on && !Braking) {
        SetVisibleIfPresent(StopLights, false);
        SetVisibleIfPresent(StopLights2, true);
    } else if (!on && Braking) {
        SetVisibleIfPresent(StopLights, true);
        SetVisibleIfPresent(StopLights2, false);
    }
    Braking = on;
}

void CPCar::ApplyImpulse(const D3DXVECTOR3& point, const D3DXVECTOR3& impulse) {
    if (RbRigidBody* rigid = GetRigidBody()) {
        rigid->ApplyImpulse(RbVec(impulse.x, impulse.y, impulse.z), RbVec(point.x, point.y, point.z, 1.0f));
    }
}
