#include "SkyRenderTest.h"

#include "DynamicSky/Skyscape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

class SkyscapeTest : public SkyRenderTest {
protected:
    std::unique_ptr<Skyscape> LoadFixture() {
        auto sky = std::make_unique<Skyscape>();
        sky->Load("skyscape1.txt");
        return sky;
    }
    uint32_t FogColour() const { return render->FogColor; }
    uint32_t AmbientColour() const { return render->Ambient; }
    static uint32_t Argb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }
    // Diffuse of the first vertex of a dome ring, as drawn.
    static uint32_t RingDiffuse(const Skyscape& sky, int ring) {
        return sky.Vertices[static_cast<size_t>(ring) * (sky.DomeSegments + 1)].Diffuse;
    }
};

TEST_F(SkyscapeTest, LoadBuildsTheWholeSky) {
    auto sky = LoadFixture();
    EXPECT_FLOAT_EQ(sky->TimeScale, 2.0f);
    EXPECT_EQ(sky->DomeSegments, 16);
    EXPECT_EQ(sky->SourceVertices.size(), 17u * 5u);
    EXPECT_EQ(sky->Indices.size(), 6u * 4u * 16u);
    EXPECT_EQ(sky->RingColourCount, 3);
    EXPECT_EQ(sky->RingsPerBand, 2);  // 16 / (4 * 3 - 4)
    EXPECT_NE(sky->Texture, nullptr);
    EXPECT_NE(sky->Effect, nullptr);
    EXPECT_NE(sky->Effect2, nullptr);
    EXPECT_EQ(sky->Layers.size(), 2u);
    ASSERT_EQ(sky->CloudLayers.size(), 2u);
    EXPECT_EQ(sky->CloudLayers[1]->Textures.size(), 2u);
    EXPECT_EQ(sky->CloudLayers[1]->TextureIndex, 1) << "layer 0 advances the second cloud layer's texture";
    EXPECT_EQ(sky->CloudLayers[1]->EffectIndex, 1);
    EXPECT_EQ(sky->CloudSets.size(), 2u);
    ASSERT_EQ(sky->Schedule.Entries.size(), 2u);
    EXPECT_EQ(sky->EntryIndex, 0);
    EXPECT_EQ(sky->Entry.CloudSetName, "clear.txt");
    ASSERT_EQ(sky->ActiveCloudSets.size(), 1u);
    EXPECT_EQ(sky->ActiveCloudSets[0], sky->CloudSets["clear.txt"].get());
    EXPECT_FALSE(sky->ActiveCloudSets[0]->Done);
    // 10 + (41 mod 100) x 0.1 - 10 x 0.5, 41 being the generator's first value.
    EXPECT_FLOAT_EQ(sky->EntryDuration, 10.0f + 4.1f - 5.0f);
    EXPECT_EQ(sky->Running.RingColours, sky->Layers[0].RingColours);
    EXPECT_FLOAT_EQ(sky->Rates.SunColour.x, (100.0f - 200.0f) / 10.0f);
}

TEST_F(SkyscapeTest, RatesWrapTheDayAngleAfterTheLastLayer) {
    auto sky = LoadFixture();
    const float day0 = sky->Layers[0].DayAngles[1], day1 = sky->Layers[1].DayAngles[1];
    EXPECT_FLOAT_EQ(sky->Rates.DayAngles[1], (day1 - day0) / 10.0f);
    sky->CurrentLayer = 1;
    sky->BeginLayer();
    EXPECT_FLOAT_EQ(sky->Rates.DayAngles[1], (day0 - (day1 - 6.2831855f)) / 5.0f);
    EXPECT_FLOAT_EQ(sky->Rates.Alpha, (200.0f - 100.0f) / 5.0f);
}

