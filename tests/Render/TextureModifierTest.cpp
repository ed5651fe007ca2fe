// Texture modifiers: the factory's argument rules and each kind's vertices after 0, 1 and
// 1000 seconds of applies.
#include "Render/CPAnimModifier.h"
#include "Render/CPFadeModifier.h"
#include "Render/CPFlickModifier.h"
#include "Render/CPMovingTexModifier.h"
#include "Render/CPTextureModifier.h"
#include "core/FrameTime.h"
#include "platform/win32/CrtRand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class TextureModifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        CrtSrand(1);
        FrameTime = 0.0f;
    }
    void TearDown() override { FrameTime = 0.0f; }

    // Applies once with a frame of seconds to one vertex and returns it.
    static CPVertex ApplyOnce(CPTextureModifier& modifier, float seconds, const CPVertex& source) {
        FrameTime = seconds;
        CPVertex out;
        modifier.Apply(&out, &source, 1);
        return out;
    }

    static CPVertex Sample() {
        CPVertex v;
        v.Position = D3DXVECTOR3(4.0f, -2.0f, 1.0f);
        v.Normal = D3DXVECTOR3(0.5f, 0.25f, 0.0f);
        v.Diffuse = 0x80123456u;
        v.U = 0.5f;
        v.V = 0.25f;
        return v;
    }
};

std::unique_ptr<CPTextureModifier> Make(const std::string& keyword, const std::vector<std::string>& args) {
    return CPTextureModifier::Create(keyword, args);
}

}  // namespace

TEST_F(TextureModifierTest, FactoryChecksKeywordsAndArguments) {
    const struct {
        const char* keyword;
        std::vector<std::string> args;
        bool made;
    } cases[] = {
        {"MovingTex", {"0.5", "-0.25"}, true},
        {"movingtex", {"0.5", "-0.25", "1"}, false},
        {"movingtex", {"0.5", "1e3"}, false},
        {"movingtex", {"0.5"}, false},
        {"environment", {"2"}, true},
        {"ENVIRONMENT", {"2", "3"}, false},
        {"fade", {"255"}, true},
        {"fade", {"fast"}, false},
        {"flick", {"3", "100", "200"}, true},
        {"anim", {"4", "2", "8"}, true},
        {"anim", {"0", "2", "8"}, false},
        {"anim", {"4", "-1", "8"}, false},
        {"anim", {"4", "", "8"}, false},
        {"anim", {"100000", "100000", "8"}, false},
        {"spin", {"1"}, false},
        {"", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + " with " + std::to_string(c.args.size()) + " arguments");
        EXPECT_EQ(Make(c.keyword, c.args) != nullptr, c.made);
    }
}

TEST_F(TextureModifierTest, EnvironmentDerivesSecondCoordinates) {
    auto modifier = Make("environment", {"2"});
    for (float seconds : {0.0f, 1.0f, 1000.0f}) {
        const CPVertex v = ApplyOnce(*modifier, seconds, Sample());
        EXPECT_FLOAT_EQ(v.U2, 4.0f / 2.0f + 0.25f);
        EXPECT_FLOAT_EQ(v.V2, -2.0f / 2.0f + 0.125f);
        EXPECT_EQ(v.U, 0.5f);
        EXPECT_EQ(v.Diffuse, 0x80123456u);
    }
}

