// The loading screen: one whole frame per call, its quads scaled from the 1024 x 768 layout,
// the background at its own size, and its pictures' failures.
#include "RenderFixture.h"

#include "platform/d3d9/D3D9Texture.h"

#include <cstring>

using namespace RenderFixtures;

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

class LoadingScreenTest : public RenderTest {
protected:
    std::vector<const D3D9Call*> Draws() const {
        std::vector<const D3D9Call*> draws;
        for (const D3D9Call& call : device->Calls()) {
            if (call.name == "DrawPrimitiveUP") {
                draws.push_back(&call);
            }
        }
        return draws;
    }
    static std::vector<ScreenVertex> Vertices(const D3D9Call& draw) {
        std::vector<ScreenVertex> vertices(draw.data.size() / sizeof(ScreenVertex));
        std::memcpy(vertices.data(), draw.data.data(), vertices.size() * sizeof(ScreenVertex));
        return vertices;
    }
};

TEST_F(LoadingScreenTest, FramesAtEachSizeAndPercent) {
    WriteFile("Data/Textures/back2.jpg", MakeTga(64, 48));
    WriteTexture("load.tga", 8, 8);
    const struct {
        int width, height, percent;
        float barLength, barTop, barBottom;
    } cases[] = {
        {1024, 768, 0, 0.0f, 758.0f, 768.0f},      {1024, 768, 50, 512.0f, 758.0f, 768.0f},
        {1024, 768, 100, 1024.0f, 758.0f, 768.0f}, {800, 600, 0, 0.0f, 592.1875f, 600.0f},
        {800, 600, 50, 400.0f, 592.1875f, 600.0f}, {800, 600, 100, 800.0f, 592.1875f, 600.0f},
        {1024, 768, 150, 1024.0f, 758.0f, 768.0f}, {1024, 768, -20, 0.0f, 758.0f, 768.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.percent << "%");
        Cfg::screenWidth = c.width;
        Cfg::screenHeight = c.height;
        device->ClearCalls();
        render->DrawLoadingScreen(c.percent);
        const auto draws = Draws();
        ASSERT_EQ(draws.size(), 2u);
        const float w = static_cast<float>(c.width), h = static_cast<float>(c.height);
        const std::vector<ScreenVertex> background = Vertices(*draws[0]);
        ASSERT_EQ(background.size(), 4u);
        const float expectedBackground[4][4] = {
            {w - 0.5f, -0.5f, 1, 0}, {w - 0.5f, h - 0.5f, 1, 1}, {-0.5f, -0.5f, 0, 0}, {-0.5f, h - 0.5f, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(background[i].x, expectedBackground[i][0]);
            EXPECT_FLOAT_EQ(background[i].y, expectedBackground[i][1]);
            EXPECT_FLOAT_EQ(background[i].u, expectedBackground[i][2]);
            EXPECT_FLOAT_EQ(background[i].v, expectedBackground[i][3]);
            EXPECT_EQ(background[i].color, 0u);
            EXPECT_EQ(background[i].z, 1.0f);
            EXPECT_EQ(background[i].rhw, 1.0f);
        }
        const std::vector<ScreenVertex> bar = Vertices(*draws[1]);
        ASSERT_EQ(bar.size(), 4u);
        const float p = static_cast<float>(std::clamp(c.percent, 0, 100));
        const float expectedBar[4][4] = {{c.barLength, c.barTop, p, 0},
                                         {c.barLength, c.barBottom, p, 1},
                                         {0, c.barTop, 0, 0},
                                         {0, c.barBottom, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(bar[i].x, expectedBar[i][0], 1e-3f);
            EXPECT_FLOAT_EQ(bar[i].y, expectedBar[i][1]);
            EXPECT_FLOAT_EQ(bar[i].u, expectedBar[i][2]);
            EXPECT_FLOAT_EQ(bar[i].v, expectedBar[i][3]);
            EXPECT_EQ(bar[i].color, 0xFFFFFFFFu);
        }
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(LoadingScreenTest, OneWholeFrameInOrderWithItsStates) {
    WriteFile("Data/Textures/back2.jpg", MakeTga(64, 48));
    WriteTexture("load.tga", 8, 8);
    render->DrawLoadingScreen(30);
    ASSERT_NE(render->LoadingBackground, nullptr);
    ASSERT_NE(render->LoadingBar, nullptr);
    const auto background = reinterpret_cast<uint64_t>(render->LoadingBackground);
    const auto bar = reinterpret_cast<uint64_t>(render->LoadingBar);
    const std::vector<std::pair<std::string, std::vector<uint64_t>>> expected = {
        {"Clear", {0, 0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000}},
        {"BeginScene", {}},
        {"SetTransform", {D3DTS_WORLD}},
        {"SetTransform", {D3DTS_PROJECTION}},
        {"SetTransform", {D3DTS_VIEW}},
        {"SetTextureStageState", {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}},
        {"SetTextureStageState", {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}},
        {"SetTextureStageState", {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}},
        {"SetRenderState", {D3DRS_ZWRITEENABLE, FALSE}},
        {"SetRenderState", {D3DRS_ZENABLE, FALSE}},
        {"SetRenderState", {D3DRS_LIGHTING, FALSE}},
        {"SetRenderState", {D3DRS_CULLMODE, D3DCULL_NONE}},
        {"SetRenderState", {D3DRS_ALPHABLENDENABLE, TRUE}},
        {"SetRenderState", {D3DRS_FOGENABLE, FALSE}},
        {"SetFVF", {0x144}},
        {"SetTexture", {0, background}},
        {"DrawPrimitiveUP", {D3DPT_TRIANGLESTRIP, 2, 28}},
        {"SetTextureStageState", {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}},
        {"SetTextureStageState", {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}},
        {"SetTexture", {0, bar}},
        {"DrawPrimitiveUP", {D3DPT_TRIANGLESTRIP, 2, 28}},
        {"EndScene", {}},
        {"Present", {0, 0, 0, 0}},
    };
    // The texture creation's own calls come first; the frame is the tail of the record.
    const auto& calls = device->Calls();
    ASSERT_GE(calls.size(), expected.size());
    const size_t start = calls.size() - expected.size();
    for (size_t i = 0; i < expected.size(); ++i) {
        const D3D9Call& call = calls[start + i];
        EXPECT_EQ(call.name, expected[i].first) << i;
        for (size_t a = 0; a < expected[i].second.size() && a < call.args.size(); ++a) {
            EXPECT_EQ(call.args[a], expected[i].second[a]) << call.Text();
        }
    }
    // The background keeps its own size: no power-of-two stretching.
    D3DSURFACE_DESC desc{};
    render->LoadingBackground->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 48u);
}

TEST_F(LoadingScreenTest, MissingPicturesAreSilentAndTriedAgain) {
    render->DrawLoadingScreen(10);
    EXPECT_EQ(render->LoadingBackground, nullptr);
    EXPECT_EQ(render->LoadingBar, nullptr);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(Draws().size(), 2u);  // the quads are drawn untextured

    WriteTexture("load.tga", 8, 8);
    HostFiles::ClearCache();
    render->DrawLoadingScreen(20);
    EXPECT_NE(render->LoadingBar, nullptr);
    IDirect3DTexture9* first = render->LoadingBar;
    render->DrawLoadingScreen(30);
    EXPECT_EQ(render->LoadingBar, first);  // loaded once
}

TEST_F(LoadingScreenTest, RefusedPicturesAreReportedOnTheirLines) {
    WriteFile("Data/Textures/back2.jpg", TextBytes("not a picture"));
    WriteFile("Data/Textures/load.tga", TextBytes("nor this"));
    render->DrawLoadingScreen(50);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].File, "Render/PRender");
    EXPECT_EQ(reports[0].Line, 110);
    EXPECT_EQ(reports[1].Line, 135);
    EXPECT_EQ(Draws().size(), 2u);
}

TEST_F(LoadingScreenTest, NoDeviceDrawsNothing) {
    render->Device = nullptr;
    render->DrawLoadingScreen(50);
    render->Device = device;
    EXPECT_TRUE(device->Calls().empty());
}

}  // namespace
