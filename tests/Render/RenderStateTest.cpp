// Renderer state: the level-start defaults as recorded by the device, the texture filter
// rule, the light table, fade, ambient, debug lines, layers and screen projection.
#include "RenderFixture.h"

#include "Render/CPLevelSun.h"

#include <cmath>
#include <cstring>

using namespace RenderFixtures;

namespace {

DWORD Bits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

// One expected call: its name and its leading arguments.
struct ExpectedCall {
    const char* name;
    std::vector<uint64_t> args;
};

// The filter block of SetDefaultStates with "aniso" 0.
std::vector<ExpectedCall> LinearFilters() {
    std::vector<ExpectedCall> calls;
    for (uint64_t sampler = 0; sampler < 2; ++sampler) {
        calls.push_back({"SetSamplerState", {sampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}});
        calls.push_back({"SetSamplerState", {sampler, D3DSAMP_MINFILTER, D3DTEXF_LINEAR}});
        calls.push_back({"SetSamplerState", {sampler, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR}});
    }
    return calls;
}

std::vector<ExpectedCall> DefaultStateCalls(uint32_t ambient, uint32_t fogColor, float fogEnd) {
    std::vector<ExpectedCall> calls = {
        {"SetTransform", {D3DTS_VIEW}},
        {"SetTransform", {D3DTS_PROJECTION}},
        {"SetRenderState", {D3DRS_SPECULARENABLE, FALSE}},
        {"SetRenderState", {D3DRS_LIGHTING, TRUE}},
        {"SetRenderState", {D3DRS_ALPHABLENDENABLE, FALSE}},
        {"SetRenderState", {D3DRS_ZENABLE, TRUE}},
        {"SetRenderState", {D3DRS_ZWRITEENABLE, TRUE}},
        {"SetRenderState", {D3DRS_SRCBLEND, 5}},
        {"SetRenderState", {D3DRS_DESTBLEND, 6}},
    };
    for (const ExpectedCall& call : LinearFilters()) {
        calls.push_back(call);
    }
    const std::vector<ExpectedCall> rest = {
        {"SetTextureStageState", {0, D3DTSS_COLOROP, 4}},
        {"SetTextureStageState", {0, D3DTSS_COLORARG1, 2}},
        {"SetTextureStageState", {0, D3DTSS_COLORARG2, 0}},
        {"SetSamplerState", {0, D3DSAMP_ADDRESSU, 1}},
        {"SetSamplerState", {0, D3DSAMP_ADDRESSV, 1}},
        {"SetTextureStageState", {0, D3DTSS_ALPHAOP, 1}},
        {"SetTextureStageState", {0, D3DTSS_ALPHAARG1, 2}},
        {"SetTextureStageState", {0, D3DTSS_ALPHAARG2, 0}},
        {"SetRenderState", {D3DRS_ZFUNC, 4}},
        {"SetRenderState", {D3DRS_DITHERENABLE, TRUE}},
        {"SetRenderState", {D3DRS_CLIPPING, TRUE}},
        {"SetRenderState", {D3DRS_CULLMODE, 3}},
        {"SetRenderState", {D3DRS_AMBIENT, ambient}},
        {"SetFVF", {0x2D2}},
        {"SetTextureStageState", {1, D3DTSS_COLOROP, 1}},
        {"SetTextureStageState", {1, D3DTSS_ALPHAOP, 1}},
        {"SetTextureStageState", {1, D3DTSS_COLORARG1, 2}},
        {"SetTextureStageState", {1, D3DTSS_COLORARG2, 1}},
        {"SetTextureStageState", {1, D3DTSS_ALPHAARG1, 2}},
        {"SetTextureStageState", {1, D3DTSS_ALPHAARG2, 1}},
        {"SetSamplerState", {1, D3DSAMP_ADDRESSU, 3}},
        {"SetSamplerState", {1, D3DSAMP_ADDRESSV, 3}},
        {"SetTextureStageState", {2, D3DTSS_COLOROP, 1}},
        {"SetTextureStageState", {2, D3DTSS_ALPHAOP, 1}},
        {"SetMaterial", {}},
        {"SetRenderState", {D3DRS_DIFFUSEMATERIALSOURCE, 0}},
        {"SetRenderState", {D3DRS_SPECULARMATERIALSOURCE, 0}},
        {"SetRenderState", {D3DRS_AMBIENTMATERIALSOURCE, 0}},
        {"SetRenderState", {D3DRS_FOGENABLE, FALSE}},
        {"SetRenderState", {D3DRS_FOGVERTEXMODE, 3}},
        {"SetRenderState", {D3DRS_FOGDENSITY, Bits(0.0f)}},
        {"SetRenderState", {D3DRS_FOGSTART, Bits(50.0f)}},
        {"SetRenderState", {D3DRS_FOGEND, Bits(fogEnd)}},
        {"SetRenderState", {D3DRS_FOGCOLOR, fogColor}},
    };
    calls.insert(calls.end(), rest.begin(), rest.end());
    return calls;
}

void ExpectCalls(const std::vector<D3D9Call>& recorded, const std::vector<ExpectedCall>& expected) {
    ASSERT_EQ(recorded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i) + ": " + recorded[i].Text());
        EXPECT_EQ(recorded[i].name, expected[i].name);
        ASSERT_GE(recorded[i].args.size(), expected[i].args.size());
        for (size_t k = 0; k < expected[i].args.size(); ++k) {
            EXPECT_EQ(recorded[i].args[k], expected[i].args[k]) << "argument " << k;
        }
    }
}

