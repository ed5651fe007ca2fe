// A particle effect hung at a scene node (RenderKind 4): every Period seconds it sends one
// chained request made from its named emitters to the particle manager, the first request
// at the node, and may damage a target and its own node's script owner each period. With a
// positive Duration it sets its node's script owner on fire at half time and stops itself
// once the duration is over.
//
// Emission follows game time through FrameTime. A long step emits at most MaxEmitsPerStep
// times; the periods beyond that pass without requests or damage (a paused game coming back
// must not pour thousands of requests into one frame).
#pragma once

#include "core/CPTask.h"
#include "core/CPtr.h"
#include "scene/CPEmitterDesc.h"
#include "scene/CPParticleDesc.h"

#include <string>
#include <vector>

class CPGameObject;

class CPParticleSystem final : public CPTask {
public:
    static constexpr float DefaultPeriod = 0.5f;
    static constexpr int MaxEmitsPerStep = 64;

    // Copies the emitter descriptions of the names that the particle manager knows (each
    // with its Axis normalised); other names are skipped.
    CPParticleSystem(CPGameObject* owner, std::vector<std::string> emitterNames);

    size_t GetObjectSize() const override { return sizeof(CPParticleSystem); }
    std::string GetTypeName() const override { return "CPParticleSystem"; }
    // Accumulator and Elapsed back to 0, then the task's start.
    bool Start() override;
    void Update() override;
    int GetKind() const override { return 1; }
    // Same owner, emitters, period, duration, damage and target; not started.
    CPtr<CPTask> Clone() override;

    // A period of 0 or less (or not a number) is refused and the old one kept.
    bool SetPeriod(float period);
    // One chained request from every emitter, handed to the particle manager.
    void Emit();
    // Fills out from the emitter: a random start offset within Jitter (plus the owner's
    // position when atOwner), and Speed in a random direction within half of Spread around
    // Axis, turned by the owner's world matrix.
    void MakeDesc(CPParticleDesc& out, const CPEmitterDesc& emitter, bool atOwner) const;

    // What every step reads comes first, on the line the task's own fields start.
    float Accumulator = 0.0f;
    float Period = DefaultPeriod;  // seconds between emissions
    float Duration = -1.0f;        // seconds; not positive: endless
    float Elapsed = 0.0f;          // seconds since Start
    float Damage = 0.0f;           // per period
    CPtr<CPGameObject> Target;     // damaged every period
    CPGameObject* Owner = nullptr; // not counted
    std::vector<CPEmitterDesc> Emitters;
    std::vector<std::string> EmitterNames;

private:
    // MakeDesc for Emitters[index], whose turn is kept at the same index.
    void MakeDescAt(CPParticleDesc& out, size_t index, bool atOwner) const;

    // The turn of +z onto an emitter's Axis depends on the axis alone: worked out once per
    // emitter and axis rather than for every request (an Axis changed later is seen).
    struct Turn {
        D3DXVECTOR3 Axis;
        D3DXMATRIX Matrix;
        bool Known = false;
    };
    const D3DXMATRIX& TurnOf(const CPEmitterDesc& emitter, D3DXMATRIX& scratch) const;
    const D3DXMATRIX& KnownTurn(size_t index) const;
    // By emitter index: the first ones in the system itself, next to the request they turn
    // (most systems have one or two emitters), the rest beside it.
    static constexpr size_t NearTurns = 2;
    mutable Turn nearTurns[NearTurns];
    mutable std::vector<Turn> farTurns;
    // The chain of the last request, lent to the manager and given back, so emitting every
    // period reuses its links instead of allocating them again.
    CPParticleDesc request;
};
