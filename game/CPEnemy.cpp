// The enemy controller: animation chains, blows, shots, wounds and death.
#include "game/CPEnemy.h"

#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "game/CPShotManager.h"

#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "core/Geometry.h"
#include "interface/CPGameData.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPPickInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr float TwoPi = 6.28318530718f;

D3DXVECTOR3 Normalised(const D3DXVECTOR3& v) {
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    return out;
}

bool IsZero(const D3DXVECTOR3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// "%.2f" in the C locale.
std::string Fixed2(float value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof(text), static_cast<double>(value), std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

// direction turned by a random rotation of yaw up to 2π and roll up to spread, then from
// (0, 1, 0) onto direction.
D3DXVECTOR3 Spread(const D3DXVECTOR3& direction, float spread) {
    const float yaw = CrtRandUnit() * TwoPi;
    const float roll = CrtRandUnit() * spread;
    D3DXMATRIX random;
    D3DXMatrixRotationYawPitchRoll(&random, yaw, 0.0f, roll);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 axis;
    D3DXVec3Cross(&axis, &up, &direction);
    D3DXMATRIX onto;
    if (D3DXVec3Length(&axis) > 1e-6f) {
        D3DXMatrixRotationAxis(&onto, &axis, static_cast<float>(ClampedAcos(direction.y)));
    } else if (direction.y >= 0.0f) {
        D3DXMatrixIdentity(&onto);
    } else {
        // Straight down the y axis: any half turn about a perpendicular axis.
        D3DXMatrixRotationZ(&onto, 3.14159265f);
    }
    D3DXMATRIX both;
    D3DXMatrixMultiply(&both, &random, &onto);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &up, &both);
    return out;
}

}  // namespace

CPEnemy::CPEnemy() : Behaviour(std::make_unique<CPEnemyBehaviour>()), Frame(&OwnFrame) {
    Services.LaunchShot = [](const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction) {
        if (CPShotManager* shots = CPShotManager::Instance) {
            shots->LaunchShot(name, position, direction, -1.0f, nullptr, 0);
        }
    };
    Services.CrossRay = [](CPPickInfo& pick) {
        CPLevel* level = CPLevel::Current;
        return level != nullptr && level->CrossInterfaceRay(pick);
    };
}

CPEnemy::~CPEnemy() {
    if (Object != nullptr && Object->Controller == this) {
        Object->Controller = nullptr;
    }
}

void CPEnemy::SetState(int32_t number) {
    StateTime = 0.0f;
    State = States[number];
}

void CPEnemy::Launch(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction) {
    if (Services.LaunchShot) {
        Services.LaunchShot(name, position, direction);
    }
}

void CPEnemy::PlayAnimation(const std::string& name, bool reports, bool force, int32_t reportFrame) {
    if (name == Animation.Name && !force) {
        return;
    }
    Animation = CPAnimationParams{};
    Animation.Name = name;
    Animation.Speed = 1.0f;
    Animation.LoopLimit = 0;
    Animation.ReportFrame = -1;
    Animation.StartDelay = 0.0f;
    if (reports) {
        Animation.LoopLimit = 1;
        Animation.ReportFrame = reportFrame;
    }
    if (Object != nullptr) {
        Object->SetAnimation(Animation, false);
    }
}

float CPEnemy::FacingAngle() const {
    D3DXVECTOR3 forward(0.0f, 1.0f, 0.0f);
    if (Frame != nullptr) {
        Frame->GetAxis2(&forward);
    }
    const float rx = ReferenceAxis.x;
    const float ry = ReferenceAxis.y;
    const float cross = rx * forward.y - ry * forward.x;
    const float dot = rx * forward.x + ry * forward.y;
    if (!(std::fabs(cross) > 0.0f || std::fabs(dot) > 0.0f)) {
        return 0.0f;
    }
    return std::atan2(cross, dot);
}

D3DXVECTOR3 CPEnemy::Turned(const D3DXVECTOR3& offset, bool point) const {
    const float angle = FacingAngle();
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    D3DXVECTOR3 out(offset.x * c - offset.y * s, offset.x * s + offset.y * c, offset.z);
    if (point && Frame != nullptr) {
        D3DXVECTOR3 origin;
        Frame->GetOrigin(&origin);
        out += origin;
    }
    return out;
}

void CPEnemy::OnAnimationStopped() {
    const std::string name = Animation.Name;
    if (name == "melee1" || name == "melee2") {
        const int32_t count = std::clamp(MeleeCount, 1, 2);
        const int32_t i = CrtRand() % count + 1;
        MeleeName = "melee" + std::to_string(i);
        PlayAnimation(MeleeName, true, true, Melee[i - 1].ReportFrame);
        Behaviour->OnAttackRepeated(*this);
    } else if (name == "fire") {
        if (Firing == 1) {
            PlayAnimation("fire", true, true, FireReportFrame);
            Behaviour->OnAttackRepeated(*this);
        }
    } else if (name == "fire_in") {
        PlayAnimation("fire", true, true, FireReportFrame);
        Firing = 1;
    } else if (name == "fire_out") {
        SetState(1);
        Firing = 0;
    } else if (name == "death1" || name == "death2") {
        if (Object != nullptr) {
            Object->Collision = false;
        }
        Activity = 0;
    }
    EventPending = false;
}

void CPEnemy::ReportDeath() {
    if (SilentDeath || DeathReported) {
        return;
    }
    const D3DXVECTOR3 p = Object != nullptr ? Object->Position : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    if (CPCommandDispatcher* dispatcher = CPCommandDispatcher::Instance) {
        dispatcher->SendCommandByCategory("level", "enemy_death",
                                          TypeName + "," + Fixed2(p.x) + "," + Fixed2(p.y) + "," + Fixed2(p.z));
    }
    DeathReported = true;
}