D3DLIGHT9 Light(D3DLIGHTTYPE type, float x) {
    D3DLIGHT9 light;
    light.Type = type;
    light.Direction = {x, 0.0f, -1.0f};
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    return light;
}

bool MatrixNear(const D3DMATRIX& a, const D3DMATRIX& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(a.m[r][c] - b.m[r][c]) > 1e-6f) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class RenderStateTest : public RenderTest {};

TEST_F(RenderStateTest, SetDefaultStatesRecordsEveryStateInOrder) {
    render->Ambient = 0xFF7F7F7F;
    render->FogColor = 0xFF102030;
    render->SetDefaultStates();
    ExpectCalls(device->Calls(), DefaultStateCalls(0xFF7F7F7F, 0xFF102030, 180.0f));

    // The matrices and the material carry their values.
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, 14.5f), at(0, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0995574f, 1.3333334f, 0.1f, 1000.0f);
    EXPECT_TRUE(MatrixNear(device->Transform(D3DTS_VIEW), view));
    EXPECT_TRUE(MatrixNear(device->Transform(D3DTS_PROJECTION), projection));
    const D3DMATERIAL9& m = device->Material();
    EXPECT_FLOAT_EQ(m.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(m.Ambient.a, 1.0f);
    EXPECT_FLOAT_EQ(m.Specular.g, 0.3f);
    EXPECT_FLOAT_EQ(m.Specular.a, 1.0f);
    EXPECT_FLOAT_EQ(m.Emissive.r, 0.0f);
    EXPECT_FLOAT_EQ(m.Power, 10.0f);
}

TEST_F(RenderStateTest, FogEndFollowsTheViewDistance) {
    Cfg::distance = 500;
    render->SetDefaultStates();
    EXPECT_EQ(device->RenderState(D3DRS_FOGEND), Bits(450.0f));
}

TEST_F(RenderStateTest, SetDefaultStatesGivesTheInterfaceLayerAPixelCamera) {
    Cfg::screenWidth = 800;
    Cfg::screenHeight = 600;
    render->SetDefaultStates();
    ASSERT_EQ(render->Layers.count(195), 1u);
    const CPRenderLayer& layer = render->Layers.at(195);
    EXPECT_EQ(layer.Number, 195);
    EXPECT_EQ(layer.UseCount, 1);
    ASSERT_TRUE(layer.Camera);
    // Pixel (0, 0) is the top-left corner, (800, 600) the bottom-right one.
    D3DXVECTOR4 corner;
    const D3DXVECTOR3 topLeft(0, 0, 0), bottomRight(800, 600, 0);
    D3DXVec3Transform(&corner, &topLeft, &layer.Camera->View);
    EXPECT_FLOAT_EQ(corner.x, -1.0f);
    EXPECT_FLOAT_EQ(corner.y, 1.0f);
    D3DXVec3Transform(&corner, &bottomRight, &layer.Camera->View);
    EXPECT_FLOAT_EQ(corner.x, 1.0f);
    EXPECT_FLOAT_EQ(corner.y, -1.0f);
}

