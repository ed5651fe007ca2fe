// Particle requests and their chains, the manager's routing to templates, and particle
// systems: emission by accumulated game time, requests made from emitters with the seeded
// game generator, damage per period, the fire material at half time and the emission cap.
#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleSystem.h"
#include "scene/CPRenderObjectFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float Degree = 0.017453292f;

// One request as a template saw it, with the names of the chain behind it.
struct Seen {
    D3DXVECTOR3 Position, Velocity, Acceleration;
    float Param1, Param2, Param3, Angle;
    uint8_t Flag1, Flag2;
    std::vector<std::string> ChainNames;
    std::vector<D3DXVECTOR3> ChainPositions;
    std::vector<D3DXVECTOR3> ChainVelocities;
    CPParticleCallback Tag;
    CPObject* Object;
    // The fields the manager leaves alone.
    bool ReservedZero;
};

class RecordingTemplate : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(RecordingTemplate); }
    std::string GetTypeName() const override { return "RecordingTemplate"; }
    void Update() override {}
    int GetKind() const override { return 2; }
    void Emit(const CPParticleParams& p) override {
        Seen seen{p.Position, p.Velocity, p.Acceleration, p.Param1, p.Param2, p.Param3, p.Angle, p.Flag1, p.Flag2,
                  {}, {}, {}, p.Tag, p.Object.Get(),
                  p.Reserved1 == D3DXVECTOR3() && p.Reserved2 == D3DXVECTOR3() && p.Reserved3 == 0.0f &&
                      p.Reserved4 == 0.0f};
        for (const CPParticleDesc* d = p.Chain.get(); d != nullptr; d = d->Next.get()) {
            seen.ChainNames.push_back(d->Name);
            seen.ChainPositions.push_back(d->Position);
            seen.ChainVelocities.push_back(d->Velocity);
        }
        requests.push_back(seen);
    }
    void Reset() override { ++resets; }

    std::vector<Seen> requests;
    int resets = 0;
};

struct Thing : CPObject {
    size_t GetObjectSize() const override { return sizeof(Thing); }
    std::string GetTypeName() const override { return "Thing"; }
};

struct RecordingFactory : CPRenderObjectFactory {
    CPtr<CPObject> CopyRenderObject(int32_t, CPObject*, CPGameObject*) override { return nullptr; }
    void SetMaterial(CPObject* renderObject, const CPtr<CPObject>&) override { given.push_back(renderObject); }
    std::vector<CPObject*> given;
};

void HitCallback(CPObject*, void*) {}

float Length(const D3DXVECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

float AngleBetween(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const float c = (a.x * b.x + a.y * b.y + a.z * b.z) / (Length(a) * Length(b));
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, c)));
}

CPEmitterDesc Emitter(const std::string& name, D3DXVECTOR3 axis, float speed, int spread,
                      D3DXVECTOR3 jitter = D3DXVECTOR3()) {
    CPEmitterDesc e;
    e.Name = name;
    e.Axis = axis;
    e.Speed = speed;
    e.Spread = spread;
    e.Jitter = jitter;
    e.Param1 = 1.5f;
    e.Param2 = 2.5f;
    e.Param3 = 3.5f;
    e.Flag1 = 1;
    e.Acceleration = D3DXVECTOR3(0, 0, -9.8f);
    return e;
}

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override {
        CPParticleManager::Instance = &manager;
        CPCommandDispatcher::Instance = &dispatcher;
        CPScheduler::Instance = &scheduler;
        CPRenderObjectFactory::Instance = &factory;
        manager.Templates["fire"] = &fire;
        manager.Templates["smoke"] = &smoke;
        CrtSrand(1);
        FrameTime = 0.0f;
    }
    void TearDown() override {
        manager.Templates.clear();
        manager.Active.clear();
        scheduler.Tasks.clear();
        CPRenderObjectFactory::Instance = nullptr;
        CPScheduler::Instance = nullptr;
        CPCommandDispatcher::Instance = nullptr;
        CPParticleManager::Instance = nullptr;
        FrameTime = 0.0f;
    }
    void Step(CPParticleSystem& system, float seconds) {
        FrameTime = seconds;
        if (system.Running) system.Update();
    }

    CPParticleManager manager;
    CPCommandDispatcher dispatcher;
    CPScheduler scheduler;
    RecordingFactory factory;
    RecordingTemplate fire, smoke;
};

