// Cost of the scene's per-frame tasks: 500 particle systems emitting by accumulated game time
// into counting templates, and 100 looping part animations each moving a part with ten
// children. Each frame runs against a plain baseline doing the same work in the same program
// (x_baseline = engine / baseline); items are tasks stepped, so items_per_second is tasks per
// second.
#include "bench/BaselineRatio.h"
#include "core/CPBox.h"
#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPartAnimation.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleSystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kFrame = 1.0f / 60.0f;
constexpr float kDegree = 0.017453292f;

float Unit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }

// Counts requests and sums their velocities so no request can be optimised away.
class CountingTemplate : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(CountingTemplate); }
    std::string GetTypeName() const override { return "CountingTemplate"; }
    void Update() override {}
    int GetKind() const override { return 2; }
    void Emit(const CPParticleParams& params) override {
        Active = 1;  // listed once, as a real template keeps itself
        ++requests;
        sum += params.Velocity.x + params.Velocity.y + params.Velocity.z + params.Angle;
        for (const CPParticleDesc* d = params.Chain.get(); d != nullptr; d = d->Next.get()) {
            sum += d->Velocity.x + d->Position.x;
        }
    }
    void Reset() override {}

    int64_t requests = 0;
    float sum = 0.0f;
};

CPEmitterDesc Emitter(const std::string& name, D3DXVECTOR3 axis, float speed, int spread, D3DXVECTOR3 jitter) {
    CPEmitterDesc e;
    e.Name = name;
    e.Axis = axis;
    e.Speed = speed;
    e.Spread = spread;
    e.Jitter = jitter;
    return e;
}

// The plain emission: the same random draws and turns, into a fixed record per emitter.
struct PlainRequest {
    D3DXVECTOR3 position, velocity;
    float angle;
};

// The turn of +z onto an emitter's unit axis, made once per emitter as the engine keeps it.
D3DXMATRIX PlainTurn(const CPEmitterDesc& e) {
    const D3DXVECTOR3 turnAxis(-e.Axis.y, e.Axis.x, 0.0f);
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &turnAxis, std::acos(std::clamp(e.Axis.z, -1.0f, 1.0f)));
    return turn;
}

void PlainMake(PlainRequest& out, const CPEmitterDesc& e, const D3DXMATRIX& turn, const D3DXMATRIX& world,
               bool atOwner) {
    out.position.x = 2.0f * Unit() * e.Jitter.x - e.Jitter.x;
    out.position.y = 2.0f * Unit() * e.Jitter.y - e.Jitter.y;
    out.position.z = 2.0f * Unit() * e.Jitter.z - e.Jitter.z;
    if (atOwner) out.position += D3DXVECTOR3(world._41, world._42, world._43);
    const float azimuth = static_cast<float>(CrtRand() % 360) * kDegree;
    const int half = e.Spread / 2;
    const float tilt = half != 0 ? static_cast<float>(CrtRand() % half) * kDegree : 0.0f;
    const D3DXVECTOR3 local(std::sin(tilt) * e.Speed * std::cos(azimuth), std::sin(tilt) * e.Speed * std::sin(azimuth),
                            std::cos(tilt) * e.Speed);
    D3DXVECTOR3 turned;
    D3DXVec3TransformNormal(&turned, &local, &turn);
    D3DXVec3TransformNormal(&out.velocity, &turned, &world);
}

struct PlainSystem {
    float accumulator = 0.0f;
    float period = 0.0f;
    const D3DXMATRIX* world = nullptr;
};

