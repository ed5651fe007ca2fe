#include "SkyRenderTest.h"

#include "DynamicSky/CloudLayer.h"
#include "core/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class CloudLayerTest : public SkyRenderTest {
protected:
    // A layer as the sky file would make it, with the given textures.
    static void Make(CloudLayer& layer, const D3DXVECTOR3& axis, std::vector<std::string> textures) {
        layer.SetEffectNames("Data\\Effects\\cloud0.fx", "Data\\Effects\\cloud1.fx");
        D3DXVec3Normalize(&layer.OrbitAxis, &axis);
        const D3DXVECTOR3 z(0.0f, 0.0f, 1.0f);
        D3DXVECTOR3 turn;
        D3DXVec3Cross(&turn, &z, &layer.OrbitAxis);
        D3DXMatrixRotationAxis(&layer.AxisFrame, &turn, static_cast<float>(ClampedAcos(layer.OrbitAxis.z)));
        layer.OrbitRadius = 150.0f;
        for (const std::string& t : textures) {
            layer.AddTexture(t);
        }
        layer.Build(5.0f);
    }
};

TEST_F(CloudLayerTest, BuildMakesTheQuadWithItsFirstTextureAndSecondEffect) {
    CloudLayer layer;
    EXPECT_EQ(layer.Position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Make(layer, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga"});
    ASSERT_EQ(layer.Vertices.size(), 4u);
    const float corners[4][4] = {{-5, -5, 0, 0}, {5, -5, 1, 0}, {5, 5, 1, 1}, {-5, 5, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        const CPVertex& v = layer.Vertices[i];
        EXPECT_EQ(v.Position, D3DXVECTOR3(corners[i][0], 0.0f, corners[i][1]));
        EXPECT_EQ(v.Normal, D3DXVECTOR3(1.0f, 1.0f, 1.0f));
        EXPECT_EQ(v.Diffuse, 0xFF000014u);
        EXPECT_FLOAT_EQ(v.U, corners[i][2]);
        EXPECT_FLOAT_EQ(v.V, corners[i][3]);
    }
    EXPECT_EQ(layer.Indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_NE(layer.Texture, nullptr);
    ASSERT_NE(layer.Effect, nullptr);
    D3DXHANDLE technique = layer.Effect->GetCurrentTechnique();
    D3DXTECHNIQUE_DESC desc{};
    layer.Effect->GetTechniqueDesc(technique, &desc);
    EXPECT_EQ(desc.Passes, 2u) << "effect name 1 is loaded";
}

TEST_F(CloudLayerTest, NoTexturesBuildsAndAdvancesWithoutOne) {
    CloudLayer layer;
    Make(layer, {0, 1, 0}, {});
    EXPECT_EQ(layer.Texture, nullptr);
    layer.NextTexture();
    EXPECT_EQ(layer.TextureIndex, 0);
    EXPECT_EQ(layer.Texture, nullptr);
}

TEST_F(CloudLayerTest, NextTextureCycles) {
    CloudLayer three;
    Make(three, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga", "Data\\Textures\\cloud_b.tga", "Data\\Textures\\sun.tga"});
    for (int expected : {1, 2, 0, 1}) {
        IDirect3DTexture9* before = three.Texture;
        three.NextTexture();
        EXPECT_EQ(three.TextureIndex, expected);
        EXPECT_NE(three.Texture, before);
    }
    CloudLayer one;
    Make(one, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga"});
    const size_t before = Named("CreateTexture").size();
    one.NextTexture();
    EXPECT_EQ(one.TextureIndex, 0);
    EXPECT_EQ(Named("CreateTexture").size(), before + 1) << "the one texture is reloaded";
}

TEST_F(CloudLayerTest, EffectIndexOutsideZeroAndOneChangesNothing) {
    CloudLayer layer;
    Make(layer, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga"});
    layer.SelectEffect(0);
    ID3DXEffect* effect = layer.Effect;
    EXPECT_EQ(layer.EffectIndex, 0);
    for (int index : {2, -1, 1000}) {
        layer.SelectEffect(index);
        EXPECT_EQ(layer.EffectIndex, 0);
        EXPECT_EQ(layer.Effect, effect);
    }
    layer.SelectEffect(1);
    EXPECT_EQ(layer.EffectIndex, 1);
}

TEST_F(CloudLayerTest, AlphaIsTheTopByteAndSurvivesTheDraw) {
    CloudLayer layer;
    Make(layer, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga"});
    const struct { int alpha; uint32_t diffuse; } cases[] = {
        {128, 0x80000014u}, {255, 0xFF000014u}, {0, 0x00000014u}, {300, 0xFF000014u}, {-5, 0x00000014u}};
    for (const auto& c : cases) {
        layer.SetAlpha(c.alpha);
        layer.Scale = 2.0f;
        layer.Draw(0.0f);
        for (const CPVertex& v : layer.Vertices) {
            EXPECT_EQ(v.Diffuse, c.diffuse) << c.alpha;
        }
    }
}

TEST_F(CloudLayerTest, TheQuadOrbitsAtItsRadiusAndFacesTheCentre) {
    const D3DXVECTOR3 axes[] = {{0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {0.3f, -0.8f, 0.5f}, {-1, 0, 0.2f}};
    const float angles[] = {0.0f, 0.7f, 2.0f, -1.3f};
    for (const D3DXVECTOR3& axis : axes) {
        for (float angle : angles) {
            CloudLayer layer;
            Make(layer, axis, {"Data\\Textures\\cloud_a.tga"});
            layer.Phase = 0.4f;
            layer.DayAngle = angle;
            layer.Scale = 3.0f;
            layer.Draw(0.0f);
            const D3DXVECTOR3 p = layer.Position;
            EXPECT_NEAR(D3DXVec3Length(&p), 150.0f, 1e-3f);
            EXPECT_NEAR(D3DXVec3Dot(&p, &layer.OrbitAxis), 0.0f, 1e-3f);

            // Centre of the drawn quad at the position, its face turned to the origin, its
            // size the built one times the scale.
            const std::vector<CPVertex>& v = layer.Vertices;
            const D3DXVECTOR3 centre = (v[0].Position + v[2].Position) * 0.5f;
            EXPECT_NEAR(centre.x, p.x, 1e-2f);
            EXPECT_NEAR(centre.y, p.y, 1e-2f);
            EXPECT_NEAR(centre.z, p.z, 1e-2f);
            D3DXVECTOR3 e1 = v[1].Position - v[0].Position, e2 = v[3].Position - v[0].Position, n, toCentre;
            EXPECT_NEAR(D3DXVec3Length(&e1), 30.0f, 1e-2f);
            EXPECT_NEAR(D3DXVec3Length(&e2), 30.0f, 1e-2f);
            D3DXVec3Cross(&n, &e1, &e2);
            D3DXVec3Normalize(&n, &n);
            const D3DXVECTOR3 inward = -p;
            D3DXVec3Normalize(&toCentre, &inward);
            EXPECT_NEAR(std::fabs(D3DXVec3Dot(&n, &toCentre)), 1.0f, 1e-4f);
        }
    }
}

TEST_F(CloudLayerTest, AGrowingDayAngleMovesTheLayerBackward) {
    CloudLayer layer;
    Make(layer, {0, 1, 0}, {"Data\\Textures\\cloud_a.tga"});
    layer.Scale = 1.0f;
    layer.Draw(0.0f);
    // Axis y, phase 0, day angle 0: (R, 0, 0) turned by pi about y.
    EXPECT_NEAR(layer.Position.x, -150.0f, 1e-3f);
    EXPECT_NEAR(layer.Position.z, 0.0f, 1e-3f);
    layer.DayAngle = 1.5707964f;
    layer.Draw(0.0f);
    EXPECT_NEAR(layer.Position.x, 0.0f, 1e-3f);
    EXPECT_NEAR(layer.Position.z, -150.0f, 1e-3f);
}

}  // namespace
