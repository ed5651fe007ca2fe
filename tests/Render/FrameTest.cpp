// The frame drawing: a small scene through the batchers, the ring, the layers, the lights, the
// debug lines and the screen passes, checked through the dump of the device's calls.
#include "BatchFixture.h"

#include "Render/CPRenderFrame.h"
#include "Render/CPRenderSky.h"
#include "Render/FrameDump.h"
#include "platform/d3d9/D3D9Buffer.h"
#include "platform/win32/CrtRand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace RenderFixtures;

namespace {

class FrameTest : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        Aim(camera, D3DXVECTOR3(0.0f, -20.0f, 5.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        MainView = &camera;
        render->SetLayerCamera(16, &camera);
        frame = std::make_unique<CPRenderFrame>(*render);
    }
    void TearDown() override {
        frame.reset();
        BatchTest::TearDown();
    }

    // Meshes a and b of stone, c of glow, a glowing sprite and a sun under one root.
    CPGameObject* Scene() {
        CPGameObject* root = Node("root", CPGameObject::RenderGroup);
        Mesh("a", stone, 4, 0.0f, root);
        Mesh("b", stone, 6, 2.0f, root);
        Mesh("c", glow, 3, 4.0f, root);
        Sprite("lamp", glow, root);
        Light("sun", D3DLIGHT_DIRECTIONAL, root);
        root->UpdateTransform();
        return root;
    }

    // Draws one frame and returns its dump.
    std::string Dumped() {
        FrameDump dump(device);
        frame->Dump = &dump;
        drawn = frame->Draw(0.02f);
        frame->Dump = nullptr;
        EXPECT_EQ(frame->Last.Refused, 0) << "the device refused a draw";
        return dump.Text();
    }

    size_t Count(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }

    CPPerspectiveCamera camera;
    std::unique_ptr<CPRenderFrame> frame;
    bool drawn = false;
};

TEST_F(FrameTest, ASceneDrawsOneCallPerMaterialBlock) {
    frameBatcher->AddTree(Scene());
    render->AddLine(0xFFFF0000u, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 1, 1));
    render->AddLine(0xFF00FF00u, D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0));

    const std::string dump = Dumped();
    EXPECT_TRUE(drawn);
    EXPECT_EQ(dump,
              "  BeginScene\n"
              "  Clear flags 3 colour 0x00000000\n"
              "  SetTransform VIEW\n"
              "  SetTransform PROJECTION\n"
              "  SetTransform WORLD\n"
              "lights\n"
              "  SetLight 0 DIRECTIONAL\n"
              "  LightEnable 0 1\n"
              "  LightEnable 1-29 0\n"
              "  SetFVF 0x2D2\n"
              "layer 16\n"
              "  SetTransform VIEW\n"
              "  SetTransform PROJECTION\n"
              "  SetTransform WORLD\n"
              "block \"stone.fx\" type 0 objects 2 vertices 10 indices 18\n"
              "pass 0\n"
              "  SetRenderState ZENABLE 1\n"
              "  SetStreamSource 0 vb1 stride 48\n"
              "  SetIndices ib1\n"
              "  DrawIndexedPrimitive TRIANGLELIST base 0 min 0 vertices 10 start 0 primitives 6\n"
              "  SetRenderState ZENABLE 1\n"
              "  SetTransform WORLD\n"
              "block \"glow.fx\" type 0 objects 2 vertices 7 indices 9\n"
              "pass 0\n"
              "  SetRenderState ZENABLE 1\n"
              "  SetStreamSource 0 vb1 stride 48\n"
              "  SetIndices ib1\n"
              "  DrawIndexedPrimitive TRIANGLELIST base 0 min 10 vertices 7 start 18 primitives 3\n"
              "  SetRenderState ZENABLE 1\n"
              "lines\n"
              "  SetTransform VIEW\n"
              "  SetTransform PROJECTION\n"
              "  SetTransform WORLD\n"
              "  SetRenderState LIGHTING 0\n"
              "  SetTexture 0 null\n"
              "  SetFVF 0x2D2\n"
              "  DrawPrimitiveUP LINELIST primitives 2 stride 48\n"
              "  SetRenderState LIGHTING 1\n"
              "  EndScene\n"
              "  Present\n");
    EXPECT_EQ(frame->Last.Blocks, 2);
    EXPECT_EQ(frame->Last.Objects, 4);
    EXPECT_EQ(frame->Last.Draws, 3);

    // Emptied for the next frame: blocks, lines and the light table.
    EXPECT_TRUE(frameBatcher->FrameBlocks.empty());
    EXPECT_TRUE(render->Lines.empty());
    EXPECT_FALSE(render->LinesPending);
    EXPECT_EQ(render->LightCount, 0);
    EXPECT_EQ(render->SunLight.Type, D3DLIGHT_DIRECTIONAL);

    // The next frame without anything gathered clears, applies the (empty) table and presents.
    const std::string empty = Dumped();
    EXPECT_EQ(Count(empty, "Draw"), 0u);
    EXPECT_EQ(Count(empty, "LightEnable 0-29 0"), 1u);
    EXPECT_EQ(Count(empty, "Present"), 1u);
}