TEST_F(SkyscapeTest, LoadSkyKeepsASkyWhoseFileIsMissing) {
    render->CreateSky = [] { return std::make_unique<Skyscape>(); };
    render->LoadSky(1);
    auto* sky = dynamic_cast<Skyscape*>(render->Sky.get());
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->Layers.size(), 2u);

    render->LoadSky(7);
    sky = dynamic_cast<Skyscape*>(render->Sky.get());
    ASSERT_NE(sky, nullptr);
    EXPECT_TRUE(sky->Layers.empty());
    EXPECT_TRUE(sky->SourceVertices.empty());
    EXPECT_NE(sky->Effect2, nullptr) << "the light effect is loaded in every case";
    // Such a sky draws nothing, but still applies the lights and clears the depth.
    render->LightCount = 3;
    device->ClearCalls();
    render->Sky->Render(0.02f);  // as the frame drawing calls it
    EXPECT_TRUE(Named("DrawIndexedPrimitive").empty());
    EXPECT_EQ(Named("Clear").size(), 1u);
    EXPECT_EQ(Named("LightEnable").size(), 30u);
    EXPECT_EQ(render->LightCount, 0);
    render->Sky.reset();
}

TEST_F(SkyscapeTest, DomeColoursFromTheRingBands) {
    auto sky = LoadFixture();
    sky->Render(0.02f);
    // Alpha 200; bands of two rings stepping 10 per ring from each key colour, the last band
    // one ring more; no glow before the sun has been placed.
    const uint32_t rings[5][3] = {{110, 160, 210}, {120, 170, 220}, {130, 180, 230}, {140, 190, 240}, {150, 200, 250}};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(RingDiffuse(*sky, r), 0xC8000000u | rings[r][0] << 16 | rings[r][1] << 8 | rings[r][2]) << r;
    }
    // The sun is placed after the dome is coloured, from where the sun layer was drawn last:
    // from the third frame on the dome glows toward it, most on the horizon vertex at -x.
    sky->Render(0.02f);
    EXPECT_EQ(Skyscape::SunPosition.x, sky->CloudLayers[0]->Position.x * 100.0f);
    sky->Render(0.02f);
    const CPVertex& towardSun = sky->Vertices[8];  // ring 0, theta = pi
    const float glow = 56.0f * towardSun.Normal.x;  // -(n . s) with s = (-1, 0, 0)
    EXPECT_GT(glow, 55.0f);
    EXPECT_EQ(towardSun.Diffuse, 0xC8000000u | static_cast<uint32_t>(std::min(110.0f + glow, 255.0f)) << 16 |
                                     static_cast<uint32_t>(std::min(160.0f + glow, 255.0f)) << 8 |
                                     static_cast<uint32_t>(std::min(210.0f + glow, 255.0f)));
    EXPECT_EQ(sky->Vertices[0].Diffuse, RingDiffuse(*sky, 0)) << "the far side has no glow";
    EXPECT_EQ(sky->Vertices[0].Diffuse, 0xC86EA0D2u);
}

TEST_F(SkyscapeTest, DayCycleColoursAtKeyTimes) {
    auto sky = LoadFixture();
    sky->TimeScale = 0.0f;  // the schedule stands still
    sky->DayRate = 1.0f;
    const struct { int frame; uint32_t fog, ambient; int layer; } keys[] = {
        {5, Argb(50, 60, 70), Argb(40, 55, 70), 0},  // halfway from day to night
        {10, Argb(10, 20, 30), Argb(20, 40, 60), 0},
        {12, Argb(26, 36, 46), Argb(28, 46, 64), 1},  // night began at frame 11, one step toward day
        {16, Argb(90, 100, 110), Argb(60, 70, 80), 1},   // back at the day's colours
        {17, Argb(106, 116, 126), Argb(68, 76, 84), 0},  // overshoot of the last step; day begins
    };
    int frame = 0;
    for (const auto& key : keys) {
        while (frame < key.frame) {
            sky->Render(1.0f);
            ++frame;
        }
        EXPECT_EQ(FogColour(), key.fog) << "frame " << frame;
        EXPECT_EQ(AmbientColour(), key.ambient) << "frame " << frame;
        EXPECT_EQ(device->RenderState(D3DRS_FOGCOLOR), key.fog);
        EXPECT_EQ(device->RenderState(D3DRS_AMBIENT), key.ambient);
        EXPECT_EQ(sky->CurrentLayer, key.layer) << "frame " << frame;
    }
    EXPECT_FLOAT_EQ(render->AmbientColor.r, 68.0f * 0.003921569f);
    EXPECT_FLOAT_EQ(render->AmbientColor.a, 1.0f);
}

