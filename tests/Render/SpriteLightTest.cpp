// Sprites facing the race camera and fading by their cone, decided once per frame; lights
// following their nodes into the renderer's light table.
#include "Render/CPRender.h"
#include "Render/CPSprite.h"
#include "Render/CPTextureModifier.h"
#include "core/FrameTime.h"
#include "scene/CPGameObject.h"
#include "scene/CPLight.h"
#include "scene/CPPerspectiveCamera.h"
#include "scene/MainView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        FrameNumber = 1;
        FrameTime = 0.0f;
        LookFrom(D3DXVECTOR3(0, -10, 0));
        MainView = &camera;
        root.AddChild(&lamp);
        lamp.RenderKind = CPGameObject::RenderSprite;
        lamp.RenderObject = &sprite;
        sprite.SetOwner(&lamp);
        root.UpdateTransform();
    }
    void TearDown() override {
        MainView = nullptr;
        lamp.RenderObject = nullptr;
        FrameNumber = 0;
        FrameTime = 0.0f;
    }
    // The camera at eye looking at the origin, z up; a new frame begins.
    void LookFrom(const D3DXVECTOR3& eye) {
        camera.Position = eye;
        camera.Target = D3DXVECTOR3(0, 0, 0);
        camera.Up = D3DXVECTOR3(0, 0, 1);
        camera.ViewDirty = true;
        camera.Update();
        ++FrameNumber;
    }
    // What the batcher does: ask the counts, then have it fill that much.
    int Draw(uint16_t base = 0) {
        const int count = sprite.GetVertexCount();
        vertices.assign(4, CPVertex());
        indices.assign(6, 0xFFFF);
        sprite.Fill(vertices.data(), indices.data(), base, false);
        EXPECT_EQ(sprite.GetIndexCount(), count == 4 ? 6 : 0);
        return count;
    }

    CPPerspectiveCamera camera;
    CPGameObject root{"car"};
    CPGameObject lamp{"lamp"};
    CPSprite sprite{1.0f};
    std::vector<CPVertex> vertices;
    std::vector<uint16_t> indices;
};

TEST_F(SpriteTest, FacesTheCameraAtItsNode) {
    lamp.SetPosition(D3DXVECTOR3(2, 0, 1));
    lamp.UpdateTransform();
    sprite.TexRect[0] = 0.25f;
    sprite.TexRect[2] = 0.75f;
    ASSERT_EQ(Draw(10), 4);
    EXPECT_EQ(indices, (std::vector<uint16_t>{10, 12, 11, 10, 13, 12}));
    const D3DXVECTOR3 centre(2, 0, 1);
    for (const CPVertex& v : vertices) {
        // In the plane through the node square to the line of sight, sqrt(2) from it.
        EXPECT_NEAR(v.Position.y, 0.0f, 1e-5f);
        const D3DXVECTOR3 d = v.Position - centre;
        EXPECT_NEAR(D3DXVec3Length(&d), std::sqrt(2.0f), 1e-5f);
        EXPECT_EQ(v.Diffuse, 0xFFFFFFFFu);
    }
    // Opposite corners about the node; corner 0 below corner 2 (z is up).
    EXPECT_NEAR(vertices[0].Position.x + vertices[2].Position.x, 4.0f, 1e-5f);
    EXPECT_NEAR(vertices[0].Position.z, 0.0f, 1e-5f);
    EXPECT_NEAR(vertices[2].Position.z, 2.0f, 1e-5f);
    EXPECT_EQ(vertices[0].U, 0.25f);
    EXPECT_EQ(vertices[1].U, 0.75f);
    EXPECT_EQ(vertices[2].V, 1.0f);
    EXPECT_EQ(vertices[3].U, 0.25f);

    // A quarter turn about the line of sight.
    // A quarter turn about the line of sight moves each corner to the next one's place.
    const std::vector<CPVertex> before = vertices;
    sprite.Angle = 3.14159265f / 2;
    Draw();
    for (int i = 0; i < 4; ++i) {
        const D3DXVECTOR3 d = vertices[i].Position - before[(i + 1) % 4].Position;
        EXPECT_NEAR(D3DXVec3Length(&d), 0.0f, 1e-5f) << i;
    }
}

