// The host's renderer: made on the recording device with its managers and effect pool, taken
// down with them, and brought back after a device loss.
#include "host/Host.h"

#include "DynamicSky/Skyscape.h"
#include "Render/CPDeviceObject.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/Singletons.h"
#include "platform/d3dx/D3DXEffectObject.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

namespace {

class HostRender : public ::testing::Test {
protected:
    void SetUp() override {
        scratch.Write("Data/Effects/lit.fx", "texture tex0;\ntechnique T { pass P { } }\n");
        HostFiles::ClearCache();
        Cfg::ResetDefaults();
    }
    void TearDown() override { HostFiles::ClearCache(); }

    ScratchFolder scratch{"host_render_test"};
};

TEST_F(HostRender, CreatesTheRendererAndItsManagersWhileItLives) {
    {
        Host host;
        EXPECT_EQ(GetRender(), &host.Render());
        EXPECT_EQ(host.Render().Device, &host.RenderDevice());
        EXPECT_EQ(host.Render().MaxAnisotropy, 16);
        EXPECT_GT(host.Render().MaxFade, 0);
        EXPECT_FALSE(host.Render().BlurVertices.empty());
        EXPECT_EQ(CPEffectManager::Instance, &host.EffectManager());
        EXPECT_NE(host.EffectManager().Pool, nullptr);
        EXPECT_EQ(CPTextureManager::Instance, &host.TextureManager());
        EXPECT_EQ(CPMaterialManager::Instance, &host.MaterialManager());
        EXPECT_EQ(CPAnimationManager::Instance, &host.AnimationManager());
        EXPECT_EQ(CPSceneLoader::Instance, &host.SceneLoader());

        CPtr<CPMaterial> material = host.MaterialManager().GetMaterial("lit.fx,shared", {}, 0);
        ASSERT_TRUE(material);
        EXPECT_NE(material->Effect->Effect, nullptr);
        EXPECT_EQ(material->Render, &host.Render());

        // A level's sky comes from the host's factory, even when its file is missing.
        host.Render().LoadSky(7);
        EXPECT_NE(dynamic_cast<Skyscape*>(host.Render().Sky.get()), nullptr);
    }
    EXPECT_EQ(GetRender(), nullptr);
    EXPECT_EQ(CPEffectManager::Instance, nullptr);
    EXPECT_EQ(CPTextureManager::Instance, nullptr);
    EXPECT_EQ(CPMaterialManager::Instance, nullptr);
    EXPECT_EQ(CPAnimationManager::Instance, nullptr);
    EXPECT_EQ(CPSceneLoader::Instance, nullptr);
}

TEST_F(HostRender, RestoresALostDevice) {
    Host host;
    CPtr<CPEffect> effect = host.EffectManager().GetEffect("lit.fx");
    ASSERT_NE(effect->Effect, nullptr);
    auto* fx = static_cast<D3DXEffectObject*>(effect->Effect);
    host.Render().SetDefaultStates();
    EXPECT_TRUE(host.RestoreDevice());  // not lost: nothing to do
    EXPECT_EQ(host.RenderDevice().ResetCount(), 0);

    host.RenderDevice().LoseDevice(false);
    EXPECT_FALSE(host.RestoreDevice());  // not yet resettable
    host.RenderDevice().LoseDevice(true);
    EXPECT_TRUE(host.RestoreDevice());
    EXPECT_EQ(host.RenderDevice().ResetCount(), 1);
    EXPECT_EQ(fx->LostCount(), 1);
    EXPECT_EQ(fx->ResetCount(), 1);
    EXPECT_EQ(host.RenderDevice().FVF(), 0x2D2u);
}

}  // namespace