TEST_F(FrameTest, TheFadePassIsDrawnOnlyWhileFading) {
    struct Case {
        float fade;
        size_t passes;
        uint32_t alpha;
    };
    const Case cases[] = {{0.0f, 0, 0}, {0.5f, 1, 127}, {1.0f, 1, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fade);
        render->SetFade(c.fade);
        const std::string dump = Dumped();
        EXPECT_EQ(Count(dump, "\nfade\n"), c.passes);
        const auto quads = device->CallsNamed("DrawPrimitiveUP");
        if (c.passes == 0) {
            continue;
        }
        ASSERT_FALSE(quads.empty());
        const D3D9Call& quad = *quads.back();
        EXPECT_EQ(quad.args[0], static_cast<uint64_t>(D3DPT_TRIANGLESTRIP));
        ASSERT_GE(quad.data.size(), sizeof(CPRender::BlurVertex));
        CPRender::BlurVertex corner;
        std::memcpy(&corner, quad.data.data(), sizeof(corner));
        EXPECT_EQ(corner.Color >> 24, c.alpha);
        EXPECT_EQ(corner.Color & 0x00FFFFFFu, 0u);  // black
        // The passes leave the scene's states as they found them.
        EXPECT_EQ(device->RenderState(D3DRS_ZENABLE), 1u);
        EXPECT_EQ(device->RenderState(D3DRS_ALPHABLENDENABLE), 0u);
        EXPECT_EQ(device->FVF(), CPVertexFVF);
    }
}

TEST_F(FrameTest, BlurPassesFollowTheirValues) {
    render->CreateBlurGrid(4, 3);
    render->MotionBlur = 1;
    render->MotionBlurAmount = 0.3f;
    render->BlurAlpha = 150;
    render->RadialBlur = 0.5f;
    const std::string dump = Dumped();
    EXPECT_NE(dump.find("radial blur\n  DrawIndexedPrimitiveUP TRIANGLELIST vertices 20 primitives 24 stride 28\n"),
              std::string::npos);
    EXPECT_NE(dump.find("motion blur\n  DrawPrimitiveUP TRIANGLESTRIP primitives 2 stride 28\n"), std::string::npos);
    const D3D9Call& quad = *device->CallsNamed("DrawPrimitiveUP").back();
    CPRender::BlurVertex corner;
    std::memcpy(&corner, quad.data.data(), sizeof(corner));
    EXPECT_EQ(corner.Color, 0x2DFFFFFFu);  // 150 x 0.3 = 45

    render->MotionBlur = 0;
    render->RadialBlur = 0.0f;
    EXPECT_EQ(Count(Dumped(), "blur"), 0u);
}

TEST_F(FrameTest, LightsAreAppliedOncePerFrameWithOrWithoutASky) {
    struct Sky : CPRenderSky {
        explicit Sky(bool applies) : applies(applies) {}
        void Load(const std::string&) override {}
        void Render(float) override {
            ++draws;
            if (applies) {
                GetRender()->ApplyLights();
            }
        }
        bool applies;
        int draws = 0;
    };
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        Sky* sky = nullptr;
        if (variant > 0) {
            render->Sky = std::make_unique<Sky>(variant == 1);
            sky = static_cast<Sky*>(render->Sky.get());
        }
        const uint32_t before = render->LightsApplied;
        Dumped();
        Dumped();
        EXPECT_EQ(render->LightsApplied - before, 2u);
        if (sky != nullptr) {
            EXPECT_EQ(sky->draws, 2);
        }
    }
}

