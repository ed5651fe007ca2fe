// A physics world for tests: terrain meshes made from height functions, boxes with physics
// data dropped into it, and frames stepped with a given frame time.
#pragma once

#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPPhysicWorld.h"
#include "physics/RbSimulator.h"
#include "platform/win32/CrtRand.h"
#include "scene/CPGameObject.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace PhysicWorldFixture {

// A square terrain of side `cells` quads of `spacing` metres from (x0, y0), heights from h,
// two triangles per quad.
struct TerrainMesh {
    std::vector<D3DXVECTOR3> Positions;
    std::vector<uint16_t> Indices;
};

inline TerrainMesh MakeTerrain(int cells, float spacing, float x0, float y0,
                               const std::function<float(float, float)>& h) {
    TerrainMesh mesh;
    const int side = cells + 1;
    for (int j = 0; j < side; ++j) {
        for (int i = 0; i < side; ++i) {
            const float x = x0 + spacing * static_cast<float>(i);
            const float y = y0 + spacing * static_cast<float>(j);
            mesh.Positions.emplace_back(x, y, h(x, y));
        }
    }
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const auto a = static_cast<uint16_t>(j * side + i);
            const auto b = static_cast<uint16_t>(a + 1);
            const auto c = static_cast<uint16_t>(a + side);
            const auto d = static_cast<uint16_t>(c + 1);
            mesh.Indices.insert(mesh.Indices.end(), {a, b, c, b, d, c});
        }
    }
    return mesh;
}

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cfg::ResetDefaults();
        Cfg::weight_div = 1;
        CrtSrand(1);
        FrameTime = 0.0f;
        FrameNumber = 0;
        SparkCount = 0;
        SparkCooldown = 0.0f;
        world = std::make_unique<CPPhysicWorld>();
        CPPhysicWorld::Instance = world.get();
    }
    void TearDown() override {
        world.reset();  // before the nodes: it lets go of their bodies
        nodes.clear();
        physics.clear();
        Cfg::ResetDefaults();
        FrameTime = 0.0f;
    }

    void Build(const TerrainMesh& mesh) {
        world->BuildTriangleGrid(mesh.Positions, mesh.Indices.data(), mesh.Indices.size());
    }

    // A box body of full sizes (sx, sy, sz) m along x, y, z and mass kg, centred on its node at
    // position, active in the world; T is the node's class.
    template <class T = CPGameObject>
    T* AddBox(const char* name, const D3DXVECTOR3& position, float sx, float sy, float sz, float mass) {
        auto node = std::make_unique<T>(name);
        T* raw = node.get();
        raw->Position = position;
        raw->Orientation = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
        physics.push_back(std::make_unique<CPPhysicData>(raw));
        raw->Physics = physics.back().get();
        // The description's order: size along x, height, size along y; boxes (x, height, y).
        raw->Physics->SetShape(sz, sx, sy, mass);
        raw->Physics->AddBox(D3DXVECTOR3(0, 0, 0), D3DXQUATERNION(0, 0, 0, 1), sx, sz, sy, mass);
        world->AddObject(CPtr<CPGameObject>(raw), true, 1);
        world->ActivateObject(CPtr<CPGameObject>(raw));
        raw->Physics->Refresh();
        nodes.push_back(std::move(node));
        return raw;
    }

    // One host frame: the clocks, then the world's task step.
    void Frame(float seconds) {
        ++FrameNumber;
        FrameTime = seconds;
        world->Update();
    }

    std::unique_ptr<CPPhysicWorld> world;
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<std::unique_ptr<CPPhysicData>> physics;  // counted pointers free nothing
};

}  // namespace PhysicWorldFixture