TEST_F(ParticleTest, CopyChainCopiesEveryRequestAndFreesTheOldChain) {
    CPParticleDesc source;
    source.Name = "fire";
    source.Position = D3DXVECTOR3(1, 2, 3);
    source.Param3 = 4.0f;
    source.Flag2 = 9;
    source.Tag = &HitCallback;
    Thing object;
    source.Object = &object;
    source.Next = std::make_unique<CPParticleDesc>();
    source.Next->Name = "smoke";
    source.Next->Velocity = D3DXVECTOR3(0, 0, 5);

    CPParticleDesc destination;
    destination.Next = std::make_unique<CPParticleDesc>();
    destination.Next->Next = std::make_unique<CPParticleDesc>();  // freed by the copy
    destination.Next->Next->Name = "old";
    CPParticleDesc::CopyChain(destination, source);
    EXPECT_EQ(destination.Name, "fire");
    EXPECT_EQ(destination.Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(destination.Param3, 4.0f);
    EXPECT_EQ(destination.Flag2, 9);
    EXPECT_EQ(destination.Tag, nullptr);
    EXPECT_EQ(destination.Object, nullptr);
    ASSERT_NE(destination.Next, nullptr);
    EXPECT_NE(destination.Next.get(), source.Next.get());
    EXPECT_EQ(destination.Next->Name, "smoke");
    EXPECT_EQ(destination.Next->Velocity, D3DXVECTOR3(0, 0, 5));
    EXPECT_EQ(destination.Next->Next, nullptr);

    // Copying the rest of a chain over its own head reads it before freeing it.
    CPParticleDesc::CopyChain(destination, *destination.Next);
    EXPECT_EQ(destination.Name, "smoke");
    EXPECT_EQ(destination.Next, nullptr);
    source.Object = nullptr;
}

TEST_F(ParticleTest, SpawnHandsTheFirstRequestAndTheRestOfTheChain) {
    Thing object;
    CPParticleDesc request;
    request.Name = "fire";
    request.Position = D3DXVECTOR3(1, 2, 3);
    request.Velocity = D3DXVECTOR3(4, 5, 6);
    request.Acceleration = D3DXVECTOR3(0, 0, -9.8f);
    request.Param1 = 0.1f;
    request.Param2 = 0.2f;
    request.Param3 = 0.3f;
    request.Flag1 = 1;
    request.Flag2 = 2;
    request.Tag = &HitCallback;
    request.Object = &object;
    request.Next = std::make_unique<CPParticleDesc>();
    request.Next->Name = "smoke";

    manager.Spawn(request);
    ASSERT_EQ(fire.requests.size(), 1u);
    const Seen& seen = fire.requests[0];
    EXPECT_EQ(seen.Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(seen.Velocity, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(seen.Acceleration.z, -9.8f);
    EXPECT_EQ(seen.Param1, 0.1f);
    EXPECT_EQ(seen.Param2, 0.2f);
    EXPECT_EQ(seen.Param3, 0.3f);
    EXPECT_EQ(seen.Flag1, 1);
    EXPECT_EQ(seen.Flag2, 2);
    EXPECT_EQ(seen.Tag, &HitCallback);
    EXPECT_EQ(seen.Object, &object);
    EXPECT_TRUE(seen.ReservedZero);
    EXPECT_EQ(seen.ChainNames, std::vector<std::string>{"smoke"});
    // The first draw of the seeded generator is 41: 41 degrees.
    EXPECT_FLOAT_EQ(seen.Angle, 41.0f * Degree);
    EXPECT_TRUE(smoke.requests.empty());
    EXPECT_EQ(manager.Active.size(), 1u);

    // A busy template gets the request but is not listed again; an unknown name does nothing.
    fire.Active = 1;
    manager.Spawn(request);
    EXPECT_EQ(fire.requests.size(), 2u);
    EXPECT_EQ(manager.Active.size(), 1u);
    request.Name = "nothing";
    manager.Spawn(request);
    EXPECT_EQ(fire.requests.size(), 2u);

    // A request given up hands over the same chain, taken instead of copied.
    CPParticleDesc given;
    given.Name = "fire";
    given.Next = std::make_unique<CPParticleDesc>();
    given.Next->Name = "smoke";
    given.Next->Next = std::make_unique<CPParticleDesc>();
    given.Next->Next->Name = "ash";
    manager.Spawn(std::move(given));
    ASSERT_EQ(fire.requests.size(), 3u);
    EXPECT_EQ(fire.requests[2].ChainNames, (std::vector<std::string>{"smoke", "ash"}));

    manager.Clear();
    EXPECT_EQ(fire.resets, 1);
    EXPECT_EQ(smoke.resets, 1);
    EXPECT_TRUE(manager.Active.empty());
    request.Object = nullptr;
}

TEST_F(ParticleTest, EmitsOncePerPeriodOfAccumulatedTime) {
    manager.Emitters["sparks"] = Emitter("fire", D3DXVECTOR3(0, 0, 1), 1.0f, 0);
    CPParticleSystem system(nullptr, {"sparks"});
    system.Start();
    Step(system, 1.2f);
    EXPECT_EQ(fire.requests.size(), 2u);
    EXPECT_NEAR(system.Accumulator, 0.2f, 1e-6f);
    EXPECT_NEAR(system.Elapsed, 1.2f, 1e-6f);
    // Exactly one period waiting is not yet enough (steps exact in binary).
    CPParticleSystem exact(nullptr, {"sparks"});
    exact.Start();
    Step(exact, 0.25f);
    Step(exact, 0.25f);
    EXPECT_EQ(exact.Accumulator, 0.5f);
    EXPECT_EQ(fire.requests.size(), 2u);
    Step(exact, 0.125f);
    EXPECT_EQ(fire.requests.size(), 3u);
    EXPECT_EQ(exact.Accumulator, 0.125f);
    // Start begins the count again.
    system.Stop();
    system.Start();
    EXPECT_EQ(system.Accumulator, 0.0f);
    EXPECT_EQ(system.Elapsed, 0.0f);
}

TEST_F(ParticleTest, BadPeriodsAreRefusedAndLongStepsAreCapped) {
    manager.Emitters["sparks"] = Emitter("fire", D3DXVECTOR3(0, 0, 1), 1.0f, 0);
    CPParticleSystem system(nullptr, {"sparks"});
    for (const float period : {0.0f, -1.0f, NAN}) {
        EXPECT_FALSE(system.SetPeriod(period));
        EXPECT_EQ(system.Period, 0.5f);
    }
    EXPECT_TRUE(system.SetPeriod(0.25f));
    EXPECT_EQ(system.Period, 0.25f);
    system.SetPeriod(0.5f);

    system.Start();
    Step(system, 1000.2f);
    EXPECT_EQ(fire.requests.size(), static_cast<size_t>(CPParticleSystem::MaxEmitsPerStep));
    EXPECT_GT(system.Accumulator, 0.0f);
    EXPECT_LE(system.Accumulator, 0.5f);
    EXPECT_NEAR(system.Elapsed, 1000.2f, 1e-3f);
    Step(system, 0.5f);
    EXPECT_EQ(fire.requests.size(), static_cast<size_t>(CPParticleSystem::MaxEmitsPerStep) + 1);
    // A period written directly past SetPeriod falls back to the default.
    system.Period = 0.0f;
    Step(system, 0.75f);
    EXPECT_EQ(system.Period, 0.5f);
    EXPECT_EQ(fire.requests.size(), static_cast<size_t>(CPParticleSystem::MaxEmitsPerStep) + 2);
    // A broken frame time passes no time.
    const float elapsed = system.Elapsed;
    Step(system, INFINITY);
    Step(system, NAN);
    EXPECT_EQ(system.Elapsed, elapsed);
}

TEST_F(ParticleTest, ChainsFollowTheEmittersAndTheOwner) {
    manager.Emitters["flames"] = Emitter("fire", D3DXVECTOR3(0, 0, 2), 3.0f, 0, D3DXVECTOR3(0.5f, 1.0f, 0.0f));
    manager.Emitters["fumes"] = Emitter("smoke", D3DXVECTOR3(1, 0, 0), 2.0f, 0);
    CPGameObject owner("burner");
    owner.SetPosition(D3DXVECTOR3(10, 20, 30));
    owner.UpdateTransform();
    CPParticleSystem system(&owner, {"flames", "missing", "fumes"});
    ASSERT_EQ(system.Emitters.size(), 2u);
    EXPECT_EQ(system.EmitterNames.size(), 3u);
    // The shared description keeps its axis; the system's copy is a unit vector.
    EXPECT_EQ(manager.Emitters["flames"].Axis, D3DXVECTOR3(0, 0, 2));
    EXPECT_EQ(system.Emitters[0].Axis, D3DXVECTOR3(0, 0, 1));

    system.Emit();
    ASSERT_EQ(fire.requests.size(), 1u);
    const Seen& seen = fire.requests[0];
    // At the owner, within the jitter box.
    EXPECT_LE(std::fabs(seen.Position.x - 10), 0.5f);
    EXPECT_LE(std::fabs(seen.Position.y - 20), 1.0f);
    EXPECT_EQ(seen.Position.z, 30.0f);
    // Spread 0: exactly along the axis, at the emitter's speed.
    EXPECT_NEAR(seen.Velocity.x, 0.0f, 1e-6f);
    EXPECT_NEAR(seen.Velocity.y, 0.0f, 1e-6f);
    EXPECT_NEAR(seen.Velocity.z, 3.0f, 1e-6f);
    EXPECT_EQ(seen.Param1, 1.5f);
    EXPECT_EQ(seen.Param2, 2.5f);
    EXPECT_EQ(seen.Param3, 3.5f);
    EXPECT_EQ(seen.Flag1, 1);
    EXPECT_EQ(seen.Flag2, 0);
    // The second emitter's request rides in the chain, not at the owner.
    EXPECT_EQ(seen.ChainNames, std::vector<std::string>{"smoke"});
    EXPECT_EQ(seen.ChainPositions[0], D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(seen.ChainVelocities[0].x, 2.0f, 1e-6f);
    EXPECT_NEAR(seen.ChainVelocities[0].z, 0.0f, 1e-6f);

    // The same seed gives the same requests.
    CrtSrand(7);
    system.Emit();
    CrtSrand(7);
    system.Emit();
    EXPECT_EQ(fire.requests[1].Position, fire.requests[2].Position);
    EXPECT_EQ(fire.requests[1].Angle, fire.requests[2].Angle);

    // Turning the owner turns the velocity with it.
    D3DXQUATERNION turn;
    const D3DXVECTOR3 xAxis(1, 0, 0);
    D3DXQuaternionRotationAxis(&turn, &xAxis, 3.14159265f / 2);
    owner.SetOrientation(turn);
    owner.UpdateTransform();
    system.Emit();
    EXPECT_NEAR(fire.requests.back().Velocity.y, -3.0f, 1e-5f);
}

// An emitter whose axis is changed after it has emitted emits along the new axis, and a
// description made from outside the system's own list is turned by its own axis.
TEST_F(ParticleTest, AChangedAxisTurnsTheNextRequests) {
    CPParticleSystem system(nullptr, {});
    system.Emitters.push_back(Emitter("fire", D3DXVECTOR3(0, 0, 1), 2.0f, 0));
    system.Emitters.push_back(Emitter("smoke", D3DXVECTOR3(0, 0, 1), 1.0f, 0));
    CPParticleDesc request;
    system.MakeDesc(request, system.Emitters[0], false);
    EXPECT_NEAR(request.Velocity.z, 2.0f, 1e-6f);
    const D3DXVECTOR3 axes[] = {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, -1, 0), D3DXVECTOR3(0, 0, -1)};
    for (const D3DXVECTOR3& axis : axes) {
        system.Emitters[0].Axis = axis;
        system.MakeDesc(request, system.Emitters[0], false);
        EXPECT_NEAR(request.Velocity.x, 2.0f * axis.x, 1e-5f);
        EXPECT_NEAR(request.Velocity.y, 2.0f * axis.y, 1e-5f);
        EXPECT_NEAR(request.Velocity.z, 2.0f * axis.z, 1e-5f);
        system.MakeDesc(request, system.Emitters[1], false);  // the other emitter kept its own
        EXPECT_NEAR(request.Velocity.z, 1.0f, 1e-6f);
    }
    const CPEmitterDesc outside = Emitter("spark", D3DXVECTOR3(0, 1, 0), 3.0f, 0);
    system.MakeDesc(request, outside, false);
    EXPECT_NEAR(request.Velocity.y, 3.0f, 1e-5f);
}

TEST_F(ParticleTest, SpreadTiltsWithinHalfItsAngle) {
    struct Case {
        int Spread;
        float MaxDegrees;  // the largest tilt allowed
        float MinMax;      // the largest tilt seen must reach this
    };
    const Case cases[] = {{90, 44.0f, 40.0f}, {10, 4.0f, 3.5f}, {1, 0.0f, 0.0f},
                          {0, 0.0f, 0.0f},   {-1, 0.0f, 0.0f}, {-90, 44.0f, 40.0f}};  // the sign does not matter
    const D3DXVECTOR3 axis(0, 1, 1);
    for (const Case& c : cases) {
        CPParticleSystem system(nullptr, {});
        system.Emitters.push_back(Emitter("fire", axis, 2.0f, c.Spread));
        D3DXVec3Normalize(&system.Emitters[0].Axis, &system.Emitters[0].Axis);
        float largest = 0.0f;
        for (int i = 0; i < 400; ++i) {
            CPParticleDesc request;
            system.MakeDesc(request, system.Emitters[0], false);
            EXPECT_NEAR(Length(request.Velocity), 2.0f, 1e-5f) << c.Spread;
            largest = std::fmax(largest, AngleBetween(request.Velocity, axis) / Degree);
        }
        EXPECT_LE(largest, c.MaxDegrees + 0.01f) << c.Spread;
        EXPECT_GE(largest, c.MinMax) << c.Spread;
    }
}

TEST_F(ParticleTest, DamagesTargetAndScriptOwnerEveryPeriod) {
    CPScriptTask targetScript, ownerScript;
    targetScript.Start();
    ownerScript.Start();
    CPGameObject target("victim");
    target.SetScriptObject(&targetScript);
    CPGameObject root("tank");
    CPGameObject* part = new CPGameObject("barrel");
    root.AddChild(part);
    root.SetScriptObject(&ownerScript);
    CPParticleSystem system(part, {});
    system.Damage = 2.5f;
    system.Target = &target;
    system.Start();
    Step(system, 1.1f);
    ASSERT_EQ(targetScript.Commands.size(), 2u);
    EXPECT_EQ(targetScript.Commands.back().Name, "damage");
    EXPECT_EQ(targetScript.Commands.back().Params[0], "2.50");
    EXPECT_EQ(ownerScript.Commands.size(), 2u);
    system.Target = nullptr;
    delete part;
}

TEST_F(ParticleTest, CatchesFireAtHalfTimeAndStopsAfterItsDuration) {
    Thing fireMaterial, mesh;
    CPScriptTask script;
    CPGameObject root("house");
    root.RenderKind = CPGameObject::RenderMesh;
    root.RenderObject = &mesh;
    root.SetFireMaterial(&fireMaterial);
    root.SetScriptObject(&script);
    CPGameObject* chimney = new CPGameObject("chimney");
    root.AddChild(chimney);
    CPParticleSystem system(chimney, {});
    system.Duration = 4.0f;
    system.Start();
    // 0.6 s steps. Emissions come at Elapsed 0.5, 1.0, ...: the one at 2.3 (fourth step) sets
    // the house on fire, the one at 4.1 (seventh step) is the last.
    const struct {
        float ElapsedAfter;
        bool Burning;
        bool Running;
    } steps[] = {{0.6f, false, true}, {1.2f, false, true}, {1.8f, false, true}, {2.4f, true, true},
                 {3.0f, true, true}, {3.6f, true, true}, {4.2f, true, false}, {4.2f, true, false}};
    for (const auto& s : steps) {
        Step(system, 0.6f);
        EXPECT_NEAR(system.Elapsed, s.ElapsedAfter, 1e-5f);
        EXPECT_EQ(!factory.given.empty(), s.Burning) << s.ElapsedAfter;
        EXPECT_EQ(system.Running, s.Running) << s.ElapsedAfter;
    }
    // Once only, on the script owner's mesh.
    EXPECT_EQ(factory.given, std::vector<CPObject*>{&mesh});
    root.RenderObject = nullptr;
    root.FireMaterial = nullptr;
    delete chimney;
}

TEST_F(ParticleTest, CloneCopiesSettingsIntoANewStoppedSystem) {
    manager.Emitters["sparks"] = Emitter("fire", D3DXVECTOR3(0, 0, 1), 1.0f, 0);
    CPGameObject owner("owner");
    CPGameObject target("target");
    CPParticleSystem system(&owner, {"sparks"});
    system.SetPeriod(0.2f);
    system.Duration = 3.0f;
    system.Damage = 1.0f;
    system.Target = &target;
    system.Start();
    CPtr<CPTask> copy = system.Clone();
    auto* clone = dynamic_cast<CPParticleSystem*>(copy.Get());
    copy = nullptr;
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, &system);
    EXPECT_FALSE(clone->Running);
    EXPECT_EQ(clone->Owner, &owner);
    EXPECT_EQ(clone->Period, 0.2f);
    EXPECT_EQ(clone->Duration, 3.0f);
    EXPECT_EQ(clone->Damage, 1.0f);
    EXPECT_EQ(clone->Target, &target);
    EXPECT_EQ(clone->Emitters.size(), 1u);
    EXPECT_EQ(clone->EmitterNames, system.EmitterNames);
    EXPECT_EQ(clone->GetKind(), 1);
    EXPECT_EQ(clone->Priority, CPTask::DefaultPriority);
    system.Target = nullptr;
    clone->Target = nullptr;
    delete clone;
}

TEST_F(ParticleTest, CloneFlameRefusesTypesWithoutAPrototype) {
    CPParticleSystem prototype(nullptr, {});
    manager.FlamePrototypes.push_back(CPtr<CPTask>(&prototype));
    manager.FlamePrototypes.push_back(nullptr);
    for (const int type : {-1, 1, 2, 1000}) EXPECT_EQ(manager.CloneFlame(type), nullptr) << type;
    CPtr<CPTask> flame = manager.CloneFlame(0);
    ASSERT_NE(flame, nullptr);
    EXPECT_NE(flame.Get(), &prototype);
    CPTask* made = flame.Get();
    flame = nullptr;
    delete made;
    manager.FlamePrototypes.clear();
}

}  // namespace
