// The lens flare: elements placed along the line from the light through the screen centre,
// and the fade by the time between submits.
#include "InterfaceFixture.h"

#include "interface/CPLensFlare.h"
#include "platform/win32/Clock.h"

namespace {

using InterfaceFixtures::InterfaceTest;

class LensFlare : public InterfaceTest {
protected:
    void SetUp() override {
        InterfaceTest::SetUp();
        PlatformClock::UseManual(5'000'000'000ull);  // long after start-up
        WriteFile("lensflare2.int",
                  "flare.tga\t50\t1.0\t1.0\t4294901760\t40\t40\t0\t0\n"
                  "other.tga\t0\t0.5\t2\t16777215\t20\t20\t40\t0\n"
                  "flare.tga\t100\t0\t0\t0\t40\t40\t0\t0\n");
    }
    void TearDown() override {
        PlatformClock::UseReal();
        InterfaceTest::TearDown();
    }
};

TEST_F(LensFlare, ElementsAlongTheLineThroughTheCentre) {
    CPLensFlare& flare = Load<CPLensFlare>("lensflare2", 198);
    EXPECT_EQ(flare.GetTypeName(), "CPInterface - Interface");
    ASSERT_EQ(flare.Flares.size(), 3u);
    ASSERT_EQ(flare.WindowOrder.size(), 3u);
    EXPECT_EQ(flare.Mesh->Material->Type, 398);
    const FlareElement& first = flare.Flares[0];
    EXPECT_EQ(first.Width, 96);
    EXPECT_EQ(first.HalfWidth, 48);
    const FlareElement& second = flare.Flares[1];
    EXPECT_EQ(second.Width, 48);
    EXPECT_EQ(second.HalfWidth, 12);
    EXPECT_EQ(second.HalfHeight, 48);
    EXPECT_EQ(second.U, 96);

    const CPWindow& w0 = *flare.WindowOrder.front();
    EXPECT_EQ(w0.Name, "0");
    EXPECT_EQ(w0.Vertices[2].Position, D3DXVECTOR3(96.0f, 96.0f, 0.0f));
    EXPECT_FLOAT_EQ(w0.Vertices[2].U, 40.0f / 512.0f);
    EXPECT_FLOAT_EQ(w0.Vertices[2].V, 40.0f / 512.0f);
    const CPWindow& w1 = **std::next(flare.WindowOrder.begin());
    EXPECT_NEAR(w1.Vertices[0].U, 40.0f / 512.0f, 1e-6);

    flare.SetLightVisible(true);
    flare.SetLightPosition(100, 100);
    flare.Submit();
    EXPECT_EQ(w0.X, 464.0f);  // its centre is the screen's centre
    EXPECT_EQ(w0.Y, 336.0f);
    EXPECT_EQ(w1.X, 100.0f - 12.0f);  // line position 0 sits on the light
    const CPWindow& w2 = **std::prev(flare.WindowOrder.end());
    EXPECT_EQ(w2.X, 924.0f);  // 100: opposite the light; a zero scale gives an empty quad
    EXPECT_EQ(w2.Y, 668.0f);
    EXPECT_EQ(w2.Vertices[2].Position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(flare.Mesh->Vertices.size(), 12u);
    EXPECT_EQ(flare.Mesh->Vertices[0].Position, D3DXVECTOR3(464.0f, 336.0f, 0.0f));
    EXPECT_EQ(host->StaticBatcher().FrameBlocks.count(flare.Mesh->Material.Get()), 1u);
}

TEST_F(LensFlare, FadesByTheTimeBetweenSubmits) {
    CPLensFlare& flare = Load<CPLensFlare>("lensflare2", 198);
    flare.SetLightPosition(100, 100);
    flare.SetLightVisible(true);
    flare.Submit();  // the first counts no time, however long the system has run
    EXPECT_EQ(flare.Alpha, 0.0f);
    const CPWindow& w0 = *flare.WindowOrder.front();
    EXPECT_EQ(w0.Color, 0x00FF0000u);

    const struct {
        uint64_t ms;
        bool visible;
        float alpha;
    } steps[] = {{1000, true, 50.0f}, {1000, true, 100.0f}, {4000, true, 255.0f},
                 {20, false, 254.0f}, {2000, false, 154.0f}, {9000, false, 0.0f}};
    for (const auto& s : steps) {
        PlatformClock::AdvanceMilliseconds(s.ms);
        flare.SetLightVisible(s.visible);
        flare.Submit();
        EXPECT_FLOAT_EQ(flare.Alpha, s.alpha);
        const uint32_t alpha = static_cast<uint32_t>(static_cast<int>(s.alpha)) << 24;
        EXPECT_EQ(w0.Color, alpha | 0x00FF0000u);
        EXPECT_EQ(flare.Mesh->Vertices[0].Diffuse, alpha | 0x00FF0000u);
    }
}

TEST_F(LensFlare, EmptyFileAndUnsetLightDrawNothing) {
    WriteFile("empty.int", "// no elements\n");
    CPLensFlare& empty = Load<CPLensFlare>("empty", 198);
    EXPECT_TRUE(empty.Flares.empty());
    EXPECT_FALSE(empty.Mesh->Material);
    empty.SetLightVisible(true);
    empty.SetLightPosition(10, 10);
    empty.Submit();
    CPLensFlare& missing = Load<CPLensFlare>("nosuchflare", 198);
    missing.Submit();

    CPLensFlare& unset = Load<CPLensFlare>("lensflare2", 198);
    unset.SetLightVisible(true);
    unset.Submit();
    EXPECT_EQ(host->StaticBatcher().FrameBlocks.size(), 0u);
    EXPECT_TRUE(host->RunFrame(0.02f));
}

}  // namespace
