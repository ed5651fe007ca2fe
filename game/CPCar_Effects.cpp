// What the player sees and hears of the vehicle model: wheels that turn and follow the
// suspension, dust and squeal from sliding tyres, and once per rendered frame the nitro
// reserve, its glow and the engine's pitch.
#include "game/CPCar.h"

#include "Render/CPSprite.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "core/Singletons.h"
#include "game/CPPhysicWorld.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleDesc.h"
#include "scene/CPParticleManager.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t FrontWheels = 2;
// Dust rises above this squared speed, (m/s)².
constexpr float MinDustSpeedSquared = 80.0f;

}  // namespace

void CPCar::SpawnDust(int32_t i) {
    CPParticleDesc puff;
    puff.Name = "pil_";
    puff.Position = ContactPoints[i] + D3DXVECTOR3(0.0f, 0.0f, 0.25f);
    puff.Velocity = D3DXVECTOR3(0.0f, 0.0f, 0.5f);
    puff.Param1 = CrtRandUnit() * 0.2f + 0.4f;
    puff.Param2 = 0.5f;
    puff.Param3 = 1.0f;
    puff.Flag1 = 1;
    puff.Flag2 = 0;
    if (SparkCount >= CPPhysicWorld::MaxSparks) {
        return;
    }
    // Puffs keep apart by about their size; cars without sounds (not the player's) by √5
    // times more, so a crowd of them raises less dust.
    const float spacing = HasSound ? 1.0f : 5.0f;
    const D3DXVECTOR3 moved = DustPositions[i] - puff.Position;
    if (D3DXVec3LengthSq(&moved) >= (CrtRandUnit() + 1.0f) * 0.5f * spacing * puff.Param1 * puff.Param1) {
        if (CPParticleManager* particles = GetParticleManager()) {
            particles->Spawn(puff);
        }
        DustPositions[i] = puff.Position;
        ++SparkCount;
    }
}

D3DXQUATERNION CPCar::WheelOrientation(float spin, float steer) {
    // RotationX(spin), times RotationZ(steer) when steering, with the product's zero terms
    // left out: each entry is its one product, or sin or cos, plus 0, which turns a -0 into
    // the +0 the full product's trailing 0·0 gives. The float entries, and so the
    // quaternion, are those of the two matrices multiplied out.
    const float c = std::cos(spin), s = std::sin(spin);
    D3DXMATRIX rotation;
    D3DXMatrixIdentity(&rotation);
    if (steer != 0.0f) {
        const float cz = std::cos(steer), sz = std::sin(steer);
        rotation._11 = cz + 0.0f;
        rotation._12 = sz + 0.0f;
        rotation._13 = 0.0f;
        rotation._21 = -(c * sz) + 0.0f;
        rotation._22 = c * cz + 0.0f;
        rotation._23 = s + 0.0f;
        rotation._31 = s * sz + 0.0f;
        rotation._32 = -(s * cz) + 0.0f;
        rotation._33 = c + 0.0f;
    } else {
        rotation._22 = c;
        rotation._23 = s;
        rotation._32 = -s;
        rotation._33 = c;
    }
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &rotation);
    return q;
}

void CPCar::UpdateWheelEffects(int32_t i, float dt, const RbVector& velocity) {
    const bool front = i < FrontWheels;
    // A braking car's rear wheels are locked; the others roll with the ground, or spin with
    // the throttle in the air.
    if (front || !Braking) {
        if (WheelContact[i]) {
            WheelSpin[i] += dt * WheelSpeeds[i] / (Radius * 0.5f);
        } else {
            WheelSpin[i] -= dt * DriveForce;
        }
    }
    // A sliding tyre on the ground at speed raises dust and squeals.
    if (WheelContact[i] && RbLengthSquared(velocity) > MinDustSpeedSquared && Cfg::dust != 0 && SlideAmount > 0.0f) {
        SpawnDust(i);
        if (HasSound && Sounds[SqueakSound] != nullptr && !Sounds[SqueakSound]->IsPlaying()) {
            Sounds[SqueakSound]->Play(0, 0);
        }
    }
    CPGameObject* wheel = Wheels[i].Get();
    if (wheel == nullptr) {
        return;
    }
    wheel->SetOrientation(WheelOrientation(WheelSpin[i], front ? -SteerInput : 0.0f));
    wheel->SetPosition(
        D3DXVECTOR3(WheelRestPositions[i].x, WheelRestPositions[i].y, WheelOffsets[i] + WheelY));
}

void CPCar::UpdateFrame() {
    // The frame's time with that of frames in which no step ran (CarFrameTime), so the burn
    // and the pitch follow the clock whatever the frame rate.
    const float frameTime = std::isfinite(CarFrameTime) && CarFrameTime > 0.0f ? CarFrameTime : 0.0f;
    // A full reserve lasts 4 s.
    if (Nitro > 0.0f) {
        NitroFuel = std::max(NitroFuel - 25.0f * frameTime, 0.0f);
        if (NitroFuel == 0.0f) {
            Nitro = 0.0f;
        }
    }

    CPtr<CPGameObject> glass = Body != nullptr ? Body->GetChild("glass") : CPtr<CPGameObject>();
    if (glass != nullptr) {
        float glow = 0.0f;
        if (NitroFuel > 0.0f && Nitro > 0.0f) {
            glow = (1.0f + CrtRandUnit() * NitroFuel * 0.01f) * 0.455f;
        } else if (NitroFuel > 0.0f && Nitro == 0.0f) {
            glow = NitroFuel * 0.01f * 0.728f;
        } else {
            glow = CrtRandUnit() * 0.364f + 0.364f;
        }
        for (const CPtr<CPGameObject>& child : glass->Children) {
            if (child == nullptr || child->RenderKind != CPGameObject::RenderSprite) {
                continue;
            }
            if (auto* sprite = dynamic_cast<CPSprite*>(child->RenderObject.Get())) {
                sprite->SetFacing(D3DXVECTOR3(0.0f, 0.0f, 0.0f), -(glow * Nitro) - 0.09f);
            }
        }
    }

    if (HasSound && Sounds[EngineSound] != nullptr) {
        if (!Sounds[EngineSound]->IsPlaying()) {
            Sounds[EngineSound]->Play(0, 1);
        }
        const float target = std::min(0.05f * Speed + 0.5f, 3.0f);
        // Never past the target, however long the frame.
        EnginePitch += (target - EnginePitch) * std::min(frameTime * 5.0f, 1.0f);
        Sounds[EngineSound]->SetFrequencyRatio(EnginePitch);
    }
    LastFrame = FrameNumber;
}