TEST_F(FrameTest, ViewProjectionIsTheSceneCamerasBeforeTheFrameEnds) {
    render->SetLayerCamera(19, nullptr);  // a layer without a camera does not count
    Dumped();
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(render->ViewProjection.m[i / 4][i % 4], camera.ViewProjection.m[i / 4][i % 4]);
    }
    D3DXVECTOR3 screen;
    render->ProjectToScreen(screen, camera.Target);
    EXPECT_NEAR(screen.x, Cfg::screenWidth * 0.5f, 1e-3f);
    EXPECT_NEAR(screen.y, Cfg::screenHeight * 0.5f, 1e-3f);
}

TEST_F(FrameTest, MaterialTypesChooseTheirLayers) {
    WriteEffect("interface.fx", "texture tex0;");
    CPMaterial* panel = materials->GetMaterial("interface.fx", {"glow.tga"}, 203).Get();
    CPMaterial* shadow = materials->GetMaterial("glow.fx", {"glow.tga"}, 16).Get();
    CPBaseCamera flat;
    render->SetLayerCamera(195, &flat);
    D3DXMATRIX squash;
    D3DXMatrixScaling(&squash, 1.0f, 1.0f, 0.0f);
    render->SetLayerMatrix(&squash.m[0][0], 16);
    render->SetLayerMatrix(&squash.m[0][0], 17);
    Mesh("panel", panel, 4);
    Mesh("shadow", shadow, 4);
    Mesh("ground", stone, 4);
    for (auto& node : nodes) {
        frameBatcher->AddObject(node.get());
    }
    EXPECT_EQ(frame->LayerFor(0), 16);    // below every layer: the lowest
    EXPECT_EQ(frame->LayerFor(20), 17);   // the greatest not above
    EXPECT_EQ(frame->LayerFor(203), 195);
    const std::string dump = Dumped();
    // Layers in number order; the shadow block alone is projected by its layer's matrix.
    const size_t ground = dump.find("block \"stone.fx\" type 0");
    const size_t projected = dump.find("block \"glow.fx\" type 16");
    const size_t flatBlock = dump.find("block \"interface.fx\" type 203");
    ASSERT_NE(ground, std::string::npos);
    ASSERT_NE(projected, std::string::npos);
    ASSERT_NE(flatBlock, std::string::npos);
    EXPECT_LT(dump.find("layer 16"), ground);
    EXPECT_LT(dump.find("layer 195"), flatBlock);
    EXPECT_EQ(Count(dump, "layer 16\n"), 1u);
    std::vector<D3DXMATRIX> worlds;
    for (const D3D9Call* call : device->CallsNamed("SetTransform")) {
        if (call->args[0] == D3DTS_WORLD) {
            D3DXMATRIX m;
            std::memcpy(&m, call->data.data(), sizeof(m));
            worlds.push_back(m);
        }
    }
    const int squashed = static_cast<int>(std::count_if(worlds.begin(), worlds.end(), [](const D3DXMATRIX& m) {
        return m.m[2][2] == 0.0f;
    }));
    EXPECT_EQ(squashed, 1);
    // The 2-D layer draws with its camera's view and an identity projection.
    const D3DMATRIX projection = device->Transform(D3DTS_PROJECTION);
    EXPECT_FLOAT_EQ(projection.m[0][0], 1.0f);
    render->Layers.erase(195);  // the camera is the test's
}