TEST_F(SkyscapeTest, WithoutADayStepTheSkyStandsStill) {
    auto sky = LoadFixture();
    for (int i = 0; i < 50; ++i) {
        sky->Render(0.5f);
    }
    EXPECT_EQ(sky->CurrentLayer, 0);
    EXPECT_FLOAT_EQ(sky->Blend, 0.0f);
    EXPECT_EQ(FogColour(), Argb(90, 100, 110));
    EXPECT_EQ(AmbientColour(), Argb(60, 70, 80));
}

TEST_F(SkyscapeTest, SunLightFollowsTheFirstCloudLayer) {
    auto sky = LoadFixture();
    sky->Render(0.02f);
    const D3DLIGHT9& sun = level->SunLight;
    EXPECT_EQ(sun.Direction.x, 0.0f) << "the first frame has no sun position yet";
    // Sun colour 200, 180, 160 as bytes over 256.
    EXPECT_FLOAT_EQ(sun.Diffuse.r, 200.0f / 256.0f);
    EXPECT_FLOAT_EQ(sun.Diffuse.g, 180.0f / 256.0f);
    EXPECT_FLOAT_EQ(sun.Diffuse.b, 160.0f / 256.0f);
    EXPECT_FLOAT_EQ(sun.Diffuse.a, 0.0f);
    EXPECT_FLOAT_EQ(sun.Specular.g, 180.0f / 256.0f);
    sky->Render(0.02f);
    // The sun layer stands at (-200, 0, 0): the light points from it to the origin.
    EXPECT_NEAR(sun.Direction.x, 1.0f, 1e-6f);
    EXPECT_NEAR(sun.Direction.y, 0.0f, 1e-6f);
    EXPECT_NEAR(sun.Direction.z, 0.0f, 1e-6f);
    EXPECT_NEAR(Skyscape::SunPosition.x, -20000.0f, 1e-2f);
    EXPECT_EQ(render->LightCount, 0) << "the table was applied";
    EXPECT_FLOAT_EQ(render->SunLight.Direction.x, sun.Direction.x);
    ASSERT_NE(device->Light(0), nullptr);
    EXPECT_FLOAT_EQ(device->Light(0)->Diffuse.r, 200.0f / 256.0f);
    EXPECT_TRUE(device->LightEnabled(0));
    EXPECT_FALSE(device->LightEnabled(1));
}

TEST_F(SkyscapeTest, WithoutALevelNoSunLightIsWrittenButTheLightsApply) {
    auto sky = LoadFixture();
    CPLevelSun::Current = nullptr;
    render->LightCount = 2;
    device->ClearCalls();
    sky->Render(0.02f);
    EXPECT_EQ(level->SunLight.Diffuse.r, 0.0f);
    EXPECT_EQ(render->LightCount, 0);
    EXPECT_EQ(Named("SetLight").size(), 2u);
    EXPECT_EQ(Named("LightEnable").size(), 30u);
    EXPECT_EQ(Named("DrawIndexedPrimitive").size(), 4u);
}

