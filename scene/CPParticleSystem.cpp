#include "scene/CPParticleSystem.h"

#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleManager.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr float DegreesToRadians = 0.017453292f;

const D3DXMATRIX& IdentityMatrix() {
    static const D3DXMATRIX identity = [] {
        D3DXMATRIX m;
        D3DXMatrixIdentity(&m);
        return m;
    }();
    return identity;
}

// Bit for bit, so a kept turn is only used for the very axis it was made from.
bool SameAxis(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    uint32_t x[3];
    uint32_t y[3];
    std::memcpy(x, &a, sizeof(x));
    std::memcpy(y, &b, sizeof(y));
    return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2])) == 0;
}

// The turn of +z onto a unit axis.
void MakeTurn(D3DXMATRIX& turn, const D3DXVECTOR3& axis) {
    const D3DXVECTOR3 turnAxis(-axis.y, axis.x, 0.0f);
    const float turnAngle = std::acos(std::clamp(axis.z, -1.0f, 1.0f));
    D3DXMatrixRotationAxis(&turn, &turnAxis, turnAngle);
}

// See CPParticleSystem::MakeDesc; turn takes +z onto the emitter's axis.
void FillDesc(CPParticleDesc& out, const CPEmitterDesc& emitter, const D3DXMATRIX& turn, const D3DXMATRIX& world,
              bool atOwner) {
    out.Name = emitter.Name;
    out.Acceleration = emitter.Acceleration;
    out.Param1 = emitter.Param1;
    out.Param2 = emitter.Param2;
    out.Param3 = emitter.Param3;
    out.Flag1 = emitter.Flag1;
    out.Flag2 = 0;
    out.Tag = nullptr;
    out.Object = nullptr;

    // Uniform in [-j, j] per axis, x first.
    out.Position.x = 2.0f * CrtRandUnit() * emitter.Jitter.x - emitter.Jitter.x;
    out.Position.y = 2.0f * CrtRandUnit() * emitter.Jitter.y - emitter.Jitter.y;
    out.Position.z = 2.0f * CrtRandUnit() * emitter.Jitter.z - emitter.Jitter.z;
    if (atOwner) {
        out.Position.x += world._41;
        out.Position.y += world._42;
        out.Position.z += world._43;
    }

    const float azimuth = static_cast<float>(CrtRand() % 360) * DegreesToRadians;
    // Tilt within half the spread (a negative spread as wide as its size); a spread of
    // less than 2 degrees either way has a half of 0 and goes straight along the axis.
    const int halfSpread = emitter.Spread / 2;
    const float tilt = halfSpread != 0 ? static_cast<float>(CrtRand() % halfSpread) * DegreesToRadians : 0.0f;

    // Speed within half the spread of +z, then +z turned onto Axis.
    const D3DXVECTOR3 local(std::sin(tilt) * emitter.Speed * std::cos(azimuth),
                            std::sin(tilt) * emitter.Speed * std::sin(azimuth), std::cos(tilt) * emitter.Speed);
    D3DXVECTOR3 turned;
    D3DXVec3TransformNormal(&turned, &local, &turn);
    D3DXVec3TransformNormal(&out.Velocity, &turned, &world);
}

}  // namespace

CPParticleSystem::CPParticleSystem(CPGameObject* owner, std::vector<std::string> emitterNames)
    : Owner(owner), EmitterNames(std::move(emitterNames)) {
    CPParticleManager* manager = CPParticleManager::Instance;
    if (manager == nullptr) {
        return;
    }
    for (const std::string& name : EmitterNames) {
        const auto entry = manager->Emitters.find(name);
        if (entry == manager->Emitters.end()) {
            continue;
        }
        // The copy is normalised, not the shared description other systems read.
        CPEmitterDesc emitter = entry->second;
        D3DXVec3Normalize(&emitter.Axis, &emitter.Axis);
        Emitters.push_back(std::move(emitter));
    }
}

bool CPParticleSystem::Start() {
    Accumulator = 0.0f;
    Elapsed = 0.0f;
    return CPTask::Start();
}

bool CPParticleSystem::SetPeriod(float period) {
    if (!(period > 0.0f)) {
        return false;
    }
    Period = period;
    return true;
}