TEST_F(FrameTest, ABlockLargerThanARingSlotIsDrawnInPieces) {
    // Three meshes of 100 vertices in a frame ring of 256 per slot.
    for (int i = 0; i < 3; ++i) {
        frameBatcher->AddObject(Mesh("m" + std::to_string(i), stone, 100, static_cast<float>(i)));
    }
    const std::string dump = Dumped();
    EXPECT_EQ(Count(dump, "DrawIndexedPrimitive"), 2u);
    EXPECT_EQ(frame->Last.Primitives, 3u * 98u);
    EXPECT_EQ(frame->Last.Objects, 3);
    // Every draw passed the device's checks (indices within the buffers, nothing locked).
    EXPECT_NE(dump.find("vertices 200 start 0 primitives 196"), std::string::npos);
    EXPECT_NE(dump.find("vertices 100 start 0 primitives 98"), std::string::npos);
}

TEST_F(FrameTest, StaticMeshesDrawFromTheLevelRingAndAgainAfterALostDevice) {
    CPGameObject* root = Scene();
    ASSERT_TRUE(levelBatcher->FillStatic({root}));
    IDirect3DVertexBuffer9* level = levelBatcher->VertexRing->VertexBuffers[0];

    auto drawsFromLevel = [&] {
        frameBatcher->AddTree(root);
        const std::string dump = Dumped();
        EXPECT_TRUE(drawn);
        // The meshes' indices only are written this frame; their vertices are the level's.
        EXPECT_NE(dump.find("DrawIndexedPrimitive TRIANGLELIST base 0 min 0 vertices 10 start 0 primitives 6"),
                  std::string::npos) << dump;
        return dump.find("block \"stone.fx\" type 0 objects 2 vertices 10 indices 18") != std::string::npos;
    };
    EXPECT_TRUE(drawsFromLevel());
    // The draw of the stone block named the level's vertex buffer.
    bool named = false;
    for (const D3D9Call* call : device->CallsNamed("SetStreamSource")) {
        named = named || call->args[1] == reinterpret_cast<uint64_t>(level);
    }
    EXPECT_TRUE(named);

    // Lost: the frame is skipped and what it gathered dropped.
    device->LoseDevice();
    frameBatcher->AddTree(root);
    render->AddLine(0xFFFFFFFFu, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 0, 0));
    const std::string skipped = Dumped();
    EXPECT_FALSE(drawn);
    EXPECT_EQ(skipped, "frame skipped\n");
    EXPECT_TRUE(frameBatcher->FrameBlocks.empty());
    EXPECT_TRUE(render->Lines.empty());
    EXPECT_EQ(render->LightCount, 0);

    // Reset: the ring is made again and the level's meshes written into it before drawing.
    D3DPRESENT_PARAMETERS parameters;
    ASSERT_EQ(render->ResetDevice(&parameters), D3D_OK);
    EXPECT_TRUE(levelBatcher->VertexRing->Refill);
    EXPECT_TRUE(drawsFromLevel());
    EXPECT_FALSE(levelBatcher->VertexRing->Refill);
    EXPECT_EQ(levelBatcher->VertexRing->Written.size(), 3u);
}

TEST_F(FrameTest, ExcludedMeshesDrawFromTheirSharedBuffersWhereTheirNodesStand) {
    CPGameObject* tree = Mesh("tree", stone, 4);
    tree->SetPosition(D3DXVECTOR3(5.0f, 0.0f, 0.0f));
    tree->UpdateTransform();
    CPRenderObject* mesh = MeshOf(tree);
    mesh->MeshBuffers = render->CreateMeshBuffers("tree", mesh->Vertices.data(), mesh->Indices.data(), 4, 6);
    mesh->SetExcluded(true);
    frameBatcher->AddObject(tree);
    const std::string dump = Dumped();
    EXPECT_NE(dump.find("DrawIndexedPrimitive TRIANGLELIST base 0 min 0 vertices 4 start 0 primitives 2"),
              std::string::npos);
    bool placed = false;
    for (const D3D9Call* call : device->CallsNamed("SetTransform")) {
        D3DXMATRIX m;
        if (call->args[0] == D3DTS_WORLD && call->data.size() == sizeof(m)) {
            std::memcpy(&m, call->data.data(), sizeof(m));
            placed = placed || m.m[3][0] == 5.0f;
        }
    }
    EXPECT_TRUE(placed);
}

