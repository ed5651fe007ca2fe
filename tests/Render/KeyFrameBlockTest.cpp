// The key-frame block reader: frames, colours, and refusal of damaged or unplayable blocks.
#include "Render/KeyFrameBlock.h"

#include "core/CPFileReader.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

struct Outcome {
    bool Ok = false;
    KeyFrameBlock::Contents Contents;
    std::string Problem;
    int Cursor = 0;
    bool Skipped = false;
    int SkipCursor = 0;
};

// Reads the block and, from a second reader, skips it; both must agree.
Outcome ReadBytes(const std::vector<uint8_t>& bytes) {
    Outcome outcome;
    auto reader = AnimationBytes::LoadReader(bytes);
    auto skipper = AnimationBytes::LoadReader(bytes);
    EXPECT_TRUE(reader && skipper);
    if (reader && skipper) {
        outcome.Ok = KeyFrameBlock::Read(*reader, 0xFFFFFFFF, outcome.Contents, outcome.Problem);
        outcome.Cursor = reader->GetCursor();
        std::string problem;
        outcome.Skipped = KeyFrameBlock::Skip(*skipper, problem);
        outcome.SkipCursor = skipper->GetCursor();
    }
    return outcome;
}

TEST(KeyFrameBlockTest, FramesAreReadWholeWithTheDefaultColour) {
    std::vector<AnimationBytes::Frame> frames = AnimationBytes::CountingFrames(4);
    frames[2].Vertices[1].Uv2[1] = 0.25f;
    frames[2].Vertices[1].Specular = 0xAABBCCDD;
    std::vector<uint8_t> bytes = AnimationBytes::KeyFrameBlock(240.0f, frames);
    bytes.push_back(0x5A);  // what follows the block in a mesh file
    const Outcome read = ReadBytes(bytes);
    ASSERT_TRUE(read.Ok) << read.Problem;
    EXPECT_FLOAT_EQ(read.Contents.FrameTime, 0.1f);
    ASSERT_EQ(read.Contents.Frames.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const CPAnimationFrame& frame = read.Contents.Frames[static_cast<size_t>(k)];
        EXPECT_EQ(frame.Index, k);
        ASSERT_EQ(frame.Vertices.size(), 3u);
        EXPECT_EQ(frame.Indices, std::vector<uint16_t>({0, 1, 2}));
        EXPECT_EQ(frame.Vertices[0].Position.x, static_cast<float>(k));
        EXPECT_EQ(frame.Vertices[2].Position.y, 2.0f);
        for (const CPVertex& vertex : frame.Vertices) {
            EXPECT_EQ(vertex.Diffuse, 0xFFFFFFFFu);
        }
    }
    EXPECT_EQ(read.Contents.Frames[2].Vertices[1].V2, 0.25f);
    EXPECT_EQ(read.Contents.Frames[2].Vertices[1].Specular, 0xAABBCCDDu);
    // Read and Skip both stop right behind the block.
    EXPECT_EQ(read.Cursor, static_cast<int>(bytes.size()) - 1);
    EXPECT_TRUE(read.Skipped);
    EXPECT_EQ(read.SkipCursor, read.Cursor);
}

TEST(KeyFrameBlockTest, UnplayableBlocksAreRefused) {
    const std::vector<AnimationBytes::Frame> three = AnimationBytes::CountingFrames(3);
    std::vector<AnimationBytes::Frame> uneven = three;
    uneven[2].Vertices.pop_back();
    std::vector<AnimationBytes::Frame> unevenIndices = three;
    unevenIndices[1].Indices.push_back(0);
    struct Case {
        const char* What;
        float Rate;
        std::vector<AnimationBytes::Frame> Frames;
    };
    const Case cases[] = {
        {"no frames", 240.0f, {}},
        {"rate 0", 0.0f, three},
        {"negative rate", -240.0f, three},
        {"rate not a number", std::nanf(""), three},
        {"infinite rate", INFINITY, three},
        {"rate so small the frame length is 0", 1e-45f, three},
        {"frames with different vertex counts", 240.0f, uneven},
        {"frames with different index counts", 240.0f, unevenIndices},
    };
    for (const Case& c : cases) {
        const Outcome read = ReadBytes(AnimationBytes::KeyFrameBlock(c.Rate, c.Frames));
        EXPECT_FALSE(read.Ok) << c.What;
        EXPECT_FALSE(read.Skipped) << c.What;
        EXPECT_TRUE(read.Contents.Frames.empty()) << c.What;
        EXPECT_FALSE(read.Problem.empty()) << c.What;
    }
}

TEST(KeyFrameBlockTest, DamagedCountsAreRefused) {
    const std::vector<uint8_t> good = AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(2));
    // Offsets: frame count 0; first vertex count 8; first index count 12 + 3 * 48.
    struct Case {
        const char* What;
        size_t Offset;
        int32_t Value;
    };
    const Case cases[] = {
        {"negative frame count", 0, -5},
        {"frame count 2^31 - 1", 0, INT_MAX},
        {"frame count one more", 0, 3},
        {"negative vertex count", 8, -1},
        {"vertex count 2^31 - 1", 8, INT_MAX},
        {"negative index count", 12 + 3 * 48, -1},
        {"index count 2^31 - 1", 12 + 3 * 48, INT_MAX},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        std::memcpy(bytes.data() + c.Offset, &c.Value, 4);
        const Outcome read = ReadBytes(bytes);
        EXPECT_FALSE(read.Ok) << c.What;
        EXPECT_FALSE(read.Skipped) << c.What;
        EXPECT_TRUE(read.Contents.Frames.empty()) << c.What;
    }
}

TEST(KeyFrameBlockTest, EveryTruncationIsRefused) {
    const std::vector<uint8_t> good = AnimationBytes::KeyFrameBlock(240.0f, AnimationBytes::CountingFrames(3));
    for (size_t length = 0; length < good.size(); ++length) {
        const Outcome read = ReadBytes(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(length)));
        EXPECT_FALSE(read.Ok) << length;
        EXPECT_FALSE(read.Skipped) << length;
        EXPECT_LE(read.Cursor, static_cast<int>(length));
    }
}

}  // namespace
