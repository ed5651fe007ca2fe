// Ray picks and sphere queries through the level's spatial tree against a scan of the same
// objects, at 1 000 and 10 000 objects spread over the 3 000 x 3 000 level (one collision box
// each, boxes of 1 to 6 units). Each iteration casts 64 seeded rays of 100 units (a weapon's
// reach) or asks 64 spheres of radius 10 (a flame's). The baseline is the tightest plain scan:
// one array of each object's collision bounds and box, the bounds test first, then the box
// (x_baseline = tree / scan; the tree should win by a factor that grows with the objects).
#include "bench/BaselineRatio.h"
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "game/CPLevelBranch.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPickInfo.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kQueries = 64;
constexpr float kLevelSize = 3000.0f;

float Unit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }

struct Query {
    D3DXVECTOR3 origin, direction;
};

struct PlainObject {
    CPBoundingBox bounds;
    CPBox box;
};

struct Scene {
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<PlainObject> plain;
    CPLevelBranch tree;
    std::vector<Query> queries;

    explicit Scene(int count) {
        CrtSrand(29);
        std::vector<CPtr<CPGameObject>> objects;
        for (int i = 0; i < count; ++i) {
            nodes.push_back(std::make_unique<CPGameObject>("object" + std::to_string(i)));
            CPGameObject* object = nodes.back().get();
            const float size = 0.5f + Unit() * 2.5f;
            object->SetBounds(CPBox(D3DXVECTOR3(0, 0, size), D3DXVECTOR3(size, size, size)));
            object->CollisionBoxes.emplace_back(D3DXVECTOR3(0, 0, size), D3DXVECTOR3(size, size, size));
            object->SetPosition(D3DXVECTOR3((Unit() - 0.5f) * kLevelSize, (Unit() - 0.5f) * kLevelSize, 0));
            object->UpdateTransform();
            objects.emplace_back(object);
            plain.push_back({object->CollisionBounds, object->CollisionBoxes[0]});
        }
        tree.Build(objects);
        tree.Split();
        for (int q = 0; q < kQueries; ++q) {
            const float angle = Unit() * 6.2831853f;
            queries.push_back({D3DXVECTOR3((Unit() - 0.5f) * kLevelSize, (Unit() - 0.5f) * kLevelSize, 1.0f),
                               D3DXVECTOR3(std::cos(angle), std::sin(angle), 0.0f)});
        }
    }
};

void BM_TreeRayPick(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const float length = 100.0f;
    float treeSum = 0.0f, plainSum = 0.0f;
    RunAgainstBaseline(
        state,
        [&] {
            for (const Query& ray : scene.queries) {
                CPPickInfo pick;
                pick.Origin = ray.origin;
                pick.Direction = ray.direction;
                pick.Distance = length;
                scene.tree.RayPick(pick);
                treeSum += pick.Distance;
            }
            benchmark::DoNotOptimize(treeSum);
        },
        [&] {
            for (const Query& ray : scene.queries) {
                float distance = length;
                D3DXPLANE face;
                for (const PlainObject& object : scene.plain) {
                    if (object.bounds.IntersectSegment(ray.origin, ray.direction, distance)) {
                        object.box.IntersectRay(ray.origin, ray.direction, distance, face);
                    }
                }
                plainSum += distance;
            }
            benchmark::DoNotOptimize(plainSum);
        });
    if (treeSum != plainSum) state.SkipWithError("tree and scan found different hits");
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_TreeRayPick)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TreeSphereQuery(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const float radius = 10.0f;
    size_t treeFound = 0, plainFound = 0;
    std::list<CPtr<CPGameObject>> found;
    std::vector<const PlainObject*> plainHits;
    RunAgainstBaseline(
        state,
        [&] {
            for (const Query& sphere : scene.queries) {
                found.clear();
                scene.tree.CollectInSphere(sphere.origin, radius, found);
                treeFound += found.size();
            }
            benchmark::DoNotOptimize(treeFound);
        },
        [&] {
            for (const Query& sphere : scene.queries) {
                plainHits.clear();
                for (const PlainObject& object : scene.plain) {
                    if (object.bounds.IntersectSphere(sphere.origin, radius)) plainHits.push_back(&object);
                }
                plainFound += plainHits.size();
            }
            benchmark::DoNotOptimize(plainFound);
        });
    if (treeFound != plainFound) state.SkipWithError("tree and scan found different objects");
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_TreeSphereQuery)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