TEST_F(FrameTest, SharedSceneParametersCarryTheWorldOfWhatIsDrawn) {
    // A pool effect whose pass transforms with g_mWorldViewProjection: a mesh drawn from its
    // shared buffers where its node stands must reach the pass with that world.
    WriteFile("Data/Effects/placed.fx",
              TextBytes("texture tex0;\nshared float4x4 g_mWorldViewProjection;\nshared float4x4 g_mWorldView;\n"
                        "technique Main { pass P0 { ProjectionTransform = <g_mWorldViewProjection>; } }\n"));
    CPMaterial* placedMaterial = materials->GetMaterial("placed.fx,shared", {"stone.tga"}, 0).Get();
    ASSERT_NE(effects->PoolOwner, nullptr);
    CPGameObject* tree = Mesh("tree", placedMaterial, 4);
    tree->SetPosition(D3DXVECTOR3(5.0f, 0.0f, 0.0f));
    tree->UpdateTransform();
    CPRenderObject* mesh = MeshOf(tree);
    mesh->MeshBuffers = render->CreateMeshBuffers("tree", mesh->Vertices.data(), mesh->Indices.data(), 4, 6);
    mesh->SetExcluded(true);
    frameBatcher->AddObject(tree);
    device->ClearCalls();
    Dumped();
    ASSERT_TRUE(drawn);

    // The projection the pass had set when the mesh was drawn.
    const std::vector<D3D9Call>& calls = device->Calls();
    D3DXMATRIX atDraw;
    bool seen = false;
    for (const D3D9Call& call : calls) {
        if (call.name == "SetTransform" && call.args[0] == D3DTS_PROJECTION && call.data.size() == sizeof(atDraw)) {
            std::memcpy(&atDraw, call.data.data(), sizeof(atDraw));
        }
        if (call.name == "DrawIndexedPrimitive") {
            seen = true;
            break;
        }
    }
    ASSERT_TRUE(seen);
    const D3DXMATRIX expected = tree->WorldMatrix * camera.View * camera.Projection;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(atDraw.m[r][c], expected.m[r][c], 1e-4f) << r << "," << c;
        }
    }
}

TEST_F(FrameTest, RandomScenesDrawEveryTriangleOnceWithDrawsTheDeviceAccepts) {
    // Meshes of 3 to 200 vertices in up to five materials, some written into the level's ring
    // first, some moving, some excluded with shared buffers, over rings of 256 vertices.
    CrtSrand(7);
    std::vector<CPMaterial*> palette = {stone, glow};
    for (int m = 0; m < 3; ++m) {
        WriteEffect("m" + std::to_string(m) + ".fx", "texture tex0;");
        palette.push_back(materials->GetMaterial("m" + std::to_string(m) + ".fx", {"glow.tga"}, 0).Get());
    }
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::vector<CPGameObject*> scene;
        std::vector<CPtr<CPGameObject>> level;
        uint64_t triangles = 0;
        const int count = 1 + CrtRand() % 12;
        for (int i = 0; i < count; ++i) {
            const int vertices = 3 + CrtRand() % 198;
            CPMaterial* material = palette[static_cast<size_t>(CrtRand()) % palette.size()];
            CPGameObject* node = Mesh("r" + std::to_string(round) + "_" + std::to_string(i), material, vertices,
                                      static_cast<float>(i));
            triangles += static_cast<uint64_t>(vertices - 2);
            switch (CrtRand() % 4) {
            case 0:
                level.emplace_back(node);
                break;
            case 1:
                node->Static = false;
                break;
            case 2: {
                CPRenderObject* mesh = MeshOf(node);
                mesh->MeshBuffers = render->CreateMeshBuffers(node->Name, mesh->Vertices.data(), mesh->Indices.data(),
                                                              vertices, static_cast<int>(mesh->Indices.size()));
                mesh->SetExcluded(true);
                break;
            }
            default:
                break;
            }
            scene.push_back(node);
        }
        levelBatcher->ForgetStatic();
        levelBatcher->FillStatic(level);
        for (CPGameObject* node : scene) {
            frameBatcher->AddObject(node);
        }
        Dumped();
        EXPECT_TRUE(drawn);
        EXPECT_EQ(frame->Last.Refused, 0);
        EXPECT_EQ(frame->Last.Primitives, triangles);
    }
}

}  // namespace