TEST_F(RenderStateTest, TextureFilterFollowsAniso) {
    struct Case {
        float aniso;
        DWORD filter0;
        DWORD maxAnisotropy;  // of sampler 0
    };
    const Case cases[] = {
        {0.0f, D3DTEXF_LINEAR, 1},
        {-1.0f, D3DTEXF_LINEAR, 1},
        {0.3f, D3DTEXF_ANISOTROPIC, 5},
        {2.0f, D3DTEXF_ANISOTROPIC, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aniso);
        D3DPRESENT_PARAMETERS parameters;
        device->Reset(&parameters);  // back to the defaults
        device->ClearCalls();
        Cfg::aniso = c.aniso;
        render->SetTextureFilter();
        EXPECT_EQ(device->SamplerState(0, D3DSAMP_MAGFILTER), c.filter0);
        EXPECT_EQ(device->SamplerState(0, D3DSAMP_MINFILTER), c.filter0);
        EXPECT_EQ(device->SamplerState(0, D3DSAMP_MIPFILTER), DWORD{D3DTEXF_LINEAR});
        EXPECT_EQ(device->SamplerState(0, D3DSAMP_MAXANISOTROPY), c.maxAnisotropy);
        for (D3DSAMPLERSTATETYPE type : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER}) {
            EXPECT_EQ(device->SamplerState(1, type), DWORD{D3DTEXF_LINEAR});
        }
        EXPECT_EQ(device->Calls().size(), c.aniso > 0.0f ? 7u : 6u);
    }
}

TEST_F(RenderStateTest, LightTableHoldsThirtyLights) {
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(render->AddLight(Light(D3DLIGHT_POINT, static_cast<float>(i))));
    }
    EXPECT_FALSE(render->AddLight(Light(D3DLIGHT_POINT, 99.0f)));
    EXPECT_EQ(render->LightCount, 30);
    EXPECT_FLOAT_EQ(render->Lights[29].Direction.x, 29.0f);

    CPLevelSun level;
    level.SunLight = Light(D3DLIGHT_DIRECTIONAL, 5.0f);
    level.AddSunLight();
    EXPECT_EQ(render->LightCount, 30);

    render->LightCount = 2;
    level.AddSunLight();
    EXPECT_EQ(render->LightCount, 3);
    EXPECT_EQ(render->Lights[2].Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(render->Lights[2].Direction.x, 5.0f);
}