void BM_ParticleSystemUpdate(benchmark::State& state) {
    constexpr int kSystems = 500;
    CPParticleManager manager;
    CPParticleManager::Instance = &manager;
    CountingTemplate spark, smoke;
    manager.Templates["spark"] = &spark;
    manager.Templates["smoke"] = &smoke;
    manager.Emitters["sparks"] = Emitter("spark", D3DXVECTOR3(0, 0, 1), 6.0f, 40, D3DXVECTOR3(0.2f, 0.2f, 0.1f));
    manager.Emitters["smoke"] = Emitter("smoke", D3DXVECTOR3(0.3f, 0, 1), 1.5f, 90, D3DXVECTOR3(0.5f, 0.5f, 0));

    CrtSrand(7);
    std::vector<std::unique_ptr<CPGameObject>> owners;
    std::vector<std::unique_ptr<CPParticleSystem>> systems;
    std::vector<PlainSystem> plain;
    for (int i = 0; i < kSystems; ++i) {
        owners.push_back(std::make_unique<CPGameObject>("fire" + std::to_string(i)));
        owners.back()->SetPosition(D3DXVECTOR3(Unit() * 400 - 200, Unit() * 400 - 200, Unit() * 5));
        owners.back()->UpdateTransform();
        systems.push_back(std::make_unique<CPParticleSystem>(owners.back().get(),
                                                             std::vector<std::string>{"sparks", "smoke"}));
        systems.back()->SetPeriod(0.05f + Unit() * 0.45f);  // every 3 to 30 frames
        plain.push_back({0.0f, systems.back()->Period, &owners.back()->WorldMatrix});
    }
    // The normalised copies, as each system holds them.
    const std::vector<CPEmitterDesc> emitters = systems.front()->Emitters;
    std::vector<D3DXMATRIX> turns;
    for (const CPEmitterDesc& e : emitters) turns.push_back(PlainTurn(e));

    int64_t plainRequests = 0;
    float plainSum = 0.0f;
    RunAgainstBaseline(
        state,
        [&] {
            FrameTime = kFrame;
            for (const auto& system : systems) system->Update();
        },
        [&] {
            for (PlainSystem& s : plain) {
                s.accumulator += kFrame;
                while (s.accumulator > s.period) {
                    s.accumulator -= s.period;
                    PlainRequest requests[2];
                    for (size_t e = 0; e < emitters.size(); ++e) {
                        PlainMake(requests[e], emitters[e], turns[e], *s.world, e == 0);
                    }
                    ++plainRequests;
                    plainSum += requests[0].velocity.x + requests[0].velocity.y + requests[0].velocity.z +
                                static_cast<float>(CrtRand() % 360) * kDegree;
                    plainSum += requests[1].velocity.x + requests[1].position.x;
                }
            }
        });
    benchmark::DoNotOptimize(spark.sum);
    benchmark::DoNotOptimize(plainSum);
    state.SetItemsProcessed(state.iterations() * kSystems);
    state.counters["requests"] = static_cast<double>(spark.requests);
    state.counters["plain_requests"] = static_cast<double>(plainRequests);
    manager.Active.clear();
    manager.Templates.clear();
    CPParticleManager::Instance = nullptr;
}
BENCHMARK(BM_ParticleSystemUpdate)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Five keys swinging a part about z and lifting it, 0.4 to 1 s each.
void MakeKeys(std::vector<D3DXMATRIX>& keys, std::vector<float>& durations) {
    for (int k = 0; k < 5; ++k) {
        D3DXMATRIX turn, lift;
        D3DXMatrixRotationZ(&turn, Unit() * 1.5f);
        D3DXMatrixTranslation(&lift, Unit(), Unit(), Unit() * 2);
        D3DXMATRIX key;
        D3DXMatrixMultiply(&key, &turn, &lift);
        keys.push_back(key);
        durations.push_back(0.4f + Unit() * 0.6f);
    }
}

