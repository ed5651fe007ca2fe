// The selected weapon of the player's car: selection (mesh, muzzle flares, catalogue values,
// type) and the per-frame work (flame damage, barrel spin, aim, firing and ammunition).
//
// Timers run on the frame time: the cooldown counts down and a shot is allowed once it is
// below zero; a shot adds the fire period to it, keeping the part of the last frame that was
// left over, so the rate does not depend on the frame rate. The leftover is capped at one
// frame, so a trigger held after a pause fires one shot, not the shots of the whole pause.
#include "game/CPWeapon.h"

#include "core/CPCommandDispatcher.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPShotManager.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct WeaponKind {
    const char* Name;
    int32_t Type;
};
// In the order names are compared.
constexpr WeaponKind WeaponKinds[] = {
    {"lgun", CPWeapon::MachineGun},         {"ssrlauncher", CPWeapon::SmallRocketLauncher},
    {"plasma", CPWeapon::Plasma},           {"lgun2x", CPWeapon::TwinGun},
    {"hmgun", CPWeapon::HeavyMachineGun},   {"shotgun", CPWeapon::Shotgun},
    {"mgun", CPWeapon::MachineGun},         {"mgun2x", CPWeapon::MachineGun},
    {"gauss", CPWeapon::Gauss},             {"rlauncher", CPWeapon::RocketLauncher},
    {"autoshotgun", CPWeapon::Shotgun},     {"firethrower", CPWeapon::FlameThrower},
};

D3DXVECTOR3 Translation(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

// The barrel axis (local -Y, the car's forward) in world space, unit.
D3DXVECTOR3 Forward(const D3DXMATRIX& world) {
    const D3DXVECTOR3 local(0.0f, -1.0f, 0.0f);
    D3DXVECTOR3 d;
    D3DXVec3TransformNormal(&d, &local, &world);
    D3DXVec3Normalize(&d, &d);
    return d;
}

// d turned away from itself by tilt, towards the side that azimuth picks around it.
D3DXVECTOR3 Tilted(const D3DXVECTOR3& d, float tilt, float azimuth) {
    D3DXVECTOR3 side;
    const D3DXVECTOR3 up(0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 x(1.0f, 0.0f, 0.0f);
    D3DXVec3Cross(&side, &d, std::fabs(d.z) < 0.9f ? &up : &x);
    D3DXVec3Normalize(&side, &side);
    D3DXMATRIX around, across;
    D3DXMatrixRotationAxis(&around, &d, azimuth);
    D3DXVec3TransformNormal(&side, &side, &around);
    D3DXMatrixRotationAxis(&across, &side, tilt);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &d, &across);
    return out;
}

}  // namespace

int32_t CPWeapon::TypeOf(const std::string& name) {
    for (const WeaponKind& kind : WeaponKinds) {
        if (name == kind.Name) {
            return kind.Type;
        }
    }
    return None;
}

const char* CPWeapon::ShotOf(int32_t type) {
    switch (type) {
    case MachineGun:
    case TwinGun:
        return "trasser11";
    case HeavyMachineGun:
        return "trasser12";
    case SmallRocketLauncher:
        return "srocket1";
    case RocketLauncher:
        return "rocket1";
    case Plasma:
        return "plazma";
    case Shotgun:
        return "trasser13";
    case Gauss:
        return "gauss1";
    default:
        return nullptr;
    }
}

float CPPlayer::WeaponShotCost() const {
    // A divisor or factor of 0 (or no number) would make a shot cost infinitely much; they
    // count as 1, their defaults.
    const float divisor = WeaponRecord.CostDivisor > 0 ? static_cast<float>(WeaponRecord.CostDivisor) : 1.0f;
    const float factor = std::isfinite(CostFactor) && CostFactor > 0.0f ? CostFactor : 1.0f;
    return static_cast<float>(WeaponRecord.ShotCost) / (divisor * factor);
}

