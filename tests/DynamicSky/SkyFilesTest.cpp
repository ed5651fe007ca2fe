#include "SkyFixtureFiles.h"
#include "SkyFolderTest.h"

#include "DynamicSky/CloudDescription.h"
#include "DynamicSky/CloudSchedule.h"
#include "DynamicSky/CloudSet.h"
#include "DynamicSky/SkyDescription.h"
#include "DynamicSky/SkyTextLines.h"
#include "core/CPTokenizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace {

SkyDescription ParseSky(const std::string& text) {
    SkyDescription sky;
    ParseSkyDescription(text.data(), static_cast<int>(text.size()), sky);
    return sky;
}

std::vector<CloudScheduleEntry> ParseSchedule(const std::string& text) {
    std::vector<CloudScheduleEntry> entries;
    ParseCloudSchedule(text.data(), static_cast<int>(text.size()), entries);
    return entries;
}

void ReadDescription(CloudDescription& d, const std::string& text, float scale = 1.0f, float angle = 0.0f) {
    d.Scale = scale;
    d.Angle = angle;
    d.ReadText(text.data(), static_cast<int>(text.size()));
}

void ExpectVector(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-4f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

// A header of fifteen lines with the given layer, cloud-layer and cloud-set counts; ring
// colours K and the start layer as given.
std::string Header(int start, int k, int layers, int cloudLayers, int cloudSets) {
    return "a 4\nb " + std::to_string(start) + "\nc 100\nd 1\ne 16\nf 0 0 0\ng t.tga\nh e.fx\ni " +
           std::to_string(k) + "\nj " + std::to_string(layers) + "\nk " + std::to_string(cloudLayers) +
           "\nl c0.fx\nm c1.fx\nn " + std::to_string(cloudSets) + "\no s.txt\n";
}

// A layer block with K = 2 and no cloud layers; duration and bright as given.
std::string Layer(float duration, int bright) {
    return "dur " + std::to_string(duration) +
           "\nalpha 255\nangle 0\nchannel 1\nr 1 2 3\nr 4 5 6\nsun 10 20 30\namb 1 2 3\na 0 0 0\nb 0 0 0\n"
           "fog 0 0 0\nf 0\nf 0\nf 0\nbright " +
           std::to_string(bright) + "\n";
}

// --- Positional lines ---

TEST(SkyTextLinesTest, LabelsAreSkippedAndMissingValuesReadAsZero) {
    const std::string text =
        "one 5 2.5 name\n"
        "two  7\n"          // two blanks: an empty first value
        "[section]\n"       // a line whose values are all missing
        "three x12 -3.7e1\n"
        "four \"quoted name\" 3.7\n";
    SkyTextLines lines(text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(lines.LineCount(), 5);
    ASSERT_TRUE(lines.Next());
    EXPECT_EQ(lines.Int(0), 5);
    EXPECT_FLOAT_EQ(lines.Float(1), 2.5f);
    EXPECT_EQ(lines.Name(2), "name");
    EXPECT_EQ(lines.Name(3), "");
    EXPECT_EQ(lines.Int(3), 0);
    EXPECT_EQ(lines.NextInt(), 0);
    EXPECT_EQ(lines.Int(1), 7);
    EXPECT_EQ(lines.NextName(), "");
    ASSERT_TRUE(lines.Next());
    EXPECT_EQ(lines.Int(0), 0);
    EXPECT_FLOAT_EQ(lines.Float(1), -37.0f);
    EXPECT_EQ(lines.NextName(), "quoted name");
    EXPECT_EQ(lines.Int(1), 3);
    EXPECT_FALSE(lines.Next());
    EXPECT_EQ(lines.NextInt(), 0);
    EXPECT_EQ(lines.NextName(), "");
    ExpectVector(lines.NextVector(), 0, 0, 0);
}

// Lines without quotes are cut in place; they must come out as the tokenizer cuts every line.
TEST(SkyTextLinesTest, UnquotedLinesCutAsTheTokenizerCutsThem) {
    const char* const cases[] = {"label", "a 1 2 3", "a  1", "a 1\t2 3", "a \t 1", "a\t1 2", "a 1 \t", "a 1   2 \t3"};
    for (const char* line : cases) {
        std::vector<std::string> expected;
        CPTokenizer tokens(line, " ", true);
        std::string token;
        for (bool label = true; tokens.NextToken(token); label = false) {
            if (!label) {
                expected.push_back(token);
            }
        }
        const std::string text = std::string(line) + "\n";
        SkyTextLines lines(text.data(), static_cast<int>(text.size()));
        ASSERT_TRUE(lines.Next()) << line;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(lines.Name(i), expected[i]) << line << " value " << i;
        }
        EXPECT_EQ(lines.Name(expected.size()), "") << line;
    }
}

TEST(SkyTextLinesTest, CountsAreBoundedByTheLines) {
    const std::string text = "a 1\nb 2\nc 3\n";
    SkyTextLines lines(text.data(), static_cast<int>(text.size()));
    const struct { int count, bounded; } cases[] = {{-5, 0}, {0, 0}, {2, 2}, {3, 3}, {2000000000, 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(lines.Bounded(c.count), c.bounded) << c.count;
    }
}

TEST(SkyTextLinesTest, TruncationSaturates) {
    EXPECT_EQ(SkyTruncate(2.9), 2);
    EXPECT_EQ(SkyTruncate(-2.9), -2);
    EXPECT_EQ(SkyTruncate(1e20), 2147483647);
    EXPECT_EQ(SkyTruncate(-1e20), -2147483647 - 1);
    EXPECT_EQ(SkyTruncate(std::nan("")), 0);
}

// --- Sky file ---

TEST(SkyDescriptionTest, FixtureReadsEveryLineInPlace) {
    const SkyDescription sky = ParseSky(SkyFixture::SkyFile);
    EXPECT_FLOAT_EQ(sky.TimeScale, 2.0f);
    EXPECT_EQ(sky.StartLayer, 0);
    EXPECT_FLOAT_EQ(sky.DomeRadius, 100.0f);
    EXPECT_FLOAT_EQ(sky.DomeHeight, 0.5f);
    EXPECT_EQ(sky.DomeSegments, 16);
    ExpectVector(sky.DomeCentre, 0, 0, -10);
    EXPECT_EQ(sky.DomeTexture, "Data\\Textures\\sky.tga");
    EXPECT_EQ(sky.DomeEffect, "Data\\Effects\\sky.fx");
    EXPECT_EQ(sky.RingColourCount, 3);
    EXPECT_EQ(sky.CloudLayerCount, 2);
    EXPECT_EQ(sky.CloudEffects[0], "Data\\Effects\\cloud0.fx");
    EXPECT_EQ(sky.CloudEffects[1], "Data\\Effects\\cloud1.fx");
    EXPECT_EQ(sky.ScheduleFile, "schedule1.txt");

    ASSERT_EQ(sky.Layers.size(), 2u);
    const SkyLayer& day = sky.Layers[0];
    EXPECT_FLOAT_EQ(day.Duration, 10.0f);
    EXPECT_FLOAT_EQ(day.Alpha, 200.0f);
    EXPECT_FLOAT_EQ(day.Angle, 90.0f * SkyDegreesToRadians);
    EXPECT_EQ(day.Channel, 2);
    ASSERT_EQ(day.RingColours.size(), 3u);
    ExpectVector(day.RingColours[0], 100, 150, 200);
    ExpectVector(day.RingColours[2], 140, 190, 240);
    ExpectVector(day.SunColour, 200, 180, 160);
    ExpectVector(day.AmbientColour, 60, 70, 80);
    ExpectVector(day.ColourA, 1, 2, 3);
    ExpectVector(day.ColourB, 4, 5, 6);
    ExpectVector(day.FogColour, 90, 100, 110);
    EXPECT_FLOAT_EQ(day.FogValues[0], 50.0f);
    EXPECT_FLOAT_EQ(day.FogValues[1], 150.0f);
    EXPECT_FLOAT_EQ(day.FogValues[2], 1.0f);
    EXPECT_EQ(day.Bright, 0);
    EXPECT_EQ(day.DayAngles, (std::vector<float>{0.0f, 90.0f * SkyDegreesToRadians}));
    EXPECT_EQ(day.EffectIndexes, (std::vector<int>{0, 1}));
    EXPECT_EQ(day.Scales, (std::vector<float>{10.0f, 20.0f}));
    EXPECT_EQ(day.AdvanceTexture, (std::vector<int>{0, 1}));

    const SkyLayer& night = sky.Layers[1];
    EXPECT_EQ(night.Channel, 1);
    EXPECT_EQ(night.Bright, 1);
    ExpectVector(night.SunColour, 100, 80, 60);  // doubled as it is read
    ExpectVector(night.AmbientColour, 20, 40, 60);
    EXPECT_EQ(night.Scales, (std::vector<float>{30.0f, 40.0f}));

    ASSERT_EQ(sky.CloudLayers.size(), 2u);
    ExpectVector(sky.CloudLayers[0].OrbitAxis, 0, 1, 0);
    EXPECT_FLOAT_EQ(sky.CloudLayers[0].HalfSize, 5.0f);
    EXPECT_FLOAT_EQ(sky.CloudLayers[0].OrbitRadius, 200.0f);
    EXPECT_EQ(sky.CloudLayers[0].Textures, (std::vector<std::string>{"Data\\Textures\\sun.tga"}));
    EXPECT_FLOAT_EQ(sky.CloudLayers[1].Phase, 45.0f * SkyDegreesToRadians);
    EXPECT_EQ(sky.CloudLayers[1].Textures,
              (std::vector<std::string>{"Data\\Textures\\cloud_a.tga", "Data\\Textures\\cloud_b.tga"}));
    EXPECT_EQ(sky.CloudSets, (std::vector<std::string>{"clear.txt", "storm.txt"}));
}

TEST(SkyDescriptionTest, StartLayerOutsideTheLayersIsZero) {
    const struct { int start, expected; } cases[] = {{0, 0}, {1, 1}, {2, 0}, {7, 0}, {-1, 0}};
    for (const auto& c : cases) {
        const SkyDescription sky = ParseSky(Header(c.start, 2, 2, 0, 0) + Layer(1, 0) + Layer(1, 0));
        ASSERT_EQ(sky.Layers.size(), 2u);
        EXPECT_EQ(sky.StartLayer, c.expected) << c.start;
    }
}

TEST(SkyDescriptionTest, BrightDoublesSunAndAmbientForAnyNonZeroValue) {
    const struct { int bright; float factor; } cases[] = {{0, 1.0f}, {1, 2.0f}, {2, 2.0f}, {-1, 2.0f}};
    for (const auto& c : cases) {
        const SkyDescription sky = ParseSky(Header(0, 2, 1, 0, 0) + Layer(1, c.bright));
        ASSERT_EQ(sky.Layers.size(), 1u);
        ExpectVector(sky.Layers[0].SunColour, 10 * c.factor, 20 * c.factor, 30 * c.factor);
        ExpectVector(sky.Layers[0].AmbientColour, 1 * c.factor, 2 * c.factor, 3 * c.factor);
        ExpectVector(sky.Layers[0].FogColour, 0, 0, 0);
    }
}

TEST(SkyDescriptionTest, CloudLayerWithoutTexturesReadsNoTextureLines) {
    const std::string text = Header(0, 2, 0, 2, 1) +
                             "axis 0 1 0\nhalf 1\norbit 2\nphase 0\ntextures 0\n"
                             "axis 1 0 0\nhalf 3\norbit 4\nphase 0\ntextures -2\n"
                             "set a.txt\n";
    const SkyDescription sky = ParseSky(text);
    ASSERT_EQ(sky.CloudLayers.size(), 2u);
    EXPECT_TRUE(sky.CloudLayers[0].Textures.empty());
    ExpectVector(sky.CloudLayers[1].OrbitAxis, 1, 0, 0);
    EXPECT_FLOAT_EQ(sky.CloudLayers[1].OrbitRadius, 4.0f);
    EXPECT_EQ(sky.CloudSets, (std::vector<std::string>{"a.txt"}));
}

TEST(SkyDescriptionTest, FileEndingEarlyReadsZerosAndNoCounts) {
    const SkyDescription sky = ParseSky("a 3\nb 1\nc 50\n");
    EXPECT_FLOAT_EQ(sky.TimeScale, 3.0f);
    EXPECT_FLOAT_EQ(sky.DomeRadius, 50.0f);
    EXPECT_EQ(sky.DomeSegments, 0);
    EXPECT_EQ(sky.DomeTexture, "");
    EXPECT_EQ(sky.RingColourCount, 0);
    EXPECT_TRUE(sky.Layers.empty());
    EXPECT_TRUE(sky.CloudLayers.empty());
    EXPECT_TRUE(sky.CloudSets.empty());
    EXPECT_EQ(sky.StartLayer, 0);
}

TEST(SkyDescriptionTest, LayerCutShortIsCompletedWithZeros) {
    // Two layers announced, the second stops after its duration.
    const SkyDescription sky = ParseSky(Header(1, 2, 2, 1, 3) + Layer(1, 0) +
                                        "dayangle 10\neffect 1\nscale 5\nadvance 1\ndur 7\n");
    ASSERT_EQ(sky.Layers.size(), 2u);
    const SkyLayer& cut = sky.Layers[1];
    EXPECT_FLOAT_EQ(cut.Duration, 7.0f);
    EXPECT_EQ(cut.Channel, -1);
    ASSERT_EQ(cut.RingColours.size(), 2u);
    ExpectVector(cut.RingColours[1], 0, 0, 0);
    EXPECT_EQ(cut.Scales, (std::vector<float>{0.0f}));
    EXPECT_EQ(sky.StartLayer, 1);
    EXPECT_TRUE(sky.CloudLayers.empty());
    EXPECT_TRUE(sky.CloudSets.empty());
}

// A small file listing 1000 cloud layers (each a megabyte of device buffers once built) keeps
// the first SkyMaxCloudLayers; the lines of the others are read past, so what follows them
// (the cloud sets here) is still read in its place.
TEST(SkyDescriptionTest, CloudLayersPastTheLimitAreReadAndDropped) {
    const int listed = 1000;
    std::string text = Header(0, 2, 1, listed, 1);
    text += Layer(10.0f, 0);
    for (int i = 0; i < listed; ++i) {
        text += "day " + std::to_string(i) + "\nfx 1\nscale " + std::to_string(i) + "\nadv 0\n";
    }
    for (int i = 0; i < listed; ++i) {
        text += "axis 0 0 1\nhalf " + std::to_string(i) + "\norbit 5\nphase 0\ntextures 1\ncloud.tga\n";
    }
    text += "set last.txt\n";
    const SkyDescription sky = ParseSky(text);
    EXPECT_EQ(sky.CloudLayerCount, SkyMaxCloudLayers);
    EXPECT_EQ(sky.DroppedCloudLayers, listed - SkyMaxCloudLayers);
    ASSERT_EQ(sky.CloudLayers.size(), static_cast<size_t>(SkyMaxCloudLayers));
    EXPECT_EQ(sky.CloudLayers.back().HalfSize, static_cast<float>(SkyMaxCloudLayers - 1));
    ASSERT_EQ(sky.Layers.size(), 1u);
    ASSERT_EQ(sky.Layers[0].Scales.size(), static_cast<size_t>(SkyMaxCloudLayers));
    EXPECT_EQ(sky.Layers[0].Scales.back(), static_cast<float>(SkyMaxCloudLayers - 1));
    EXPECT_EQ(sky.CloudSets, std::vector<std::string>{"last.txt"});
}

TEST(SkyDescriptionTest, HugeCountsInAShortFileStopWithTheLines) {
    const struct { int k, layers, cloudLayers, sets; } cases[] = {
        {2000000000, 1, 0, 0}, {2, 2000000000, 0, 0}, {2, 1, 2000000000, 0}, {2, 0, 0, 2000000000},
        {-7, -7, -7, -7}};
    for (const auto& c : cases) {
        const std::string text = Header(0, c.k, c.layers, c.cloudLayers, c.sets) + "x 1\nx 2\nx 3\n";
        const SkyDescription sky = ParseSky(text);
        EXPECT_LE(sky.RingColourCount, 18);
        EXPECT_LE(sky.CloudLayerCount, 18);
        EXPECT_LE(sky.Layers.size(), 1u);
        for (const SkyLayer& layer : sky.Layers) {
            EXPECT_EQ(layer.RingColours.size(), static_cast<size_t>(sky.RingColourCount));
            EXPECT_EQ(layer.Scales.size(), static_cast<size_t>(sky.CloudLayerCount));
        }
        EXPECT_LE(sky.CloudLayers.size(), 1u);
        EXPECT_LE(sky.CloudSets.size(), 3u);
    }
}

// --- Cloud schedule ---

TEST(CloudScheduleTest, FixtureEntriesInFileOrder) {
    const std::vector<CloudScheduleEntry> entries = ParseSchedule(SkyFixture::ScheduleFile);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FLOAT_EQ(entries[0].FadeTime, 2.0f);
    EXPECT_FLOAT_EQ(entries[0].Duration, 10.0f);
    EXPECT_FLOAT_EQ(entries[0].Jitter, 0.5f);
    EXPECT_EQ(entries[0].CloudSetName, "clear.txt");
    EXPECT_EQ(entries[0].OvercastFlag, 0);
    const CloudScheduleEntry& storm = entries[1];
    EXPECT_EQ(storm.CloudSetName, "storm.txt");
    EXPECT_EQ(storm.Extra1, 1);
    EXPECT_EQ(storm.Extra2, 2);
    EXPECT_FLOAT_EQ(storm.Extra3, 3.5f);
    EXPECT_FLOAT_EQ(storm.Extra4, 4.5f);
    EXPECT_EQ(storm.Extra5, 5);
    EXPECT_FLOAT_EQ(storm.Extra6, 6.5f);
    EXPECT_EQ(storm.Extra7, 7);
    EXPECT_EQ(storm.Extra8, 8);
    EXPECT_EQ(storm.OvercastFlag, 1);
    EXPECT_FLOAT_EQ(storm.Probability, 1.0f);
    EXPECT_EQ(storm.Extra9, 9);
}

TEST(CloudScheduleTest, CountsAndShortFiles) {
    const struct { const char* text; size_t entries; } cases[] = {
        {"", 0}, {"n 0\nfade 1\n", 0}, {"n -3\nfade 1\n", 0}, {"n 2000000000\nfade 1\nduration 2\n", 1}};
    for (const auto& c : cases) {
        const std::vector<CloudScheduleEntry> entries = ParseSchedule(c.text);
        EXPECT_EQ(entries.size(), c.entries) << c.text;
    }
    const std::vector<CloudScheduleEntry> cut = ParseSchedule("n 5\nfade 1\nduration 2\n");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_FLOAT_EQ(cut[0].Duration, 2.0f);
    EXPECT_EQ(cut[0].CloudSetName, "");
}

TEST_F(SkyFolderTest, ScheduleLoadAppendsAndMissingFileAddsNothing) {
    PutCloudFile("schedule1.txt", SkyFixture::ScheduleFile);
    CloudSchedule schedule;
    schedule.Load("missing.txt");
    EXPECT_TRUE(schedule.Entries.empty());
    schedule.Load("schedule1.txt");
    schedule.Load("SCHEDULE1.TXT");
    EXPECT_EQ(schedule.Entries.size(), 4u);
}

// --- Cloud descriptions ---

TEST(CloudDescriptionTest, PuffPlacedFacingAwayFromItsAnchorWithBounds) {
    CloudDescription d;
    ReadDescription(d, SkyFixture::Puff1File);
    ASSERT_EQ(d.Puffs.size(), 1u);
    const CloudPuff& p = d.Puffs[0];
    ExpectVector(p.Position, 10, 0, 0);
    EXPECT_EQ(p.Int1, 1);
    EXPECT_EQ(p.Int2, 2);
    EXPECT_FLOAT_EQ(p.Value, 0.5f);
    ExpectVector(p.Direction, 1, 0, 0);
    EXPECT_FLOAT_EQ(p.SizeX, 3.0f);
    EXPECT_FLOAT_EQ(p.SizeY, 4.0f);
    EXPECT_EQ(p.Owner, &d);
    EXPECT_FLOAT_EQ(d.Radius, 15.0f);
    EXPECT_FLOAT_EQ(d.HalfHeight, 2.5f);
    const float extras[8] = {d.Extra1, d.Extra2, d.Extra3, d.Extra4, d.Extra5, d.Extra6, d.Extra7, d.Extra8};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(extras[i], static_cast<float>(i + 1));
    }
}

TEST(CloudDescriptionTest, ScaleAndTurnPlacePointsButOnlyScaleSizes) {
    CloudDescription d;
    ReadDescription(d, SkyFixture::Puff1File, 2.0f, 1.5707964f);
    ASSERT_EQ(d.Puffs.size(), 1u);
    ExpectVector(d.Puffs[0].Position, 0, 20, 0);
    ExpectVector(d.Puffs[0].Direction, 0, 1, 0);
    EXPECT_FLOAT_EQ(d.Puffs[0].SizeX, 6.0f);
    EXPECT_FLOAT_EQ(d.Puffs[0].SizeY, 8.0f);
}

TEST(CloudDescriptionTest, BoundsStartAtTheOrigin) {
    CloudDescription d;
    ReadDescription(d, SkyFixture::Puff2File);
    ASSERT_EQ(d.Puffs.size(), 2u);
    ExpectVector(d.Puffs[0].Direction, 0, 0, 1);
    EXPECT_FLOAT_EQ(d.HalfHeight, 55.0f);  // z from 0 (the start) to 110
    EXPECT_FLOAT_EQ(d.Radius, 110.0f);
}

TEST(CloudDescriptionTest, NoPuffsStillReadsTheClosingLines) {
    CloudDescription d;
    ReadDescription(d, "anchors 0\npuffs 0\ne 9\ne 8\ne 7\ne 6\ne 5\ne 4\ne 3\ne 2\n");
    EXPECT_TRUE(d.Puffs.empty());
    EXPECT_FLOAT_EQ(d.Extra1, 9.0f);
    EXPECT_FLOAT_EQ(d.Extra8, 2.0f);
    EXPECT_FLOAT_EQ(d.Radius, 0.0f);
}

TEST(CloudDescriptionTest, AnchorIndexOutsideTheAnchorsFacesAwayFromTheOrigin) {
    for (const char* anchor : {"-1", "1", "2000000000"}) {
        CloudDescription d;
        ReadDescription(d, std::string("anchors 1\na 0 0 -50\npuffs 1\np 0 3 4\ni 0 0\nv 0\nk ") + anchor +
                               "\ns 1 1\n");
        ASSERT_EQ(d.Puffs.size(), 1u);
        ExpectVector(d.Puffs[0].Direction, 0, 0.6f, 0.8f);
    }
}

TEST(CloudDescriptionTest, ReadingStopsWhenTheLinesRunOut) {
    CloudDescription d;
    ReadDescription(d, "anchors 2000000000\na 0 0 0\npuffs 2000000000\n");
    EXPECT_TRUE(d.Puffs.empty());
    EXPECT_FLOAT_EQ(d.Extra1, 20.0f);
    EXPECT_FLOAT_EQ(d.Extra3, 128.0f);

    CloudDescription cut;
    ReadDescription(cut, "anchors 1\na 0 0 0\npuffs 3\np 1 0 0\ni 4 5\n");
    ASSERT_EQ(cut.Puffs.size(), 1u);
    EXPECT_EQ(cut.Puffs[0].Int2, 5);
    EXPECT_FLOAT_EQ(cut.Puffs[0].SizeX, 0.0f);
    EXPECT_FLOAT_EQ(cut.Extra2, 20.0f);
}

// --- Cloud sets ---

// Sets own their descriptions and puffs point at theirs: neither may be copied.
static_assert(!std::is_copy_constructible_v<CloudSet> && !std::is_copy_assignable_v<CloudSet>);
static_assert(!std::is_copy_constructible_v<CloudDescription> && !std::is_copy_assignable_v<CloudDescription>);

TEST(CloudSetTest, FileRecordsInOrder) {
    CloudSetFile file;
    ParseCloudSetFile(SkyFixture::StormSetFile, static_cast<int>(std::strlen(SkyFixture::StormSetFile)), file);
    ExpectVector(file.Position, 5, 5, 60);
    ASSERT_EQ(file.Blocks.size(), 2u);
    EXPECT_EQ(file.Blocks[0].Name, "puff1.txt");
    EXPECT_FLOAT_EQ(file.Blocks[0].Scale, 2.0f);
    EXPECT_FLOAT_EQ(file.Blocks[0].Angle, 1.5707964f);
    EXPECT_EQ(file.Blocks[1].Name, "puff2.txt");
    ExpectVector(file.Blocks[1].Offset, 1, 1, 1);
    EXPECT_FLOAT_EQ(file.Blocks[1].Weight, 2.0f);

    CloudSetFile cut;
    const std::string text = "p 1 2 3\nx 0\nx 0\nx 0 0 0\nx 0\nn 2000000000\nname a.txt\noffset 1 1 1\n";
    ParseCloudSetFile(text.data(), static_cast<int>(text.size()), cut);
    ASSERT_EQ(cut.Blocks.size(), 1u);
    EXPECT_EQ(cut.Blocks[0].Name, "a.txt");
    EXPECT_FLOAT_EQ(cut.Blocks[0].Scale, 0.0f);
}

TEST_F(SkyFolderTest, CloudSetLoadsItsDescriptions) {
    PutCloudFile("clear.txt", SkyFixture::ClearSetFile);
    PutCloudFile("puff1.txt", SkyFixture::Puff1File);
    CloudSet set;
    set.Load("clear.txt");
    ExpectVector(set.Position, 0, 0, 50);
    EXPECT_FLOAT_EQ(set.Extra1, 1.5f);
    EXPECT_EQ(set.Extra2, 2);
    ExpectVector(set.Extra3, 1, 2, 3);
    EXPECT_FLOAT_EQ(set.Extra4, 4.5f);
    ASSERT_EQ(set.Entries.size(), 1u);
    ASSERT_EQ(set.Members.size(), 1u);
    EXPECT_EQ(set.Members[0], set.Entries[0].Description.get());
    EXPECT_FLOAT_EQ(set.Entries[0].Weight, 0.5f);
    const CloudDescription& d = *set.Members[0];
    EXPECT_EQ(d.Puffs.size(), 1u);
    ExpectVector(d.Offset, 10, 20, 30);
    ExpectVector(d.WorldPosition, 10, 20, 80);
    EXPECT_FALSE(set.Shown);
    EXPECT_FALSE(set.Hiding);
}

TEST_F(SkyFolderTest, CloudSetKeepsADescriptionWhoseFileIsMissing) {
    PutCloudFile("storm.txt", SkyFixture::StormSetFile);
    PutCloudFile("puff1.txt", SkyFixture::Puff1File);
    CloudSet set;
    set.Load("storm.txt");
    ASSERT_EQ(set.Entries.size(), 2u);
    EXPECT_EQ(set.Members[0]->Puffs.size(), 1u);
    EXPECT_TRUE(set.Members[1]->Puffs.empty());
    EXPECT_FLOAT_EQ(set.Members[1]->Scale, 1.0f);

    CloudSet missing;
    missing.Load("nothing.txt");
    EXPECT_TRUE(missing.Entries.empty());
}

TEST_F(SkyFolderTest, SetVisibleFlagsEveryDescription) {
    PutCloudFile("storm.txt", SkyFixture::StormSetFile);
    CloudSet set;
    set.Load("storm.txt");
    struct Case { bool on, instant; float alpha, inverse; };
    const Case cases[] = {{true, true, 255, 0}, {false, false, 255, 0}, {false, true, 0, 255}, {true, false, 0, 255}};
    for (const Case& c : cases) {
        set.SetVisible(c.on, c.instant);
        EXPECT_EQ(set.Shown, c.on);
        EXPECT_EQ(set.Hiding, !c.on);
        for (const CloudDescription* d : set.Members) {
            EXPECT_EQ(d->FadingIn, c.on);
            EXPECT_EQ(d->FadingOut, !c.on);
            EXPECT_FLOAT_EQ(d->Alpha, c.alpha);
            EXPECT_FLOAT_EQ(d->InverseAlpha, c.inverse);
            EXPECT_TRUE(d->Changed);
            EXPECT_TRUE(d->Refresh);
        }
    }
    CloudSet empty;
    empty.SetVisible(true, true);
    EXPECT_TRUE(empty.Shown);
}

}  // namespace