TEST_F(TextureModifierTest, FadeFallsToZeroAndResets) {
    auto modifier = Make("fade", {"255"});
    EXPECT_EQ(ApplyOnce(*modifier, 0.0f, Sample()).Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(ApplyOnce(*modifier, 0.5f, Sample()).Diffuse, 0x7FFFFFFFu);  // 127.5
    EXPECT_EQ(ApplyOnce(*modifier, 0.5f, Sample()).Diffuse, 0x00FFFFFFu);
    EXPECT_EQ(ApplyOnce(*modifier, 1000.0f, Sample()).Diffuse, 0x00FFFFFFu);
    modifier->Reset();
    EXPECT_EQ(ApplyOnce(*modifier, 0.0f, Sample()).Diffuse, 0xFFFFFFFFu);

    // A negative rate stops at full alpha instead of wrapping.
    auto rising = Make("fade", {"-10"});
    EXPECT_EQ(ApplyOnce(*rising, 1000.0f, Sample()).Diffuse, 0xFFFFFFFFu);

    // Hostile rates and frames: a step past the float range is infinite, and infinity minus
    // infinity is NaN; the alpha stays a clamped byte (never a NaN cast) and moves again.
    auto huge = Make("fade", {"-1" + std::string(38, '0')});
    ASSERT_NE(huge, nullptr);
    EXPECT_EQ(ApplyOnce(*huge, 10.0f, Sample()).Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(ApplyOnce(*huge, -10.0f, Sample()).Diffuse, 0x00FFFFFFu);
    auto swinging = Make("fade", {"-10"});
    EXPECT_EQ(ApplyOnce(*swinging, 1e38f, Sample()).Diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(ApplyOnce(*swinging, -1e38f, Sample()).Diffuse, 0x00FFFFFFu);
    EXPECT_EQ(ApplyOnce(*swinging, 12.75f, Sample()).Diffuse, 0x7FFFFFFFu);
    EXPECT_TRUE(std::isfinite(static_cast<CPFadeModifier&>(*swinging).Value));
}

TEST_F(TextureModifierTest, MovingTexOffsetsStayInTheUnitRange) {
    auto modifier = Make("movingtex", {"0.5", "-0.25"});
    for (float seconds : {0.0f, 1.0f, 1000.0f, 1.0e9f}) {
        auto* moving = static_cast<CPMovingTexModifier*>(modifier.get());
        const float u = moving->OffsetU;
        const CPVertex v = ApplyOnce(*modifier, seconds, Sample());
        EXPECT_GE(moving->OffsetU, 0.0f);
        EXPECT_LE(moving->OffsetU, 1.0f);
        EXPECT_GE(moving->OffsetV, 0.0f);
        EXPECT_LE(moving->OffsetV, 1.0f);
        EXPECT_FLOAT_EQ(v.U, 0.5f + moving->OffsetU);
        EXPECT_FLOAT_EQ(v.V, 0.25f + moving->OffsetV);
        if (seconds == 1.0f) {
            EXPECT_FLOAT_EQ(moving->OffsetU, CPMovingTexModifier::Wrap(u + 0.5f));
        }
    }
    // The loop of repeated steps gives exactly these results.
    const struct {
        float in, out;
    } wraps[] = {{0.5f, 0.5f}, {1.0f, 1.0f}, {2.0f, 1.0f}, {2.25f, 0.25f}, {0.0f, 0.0f}, {-1.0f, 0.0f},
                 {-0.25f, 0.75f}, {-3.5f, 0.5f}, {1.0e30f, 0.0f}, {std::numeric_limits<float>::infinity(), 0.0f}};
    for (const auto& w : wraps) {
        EXPECT_FLOAT_EQ(CPMovingTexModifier::Wrap(w.in), w.out) << w.in;
    }
}

TEST_F(TextureModifierTest, FlickScalesAlphaBetweenLowAndHigh) {
    auto modifier = Make("flick", {"3", "100", "200"});
    auto* flick = static_cast<CPFlickModifier*>(modifier.get());
    EXPECT_EQ(flick->Centre, 150);
    CPVertex opaque = Sample();
    opaque.Diffuse = 0xFF000000u;
    for (float seconds : {0.0f, 1.0f, 1000.0f, 0.37f, 0.11f}) {
        const CPVertex v = ApplyOnce(*modifier, seconds, opaque);
        EXPECT_GE(flick->Value, 100);
        EXPECT_LE(flick->Value, 200);
        EXPECT_EQ(v.Diffuse & 0x00FFFFFFu, 0x00FFFFFFu);
        EXPECT_EQ(v.Diffuse >> 24, static_cast<uint32_t>(255.0f * flick->Value * 0.003921569f));
    }

    // Integer arguments take the whole numbers before the point: ".5" is 0, "-.5" is 0,
    // "300" keeps its low byte, and numbers past the int range saturate.
    const struct {
        const char* low;
        const char* high;
        uint8_t wantLow;
        uint8_t wantHigh;
    } bytes[] = {
        {".5", "200.9", 0, 200}, {"-.5", "300", 0, 44}, {"99999999999", "-99999999999", 0xFF, 0},
    };
    for (const auto& b : bytes) {
        SCOPED_TRACE(std::string(b.low) + " " + b.high);
        auto made = Make("flick", {"3", b.low, b.high});
        ASSERT_NE(made, nullptr);
        auto* f = static_cast<CPFlickModifier*>(made.get());
        EXPECT_EQ(f->Low, b.wantLow);
        EXPECT_EQ(f->High, b.wantHigh);
    }
}

TEST_F(TextureModifierTest, AnimStepsThroughTheCellsRowByRow) {
    auto modifier = Make("anim", {"4", "2", "8"});
    auto* anim = static_cast<CPAnimModifier*>(modifier.get());
    const struct {
        float step;
        int cell;
        float u, v;
    } steps[] = {
        {0.0f, 0, 0.125f, 0.125f},       {0.1f, 0, 0.125f, 0.125f},  {0.4f, 4, 0.125f, 0.625f},
        {0.5f, 0, 0.125f, 0.125f},       {1000.0f, 0, 0.125f, 0.125f}, {0.125f, 1, 0.375f, 0.125f},
    };
    for (const auto& s : steps) {
        const CPVertex v = ApplyOnce(*modifier, s.step, Sample());
        EXPECT_EQ(anim->Cell, s.cell) << "after " << anim->Time << " s";
        EXPECT_FLOAT_EQ(v.U, s.u);
        EXPECT_FLOAT_EQ(v.V, s.v);
    }
    // Running backwards still picks a cell of the grid.
    auto backwards = Make("anim", {"4", "2", "-8"});
    ApplyOnce(*backwards, 0.125f, Sample());
    EXPECT_EQ(static_cast<CPAnimModifier*>(backwards.get())->Cell, 7);
}

TEST_F(TextureModifierTest, ClonesCarryTheirClockAndTables) {
    auto modifier = Make("anim", {"4", "2", "8"});
    ApplyOnce(*modifier, 0.5f, Sample());
    auto copy = modifier->Clone();
    modifier.reset();
    auto* anim = static_cast<CPAnimModifier*>(copy.get());
    EXPECT_EQ(anim->Cell, 4);
    EXPECT_FLOAT_EQ(anim->OffsetV[4], 0.5f);
    ApplyOnce(*copy, 0.125f, Sample());
    EXPECT_EQ(anim->Cell, 5);

    auto fade = Make("fade", {"255"});
    ApplyOnce(*fade, 0.5f, Sample());
    EXPECT_EQ(ApplyOnce(*fade->Clone(), 0.0f, Sample()).Diffuse, 0x7FFFFFFFu);
}

TEST_F(TextureModifierTest, ApplyWorksInPlace) {
    auto modifier = Make("movingtex", {"0", "0"});
    std::vector<CPVertex> vertices(3, Sample());
    FrameTime = 0.0f;
    modifier->Apply(vertices.data(), vertices.data(), 3);
    for (const CPVertex& v : vertices) {
        EXPECT_FLOAT_EQ(v.U, 0.5f);
    }
}