// One part and its children as plain records: what any engine must compute per frame.
struct PlainPart {
    std::vector<D3DXMATRIX> keys;
    std::vector<float> durations;
    float elapsed = 0.0f;
    int key = 0;
    D3DXMATRIX parentWorld;
    CPBox box{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
    struct Child {
        D3DXMATRIX local;
        CPBox box{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
        CPBox collision{D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
    };
    std::vector<Child> children;
    D3DXVECTOR3 min, max, collisionMin, collisionMax;
};

void PlainStep(PlainPart& p, float seconds) {
    const int endKey = static_cast<int>(p.keys.size()) - 2;
    p.elapsed += seconds;
    while (p.elapsed > p.durations[p.key]) {
        p.elapsed -= p.durations[p.key];
        if (++p.key == endKey) p.key = 0;
    }
    const float t = p.elapsed / p.durations[p.key];
    const D3DXMATRIX local = p.keys[p.key] + (p.keys[p.key + 1] - p.keys[p.key]) * t;
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &local, &p.parentWorld);
    D3DXMatrixMultiply(&p.box.World, &p.box.Local, &world);
    p.box.Update();
    p.min = p.box.Min;
    p.max = p.box.Max;
    p.collisionMin = D3DXVECTOR3(1e6f, 1e6f, 1e6f);
    p.collisionMax = D3DXVECTOR3(-1e6f, -1e6f, -1e6f);
    for (PlainPart::Child& c : p.children) {
        D3DXMATRIX childWorld;
        D3DXMatrixMultiply(&childWorld, &c.local, &world);
        D3DXMatrixMultiply(&c.box.World, &c.box.Local, &childWorld);
        c.box.Update();
        D3DXMatrixMultiply(&c.collision.World, &c.collision.Local, &childWorld);
        c.collision.Update();
        D3DXVec3Minimize(&p.min, &p.min, &c.box.Min);
        D3DXVec3Maximize(&p.max, &p.max, &c.box.Max);
        D3DXVec3Minimize(&p.collisionMin, &p.collisionMin, &c.collision.Min);
        D3DXVec3Maximize(&p.collisionMax, &p.collisionMax, &c.collision.Max);
    }
}

void BM_PartAnimationUpdate(benchmark::State& state) {
    constexpr int kParts = 100;
    constexpr int kChildren = 10;
    ShadowMatrix = D3DXMATRIX();
    CrtSrand(13);
    auto root = std::make_unique<CPGameObject>("root");
    std::vector<std::unique_ptr<CPGameObject>> nodes;  // parts, each followed by its children
    std::vector<std::unique_ptr<CPPartAnimation>> animations;
    std::vector<PlainPart> plain(kParts);
    for (int i = 0; i < kParts; ++i) {
        nodes.push_back(std::make_unique<CPGameObject>("door" + std::to_string(i)));
        CPGameObject* part = nodes.back().get();
        part->SetPosition(D3DXVECTOR3(Unit() * 100, Unit() * 100, 0));
        const CPBox partBox(D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(1, 0.1f, 1));
        part->SetBounds(partBox);
        root->AddChild(part);
        PlainPart& p = plain[static_cast<size_t>(i)];
        p.box = partBox;
        for (int c = 0; c < kChildren; ++c) {
            nodes.push_back(std::make_unique<CPGameObject>("panel" + std::to_string(c)));
            CPGameObject* child = nodes.back().get();
            child->SetPosition(D3DXVECTOR3(Unit() - 0.5f, 0, Unit() * 2));
            const CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0.2f, 0.05f, 0.2f));
            child->SetBounds(box);
            child->CollisionBoxes.push_back(box);
            part->AddChild(child);
            PlainPart::Child plainChild;
            D3DXMatrixTranslation(&plainChild.local, child->Position.x, child->Position.y, child->Position.z);
            plainChild.box = box;
            plainChild.collision = box;
            p.children.push_back(plainChild);
        }
        animations.push_back(std::make_unique<CPPartAnimation>());
        CPPartAnimation& animation = *animations.back();
        std::vector<D3DXMATRIX> keys;
        std::vector<float> durations;
        MakeKeys(keys, durations);
        p.keys = keys;
        p.durations = durations;
        animation.SetKeys(std::move(keys), std::move(durations));
        animation.Loop = true;
        animation.Target = part;
    }
    root->UpdateTransform();
    for (PlainPart& p : plain) p.parentWorld = root->WorldMatrix;

    RunAgainstBaseline(
        state,
        [&] {
            FrameTime = kFrame;
            for (const auto& animation : animations) animation->Update();
        },
        [&] {
            for (PlainPart& p : plain) PlainStep(p, kFrame);
        });
    benchmark::DoNotOptimize(nodes.back()->WorldMatrix);
    benchmark::DoNotOptimize(plain.back().min);
    state.SetItemsProcessed(state.iterations() * kParts);
    state.counters["nodes"] = static_cast<double>(nodes.size());
    // Children go before their parts, the parts before the root.
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) it->reset();
    root.reset();
}
BENCHMARK(BM_PartAnimationUpdate)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
