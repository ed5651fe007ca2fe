// Cost of ray picks through a level: 2 000 objects under one root, each with 4 collision
// boxes, hit by 64 seeded rays per iteration. The baseline does the same work on plain
// records in one array: the segment test against each object's collision bounds, then the
// ray test of its boxes, keeping the nearest hit (x_baseline = engine / baseline; items are
// rays).
#include "bench/BaselineRatio.h"
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPickInfo.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kObjects = 2000;
constexpr int kBoxesPerObject = 4;
constexpr int kRays = 64;
constexpr float kSpacing = 4.0f;  // grid of 50 x 40 objects

float Unit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }

struct Ray {
    D3DXVECTOR3 origin, direction;
};

struct Level {
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    CPGameObject* root = nullptr;
    std::vector<Ray> rays;

    Level() {
        CrtSrand(5);
        nodes.push_back(std::make_unique<CPGameObject>("level"));
        root = nodes.back().get();
        for (int i = 0; i < kObjects; ++i) {
            nodes.push_back(std::make_unique<CPGameObject>("object" + std::to_string(i)));
            CPGameObject* object = nodes.back().get();
            object->SetPosition(D3DXVECTOR3((i % 50) * kSpacing, (i / 50) * kSpacing, 0));
            D3DXQUATERNION turn;
            const D3DXVECTOR3 z(0, 0, 1);
            D3DXQuaternionRotationAxis(&turn, &z, Unit() * 6.28f);
            object->SetOrientation(turn);
            for (int b = 0; b < kBoxesPerObject; ++b) {
                CPBox box(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0.3f + Unit() * 0.4f, 0.3f + Unit() * 0.4f, 0.5f));
                D3DXMatrixTranslation(&box.Local, Unit() * 1.5f - 0.75f, Unit() * 1.5f - 0.75f, 0.5f);
                object->CollisionBoxes.push_back(box);
            }
            root->AddChild(object);
        }
        root->UpdateTransform();
        for (int r = 0; r < kRays; ++r) {
            const float angle = Unit() * 6.2831853f;
            rays.push_back({D3DXVECTOR3(Unit() * 200, Unit() * 160, 0.5f),
                            D3DXVECTOR3(std::cos(angle), std::sin(angle), 0.0f)});
        }
    }
    ~Level() {
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) it->reset();
    }
};

// One object as a plain record: its collision bounds and its placed boxes.
struct PlainObject {
    CPBoundingBox bounds;
    std::vector<CPBox> boxes;
};

void BM_RayPick(benchmark::State& state) {
    Level level;
    std::vector<PlainObject> plain;
    for (const auto& child : level.root->Children) {
        plain.push_back({child->CollisionBounds, child->CollisionBoxes});
    }
    const float length = 60.0f;
    float engineSum = 0.0f, plainSum = 0.0f;
    RunAgainstBaseline(
        state,
        [&] {
            for (const Ray& ray : level.rays) {
                CPPickInfo pick;
                pick.Origin = ray.origin;
                pick.Direction = ray.direction;
                pick.Distance = length;
                level.root->RayPick(pick);
                engineSum += pick.Distance;
            }
            benchmark::DoNotOptimize(engineSum);
        },
        [&] {
            for (const Ray& ray : level.rays) {
                float distance = length;
                D3DXPLANE face;
                for (const PlainObject& object : plain) {
                    if (!object.bounds.IntersectSegment(ray.origin, ray.direction, distance)) continue;
                    for (const CPBox& box : object.boxes) box.IntersectRay(ray.origin, ray.direction, distance, face);
                }
                plainSum += distance;
            }
            benchmark::DoNotOptimize(plainSum);
        });
    if (engineSum != plainSum) state.SkipWithError("engine and baseline found different hits");
    state.SetItemsProcessed(state.iterations() * kRays);
    state.counters["boxes"] = kObjects * kBoxesPerObject;
}
BENCHMARK(BM_RayPick)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