TEST_F(RenderStateTest, ApplyLightsKeepsTheLastDirectionalLightAndEmptiesTheTable) {
    render->AddLight(Light(D3DLIGHT_DIRECTIONAL, 1.0f));
    render->AddLight(Light(D3DLIGHT_POINT, 2.0f));
    render->AddLight(Light(D3DLIGHT_DIRECTIONAL, 3.0f));
    render->ApplyLights();

    EXPECT_EQ(render->LightCount, 0);
    EXPECT_EQ(render->SunLight.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(render->SunLight.Direction.x, 3.0f);
    for (DWORD i = 0; i < 3; ++i) {
        ASSERT_NE(device->Light(i), nullptr);
        EXPECT_TRUE(device->LightEnabled(i));
    }
    EXPECT_FLOAT_EQ(device->Light(1)->Direction.x, 2.0f);
    EXPECT_EQ(device->CallsNamed("SetLight").size(), 3u);
    const auto enables = device->CallsNamed("LightEnable");
    ASSERT_EQ(enables.size(), 30u);
    for (DWORD i = 3; i < 30; ++i) {
        EXPECT_FALSE(device->LightEnabled(i));
    }
    // Entries are not cleared.
    EXPECT_FLOAT_EQ(render->Lights[2].Direction.x, 3.0f);

    // An empty table disables everything and keeps the sun light.
    device->ClearCalls();
    render->ApplyLights();
    EXPECT_TRUE(device->CallsNamed("SetLight").empty());
    EXPECT_EQ(device->CallsNamed("LightEnable").size(), 30u);
    EXPECT_FALSE(device->LightEnabled(0));
    EXPECT_FLOAT_EQ(render->SunLight.Direction.x, 3.0f);
}

TEST_F(RenderStateTest, FadeIsClampedToItsRange) {
    const struct {
        float value;
        float fade;
    } cases[] = {{-0.5f, 0.0f}, {1.5f, 200.0f}, {0.25f, 50.0f}, {1.0f, 200.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        render->SetFade(c.value);
        EXPECT_FLOAT_EQ(render->Fade, c.fade) << c.value;
    }
}

TEST_F(RenderStateTest, AmbientSetsTheColourTheFloatsAndTheDevice) {
    render->SetAmbient(0xFF406080, 0.25f, 0.375f, 0.5f);
    EXPECT_EQ(render->Ambient, 0xFF406080u);
    EXPECT_FLOAT_EQ(render->AmbientColor.g, 0.375f);
    EXPECT_FLOAT_EQ(render->AmbientColor.a, 1.0f);
    EXPECT_EQ(device->RenderState(D3DRS_AMBIENT), 0xFF406080u);
}

TEST_F(RenderStateTest, DebugLinesAreVertexPairs) {
    render->AddLine(0xFFFF0000, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6));
    EXPECT_TRUE(render->LinesPending);
    ASSERT_EQ(render->Lines.size(), 2u);
    EXPECT_EQ(render->Lines[0].Position, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(render->Lines[1].Position, D3DXVECTOR3(4, 5, 6));
    EXPECT_EQ(render->Lines[1].Diffuse, 0xFFFF0000u);
}

TEST_F(RenderStateTest, LayersAreMadeOnFirstUse) {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    render->SetLayerMatrix(identity, 17);
    const CPRenderLayer& layer = render->Layers.at(17);
    EXPECT_EQ(layer.UseCount, 1);
    EXPECT_EQ(layer.Number, 0);
    EXPECT_TRUE(layer.MatrixSet);
    EXPECT_FLOAT_EQ(layer.Matrix._44, 1.0f);

    auto first = std::make_unique<CPBaseCamera>();
    auto second = std::make_unique<CPBaseCamera>();
    render->SetLayerCamera(17, CPtr<CPBaseCamera>(first.get()));
    render->SetLayerCamera(17, CPtr<CPBaseCamera>(second.get()));
    EXPECT_EQ(render->Layers.size(), 1u);
    EXPECT_EQ(render->Layers.at(17).Number, 17);
    EXPECT_EQ(render->Layers.at(17).UseCount, 3);
    EXPECT_EQ(render->Layers.at(17).Camera.Get(), second.get());
    // The layer holds the camera only by reference: it goes before the cameras do.
    render->Layers.clear();
}

TEST_F(RenderStateTest, ProjectToScreenMapsTheViewAxisToTheScreenCentre) {
    Cfg::screenWidth = 800;
    Cfg::screenHeight = 600;
    D3DXVECTOR3 out;
    // ViewProjection starts as identity.
    render->ProjectToScreen(out, D3DXVECTOR3(0, 0, 0.5f));
    EXPECT_EQ(out, D3DXVECTOR3(400, 300, 0));

    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, 0), at(1, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.2f, 4.0f / 3.0f, 1.0f, 100.0f);
    D3DXMatrixMultiply(&render->ViewProjection, &view, &projection);
    render->ProjectToScreen(out, D3DXVECTOR3(10, 0, 0));
    EXPECT_NEAR(out.x, 400.0f, 1e-3f);
    EXPECT_NEAR(out.y, 300.0f, 1e-3f);
    EXPECT_EQ(out.z, 0.0f);
    // Up in the world is up on the screen (smaller y).
    render->ProjectToScreen(out, D3DXVECTOR3(10, 0, 1));
    EXPECT_LT(out.y, 300.0f);
}

TEST_F(RenderStateTest, RadialBlurDirectionsPointAwayFromTheCentre) {
    Cfg::screenWidth = 400;
    Cfg::screenHeight = 200;
    // No grid: nothing to do and nothing to touch.
    render->SetRadialBlurCenter(0.0f);
    EXPECT_TRUE(render->BlurDirections.empty());

    render->CreateBlurGrid(2, 2);
    ASSERT_EQ(render->BlurVertices.size(), 9u);
    // Centre (200, 100): the top-left vertex points up-left, the middle one has no direction.
    const float k = 1.0f / std::sqrt(5.0f);
    EXPECT_NEAR(render->BlurDirections[0].x, -2.0f * k, 1e-6f);
    EXPECT_NEAR(render->BlurDirections[0].y, -1.0f * k, 1e-6f);
    EXPECT_EQ(render->BlurDirections[4], D3DXVECTOR2(0, 0));

    // y = 1 moves the centre to the bottom edge: the middle vertex now points straight up.
    render->SetRadialBlurCenter(1.0f);
    EXPECT_NEAR(render->BlurDirections[4].y, -1.0f, 1e-6f);

    // With "blur" off nothing changes.
    Cfg::blur = 0;
    render->SetRadialBlurCenter(-1.0f);
    EXPECT_NEAR(render->BlurDirections[4].y, -1.0f, 1e-6f);
}

TEST_F(RenderStateTest, LoadSkyReplacesTheSkyThroughTheFactory) {
    struct FakeSky : CPRenderSky {
        explicit FakeSky(std::vector<std::string>& loads) : loads(loads) {}
        void Load(const std::string& fileName) override { loads.push_back(fileName); }
        std::vector<std::string>& loads;
    };
    std::vector<std::string> loads;
    render->LoadSky(3);
    EXPECT_EQ(render->Sky, nullptr);
    render->CreateSky = [&loads] { return std::make_unique<FakeSky>(loads); };
    render->LoadSky(3);
    CPRenderSky* first = render->Sky.get();
    ASSERT_NE(first, nullptr);
    render->LoadSky(12);
    EXPECT_NE(render->Sky.get(), nullptr);
    EXPECT_EQ(loads, (std::vector<std::string>{"skyscape3.txt", "skyscape12.txt"}));
}