TEST_F(SpriteTest, FixedBrightnessAndHiddenCones) {
    struct Case {
        float Cone;
        int Vertices;
        uint32_t Colour;
    };
    const Case cases[] = {{-0.05f, 0, 0}, {-0.1f, 4, 0x19191919}, {-0.5f, 4, 0x7F7F7F7F},
                          {-1.0f, 4, 0xFFFFFFFF}, {-3.0f, 4, 0xFFFFFFFF}, {0.0f, 4, 0xFFFFFFFF}};
    for (const Case& c : cases) {
        sprite.Colour = 0xFFFFFFFF;
        sprite.SetFacing(D3DXVECTOR3(), c.Cone);
        EXPECT_EQ(Draw(), c.Vertices) << c.Cone;
        if (c.Vertices == 4) {
            EXPECT_EQ(vertices[0].Diffuse, c.Colour) << c.Cone;
        } else {
            EXPECT_EQ(indices[0], 0xFFFF) << "nothing written for " << c.Cone;
        }
    }
    EXPECT_EQ(sprite.Cone, -0.0f);
    sprite.SetFacing(D3DXVECTOR3(), -7.0f);
    EXPECT_EQ(sprite.Cone, -1.0f);
}

TEST_F(SpriteTest, FadesByTheAngleToItsAxis) {
    sprite.SetFacing(D3DXVECTOR3(0, -1, 0), 0.5f);
    struct Case {
        float Off;  // radians between the axis and the camera, about z
        float Height;
        int Vertices;
        uint32_t Colour;
    };
    const Case cases[] = {{0.0f, 0.0f, 4, 0xFFFFFFFF}, {0.0f, 30.0f, 4, 0xFFFFFFFF}, {0.499f, 0.0f, 4, 0x4C4C4C4C},
                          {0.25f, 0.0f, 4, 0xA5A5A5A5}, {0.6f, 0.0f, 0, 0}, {3.0f, 0.0f, 0, 0}};
    for (const Case& c : cases) {
        LookFrom(D3DXVECTOR3(10 * std::sin(c.Off), -10 * std::cos(c.Off), c.Height));
        EXPECT_EQ(Draw(), c.Vertices) << c.Off << " " << c.Height;
        if (c.Vertices == 4) {
            EXPECT_EQ(vertices[0].Diffuse, c.Colour) << c.Off;
        }
    }
}

TEST_F(SpriteTest, TurningTheRootTurnsTheCone) {
    sprite.SetFacing(D3DXVECTOR3(0, -1, 0), 0.3f);
    D3DXQUATERNION turn;
    const D3DXVECTOR3 z(0, 0, 1);
    D3DXQuaternionRotationAxis(&turn, &z, 3.14159265f / 2);
    root.SetOrientation(turn);
    root.UpdateTransform();
    LookFrom(D3DXVECTOR3(0, -10, 0));
    EXPECT_EQ(Draw(), 0);
    LookFrom(D3DXVECTOR3(10, 0, 0));
    EXPECT_EQ(Draw(), 4);
}

TEST_F(SpriteTest, DecidesOncePerFrame) {
    sprite.SetFacing(D3DXVECTOR3(0, -1, 0), 0.3f);
    ++FrameNumber;
    EXPECT_EQ(sprite.GetVertexCount(), 4);
    // The camera moves within the frame: what was counted is what gets written.
    camera.Position = D3DXVECTOR3(0, 10, 0);
    vertices.assign(4, CPVertex());
    indices.assign(6, 0xFFFF);
    sprite.Fill(vertices.data(), indices.data(), 0, false);
    EXPECT_EQ(indices[0], 0);
    EXPECT_EQ(sprite.GetIndexCount(), 6);
    ++FrameNumber;
    EXPECT_EQ(sprite.GetVertexCount(), 0);
    EXPECT_EQ(sprite.GetIndexCount(), 0);
}

