// The player object's state and the driver's side of the car: controls, lock, nitro, brake
// lights, sound volume, velocity, impulses, and the damage collisions do.
#include "game/CPPlayer.h"

#include "game/CPCar.h"
#include "game/CPLevel.h"

#include "Sound/NSound.h"
#include "core/FrameTime.h"

#include <algorithm>
#include <cmath>

namespace {

float FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }

bool IsFinite(const D3DXVECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void ShowIfPresent(const CPtr<CPGameObject>& node, bool visible) {
    if (node != nullptr) {
        node->Visible = visible;
    }
}

}  // namespace

CPPlayer::CPPlayer() : CPGameObject("PLAYER") {}

CPPlayer::~CPPlayer() {
    // The weapon, its flares and the targets may be children of this car, and a tree is
    // deleted leaves first: what is already gone is forgotten, not released.
    const auto letGo = [](CPtr<CPGameObject>& object) {
        if (object != nullptr && CPObject::FindLive(static_cast<CPObject*>(object.Get())) == nullptr) {
            object.MakeNull();
        }
        object = nullptr;
    };
    letGo(AimTarget);
    letGo(AimTargetOwner);
    for (CPtr<CPGameObject>& object : FlameObjects) {
        letGo(object);
    }
    FlameObjects.clear();
    for (CPtr<CPGameObject>& flare : Flares) {
        letGo(flare);
    }
    letGo(WeaponObject);
    DropShadow();
}

CPCar* CPPlayer::GetCar() const { return dynamic_cast<CPCar*>(Car.Get()); }

CPtr<CPCar> CPPlayer::GetCarPtr() const { return CPtr<CPCar>(GetCar()); }

void CPPlayer::SetControls(float throttle, float steering) {
    if (Locked) {
        return;
    }
    Steering = FiniteOrZero(steering);
    Throttle = ThrottleCut ? 0.0f : FiniteOrZero(throttle);
}

void CPPlayer::SetLocked(bool locked) {
    Locked = locked;
    CPCar* car = GetCar();
    if (car == nullptr) {
        return;
    }
    if (locked) {
        car->SetControls(0.0f, Steering);
    }
    car->Locked = locked;
}

void CPPlayer::CutThrottle() {
    ThrottleCut = true;
    if (!Locked) {
        Throttle = 0.0f;
    }
}

void CPPlayer::SetNitro(float value) {
    CPCar* car = GetCar();
    if (car == nullptr) {
        return;
    }
    float request = Locked ? 0.0f : FiniteOrZero(value);
    if (request < 0.0f || car->NitroFuel == 0.0f) {
        request = 0.0f;
    }
    car->Nitro = request;
    if (request == 0.0f && car->HasSound && car->Sounds[CPCar::NitroSound] != nullptr) {
        car->Sounds[CPCar::NitroSound]->Stop();
    }
}

void CPPlayer::SetBrakeLights(bool on) {
    if (Locked) {
        return;
    }
    if (Slowed) {
        ShowIfPresent(FindChild("lflarerear"), on);
        ShowIfPresent(FindChild("rflarerear"), on);
        return;
    }
    if (CPCar* car = GetCar()) {
        car->SetLights(on);
    }
}

void CPPlayer::SetCarSoundVolume(float volume) {
    CPCar* car = GetCar();
    if (car == nullptr || !car->HasSound) {
        return;
    }
    for (int32_t slot : {CPCar::EngineSound, CPCar::SqueakSound, CPCar::NitroSound}) {
        if (car->Sounds[slot] != nullptr) {
            car->Sounds[slot]->SetVolume(volume);
        }
    }
}

void CPPlayer::GetCarVelocity(D3DXVECTOR4& velocity) const {
    const CPCar* car = GetCar();
    if (car == nullptr) {
        velocity = D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
        return;
    }
    velocity = D3DXVECTOR4(car->Velocity.x, car->Velocity.y, car->Velocity.z, car->Velocity.w);
}

void CPPlayer::ApplyImpulse(const D3DXVECTOR3& point, const D3DXVECTOR3& impulse) {
    CPCar* car = GetCar();
    if (car != nullptr && IsFinite(point) && IsFinite(impulse)) {
        car->ApplyImpulse(point, impulse);
    }
}

bool CPPlayer::IsFollowedCar() const {
    const CPLevel* level = CPLevel::Current;
    return level != nullptr && level->FollowedCar == this;
}

void CPPlayer::AddCollisionDamage(float amount) {
    if (Dead || !(amount >= MinCrashAmount)) {
        return;  // a scrape, a resting push, or no number
    }
    // Contacts within CrashGap of the previous one are one crash, counted by its hardest.
    if (!Crashing || !(FullTime - CrashTime <= CrashGap) || FullTime < CrashTime) {
        CrashAmount = 0.0f;
    }
    Crashing = true;
    CrashTime = FullTime;
    const float hit = std::min(amount, 1.0f);
    if (hit <= CrashAmount) {
        return;
    }
    DamageLevel = std::min(DamageLevel + (hit - CrashAmount) * DamagePerCrash, WreckedLevel);
    CrashAmount = hit;
    // The car logic wrecks a locked car at 100.
    if (DamageLevel >= WreckedLevel && !Locked) {
        SetLocked(true);
    }
}