TEST_F(SkyscapeTest, OneFrameRecordsItsCallsInOrder) {
    auto sky = LoadFixture();
    device->ClearCalls();
    sky->Render(0.02f);
    std::vector<std::string> seen;
    int lightEnables = 0;
    for (const D3D9Call& call : device->Calls()) {
        if (call.name == "LightEnable") {
            ++lightEnables;
        } else if (call.name == "SetRenderState") {
            if (call.args[0] == D3DRS_FOGCOLOR || call.args[0] == D3DRS_AMBIENT) {
                seen.push_back(call.Text());
            }
        } else if (call.name == "DrawIndexedPrimitive" || call.name == "Clear" || call.name == "SetFVF") {
            seen.push_back(call.Text());
        } else if (call.name == "SetLight" || call.name == "SetIndices" || call.name == "SetStreamSource") {
            seen.push_back(call.name);
        }
    }
    const std::string fog = "SetRenderState " + std::to_string(D3DRS_FOGCOLOR) + " " + std::to_string(Argb(90, 100, 110));
    const std::string ambient = "SetRenderState " + std::to_string(D3DRS_AMBIENT) + " " + std::to_string(Argb(60, 70, 80));
    const std::string one = "1065353216";  // 1.0f as bits
    const std::vector<std::string> expected = {
        fog, ambient,
        "SetFVF 722", "SetIndices", "SetStreamSource", "DrawIndexedPrimitive 4 0 0 85 0 128",  // dome
        "SetLight",                                                                            // the sun
        "SetFVF 722", "SetIndices", "SetStreamSource", "DrawIndexedPrimitive 4 0 0 4 0 2",     // sun layer
        "SetFVF 722", "SetIndices", "SetStreamSource", "DrawIndexedPrimitive 4 0 0 4 0 2",     // second layer,
        "DrawIndexedPrimitive 4 0 0 4 0 2",                                                    // two passes
        "Clear 0 0 2 4278190080 " + one + " 0"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(lightEnables, 30);
}

TEST_F(SkyscapeTest, AFrameAfterADeviceResetRecordsWhatItDidBefore) {
    auto sky = LoadFixture();
    sky->Render(0.02f);
    auto frame = [&] {
        device->ClearCalls();
        sky->Render(0.02f);
        std::vector<std::string> calls;
        for (const D3D9Call& call : device->Calls()) {
            calls.push_back(call.Text());
        }
        return calls;
    };
    const std::vector<std::string> before = frame();
    device->EndScene();
    device->LoseDevice();
    D3DPRESENT_PARAMETERS parameters{};
    ASSERT_EQ(render->ResetDevice(&parameters), S_OK);
    device->BeginScene();
    EXPECT_EQ(frame(), before);
}

TEST_F(SkyscapeTest, ScheduleSwitchesCloudSetsAtTheDrawnTimes) {
    auto sky = LoadFixture();
    CloudSet* clear = sky->CloudSets["clear.txt"].get();
    CloudSet* storm = sky->CloudSets["storm.txt"].get();
    // Schedule time runs at 2 per second of frame time; entry 0 lasts 9.1.
    for (int frame = 1; frame <= 4; ++frame) {
        sky->Render(1.0f);
    }
    EXPECT_EQ(sky->EntryIndex, 0);
    EXPECT_FALSE(sky->BlendRising) << "within the fade time (2) of the entry's end";
    sky->Render(1.0f);
    // Generator values 2 and 3: 18467 mod 2 = 1 is not the current entry, (6334 mod 100) x 0.01
    // = 0.34 does not exceed its probability 1; value 4 gives its duration 20 + 0 - 5.
    EXPECT_EQ(sky->EntryIndex, 1);
    EXPECT_EQ(sky->Entry.CloudSetName, "storm.txt");
    EXPECT_FLOAT_EQ(sky->EntryTime, 0.0f);
    EXPECT_FLOAT_EQ(sky->EntryDuration, 15.0f);
    EXPECT_TRUE(sky->BlendRising);
    EXPECT_EQ(sky->ActiveCloudSets, (std::vector<CloudSet*>{clear, storm}));
    EXPECT_TRUE(clear->Hiding);
    EXPECT_FLOAT_EQ(clear->Members[0]->Alpha, 0.0f) << "the old set fades, its alpha untouched";
    EXPECT_TRUE(clear->Members[0]->FadingOut);
    EXPECT_TRUE(storm->Shown);
    EXPECT_FALSE(storm->Done);
    for (const CloudDescription* d : storm->Members) {
        EXPECT_FLOAT_EQ(d->Alpha, 255.0f);
        EXPECT_EQ(d->WorldPosition, d->Offset + storm->Position);
    }
    // Values 5 and 6 draw entry 1 twice, 7 picks entry 0, 8 gives 10 + 5.8 - 5.
    for (int frame = 6; frame <= 13; ++frame) {
        sky->Render(1.0f);
    }
    EXPECT_EQ(sky->EntryIndex, 0);
    EXPECT_FLOAT_EQ(sky->EntryDuration, 10.0f + 5.8f - 5.0f);
    EXPECT_EQ(sky->ActiveCloudSets, (std::vector<CloudSet*>{storm, clear}));
    EXPECT_TRUE(storm->Hiding);
    EXPECT_TRUE(clear->Shown);
    EXPECT_EQ(CrtRand(), NthRand(9));
}

TEST_F(SkyscapeTest, OvercastBlendsColoursAndFadesTheCloudLayers) {
    auto sky = LoadFixture();
    sky->TimeScale = 0.0f;
    sky->DayRate = 1.0f;
    sky->Entry = sky->Schedule.Entries[1];  // overcast, fade time 4
    sky->EntryIndex = 1;
    sky->SwitchCloudSets();
    sky->Render(1.0f);
    sky->Render(1.0f);
    // Blend 2 of 4: halfway to grey made from blue (channel 3 of the day layer).
    // Fog (74, 84, 94) -> grey (74, 74, 94); ambient (52, 64, 76) -> grey (56, 56, 76).
    EXPECT_FLOAT_EQ(sky->Blend, 2.0f);
    EXPECT_EQ(FogColour(), Argb(74, 79, 94));
    EXPECT_EQ(AmbientColour(), Argb(54, 60, 76));
    EXPECT_EQ(sky->CloudLayers[0]->Vertices[0].Diffuse, 0x9B000014u);  // 255 - 2 x 200 / 4
    EXPECT_EQ(sky->CloudLayers[1]->Vertices[0].Diffuse, 0x7F000014u);  // 255 - 2 x 255 / 4
    for (int i = 0; i < 5; ++i) {
        sky->Render(1.0f);
    }
    EXPECT_FLOAT_EQ(sky->Blend, 4.0f) << "capped at the fade time";
    // After the overcast entry a plain one leaves the layers' alpha as it was.
    sky->Entry = sky->Schedule.Entries[0];
    sky->SwitchCloudSets();
    sky->Render(1.0f);
    EXPECT_EQ(sky->CloudLayers[1]->Vertices[0].Diffuse, 0x00000014u);
}

// --- damaged and degenerate skies ---

struct SkyText {
    std::string Header(int k, int layers, int cloudLayers, int sets, const std::string& schedule = "sched.txt",
                       int segments = 16) const {
        return "a 2\nb 0\nc 100\nd 0.5\ne " + std::to_string(segments) +
               "\nf 0 0 0\ng Data\\Textures\\sky.tga\nh Data\\Effects\\sky.fx\ni " + std::to_string(k) + "\nj " +
               std::to_string(layers) + "\nk " + std::to_string(cloudLayers) +
               "\nl Data\\Effects\\cloud0.fx\nm Data\\Effects\\cloud1.fx\nn " + std::to_string(sets) + "\no " +
               schedule + "\n";
    }
    // A layer of K = k ring colours (all `ring`), one line per cloud layer group.
    std::string Layer(int k, int cloudLayers, float duration, int channel, float ring, int effect = 0) const {
        std::string s = "dur " + std::to_string(duration) + "\nalpha 255\nangle 0\nchannel " + std::to_string(channel) + "\n";
        for (int i = 0; i < k; ++i) {
            s += "r " + std::to_string(ring) + " " + std::to_string(ring) + " " + std::to_string(ring) + "\n";
        }
        s += "sun 255 255 255\namb 30 40 50\na 0 0 0\nb 0 0 0\nfog 100 110 120\nf 0\nf 0\nf 0\nbright 0\n";
        for (int i = 0; i < cloudLayers; ++i) {
            s += "day 0\neffect " + std::to_string(effect) + "\nscale 1\nadvance 0\n";
        }
        return s;
    }
    std::string CloudLayer() const {
        return "axis 0 1 0\nhalf 5\norbit 100\nphase 0\ntextures 1\nt Data\\Textures\\sun.tga\n";
    }
    static std::string Entry(float fade, float duration, float jitter, const std::string& set, int overcast,
                             float probability) {
        return "fade " + std::to_string(fade) + "\nduration " + std::to_string(duration) + "\njitter " +
               std::to_string(jitter) + "\nset " + set + "\nx 0\nx 0\nx 0\nx 0\nx 0\nx 0\nx 0\nx 0\novercast " +
               std::to_string(overcast) + "\nprob " + std::to_string(probability) + "\nx 0\n";
    }
};

TEST_F(SkyscapeTest, SingleKeyColourPaintsTheWholeDome) {
    SkyText t;
    PutCloudFile("one.txt", t.Header(1, 1, 0, 0) + t.Layer(1, 0, 10, 3, 77));
    Skyscape sky;
    sky.Load("one.txt");
    EXPECT_EQ(sky.RingsPerBand, 0);
    sky.Render(0.02f);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(RingDiffuse(sky, r), 0xFF4D4D4Du) << r;
    }
}