TEST_F(SpriteTest, NoRaceCameraOrOwnerKeepsItHidden) {
    MainView = nullptr;
    ++FrameNumber;
    EXPECT_EQ(Draw(), 0);
    EXPECT_EQ(indices[0], 0xFFFF);
    MainView = &camera;
    sprite.SetOwner(nullptr);
    ++FrameNumber;
    EXPECT_EQ(Draw(), 0);
}

TEST_F(SpriteTest, CameraOrOwnerGoneWithinTheFrameWritesWhatWasCounted) {
    for (const bool dropCamera : {true, false}) {
        MainView = &camera;
        sprite.SetOwner(&lamp);
        ++FrameNumber;
        ASSERT_EQ(sprite.GetVertexCount(), 4);
        if (dropCamera) {
            MainView = nullptr;
        } else {
            sprite.SetOwner(nullptr);
        }
        // The batcher made room for the counts: they are filled, with a quad of no area.
        vertices.assign(4, CPVertex());
        vertices[1].Position = D3DXVECTOR3(9, 9, 9);
        indices.assign(6, 0xFFFF);
        sprite.Fill(vertices.data(), indices.data(), 3, false);
        EXPECT_EQ(indices, (std::vector<uint16_t>{3, 5, 4, 3, 6, 5}));
        for (const CPVertex& v : vertices) EXPECT_EQ(v.Position, vertices[0].Position);
        EXPECT_EQ(sprite.GetIndexCount(), 6);
        ++FrameNumber;
        EXPECT_EQ(sprite.GetVertexCount(), 0);
    }
}

TEST_F(SpriteTest, ModifiersRunOnTheWrittenCorners) {
    sprite.AddModifier(CPTextureModifier::Create("movingtex", {"1", "0"}));
    ASSERT_TRUE(sprite.HasModifiers);
    FrameTime = 0.25f;
    ASSERT_EQ(Draw(), 4);
    EXPECT_NE(vertices[0].U, 0.0f);
    EXPECT_EQ(vertices[0].V, 0.0f);
    EXPECT_EQ(sprite.GetTypeName(), "CPSprite");
    EXPECT_FALSE(sprite.IsExcluded());
}

TEST(LightTest, PointLightsFollowTheirNodesIntoTheTableUpToThirty) {
    CPRender render;
    std::vector<std::unique_ptr<CPGameObject>> nodes;
    std::vector<std::unique_ptr<CPLight>> lights;
    int added = 0;
    for (int i = 0; i < 32; ++i) {
        nodes.push_back(std::make_unique<CPGameObject>("light"));
        lights.push_back(std::make_unique<CPLight>());
        CPLight& light = *lights.back();
        light.SetOwner(nodes.back().get());
        light.Light.Type = D3DLIGHT_POINT;
        light.Light.Range = 5.0f;
        light.Light.Direction.z = -1.0f;
        nodes.back()->SetPosition(D3DXVECTOR3(static_cast<float>(i), 1, 2));
        nodes.back()->UpdateTransform();
        added += render.AddLight(*light.GetLight()) ? 1 : 0;
    }
    EXPECT_EQ(added, CPRender::MaxLights);
    EXPECT_EQ(render.LightCount, 30);
    EXPECT_EQ(render.Lights[29].Position.x, 29.0f);
    EXPECT_EQ(render.Lights[29].Position.z, 2.0f);
    EXPECT_EQ(render.Lights[29].Range, 5.0f);
    EXPECT_EQ(render.Lights[29].Direction.z, -1.0f);

    // Every request reads the node anew.
    nodes[0]->SetPosition(D3DXVECTOR3(-4, 0, 0));
    nodes[0]->UpdateTransform();
    EXPECT_EQ(lights[0]->GetLight()->Position.x, -4.0f);
    CPLight loose;
    loose.Light.Position.x = 7.0f;
    EXPECT_EQ(loose.GetLight()->Position.x, 7.0f);
    EXPECT_EQ(loose.GetTypeName(), "CPLight");
}

}  // namespace
