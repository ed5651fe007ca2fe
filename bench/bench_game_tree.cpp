// Ray picks and sphere queries through the level's spatial tree against a scan of the same
// objects, at 1 000 and 10 000 objects spread over the 3 000 x 3 000 level (one collision box
// each, boxes of 1 to 6 units). Each iteration casts 64 seeded rays of 100 units (a weapon's
// reach) or asks 64 spheres of radius 10 (a flame's). The baseline is the tightest plain scan:
// one array of each object's collision bounds and box, the bounds test first, then the box
// (x_baseline = tree / scan; the tree should win by a factor that grows with the objects).
// A second baseline for each is a plain bounding-volume tree over the same objects (median
// splits along the longest axis down to four objects a leaf, built once as the level's tree
// is; flat arrays of boxes, no engine classes): a ray walks the nodes its segment meets,
// shortened by the nearest hit so far, and tests the objects' bounds and then their boxes
// (a slab test in the box's own axes); a sphere walks the nodes it meets and tests the
// objects' bounds.
#include "bench/BaselineRatio.h"
#include "core/CPBoundingBox.h"
#include "core/CPBox.h"
#include "game/CPLevelBranch.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPickInfo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// The plain bounding-volume tree.
struct PlainBvh {
    struct Object {
        float min[3], max[3];                 // collision bounds
        float centre[3], axes[3][3], half[3];  // the box: axes are its world directions
    };
    struct Node {
        float min[3], max[3];
        int32_t first, count;  // a leaf's objects; count 0: an inner node, children first and first + 1
    };
    std::vector<Object> objects;
    std::vector<Node> nodes;
    std::vector<int32_t> stack;

    void Build() {
        nodes.clear();
        nodes.reserve(objects.size());
        nodes.push_back({});
        Split(0, 0, static_cast<int32_t>(objects.size()));
        stack.reserve(128);
    }
    void Split(size_t at, int32_t first, int32_t count) {
        Node node{};
        for (int k = 0; k < 3; ++k) {
            node.min[k] = 1e30f;
            node.max[k] = -1e30f;
        }
        for (int32_t i = first; i < first + count; ++i) {
            for (int k = 0; k < 3; ++k) {
                node.min[k] = std::min(node.min[k], objects[static_cast<size_t>(i)].min[k]);
                node.max[k] = std::max(node.max[k], objects[static_cast<size_t>(i)].max[k]);
            }
        }
        if (count <= 4) {
            node.first = first;
            node.count = count;
            nodes[at] = node;
            return;
        }
        const int axis = node.max[0] - node.min[0] >= node.max[1] - node.min[1] ? 0 : 1;  // the level is flat
        const int32_t half = count / 2;
        std::nth_element(objects.begin() + first, objects.begin() + first + half, objects.begin() + first + count,
                         [axis](const Object& a, const Object& b) {
                             return a.min[axis] + a.max[axis] < b.min[axis] + b.max[axis];
                         });
        node.first = static_cast<int32_t>(nodes.size());
        node.count = 0;
        nodes[at] = node;
        nodes.push_back({});
        nodes.push_back({});
        Split(static_cast<size_t>(node.first), first, half);
        Split(static_cast<size_t>(node.first) + 1, first + half, count - half);
    }

    // The segment from o along d (inverse inv) for [0, length] meets the box.
    static bool SegmentMeets(const float (&lo)[3], const float (&hi)[3], const float* o, const float* inv,
                             float length) {
        float near = 0.0f, far = length;
        for (int k = 0; k < 3; ++k) {
            float t0 = (lo[k] - o[k]) * inv[k];
            float t1 = (hi[k] - o[k]) * inv[k];
            if (t0 > t1) std::swap(t0, t1);
            near = std::max(near, t0);
            far = std::min(far, t1);
        }
        return near <= far;
    }