TEST_F(SkyscapeTest, TwoKeyColoursMakeOneBandClampedAtTheZenith) {
    SkyText t;
    // K = 2: 16 / 4 = 4 rings per band, the band covering all five rings.
    std::string layer = t.Layer(2, 0, 10, 3, 0);
    layer.replace(layer.find("r 0.000000 0.000000 0.000000\nr 0.000000 0.000000 0.000000"),
                  std::string("r 0.000000 0.000000 0.000000\nr 0.000000 0.000000 0.000000").size(),
                  "r 40 100 200\nr 80 140 240");
    PutCloudFile("two.txt", t.Header(2, 1, 0, 0) + layer);
    Skyscape sky;
    sky.Load("two.txt");
    EXPECT_EQ(sky.RingsPerBand, 4);
    sky.Render(0.02f);
    for (int r = 0; r < 5; ++r) {
        const uint32_t red = 40 + 10 * (r + 1), green = 100 + 10 * (r + 1), blue = std::min(200 + 10 * (r + 1), 255);
        EXPECT_EQ(RingDiffuse(sky, r), 0xFF000000u | red << 16 | green << 8 | blue) << r;
    }
}

TEST_F(SkyscapeTest, DomeDivisionsCloseTheCircle) {
    for (int segments : {7, 13, 200}) {
        Skyscape sky;
        sky.BuildDome(100.0f, segments, D3DXVECTOR3(0, 0, 0), 1.0f);
        const int rings = segments / 4 + 1;
        ASSERT_EQ(sky.SourceVertices.size(), static_cast<size_t>((segments + 1) * rings));
        const CPVertex& first = sky.SourceVertices[0];
        const CPVertex& last = sky.SourceVertices[static_cast<size_t>(segments)];
        EXPECT_NEAR(last.Position.x, first.Position.x, 1e-3f) << segments;
        EXPECT_NEAR(last.Position.y, first.Position.y, 1e-3f) << segments;
        EXPECT_FLOAT_EQ(last.U, 2.0f);
        EXPECT_FLOAT_EQ(sky.SourceVertices[static_cast<size_t>(segments + 1)].V, 1.5f / static_cast<float>(rings));
    }
    Skyscape largest;
    largest.BuildDome(100.0f, 200, D3DXVECTOR3(0, 0, 0), 1.0f);
    EXPECT_EQ(largest.Indices.size(), 60000u);
    for (int segments : {201, 100000, 0, -4}) {
        Skyscape refused;
        refused.BuildDome(100.0f, segments, D3DXVECTOR3(0, 0, 0), 1.0f);
        EXPECT_TRUE(refused.SourceVertices.empty()) << segments;
        EXPECT_EQ(refused.DomeSegments, segments);
    }
}