void CPParticleSystem::Update() {
    if (!(Period > 0.0f)) {
        Period = DefaultPeriod;  // written past SetPeriod; a period of 0 would never end
    }
    const bool beforeHalf = Duration * 0.5f > Elapsed;
    const float start = Accumulator;
    Accumulator += FrameTime;
    if (!std::isfinite(Accumulator)) {
        Accumulator = start;  // a broken frame time passes no time
    }

    int emitted = 0;
    while (Accumulator > Period && emitted < MaxEmitsPerStep) {
        ++emitted;
        if (Target != nullptr) {
            const float dx = CrtRandUnit() - 0.5f;
            const float dy = CrtRandUnit() - 0.5f;
            const float dz = CrtRandUnit() - 0.5f;
            Target->Damage(Target->Position, D3DXVECTOR3(dx, dy, dz), Damage, false, false);
        }
        Accumulator -= Period;
        Elapsed += Period;
        if (Owner != nullptr) {
            Owner->FindScriptOwner()->Damage(D3DXVECTOR3(), D3DXVECTOR3(), Damage, false, false);
        }
        Emit();
        if (Duration > 0.0f && Elapsed > Duration) {
            Stop();
        }
    }
    if (Accumulator > Period) {
        // Past the cap: the remaining periods pass in one go, without requests or damage,
        // leaving what is left of the last one (a whole period stays, as the loop would).
        float rest = std::fmod(Accumulator, Period);
        if (rest <= 0.0f) {
            rest = Period;
        }
        Elapsed += Accumulator - rest;
        Accumulator = rest;
        if (Duration > 0.0f && Elapsed > Duration) {
            Stop();
        }
    }

    if (beforeHalf && !(Duration * 0.5f > Elapsed) && Owner != nullptr) {
        Owner->FindScriptOwner()->ApplyFireMaterial();
    }
    Elapsed += Accumulator - start;
}

void CPParticleSystem::Emit() {
    if (Emitters.empty()) {
        return;
    }
    // The request and its chain are filled in place: a link a template dropped is made
    // again, one left over from more emitters is let go.
    MakeDescAt(request, 0, true);
    std::unique_ptr<CPParticleDesc>* link = &request.Next;
    for (size_t i = 1; i < Emitters.size(); ++i) {
        if (*link == nullptr) {
            *link = std::make_unique<CPParticleDesc>();
        }
        MakeDescAt(**link, i, false);
        link = &(*link)->Next;
    }
    link->reset();
    if (CPParticleManager* manager = CPParticleManager::Instance) {
        manager->SpawnLent(request);
    }
}

void CPParticleSystem::MakeDesc(CPParticleDesc& out, const CPEmitterDesc& emitter, bool atOwner) const {
    D3DXMATRIX scratch;
    const D3DXMATRIX& world = Owner != nullptr ? Owner->WorldMatrix : IdentityMatrix();
    FillDesc(out, emitter, TurnOf(emitter, scratch), world, atOwner);
}

void CPParticleSystem::MakeDescAt(CPParticleDesc& out, size_t index, bool atOwner) const {
    const D3DXMATRIX& world = Owner != nullptr ? Owner->WorldMatrix : IdentityMatrix();
    FillDesc(out, Emitters[index], KnownTurn(index), world, atOwner);
}

const D3DXMATRIX& CPParticleSystem::TurnOf(const CPEmitterDesc& emitter, D3DXMATRIX& scratch) const {
    const auto at = reinterpret_cast<uintptr_t>(&emitter);
    const auto first = reinterpret_cast<uintptr_t>(Emitters.data());
    const size_t index = (at - first) / sizeof(CPEmitterDesc);
    if (at < first || index >= Emitters.size() || (at - first) % sizeof(CPEmitterDesc) != 0) {
        MakeTurn(scratch, emitter.Axis);  // not one of ours
        return scratch;
    }
    return KnownTurn(index);
}

const D3DXMATRIX& CPParticleSystem::KnownTurn(size_t index) const {
    if (index >= NearTurns && farTurns.size() <= index - NearTurns) {
        farTurns.resize(index - NearTurns + 1);
    }
    Turn& turn = index < NearTurns ? nearTurns[index] : farTurns[index - NearTurns];
    const D3DXVECTOR3& axis = Emitters[index].Axis;
    if (!turn.Known || !SameAxis(turn.Axis, axis)) {
        MakeTurn(turn.Matrix, axis);
        turn.Axis = axis;
        turn.Known = true;
    }
    return turn.Matrix;
}

CPtr<CPTask> CPParticleSystem::Clone() {
    auto* copy = new CPParticleSystem(Owner, EmitterNames);
    copy->Period = Period;
    copy->Duration = Duration;
    copy->Damage = Damage;
    copy->Target = Target;
    copy->Emitters = Emitters;
    return CPtr<CPTask>(copy);
}
