// The part-animation file reader: layout, names, key matrices and refusal of damaged files.
#include "scene/PartAnimationFile.h"

#include "core/CPFileReader.h"
#include "tests/scene/AnimationBytes.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using AnimationBytes::Key;
using AnimationBytes::Track;

std::vector<Key> Keys(int count, float duration = 1.0f) { return std::vector<Key>(static_cast<size_t>(count), Key{duration, {}}); }

struct Outcome {
    bool Ok = false;
    std::vector<PartAnimationTrack> Tracks;
    std::string Problem;
    std::vector<std::string> Dropped;
};

Outcome ReadBytes(const std::vector<uint8_t>& bytes) {
    Outcome outcome;
    auto reader = AnimationBytes::LoadReader(bytes);
    EXPECT_NE(reader, nullptr);
    if (reader) {
        outcome.Ok = PartAnimationFile::Read(*reader, outcome.Tracks, outcome.Problem, &outcome.Dropped);
    }
    return outcome;
}

TEST(PartAnimationFileTest, KeyFloatsFillTheFirstThreeColumnsColumnByColumn) {
    Key key;
    key.Stored = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7};
    const Outcome read = ReadBytes(AnimationBytes::PartAnimationFile({{"Door", {key, key, key}}}));
    ASSERT_TRUE(read.Ok);
    ASSERT_EQ(read.Tracks.size(), 1u);
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, 5, 6, 7);
    EXPECT_EQ(read.Tracks[0].Keys[0], expected);

    // Every stored float lands in its own element.
    float stored[12];
    for (int i = 0; i < 12; ++i) {
        stored[i] = static_cast<float>(i + 1);
    }
    const D3DXMATRIX m = PartAnimationFile::KeyMatrix(stored);
    const D3DXMATRIX want(1, 5, 9, 0, 2, 6, 10, 0, 3, 7, 11, 0, 4, 8, 12, 1);
    EXPECT_EQ(m, want);
}

TEST(PartAnimationFileTest, NamesAreLowerCasedAndCutAtAZeroByte) {
    const Outcome read = ReadBytes(AnimationBytes::PartAnimationFile(
        {{"Left_DOOR", Keys(3)}, {std::string("arm\0junk", 8), Keys(3, 0.5f)}}));
    ASSERT_TRUE(read.Ok);
    ASSERT_EQ(read.Tracks.size(), 2u);
    EXPECT_EQ(read.Tracks[0].Name, "left_door");
    EXPECT_EQ(read.Tracks[1].Name, "arm");
    EXPECT_EQ(read.Tracks[1].Durations, std::vector<float>({0.5f, 0.5f, 0.5f}));
}

TEST(PartAnimationFileTest, EmptyFileAndUnplayableTracks) {
    const Outcome empty = ReadBytes(AnimationBytes::PartAnimationFile({}));
    EXPECT_TRUE(empty.Ok);
    EXPECT_TRUE(empty.Tracks.empty());

    // Tracks that playback would run past are dropped; the good one stays.
    std::vector<Key> zeroDuration = Keys(4);
    zeroDuration[2].Duration = 0.0f;
    std::vector<Key> negative = Keys(3);
    negative[0].Duration = -1.0f;
    std::vector<Key> notANumber = Keys(3);
    notANumber[1].Duration = std::nanf("");
    const Outcome read = ReadBytes(AnimationBytes::PartAnimationFile({{"none", {}},
                                                                      {"two", Keys(2)},
                                                                      {"zero", zeroDuration},
                                                                      {"negative", negative},
                                                                      {"nan", notANumber},
                                                                      {"good", Keys(3)}}));
    ASSERT_TRUE(read.Ok);
    ASSERT_EQ(read.Tracks.size(), 1u);
    EXPECT_EQ(read.Tracks[0].Name, "good");
    EXPECT_EQ(read.Dropped.size(), 5u);
}

TEST(PartAnimationFileTest, DamagedCountsRefuseTheFile) {
    const std::vector<uint8_t> good = AnimationBytes::PartAnimationFile({{"arm", Keys(3)}, {"leg", Keys(3)}});
    struct Case {
        const char* What;
        size_t Offset;  // where the int32 is overwritten
        int32_t Value;
    };
    // Offsets: track count 0; first name length 4; first key count 11; second name length
    // 11 + 4 + 3 * 52.
    const size_t second = 15 + 3 * 52;
    const Case cases[] = {
        {"negative track count", 0, -1},
        {"huge track count", 0, INT_MAX},
        {"negative name length", 4, -3},
        {"huge name length", 4, INT_MAX},
        {"negative key count", 11, -1},
        {"huge key count", 11, INT_MAX},
        {"key count one past the data", 11, static_cast<int32_t>((good.size() - 15) / 52 + 1)},
        {"second name length huge", second, INT_MAX},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        std::memcpy(bytes.data() + c.Offset, &c.Value, 4);
        const Outcome read = ReadBytes(bytes);
        EXPECT_FALSE(read.Ok) << c.What;
        EXPECT_TRUE(read.Tracks.empty()) << c.What;
        EXPECT_FALSE(read.Problem.empty()) << c.What;
    }
}

TEST(PartAnimationFileTest, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
    const std::vector<uint8_t> good = AnimationBytes::PartAnimationFile({{"arm", Keys(3)}, {"leg", Keys(4)}});
    ASSERT_TRUE(ReadBytes(good).Ok);
    for (size_t length = 0; length < good.size(); ++length) {
        const Outcome read = ReadBytes(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(length)));
        EXPECT_FALSE(read.Ok) << length;
        EXPECT_TRUE(read.Tracks.empty()) << length;
    }
}

}  // namespace