    // The nearest hit of the ray with the object's box within distance: 0 from inside.
    static void HitBox(const Object& b, const float* o, const float* d, float& distance) {
        const float r[3] = {o[0] - b.centre[0], o[1] - b.centre[1], o[2] - b.centre[2]};
        float near = -1e30f, far = 1e30f;
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            const float* a = b.axes[k];
            const float p = r[0] * a[0] + r[1] * a[1] + r[2] * a[2];
            const float v = d[0] * a[0] + d[1] * a[1] + d[2] * a[2];
            inside = inside && std::fabs(p) < b.half[k];
            if (std::fabs(v) < 1e-12f) {
                if (std::fabs(p) > b.half[k]) return;
                continue;
            }
            float t0 = (-b.half[k] - p) / v;
            float t1 = (b.half[k] - p) / v;
            if (t0 > t1) std::swap(t0, t1);
            near = std::max(near, t0);
            far = std::min(far, t1);
        }
        if (inside) {
            distance = 0.0f;
        } else if (near <= far && near >= 0.0f && near < distance) {
            distance = near;
        }
    }

    float RayPick(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, float distance) {
        const float o[3] = {origin.x, origin.y, origin.z};
        const float d[3] = {direction.x, direction.y, direction.z};
        const float inv[3] = {1.0f / d[0], 1.0f / d[1], 1.0f / d[2]};
        stack.clear();
        stack.push_back(0);
        while (!stack.empty()) {
            const Node& node = nodes[static_cast<size_t>(stack.back())];
            stack.pop_back();
            if (!SegmentMeets(node.min, node.max, o, inv, distance)) continue;
            if (node.count == 0) {
                stack.push_back(node.first);
                stack.push_back(node.first + 1);
                continue;
            }
            for (int32_t i = node.first; i < node.first + node.count; ++i) {
                const Object& object = objects[static_cast<size_t>(i)];
                if (SegmentMeets(object.min, object.max, o, inv, distance)) HitBox(object, o, d, distance);
            }
        }
        return distance;
    }

    static bool SphereMeets(const float (&lo)[3], const float (&hi)[3], const float* c, float radius) {
        float sum = 0.0f;
        for (int k = 0; k < 3; ++k) {
            const float e = c[k] < lo[k] ? lo[k] - c[k] : (c[k] > hi[k] ? c[k] - hi[k] : 0.0f);
            sum += e * e;
        }
        return sum <= radius * radius;
    }

    void InSphere(const D3DXVECTOR3& centre, float radius, std::vector<const Object*>& hits) {
        const float c[3] = {centre.x, centre.y, centre.z};
        stack.clear();
        stack.push_back(0);
        while (!stack.empty()) {
            const Node& node = nodes[static_cast<size_t>(stack.back())];
            stack.pop_back();
            if (!SphereMeets(node.min, node.max, c, radius)) continue;
            if (node.count == 0) {
                stack.push_back(node.first);
                stack.push_back(node.first + 1);
                continue;
            }
            for (int32_t i = node.first; i < node.first + node.count; ++i) {
                const Object& object = objects[static_cast<size_t>(i)];
                if (SphereMeets(object.min, object.max, c, radius)) hits.push_back(&object);
            }
        }
    }
};

struct Scene {
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<PlainObject> plain;
    CPLevelBranch tree;
    PlainBvh bvh;
    std::vector<Query> queries;

    // The engine's side of the ray benchmarks: every query through the level tree, each hit
    // distance added to sum in query order (the baselines add theirs in the same order).
    void TreeRayPicks(float length, float& sum) {
        for (const Query& ray : queries) {
            CPPickInfo pick;
            pick.Origin = ray.origin;
            pick.Direction = ray.direction;
            pick.Distance = length;
            tree.RayPick(pick);
            sum += pick.Distance;
        }
    }

    // The engine's side of the sphere benchmarks: the objects found by every query counted.
    void TreeSphereQueries(float radius, std::list<CPtr<CPGameObject>>& found, size_t& count) {
        for (const Query& sphere : queries) {
            found.clear();
            tree.CollectInSphere(sphere.origin, radius, found);
            count += found.size();
        }
    }

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
            const CPBox& box = object->CollisionBoxes[0];
            PlainBvh::Object record{};
            for (int k = 0; k < 3; ++k) {
                record.min[k] = (&object->CollisionBounds.Min.x)[k];
                record.max[k] = (&object->CollisionBounds.Max.x)[k];
                record.half[k] = (&box.HalfExtents.x)[k];
                float length = 0.0f;
                for (int j = 0; j < 3; ++j) {
                    record.axes[k][j] = box.World.m[k][j];
                    length += box.World.m[k][j] * box.World.m[k][j];
                }
                for (int j = 0; j < 3; ++j) {
                    record.axes[k][j] /= std::sqrt(length);
                }
            }
            D3DXVECTOR3 centre;
            D3DXVec3TransformCoord(&centre, &box.Centre, &box.World);
            record.centre[0] = centre.x;
            record.centre[1] = centre.y;
            record.centre[2] = centre.z;
            bvh.objects.push_back(record);
        }
        tree.Build(objects);
        tree.Split();
        bvh.Build();
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
            scene.TreeRayPicks(length, treeSum);
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
            scene.TreeSphereQueries(radius, found, treeFound);
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

void BM_TreeRayPickAgainstPlainBvh(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const float length = 100.0f;
    float treeSum = 0.0f, plainSum = 0.0f;
    RunAgainstBaseline(
        state,
        [&] {
            scene.TreeRayPicks(length, treeSum);
            benchmark::DoNotOptimize(treeSum);
        },
        [&] {
            for (const Query& ray : scene.queries) {
                plainSum += scene.bvh.RayPick(ray.origin, ray.direction, length);
            }
            benchmark::DoNotOptimize(plainSum);
        });
    if (std::fabs(treeSum - plainSum) > 1e-4f * std::fabs(treeSum)) {
        state.SkipWithError("tree and plain tree found different hits");
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_TreeRayPickAgainstPlainBvh)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TreeSphereQueryAgainstPlainBvh(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const float radius = 10.0f;
    size_t treeFound = 0, plainFound = 0;
    std::list<CPtr<CPGameObject>> found;
    std::vector<const PlainBvh::Object*> plainHits;
    RunAgainstBaseline(
        state,
        [&] {
            scene.TreeSphereQueries(radius, found, treeFound);
            benchmark::DoNotOptimize(treeFound);
        },
        [&] {
            for (const Query& sphere : scene.queries) {
                plainHits.clear();
                scene.bvh.InSphere(sphere.origin, radius, plainHits);
                plainFound += plainHits.size();
            }
            benchmark::DoNotOptimize(plainFound);
        });
    if (treeFound != plainFound) state.SkipWithError("tree and plain tree found different objects");
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_TreeSphereQueryAgainstPlainBvh)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
