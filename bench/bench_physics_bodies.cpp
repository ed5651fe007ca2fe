// Costs of the rigid-body library outside the step: building a level's simulator and its
// bodies, refitting bounds, moving kinematic bodies and keeping the broad phase sorted.
#include "physics/RbSimulator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// The capacities the game's physics world asks for.
RbSizeLimits GameLimits() {
    RbSizeLimits limits;
    limits.rigidBodiesCount = 500;
    limits.kinematicBodiesCount = 1000;
    limits.rigidParticleCount = 500;
    limits.pairsCount = 1500;
    limits.geometriesCount = 5000;
    limits.constraintsCount = 150;
    limits.constraintGroupsCount = 150;
    limits.constraintBufferSize = 10;
    limits.sensorsCount = 1000;
    return limits;
}

// A car-like body: a hull box, a cabin box, four wheel cylinders and four wheel rays.
RbRigidBody* BuildCar(RbSimulator& sim) {
    RbRigidBody* body = sim.CreateRigidBody();
    body->AddGeometry()->SetBoxSize(2.0f, 4.5f, 0.8f);
    RbGeometry* cabin = body->AddGeometry();
    RbMatrix4 up;
    up.M[3][2] = 0.7f;
    cabin->SetTransform(up);
    cabin->SetBoxSize(1.8f, 2.0f, 0.6f);
    for (int i = 0; i < 4; ++i) {
        RbMatrix4 at;
        at.M[3][0] = i % 2 == 0 ? -1.0f : 1.0f;
        at.M[3][1] = i < 2 ? -1.5f : 1.5f;
        RbGeometry* wheel = body->AddGeometry();
        wheel->SetTransform(at);
        wheel->SetCylinder(0.7f, 0.3f);
        body->AddSensor()->SetLine(RbVec(at.M[3][0], at.M[3][1], 0.0f), RbVec(0.0f, 0.0f, -1.0f));
    }
    body->UpdateBoundingInfo();
    return body;
}

void BM_CreateGameSimulator(benchmark::State& state) {
    const RbSizeLimits limits = GameLimits();
    const RbVector gravity = RbVec(0.0f, 0.0f, -9.8f);
    for (auto _ : state) {
        RbSimulator* sim = RbSimulator::Create(&limits, nullptr, &gravity);
        benchmark::DoNotOptimize(sim);
        RbSimulator::Destroy(sim);
    }
}
BENCHMARK(BM_CreateGameSimulator);

// Building 100 cars (each taken from the pools and refitted), simulator creation excluded.
void BM_BuildCars(benchmark::State& state) {
    const RbSizeLimits limits = GameLimits();
    for (auto _ : state) {
        state.PauseTiming();
        RbSimulator* sim = RbSimulator::Create(&limits, nullptr, nullptr);
        state.ResumeTiming();
        for (int i = 0; i < 100; ++i) {
            benchmark::DoNotOptimize(BuildCar(*sim));
        }
        state.PauseTiming();
        RbSimulator::Destroy(sim);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_BuildCars);

void BM_RefitCar(benchmark::State& state) {
    RbSimulator* sim = RbSimulator::Create(nullptr, nullptr, nullptr);
    RbRigidBody* car = BuildCar(*sim);
    for (auto _ : state) {
        car->UpdateBoundingInfo();
        benchmark::DoNotOptimize(car->BoundingBox);
    }
    RbSimulator::Destroy(sim);
}
BENCHMARK(BM_RefitCar);

void BM_MoveKinematicBody(benchmark::State& state) {
    RbSimulator* sim = RbSimulator::Create(nullptr, nullptr, nullptr);
    RbKinematicBody* body = sim->CreateKinematicBody();
    body->AddGeometry()->SetBoxSize(2.0f, 2.0f, 2.0f);
    body->UpdateBoundingInfo();
    const RbQuaternion q{0.0f, 0.0f, 0.38268343f, 0.9238795f};
    float x = 0.0f;
    for (auto _ : state) {
        x += 0.01f;
        body->SetRotation(q);
        body->SetPosition(RbVec(x, 0.0f, 0.0f));
        benchmark::DoNotOptimize(body->WorldUpper);
    }
    RbSimulator::Destroy(sim);
}
BENCHMARK(BM_MoveKinematicBody);

// N rigid boxes on a 2-D grid, each moving a little every update, as bodies do between
// steps; items are bodies, so a broad phase whose cost grows linearly keeps its rate.
void BM_BroadPhaseUpdate(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    RbSizeLimits limits = GameLimits();
    limits.rigidBodiesCount = count;
    limits.geometriesCount = count;
    limits.pairsCount = 8 * count;
    RbSimulator* sim = RbSimulator::Create(&limits, nullptr, nullptr);
    std::vector<RbRigidBody*> bodies(static_cast<size_t>(count));
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<float>(count))));
    const RbMatrix3 identity = RbMatrix3::Identity();
    for (int i = 0; i < count; ++i) {
        bodies[i] = sim->CreateRigidBody();
        bodies[i]->AddGeometry()->SetBoxSize(2.0f, 2.0f, 2.0f);
        bodies[i]->UpdateBoundingInfo();
        bodies[i]->UpdateWorldBounds(identity, RbVec(static_cast<float>(i % side) * 2.5f, static_cast<float>(i / side) * 2.5f, 0.0f));
    }
    sim->GetBroadPhase().Update();
    int frame = 0;
    for (auto _ : state) {
        ++frame;
        for (int i = 0; i < count; ++i) {
            const float phase = static_cast<float>(frame + i) * 0.05f;
            bodies[i]->UpdateWorldBounds(identity, RbVec(static_cast<float>(i % side) * 2.5f + std::sin(phase),
                                                         static_cast<float>(i / side) * 2.5f + std::cos(phase), 0.0f));
        }
        sim->GetBroadPhase().Update();
        benchmark::DoNotOptimize(sim->GetBroadPhase().GetPairCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
    RbSimulator::Destroy(sim);
}
BENCHMARK(BM_BroadPhaseUpdate)->Arg(100)->Arg(1000)->Arg(2000);

}  // namespace