void CPPlayer::AddFlameObject(const CPtr<CPGameObject>& object) {
    // Addresses are only compared: an entry may name an object deleted since.
    if (std::find(FlameObjects.begin(), FlameObjects.end(), object) == FlameObjects.end()) {
        FlameObjects.push_back(object);
    }
}

void CPPlayer::SetWeaponFlares() {
    if (Dead) {
        return;
    }
    if (WeaponObject != nullptr) {
        WeaponObject->SetVisible(false);
    }
    for (CPtr<CPGameObject>& flare : Flares) {
        if (flare != nullptr) {
            flare->SetVisible(false);
        }
        flare = nullptr;
    }
    WeaponObject = nullptr;
    WeaponRecord = WeaponInfo();
    WeaponName.clear();
    const CPGameData* game = GetGameData();
    if (WeaponSlot >= 0 && WeaponSlot < 3 && game != nullptr) {
        WeaponName = game->ActiveCarSettings.Weapons[static_cast<size_t>(WeaponSlot)];
    }
    if (!WeaponName.empty()) {
        WeaponObject = FindChild(WeaponName);
        if (WeaponObject != nullptr) {
            WeaponObject->SetVisible(true);
        }
        if (const WeaponInfo* record = game->Weapons.Find(WeaponName)) {
            WeaponRecord = *record;
        }
        char first[128];
        std::snprintf(first, sizeof(first), "flare_%s", WeaponName.c_str());
        const std::string flareNames[4] = {first, std::string(first) + "_01", std::string(first) + "_02",
                                           std::string(first) + "_03"};
        for (size_t i = 0; i < Flares.size(); ++i) {
            Flares[i] = FindChild(flareNames[i]);
            if (Flares[i] != nullptr) {
                Flares[i]->SetVisible(false);
            }
        }
    }
    FlareIndex = 3;
    FlareShown = false;
    WeaponType = CPWeapon::TypeOf(WeaponName);
    // The new weapon is empty when its slot cannot pay for one shot.
    WeaponEmpty = false;
    if (WeaponObject != nullptr && WeaponSlot >= 0 && WeaponSlot < 3 && WeaponType != CPWeapon::None) {
        WeaponEmpty = Ammunition[static_cast<size_t>(WeaponSlot)] < WeaponShotCost();
    }
    UpdateWeapons(AimPoint, nullptr);
}