void CPEnemy::OnAnimationReport() {
    const std::string name = Animation.Name;
    if (name == "melee1") {
        Strike(1);
    } else if (name == "melee2") {
        Strike(2);
    } else if (name == "fire") {
        Fire();
    }
}

void CPEnemy::Strike(int k) {
    CPLevel* level = CPLevel::Current;
    CPPlayer* car = level != nullptr ? level->FollowedCar : nullptr;
    if (car == nullptr || Frame == nullptr) {
        return;
    }
    D3DXVECTOR3 p;
    Frame->GetOrigin(&p);
    D3DXVECTOR3 d = Normalised(car->Position - p);
    if (IsZero(d)) {
        Frame->GetAxis2(&d);
        d = Normalised(d);
    }
    const MeleeAttack& attack = Melee[k - 1];
    CPPickInfo pick;
    pick.Exclude = Object;
    pick.Origin = D3DXVECTOR3(p.x, p.y, 1.5f);
    pick.Direction = Normalised(D3DXVECTOR3(d.x, d.y, 0.0f));
    pick.Distance = D3DXVec3Length(&attack.Reach);
    bool hit = false;
    if (!IsZero(pick.Direction) && Services.CrossRay && Services.CrossRay(pick)) {
        hit = pick.Owner.Get() == car;
    }
    const D3DXVECTOR3 h = Turned(attack.Reach, true);
    const D3DXVECTOR3 v = Turned(attack.Push, false);
    if (k == 1 && Weapon == "explosion") {
        Launch("rocket_exp2", h, d);
        SetState(4);
        ReportDeath();
        return;
    }
    if (!hit) {
        return;
    }
    if (CPSoundManager* sounds = CPSoundManager::Instance) {
        CPtr<CNSound> sound;
        sounds->GetSpecialSound(sound, Sounds[k == 1 ? "hit1" : "hit2"]);
        if (sound != nullptr) {
            if (sound->IsPlaying()) {
                sound->Stop();
                sound->Rewind();
            }
            sound->Play(0, 0);
        }
    }
    car->ApplyImpulse(h, v * attack.Strength);
    car->Damage(h, v, attack.Damage, false, false);
}

void CPEnemy::Fire() {
    CPLevel* level = CPLevel::Current;
    CPPlayer* car = level != nullptr ? level->FollowedCar : nullptr;
    if (car == nullptr) {
        return;
    }
    const D3DXVECTOR3 m = Turned(MuzzleOffset, true);
    const D3DXVECTOR3& t = car->Position;
    D3DXVECTOR3 a = Normalised(D3DXVECTOR3(t.x - m.x, t.y - m.y, t.z + 0.3f - m.z));
    if (IsZero(a) && Frame != nullptr) {
        Frame->GetAxis2(&a);
        a = Normalised(a);
    }
    if (Weapon == "hmgun") {
        Launch("trasser22", m, Spread(a, 0.1f));
    } else if (Weapon == "rocket") {
        if (++RocketCount >= 3) {
            RocketCount = 0;
            Launch(CrtRand() % 2 == 0 ? "srocket2" : "plazma_shot2", m, a);
        } else {
            Launch("plazma_shot2", m, a);
        }
    } else if (Weapon == "plasma") {
        Launch("plazma_shot2", m, a);
    } else if (Weapon == "mgun" || Weapon == "lgun") {
        Launch("trasser21", m, a);
    } else if (Weapon == "shotgun") {
        for (int i = 0; i < 8; ++i) {
            Launch("trasser23", m, Spread(a, 0.4f));
        }
    }
}

void CPEnemy::OnDamage(const D3DXVECTOR3& hitPoint, const D3DXVECTOR3& hitDirection, float amount, bool noEffect,
                       bool oilOnly) {
    if (Dead) {
        return;
    }
    if (Object != nullptr && Object->Physics != nullptr) {
        Object->Physics->HoldMotion = false;
    }
    WasHit = true;
    if (!oilOnly || HitEffect == "oil1") {
        Health -= amount;
        if (!noEffect) {
            Launch(HitEffect, hitPoint, -hitDirection * amount);
        }
    }
    if (Health > 0.0f) {
        return;
    }
    if (!DeathDone) {
        if (CPGameData* game = CPGameData::Instance) {
            game->UpdateMoney(game->Money + static_cast<float>(Reward));
            game->Kills += 1;
        }
        if (Gibs && HitEffect == "blood1" && Object != nullptr) {
            Object->Visible = false;
            const D3DXVECTOR3 from = Object->Position + D3DXVECTOR3(0.0f, 0.0f, GibHeight);
            const int n = CrtRand() % 5 + 5;
            for (int i = 0; i < n; ++i) {
                const char* gib = CrtRand() % 2 == 1 ? "gib1" : "gib2";
                const float yaw = CrtRandUnit() * TwoPi;
                const float pitch = CrtRandUnit() * TwoPi;
                const float roll = CrtRandUnit() * TwoPi;
                D3DXMATRIX turn;
                D3DXMatrixRotationYawPitchRoll(&turn, yaw, pitch, roll);
                const D3DXVECTOR3 up(0.0f, 0.0f, 1.0f);
                D3DXVECTOR3 direction;
                D3DXVec3TransformCoord(&direction, &up, &turn);
                Launch(gib, from, direction);
            }
        }
        ReportDeath();
    }
    DeathDone = true;
    SetState(4);
}