TEST_F(SkyscapeTest, ChannelsOutsideTheRangeAndZeroDurationsAreHarmless) {
    SkyText t;
    PutCloudFile("sched.txt", "n 1\n" + SkyText::Entry(0, 10, 0.5f, "missing.txt", 1, 1));
    for (int channel : {0, 4, -9}) {
        PutCloudFile("odd.txt", t.Header(3, 2, 1, 0) + t.Layer(3, 1, 0, channel, 50) + t.Layer(3, 1, 0, channel, 90) +
                                    t.CloudLayer());
        Skyscape sky;
        sky.Load("odd.txt");
        EXPECT_FLOAT_EQ(sky.Rates.RingColours[0].x, 0.0f) << "a duration of 0 gives rate 0";
        sky.DayRate = 1.0f;
        sky.Blend = 1.0f;
        for (int i = 0; i < 3; ++i) {
            sky.Render(1.0f);
        }
        // Fade time 0: the overcast blend factor is 0, so the running colours show.
        EXPECT_EQ(FogColour(), Argb(100, 110, 120)) << channel;
        EXPECT_EQ(sky.CloudLayers[0]->Vertices[0].Diffuse, 0xFF000014u);
        EXPECT_TRUE(sky.ActiveCloudSets.empty()) << "a set name that names no set shows no clouds";
    }
}

