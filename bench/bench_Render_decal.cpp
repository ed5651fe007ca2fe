// Shadow decal cost per car and frame: ProjectDecal over a list of 1000 terrain triangles, as
// the physics world's terrain query leaves it (whole grid cells, so triangles repeat), against
// a plain baseline doing the same work the straightforward way: the same copy with duplicates
// found by a linear search over the triangles already written.
#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "bench/BaselineRatio.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"
#include "scene/CPPhysicScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int GridSide = 25;       // vertices per side of the terrain patch
constexpr int ListLength = 1000;   // the query's limit
constexpr int DistinctShare = 60;  // percent of the list that is new triangles

struct Scene {
    CPPhysicScene world;
    CPGameObject shadow{"shadow"};
    CPRenderObject* decal = nullptr;
    CPPhysicData* physics = nullptr;
    D3DXMATRIX carWorld;

    Scene() {
        CPPhysicScene::Current = &world;
        decal = new CPRenderObject(&shadow);
        shadow.RenderObject = decal;
        shadow.RenderKind = CPGameObject::RenderMesh;
        shadow.CollisionBounds.Min = D3DXVECTOR3(-1.0f, -2.0f, -0.5f);
        shadow.CollisionBounds.Max = D3DXVECTOR3(1.0f, 2.0f, 0.5f);
        shadow.CollisionBounds.UpdateCentre();
        physics = new CPPhysicData(&shadow);
        for (int y = 0; y < GridSide; ++y) {
            for (int x = 0; x < GridSide; ++x) {
                world.Vertices.push_back(RbVec(x * 0.5f - 6.0f, y * 0.5f - 6.0f, 0.1f * static_cast<float>(x % 3)));
            }
        }
        for (int y = 0; y + 1 < GridSide; ++y) {
            for (int x = 0; x + 1 < GridSide; ++x) {
                const int32_t a = y * GridSide + x, b = a + 1, c = a + GridSide, d = c + 1;
                world.Triangles.push_back({{a, b, c}});
                world.Triangles.push_back({{b, d, c}});
            }
        }
        // 600 distinct triangles, then 400 repeats spread through the list.
        const int distinct = ListLength * DistinctShare / 100;
        for (int i = 0; i < ListLength; ++i) {
            physics->TerrainTriangles[i] = i < distinct ? i : (i * 7) % distinct;
        }
        std::rotate(physics->TerrainTriangles, physics->TerrainTriangles + 300, physics->TerrainTriangles + ListLength);
        physics->TerrainTriangleCount = ListLength;
        D3DXMatrixRotationZ(&carWorld, 0.3f);
    }
    ~Scene() {
        shadow.RenderObject = nullptr;
        delete decal;
        delete physics;
        CPPhysicScene::Current = nullptr;
    }
};

// The same decal with the fitted frame of the car's footprint and a linear duplicate search.
void PlainDecal(Scene& scene, std::vector<CPVertex>& out) {
    const D3DXMATRIX& m = scene.carWorld;
    const D3DXVECTOR3 corners[3] = {D3DXVECTOR3(-1.1f, -2.1f, -0.5f), D3DXVECTOR3(1.1f, -2.1f, -0.5f),
                                    D3DXVECTOR3(-1.1f, 2.1f, -0.5f)};
    D3DXVECTOR3 placed[3];
    D3DXVec3TransformCoordArray(placed, sizeof(D3DXVECTOR3), corners, sizeof(D3DXVECTOR3), &m, 3);
    const D3DXMATRIX frame(placed[1].x - placed[0].x, placed[1].y - placed[0].y, 0, 0, placed[2].x - placed[0].x,
                           placed[2].y - placed[0].y, 0, 0, 0, 0, 1, 0, placed[0].x, placed[0].y, 0, 1);
    D3DXMATRIX toFrame;
    D3DXMatrixInverse(&toFrame, nullptr, &frame);
    out.clear();
    std::vector<std::array<int32_t, 3>> written;
    const auto& triangles = scene.world.Triangles;
    const auto& points = scene.world.Vertices;
    for (int i = 0; i < scene.physics->TerrainTriangleCount; ++i) {
        std::array<int32_t, 3> key;
        std::copy_n(triangles[static_cast<size_t>(scene.physics->TerrainTriangles[i])].Vertices, 3, key.begin());
        std::sort(key.begin(), key.end());
        if (std::find(written.begin(), written.end(), key) != written.end()) {
            continue;
        }
        written.push_back(key);
        for (int32_t corner : triangles[static_cast<size_t>(scene.physics->TerrainTriangles[i])].Vertices) {
            const auto& p = points[static_cast<size_t>(corner)];
            const D3DXVECTOR2 ground(p.x, p.y);
            D3DXVECTOR2 st;
            D3DXVec2TransformCoord(&st, &ground, &toFrame);
            CPVertex v;
            v.Position = D3DXVECTOR3(p.x, p.y, p.z + 0.03f);
            v.Normal = D3DXVECTOR3(0, 0, 1);
            v.Diffuse = 0xFFFFFFFF;
            v.U = st.x;
            v.V = st.y;
            out.push_back(v);
        }
    }
}

void BM_ProjectDecal1000(benchmark::State& state) {
    Scene scene;
    CPRender render;
    std::vector<CPVertex> plain;
    RunAgainstBaseline(
        state,
        [&] {
            render.ProjectDecal(CPtr<CPGameObject>(&scene.shadow), &scene.carWorld, CPtr<CPPhysicData>(scene.physics));
            benchmark::DoNotOptimize(scene.decal->Vertices.data());
        },
        [&] {
            PlainDecal(scene, plain);
            benchmark::DoNotOptimize(plain.data());
        });
    if (scene.decal->Vertices.size() != plain.size()) {
        state.SkipWithError("the decal and the baseline differ");
    }
    state.counters["triangles"] = static_cast<double>(scene.decal->Vertices.size() / 3);
}
BENCHMARK(BM_ProjectDecal1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