void CPPlayer::UpdateWeapons(const D3DXVECTOR3& aimPoint, CPtr<CPGameObject>) {
    if (Dead) {
        return;
    }
    const float dt = std::isfinite(FrameTime) && FrameTime > 0.0f ? FrameTime : 0.0f;
    AimPoint = aimPoint;
    if (WeaponObject == nullptr) {
        return;
    }
    CPGameObject& weapon = *WeaponObject;
    WeaponCooldown -= dt;
    if (FlareShown) {
        FlareTimer -= dt;
        if (FlareTimer <= 0.0f) {
            if (CPGameObject* flare = Flares[static_cast<size_t>(FlareIndex) % Flares.size()].Get()) {
                flare->SetVisible(false);
            }
            FlareShown = false;
        }
    }

    if (WeaponType == CPWeapon::FlameThrower) {
        FlameTimer -= dt;
        if (FlameTimer <= 0.0f) {
            const D3DXVECTOR3 from = Translation(WorldMatrix);
            do {
                for (const CPtr<CPGameObject>& object : FlameObjects) {
                    // The list holds no life: an object deleted since its flame touched it is skipped.
                    CPGameObject* address = object.Get();
                    if (CPObject::FindLive(static_cast<CPObject*>(address)) == nullptr) {
                        continue;
                    }
                    const D3DXVECTOR3 at = Translation(address->WorldMatrix);
                    address->Damage(at, at - from, WeaponRecord.DamagePerShot, false, false);
                    address->SpawnFlame(1.0f);
                }
                FlameTimer += CPWeapon::FlameDamagePeriod;
            } while (FlameTimer <= 0.0f);
        }
        for (CPtr<CPGameObject>& object : FlameObjects) {
            if (CPObject::FindLive(static_cast<CPObject*>(object.Get())) == nullptr) {
                object.MakeNull();
            }
        }
        FlameObjects.clear();
    }

    if (WeaponType == CPWeapon::HeavyMachineGun && Trigger) {
        BarrelAngle = std::fmod(BarrelAngle + dt * CPWeapon::BarrelSpin, 2.0f * static_cast<float>(M_PI));
        if (CPtr<CPGameObject> barrel = weapon.FindChild("stvol")) {
            const D3DXVECTOR3 axis(0.0f, 1.0f, 0.0f);
            D3DXQUATERNION spin;
            D3DXQuaternionRotationAxis(&spin, &axis, BarrelAngle);
            barrel->SetOrientation(spin);
        }
    }

    // Aim: turn about the car's up axis towards the point, seen from the weapon's mount.
    UpdateTransform();
    D3DXMATRIX toCar;
    D3DXVECTOR3 local;
    if (D3DXMatrixInverse(&toCar, nullptr, &WorldMatrix) != nullptr) {
        D3DXVec3TransformCoord(&local, &AimPoint, &toCar);
        local -= weapon.Position;
        const float flat = std::sqrt(local.x * local.x + local.y * local.y);
        if (std::isfinite(flat)) {
            // Rotation z by yaw takes the barrel (0, -1, 0) to (sin yaw, -cos yaw, 0).
            const float yaw = flat > 0.0f ? std::atan2(local.x, -local.y) : 0.0f;
            D3DXMATRIX turn, raise, both;
            D3DXMatrixRotationZ(&turn, yaw);
            D3DXMatrixIdentity(&raise);
            if (WeaponType == CPWeapon::RocketLauncher) {
                // Range d = v²·sin(2θ)/g at a 17 m/s muzzle speed: θ = ½·asin(g·d/17²), the
                // barrel's lift above the horizontal (π/2 less the angle from the vertical).
                const float v = std::min(CPWeapon::BallisticFactor * flat, 1.0f);
                const float lift = 0.5f * std::asin(v);
                // Rotation x by -lift takes (0, -1, 0) to (0, -cos, +sin): up.
                D3DXMatrixRotationX(&raise, -lift);
            }
            D3DXMatrixMultiply(&both, &raise, &turn);
            D3DXQUATERNION q;
            D3DXQuaternionRotationMatrix(&q, &both);
            weapon.SetOrientation(q);
        }
    }
    // The weapon's subtree (flares, barrel) follows its new turn before shots leave it.
    weapon.TransformDirty = true;
    weapon.UpdateTransform();

    // Fire.
    if (WeaponEmpty || !Trigger || !(WeaponCooldown < 0.0f) || WeaponType == CPWeapon::None) {
        return;
    }
    if (WeaponSlot < 0 || WeaponSlot > 2) {
        return;
    }
    const float rate = WeaponRecord.FireRate * RateFactor;
    if (!std::isfinite(rate) || !(rate > 0.0f)) {
        return;  // a weapon without a rate does not fire
    }
    float& ammunition = Ammunition[static_cast<size_t>(WeaponSlot)];
    const float cost = WeaponShotCost();
    if (ammunition < cost) {
        WeaponEmpty = true;
        return;
    }

    if (CPGameObject* flare = Flares[static_cast<size_t>(FlareIndex) % Flares.size()].Get()) {
        flare->SetVisible(false);
    }
    FlareIndex = FlareIndex >= 3 ? 0 : FlareIndex + 1;
    CPGameObject* flare = Flares[static_cast<size_t>(FlareIndex)].Get();
    if (flare != nullptr) {
        flare->SetVisible(true);
    }
    FlareTimer = CPWeapon::FlareTime;
    FlareShown = true;

    const D3DXVECTOR3 muzzle = Translation(flare != nullptr ? flare->WorldMatrix : weapon.WorldMatrix);
    const D3DXVECTOR3 direction = Forward(weapon.WorldMatrix);
    const CPtr<CPGameObject> self(this);
    CPShotManager* shots = GetShotManager();
    const char* shotName = CPWeapon::ShotOf(WeaponType);
    switch (WeaponType) {
    case CPWeapon::MachineGun:
    case CPWeapon::TwinGun:
        if (shots != nullptr) shots->LaunchShot(shotName, muzzle, direction, -1.0f, self, 0);
        SpawnShells(&weapon);
        break;
    case CPWeapon::HeavyMachineGun: {
        const float tilt = CrtRandUnit() * CPWeapon::MaxHeavyTilt;
        const float azimuth = CrtRandUnit() * 2.0f * static_cast<float>(M_PI);
        if (shots != nullptr) shots->LaunchShot(shotName, muzzle, Tilted(direction, tilt, azimuth), -1.0f, self, 0);
        SpawnShells(&weapon);
        break;
    }
    case CPWeapon::Shotgun:
        for (int32_t pellet = 0; pellet < WeaponRecord.ShotCost; ++pellet) {
            const float yaw = CrtRandUnit() * 2.0f * static_cast<float>(M_PI);
            const float roll = CrtRandUnit() * CPWeapon::MaxShotgunTilt;
            // A cone about the barrel: the axis tilted by roll, then spun about it by yaw.
            D3DXMATRIX spread;
            D3DXMatrixRotationYawPitchRoll(&spread, yaw, 0.0f, roll);
            const D3DXVECTOR3 axis(0.0f, -1.0f, 0.0f);
            D3DXVECTOR3 local, d;
            D3DXVec3TransformNormal(&local, &axis, &spread);
            D3DXVec3TransformNormal(&d, &local, &weapon.WorldMatrix);
            if (shots != nullptr) shots->LaunchShot(shotName, muzzle, d, -1.0f, self, 0);
            SpawnShells(&weapon);
        }
        break;
    case CPWeapon::FlameThrower: {
        const float yaw = CrtRandUnit() * 2.0f * CPWeapon::MaxFlameTurn - CPWeapon::MaxFlameTurn;
        const float pitch = CrtRandUnit() * 2.0f * CPWeapon::MaxFlameTurn - CPWeapon::MaxFlameTurn;
        const float roll = CrtRandUnit() * 2.0f * CPWeapon::MaxFlameTurn - CPWeapon::MaxFlameTurn;
        D3DXMATRIX spread;
        D3DXMatrixRotationYawPitchRoll(&spread, yaw, pitch, roll);
        D3DXVECTOR3 d;
        D3DXVec3TransformNormal(&d, &direction, &spread);
        CPParticleDesc flame;
        flame.Name = "firethrower";
        flame.Position = muzzle;
        flame.Velocity = d * CPWeapon::FlameSpeed;
        flame.Param3 = CrtRandUnit() * 0.3f + 0.8f;
        flame.Tag = &FlameHitTest;
        flame.Object = CPtr<CPObject>(this);
        if (CPParticleManager* particles = GetParticleManager()) {
            particles->Spawn(flame);
        }
        break;
    }
    default:  // rockets, plasma, gauss: no shell case
        if (shots != nullptr) shots->LaunchShot(shotName, muzzle, direction, -1.0f, self, 0);
        break;
    }

    WeaponCooldown = std::max(WeaponCooldown, -dt) + 1.0f / rate;
    ammunition -= cost;
    if (ammunition < cost) {
        WeaponEmpty = true;
    }
    if (CPCommandDispatcher* commands = GetCommandDispatcher()) {
        commands->SendCommandByName("gamemenu", "update_game_interface", "");
    }
}