TEST_F(SkyscapeTest, NoLayersOrNoScheduleDrawsTheDomeOnly) {
    SkyText t;
    PutCloudFile("sched.txt", "n 0\n");
    PutCloudFile("nolayers.txt", t.Header(3, 0, 1, 0) + t.CloudLayer());
    PutCloudFile("noschedule.txt", t.Header(3, 1, 1, 0) + t.Layer(3, 1, 10, 3, 50) + t.CloudLayer());
    for (const char* name : {"nolayers.txt", "noschedule.txt"}) {
        Skyscape sky;
        sky.Load(name);
        ASSERT_EQ(sky.CloudLayers.size(), 1u) << name;
        render->LightCount = 1;
        device->ClearCalls();
        sky.Render(1.0f);
        const auto draws = Named("DrawIndexedPrimitive");
        ASSERT_EQ(draws.size(), 1u) << name;
        EXPECT_EQ(draws[0]->args[3], 85u) << "the dome";
        EXPECT_EQ(Named("Clear").size(), 1u);
        EXPECT_EQ(Named("LightEnable").size(), 30u);
        EXPECT_EQ(render->LightCount, 0);
    }
}

TEST_F(SkyscapeTest, OneEntryScheduleKeepsItsEntry) {
    SkyText t;
    PutCloudFile("sched.txt", "n 1\n" + SkyText::Entry(1, 2, 0.5f, "set.txt", 0, 1));
    PutCloudFile("set.txt", SkyFixture::ClearSetFile);
    PutCloudFile("one.txt", t.Header(3, 1, 1, 1) + t.Layer(3, 1, 10, 3, 50) + t.CloudLayer() + "s set.txt\n");
    Skyscape sky;
    sky.Load("one.txt");
    CloudSet* set = sky.CloudSets["set.txt"].get();
    ASSERT_EQ(sky.ActiveCloudSets, (std::vector<CloudSet*>{set}));
    for (int i = 0; i < 10; ++i) {
        sky.Render(1.0f);  // 2 per frame against about 2
    }
    EXPECT_EQ(sky.EntryIndex, 0);
    EXPECT_LT(sky.EntryTime, 3.0f);
    EXPECT_EQ(sky.ActiveCloudSets, (std::vector<CloudSet*>{set})) << "the same set stays the only active one";
    EXPECT_FALSE(set->Hiding);
}

TEST_F(SkyscapeTest, EntryWithoutSpreadTakesItsBaseDuration) {
    SkyText t;
    // 20 x 2 x 0.01 = 0.4 truncates to 0: no random part, and no draw from the generator.
    PutCloudFile("sched.txt", "n 2\n" + SkyText::Entry(1, 2, 0.01f, "a.txt", 0, 1) +
                                  SkyText::Entry(1, 3, 0.0f, "b.txt", 0, -1));
    PutCloudFile("flat.txt", t.Header(3, 1, 0, 0) + t.Layer(3, 0, 10, 3, 50));
    Skyscape sky;
    sky.Load("flat.txt");
    EXPECT_FLOAT_EQ(sky.EntryDuration, 2.0f - 2.0f * 0.01f);
    EXPECT_EQ(CrtRand(), NthRand(1));
    // The other entry can never be accepted (probability below 0): the first runs again.
    for (int i = 0; i < 5; ++i) {
        sky.Render(1.0f);
    }
    EXPECT_EQ(sky.EntryIndex, 0);
}

TEST_F(SkyscapeTest, CloudSetListedTwiceKeepsTheLaterOne) {
    SkyText t;
    PutCloudFile("sched.txt", "n 1\n" + SkyText::Entry(1, 2, 0.5f, "set.txt", 0, 1));
    PutCloudFile("set.txt", SkyFixture::StormSetFile);
    PutCloudFile("puff1.txt", SkyFixture::Puff1File);
    PutCloudFile("twice.txt", t.Header(3, 1, 0, 2) + t.Layer(3, 0, 10, 3, 50) + "s set.txt\ns set.txt\n");
    Skyscape sky;
    sky.Load("twice.txt");
    ASSERT_EQ(sky.CloudSets.size(), 1u);
    EXPECT_EQ(sky.ActiveCloudSets, (std::vector<CloudSet*>{sky.CloudSets["set.txt"].get()}));
    EXPECT_EQ(sky.CloudSets["set.txt"]->Entries.size(), 2u);
}

TEST_F(SkyscapeTest, ClearingTheDepthWithoutADeviceDoesNothing) {
    VertexObject::Device = nullptr;
    ClearSkyDepth();
    auto sky = LoadFixture();
    device->ClearCalls();
    sky->Render(0.02f);
    EXPECT_TRUE(Named("Clear").empty());
    EXPECT_TRUE(Named("DrawIndexedPrimitive").empty());
    EXPECT_EQ(render->LightCount, 0);
}

}  // namespace
