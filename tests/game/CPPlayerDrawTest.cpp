// What the player object shows: the shadow it loads for the race (and a shadow that does not
// load), the car and its shadow handed to the batcher by distance and visibility, and the
// shell cases of the machine guns.
#include "tests/Render/SceneLoaderFixture.h"

#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderObject.h"
#include "core/CPScriptTask.h"
#include "game/CPPlayer.h"
#include "scene/CPParticleManager.h"
#include "scene/CPParticleTemplate.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/CPPhysicData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

class ShadowTest : public SceneLoaderFixtures::SceneLoaderTest {
protected:
    void SetUp() override {
        SceneLoaderTest::SetUp();
        WriteText("Data/Meshes/shadow.rdf", "mesh = box.msh\n[box]\neffectfile = plain.fx\ntexturefile1 = box.tga\n");
        WriteEffect("shadow.fx", "texture tex0;");
        WriteTexture("carshadow.tga");
        player = new CPPlayer();
        player->XmlDocument.Parse("<render><shadow name=\"carshadow.tga\"/></render>");
    }
    void TearDown() override {
        CPSceneLoader::DeleteObject(player);
        SceneLoaderTest::TearDown();
    }
    CPMaterial* ShadowMaterial() { return materials->GetMaterial("shadow.fx", {"carshadow.tga"}, 0).Get(); }

    CPPlayer* player = nullptr;
};

TEST_F(ShadowTest, AddShadowLoadsAPlainShadowMeshWithTheCarsTexture) {
    player->Dead = true;
    player->PlayerDeadSent = true;
    EXPECT_TRUE(player->AddShadow());
    EXPECT_FALSE(player->Dead);
    EXPECT_FALSE(player->PlayerDeadSent);
    CPGameObject* shadow = player->Shadow.Get();
    ASSERT_NE(shadow, nullptr);
    auto* mesh = dynamic_cast<CPRenderObject*>(shadow->RenderObject.Get());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Material.Get(), ShadowMaterial());
    EXPECT_FALSE(mesh->IsExcluded());
    EXPECT_TRUE(shadow->Visible);
    EXPECT_TRUE(shadow->Static);
    EXPECT_EQ(shadow->Physics, nullptr);
    EXPECT_EQ(shadow->GetScriptObject(), nullptr);

    // A second preparation replaces the shadow (the old tree is the player's to delete).
    EXPECT_TRUE(player->AddShadow());
    ASSERT_NE(player->Shadow, nullptr);
}

TEST_F(ShadowTest, AShadowThatDoesNotLoadLeavesTheCarWithoutOne) {
    ASSERT_TRUE(player->AddShadow());
    ASSERT_NE(player->Shadow, nullptr);
    // The loader's stand-in "wrong.rdf" is no shadow.
    std::filesystem::remove(dir / "Data" / "Meshes" / "shadow.rdf");
    HostFiles::ClearCache();
    EXPECT_TRUE(player->AddShadow());
    EXPECT_EQ(player->Shadow, nullptr);
    // Nor is nothing at all.
    std::filesystem::remove(dir / "Data" / "Meshes" / "wrong.rdf");
    HostFiles::ClearCache();
    EXPECT_TRUE(player->AddShadow());
    EXPECT_EQ(player->Shadow, nullptr);
    // A group without a mesh is none either.
    WriteText("Data/Meshes/shadow.rdf", "empty\n");
    EXPECT_TRUE(player->AddShadow());
    EXPECT_EQ(player->Shadow, nullptr);
}

TEST_F(ShadowTest, DrawBatchesTheVisibleCarAndItsShadowWhenNear) {
    CPRenderBatcher batcher(2, 256, 768);
    ASSERT_TRUE(player->AddShadow());
    CPMaterial* body = materials->GetMaterial("plain.fx", {"box.tga"}, 0).Get();
    auto* mesh = new CPRenderObject(player);
    mesh->SetMaterial(CPtr<CPMaterial>(body));
    player->RenderObject = mesh;
    player->RenderKind = CPGameObject::RenderMesh;
    player->Physics = new CPPhysicData(player);

    CPPerspectiveCamera view;
    view.Position = D3DXVECTOR3(0.0f, -20.0f, 5.0f);
    view.Target = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    view.Up = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    view.Fov = 0.8f;
    view.Near = 0.1f;
    view.Far = 1000.0f;
    view.ViewDirty = true;
    view.ProjectionDirty = true;
    view.Update();

    const struct {
        const char* name;
        D3DXVECTOR3 position;
        bool car;
        bool shadow;
    } cases[] = {
        {"near and seen", D3DXVECTOR3(0.0f, 0.0f, 0.0f), true, true},
        {"far ahead", D3DXVECTOR3(0.0f, 200.0f, 0.0f), true, false},
        {"behind the camera", D3DXVECTOR3(0.0f, -60.0f, 0.0f), false, false},
    };
    for (const auto& c : cases) {
        player->Position = c.position;
        player->Bounds.Min = c.position - D3DXVECTOR3(1.0f, 2.0f, 0.5f);
        player->Bounds.Max = c.position + D3DXVECTOR3(1.0f, 2.0f, 0.5f);
        player->Draw(&batcher, &view);
        EXPECT_EQ(batcher.FrameBlocks.count(body), c.car ? 1u : 0u) << c.name;
        EXPECT_EQ(batcher.FrameBlocks.count(ShadowMaterial()), c.shadow ? 1u : 0u) << c.name;
        batcher.EndFrame();
    }

    // Without physics data there is nothing to cast the shadow on.
    CPPhysicData* physics = player->Physics.Get();
    player->Physics = nullptr;
    delete physics;
    player->Position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    player->Bounds.Min = D3DXVECTOR3(-1.0f, -2.0f, -0.5f);
    player->Bounds.Max = D3DXVECTOR3(1.0f, 2.0f, 0.5f);
    player->Draw(&batcher, &view);
    EXPECT_EQ(batcher.FrameBlocks.count(body), 1u);
    EXPECT_EQ(batcher.FrameBlocks.count(ShadowMaterial()), 0u);
    batcher.EndFrame();
    player->Draw(nullptr, &view);
    player->Draw(&batcher, nullptr);
    EXPECT_TRUE(batcher.FrameBlocks.empty());
}

// The "gilze" template: keeps what it was asked for.
class ShellRecorder : public CPParticleTemplate {
public:
    size_t GetObjectSize() const override { return sizeof(ShellRecorder); }
    std::string GetTypeName() const override { return "ShellRecorder"; }
    void Update() override {}
    int GetKind() const override { return 0; }
    void Emit(const CPParticleParams& params) override {
        ++Emitted;
        Last.Position = params.Position;
        Last.Velocity = params.Velocity;
        Last.Acceleration = params.Acceleration;
        Last.Param1 = params.Param1;
        Last.Param2 = params.Param2;
        Last.Param3 = params.Param3;
        Last.Flag1 = params.Flag1;
        Last.Flag2 = params.Flag2;
    }
    void Reset() override {}
    int Emitted = 0;
    CPParticleDesc Last;
};

TEST(PlayerShellsTest, OneShellCaseFliesFromTheMuzzle) {
    CPParticleManager particles;
    auto* shells = new ShellRecorder;
    particles.Templates["gilze"] = shells;
    CPParticleManager::Instance = &particles;
    CPGameObject weapon("mgun");
    D3DXMATRIX turn;
    D3DXMATRIX move;
    D3DXMatrixRotationZ(&turn, 1.5707964f);
    D3DXMatrixTranslation(&move, 1.0f, 2.0f, 3.0f);
    D3DXMatrixMultiply(&weapon.WorldMatrix, &turn, &move);

    CrtSrand(7);
    const float ra = static_cast<float>(CrtRand()) / 32767.0f;
    const float rb = static_cast<float>(CrtRand()) / 32767.0f;
    CrtSrand(7);
    CPPlayer::SpawnShells(&weapon);
    CPPlayer::SpawnShells(nullptr);
    ASSERT_EQ(shells->Emitted, 1);
    const CPParticleDesc& shell = shells->Last;
    EXPECT_NEAR(shell.Position.x, 1.0f, 1e-5f);
    EXPECT_NEAR(shell.Position.y, 2.0f, 1e-5f);
    EXPECT_NEAR(shell.Position.z, 3.0f, 1e-5f);
    // (-1, 0, 2) turned a quarter about z is (0, -1, 2).
    const float speed = rb + 4.0f;
    EXPECT_NEAR(shell.Velocity.x, 0.0f, 1e-5f);
    EXPECT_NEAR(shell.Velocity.y, -speed, 1e-5f);
    EXPECT_NEAR(shell.Velocity.z, 2.0f * speed, 1e-5f);
    EXPECT_EQ(shell.Acceleration, D3DXVECTOR3(0.0f, 0.0f, -24.8f));
    EXPECT_FLOAT_EQ(shell.Param1, 0.2f);
    EXPECT_EQ(shell.Param2, 0.0f);
    EXPECT_FLOAT_EQ(shell.Param3, ra + 1.0f);
    EXPECT_EQ(shell.Flag1, 0);
    EXPECT_EQ(shell.Flag2, 0);

    CPParticleManager::Instance = nullptr;
    particles.Templates.clear();
    particles.Active.clear();
    delete shells;
}

}  // namespace
