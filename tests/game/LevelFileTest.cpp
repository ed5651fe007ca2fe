// The level file's reader and classifier: layouts read back, names sorted into what the level
// builds, and damaged files refused whole with the reason and the offset.
#include "game/LevelFile.h"

#include "tests/game/LevelBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using LevelBytes::Bytes;
using LevelBytes::Level;
using LevelBytes::Object;
using LevelBytes::Path;

bool Read(const Bytes& bytes, LevelFileRecord& record, std::string& problem) {
    return LevelFile::Read(bytes.data(), bytes.size(), record, problem);
}

LevelLayout Classify(const std::vector<Object>& objects, bool single = false, bool time = false) {
    const Bytes bytes = Level(objects, {});
    LevelFileRecord record;
    std::string problem;
    EXPECT_TRUE(Read(bytes, record, problem)) << problem;
    LevelLayout layout;
    LevelFile::Classify(std::move(record), single, time, layout);
    return layout;
}

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST(LevelFile, ReadsBackWhatWasWritten) {
    // The shortest file: no cameras, objects or paths.
    const Bytes empty = Level({}, {});
    ASSERT_EQ(empty.size(), LevelFile::MinimumSize);
    LevelFileRecord record;
    std::string problem;
    ASSERT_TRUE(Read(empty, record, problem)) << problem;
    EXPECT_TRUE(record.Objects.empty());
    EXPECT_TRUE(record.Paths.empty());

    // Three cameras take 52 + 28 + 28 bytes; what follows them is read from the right place.
    Object tree{"tree12", {1, 2, 3}, {0.1f, 0.2f, 0.3f, 0.9f}, {4, 5, 6}};
    Path path{"c_path", true, {LevelBytes::Straight({0, 0, 0}, {30, 0, 0})}};
    Bytes bytes = Level({tree}, {path}, 3);
    ASSERT_EQ(bytes.size(), 16 + 4 + 108 + 4 + (4 + 6 + 40) + 4 + (4 + 6 + 8 + 48));
    bytes.insert(bytes.end(), {1, 2, 3});  // trailing bytes are ignored
    ASSERT_TRUE(Read(bytes, record, problem)) << problem;
    EXPECT_EQ(record.CameraCount, 3u);
    ASSERT_EQ(record.Objects.size(), 1u);
    const LevelObjectRecord& o = record.Objects[0];
    EXPECT_EQ(o.Name, "tree12");
    ExpectVec(o.Position, 1, 2, 3);
    EXPECT_FLOAT_EQ(o.Rotation.z, 0.3f);
    EXPECT_FLOAT_EQ(o.Rotation.w, 0.9f);
    ExpectVec(o.Scale, 4, 5, 6);
    ASSERT_EQ(record.Paths.size(), 1u);
    EXPECT_EQ(record.Paths[0].Name, "c_path");
    EXPECT_TRUE(record.Paths[0].Closed);
    ASSERT_EQ(record.Paths[0].Segments.size(), 1u);
    ExpectVec(record.Paths[0].Segments[0].End, 30, 0, 0);
    ExpectVec(record.Paths[0].Segments[0].Control1, 10, 0, 0);

    // A zero byte ends a name early.
    LevelBytes::Writer w;
    w.Fill(16, 0).U32(0).U32(1).Text(std::string("tree\0junk", 9)).Fill(40, 0).U32(0);
    ASSERT_TRUE(Read(w.bytes, record, problem)) << problem;
    EXPECT_EQ(record.Objects[0].Name, "tree");
}

TEST(LevelFile, EveryShortenedFileIsRefused) {
    const Bytes whole = LevelBytes::RaceLevel();
    for (size_t size = 0; size < whole.size(); ++size) {
        LevelFileRecord record;
        std::string problem;
        ASSERT_FALSE(LevelFile::Read(whole.data(), size, record, problem)) << size;
        EXPECT_NE(problem.find("at offset"), std::string::npos) << problem;
        EXPECT_TRUE(record.Objects.empty() && record.Paths.empty()) << size;
    }
}

TEST(LevelFile, CountsThatLieAreRefusedWithTheirOffset) {
    using LevelBytes::Writer;
    struct Case {
        const char* what;
        Bytes bytes;
        size_t offset;
        const char* reason;
    };
    const uint32_t huge = 0xFFFFFFFFu;
    const Case cases[] = {
        {"header", Writer().Fill(15).bytes, 0, "header"},
        {"camera count", Writer().Fill(16).U32(2).Fill(79).bytes, 20, "camera"},
        {"huge camera count", Writer().Fill(16).U32(huge).U32(0).U32(0).bytes, 20, "camera"},
        {"no object count", Writer().Fill(16).U32(0).bytes, 20, "object count"},
        {"object count", Writer().Fill(16).U32(0).U32(2).Text("a").Fill(40).U32(0).bytes, 24, "objects"},
        {"huge object count", Writer().Fill(16).U32(0).U32(huge).Fill(64).bytes, 24, "objects"},
        {"name length", Writer().Fill(16).U32(0).U32(1).U32(1000).Fill(40).U32(0).bytes, 24, "name"},
        {"object floats", Writer().Fill(16).U32(0).U32(1).Text("tree").Fill(36, 0).bytes, 32, "cut short"},
        {"no path count", Writer().Fill(16).U32(0).U32(0).bytes, 24, "path count"},
        {"path count", Writer().Fill(16).U32(0).U32(0).U32(3).Text("c_path").U32(0).U32(0).bytes, 28, "paths"},
        {"path name", Writer().Fill(16).U32(0).U32(0).U32(1).U32(50).Fill(8).bytes, 28, "path name"},
        {"segment count",
         Writer().Fill(16).U32(0).U32(0).U32(1).Text("c_path").U32(1).U32(2).Fill(48, 0).bytes, 46, "segments"},
        {"huge segment count",
         Writer().Fill(16).U32(0).U32(0).U32(1).Text("c_path").U32(1).U32(huge).Fill(48, 0).bytes, 46, "segments"},
    };
    for (const Case& c : cases) {
        LevelFileRecord record;
        std::string problem;
        EXPECT_FALSE(Read(c.bytes, record, problem)) << c.what;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << c.what << ": " << problem;
        EXPECT_NE(problem.find("at offset " + std::to_string(c.offset)), std::string::npos) << c.what << ": " << problem;
        EXPECT_TRUE(record.Objects.empty() && record.Paths.empty()) << c.what;
    }
}

TEST(LevelFile, ValuesThatAreNotNumbersAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    LevelFileRecord record;
    std::string problem;
    EXPECT_FALSE(Read(Level({{"tree", {nan, 0, 0}}}, {}), record, problem));
    EXPECT_NE(problem.find("\"tree\""), std::string::npos) << problem;
    EXPECT_FALSE(Read(Level({{"tree", {0, 0, 0}, {0, 0, 0, 1}, {1, inf, 1}}}, {}), record, problem));
    Path path{"c_path", true, {LevelBytes::Straight({0, 0, 0}, {30, inf, 0})}};
    EXPECT_FALSE(Read(Level({}, {path}), record, problem));
    EXPECT_NE(problem.find("c_path"), std::string::npos) << problem;
}

TEST(LevelFile, BaseNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"tree", "tree"}, {"tree1", "tree"}, {"tree12", "tree"}, {"tree1a", "tree1a"},
        {"a1b22", "a1b"}, {"123", ""},       {"", ""},           {"stolb_start_left2", "stolb_start_left"},
    };
    for (const auto& [name, base] : cases) EXPECT_EQ(LevelFile::BaseName(name), base) << name;
}

TEST(LevelFile, RecordsAreSortedByName) {
    const float s = std::sqrt(0.5f);
    const LevelLayout layout = Classify({
        {"player", {1, 1, 1}, {0, 0, 0.6f, 0.8f}},
        {"player2", {10, 20, 0.5f}, {0, 0, s, s}},
        {"enemy1", {3, 0, 0}, {0, 0, s, s}},
        {"enemy_truck", {4, 0, 0}},
        {"tree12", {7, 8, 9}, {0, 0, s, s}, {2, 3, 4}},
        {"tree1a", {0, 0, 0}},
        {"arrow_blue3", {0, 0, 0}},
        {"arrow_blue_b", {0, 0, 0}},
        {"checkpoint3,15", {0, 0, 0}},
        {"checkpoint_a", {0, 0, 0}},
        {"chk12_flag", {1, 2, 3}, {0, 0, s, s}},
        {"chk_flag", {0, 0, 0}},
        {"chk-3xpole", {0, 0, 0}},
        {"chk99999999999_big", {0, 0, 0}},
        {"chk12", {0, 0, 0}},
        {"src_tank1", {1, 0, 0}},
        {"src_tank2", {2, 0, 0}},
        {"src_heli", {3, 0, 0}},
        {"stolb_start_left2", {0, 10, 0}},
        {"stolb_start_right", {0, -10, 0}},
        {"7", {0, 0, 0}},
    });
    // The last "player" record counts, its rotation as stored; the car starts keep theirs too.
    ExpectVec(layout.Player.Position, 10, 20, 0.5f);
    EXPECT_FLOAT_EQ(layout.Player.Orientation.z, s);
    ASSERT_EQ(layout.Cars.size(), 2u);
    EXPECT_FLOAT_EQ(layout.Cars[0].Orientation.z, s);
    ExpectVec(layout.Cars[1].Position, 4, 0, 0);

    ASSERT_EQ(layout.Objects.size(), 6u);
    const LevelPlacedObject& tree = layout.Objects[0];
    EXPECT_EQ(tree.File, "tree.rdf");
    ExpectVec(tree.Position, 7, 8, 9);
    ExpectVec(tree.Scale, 2, 3, 4);
    // Placed objects store their rotation conjugated.
    EXPECT_FLOAT_EQ(tree.Orientation.z, -s);
    EXPECT_FLOAT_EQ(tree.Orientation.w, s);
    EXPECT_EQ(layout.Objects[1].File, "tree1a.rdf");
    EXPECT_TRUE(layout.Objects[2].Zone);
    EXPECT_EQ(layout.Objects[2].File, "arrow_blue.rdf");
    EXPECT_TRUE(layout.Objects[3].Zone);
    EXPECT_FALSE(layout.Objects[0].Zone);
    EXPECT_EQ(layout.Objects[4].File, "checkpoint.rdf");
    EXPECT_TRUE(layout.Objects[4].Checkpoint);
    EXPECT_FLOAT_EQ(layout.Objects[4].CheckpointTime, 24.0f);
    EXPECT_TRUE(layout.Objects[5].Checkpoint);
    EXPECT_FLOAT_EQ(layout.Objects[5].CheckpointTime, 9.0f);

    ASSERT_EQ(layout.Beacons.size(), 4u);
    EXPECT_EQ(layout.Beacons[0].Key, "12");
    EXPECT_EQ(layout.Beacons[0].Number, 12);
    EXPECT_EQ(layout.Beacons[0].File, "flag.rdf");
    EXPECT_EQ(layout.Beacons[0].BaseName, "chk12_flag");
    EXPECT_FLOAT_EQ(layout.Beacons[0].Rotation.z, s);  // LoadObject conjugates it
    EXPECT_EQ(layout.Beacons[1].Key, "");
    EXPECT_EQ(layout.Beacons[1].Number, 0);
    EXPECT_EQ(layout.Beacons[1].File, "flag.rdf");
    EXPECT_EQ(layout.Beacons[2].Key, "-3");
    EXPECT_EQ(layout.Beacons[2].Number, -3);
    EXPECT_EQ(layout.Beacons[2].File, "pole.rdf");
    EXPECT_EQ(layout.Beacons[3].Number, std::numeric_limits<int32_t>::max());

    ASSERT_EQ(layout.Sources.size(), 2u);
    ExpectVec(layout.Sources.at("tank"), 2, 0, 0);
    ExpectVec(layout.Sources.at("heli"), 3, 0, 0);

    EXPECT_TRUE(layout.HasLeftPost);
    EXPECT_TRUE(layout.HasRightPost);
    ExpectVec(layout.LeftPost, 0, 10, 0);
    ExpectVec(layout.RightPost, 0, -10, 0);
    // "chk12" (base "chk") names no beacon object, "7" no object file.
    EXPECT_EQ(layout.Refused.size(), 2u);
}

TEST(LevelFile, ModesLeaveRecordsOut) {
    const std::vector<Object> objects = {{"enemy1", {}}, {"checkpoint3,15", {}}, {"cherry", {}}, {"tree", {}}};
    const LevelLayout single = Classify(objects, true, false);
    EXPECT_EQ(single.Cars.size(), 1u);
    ASSERT_EQ(single.Objects.size(), 1u);
    EXPECT_EQ(single.Objects[0].File, "tree.rdf");
    const LevelLayout timed = Classify(objects, false, true);
    EXPECT_TRUE(timed.Cars.empty());
    EXPECT_EQ(timed.Objects.size(), 3u);
    const LevelLayout plain = Classify({});
    ExpectVec(plain.Player.Position, 100, 100, 1);
    EXPECT_FLOAT_EQ(plain.Player.Orientation.w, 1.0f);
}

TEST(LevelFile, ALevelNeedsItsPaths) {
    const std::vector<Object> posts = {{"stolb_start_left", {}}, {"stolb_start_right", {}}};
    std::vector<Object> withCars = posts;
    withCars.push_back({"enemy1", {}});
    const Path centre = LevelBytes::Square("c_path", 50);
    const Path left = LevelBytes::Square("left", 40);
    const Path right = LevelBytes::Square("right", 60);
    struct Case {
        const char* what;
        Bytes bytes;
        const char* problem;  // null: accepted
    };
    const Case cases[] = {
        {"race level", LevelBytes::RaceLevel(), nullptr},
        {"no paths at all", Level(posts, {}), "no path \"c_path\""},
        {"paths of other names", Level(posts, {LevelBytes::Square("C_PATH", 50)}), "no path \"c_path\""},
        {"no left post (taken as the origin)", Level({posts[1]}, {centre}), nullptr},
        {"no right post (taken as the origin)", Level({posts[0]}, {centre}), nullptr},
        {"cars without left", Level(withCars, {centre, right}), "no path \"left\""},
        {"cars without right", Level(withCars, {centre, left}), "no path \"right\""},
        {"no cars, no borders", Level(posts, {centre}), nullptr},
        {"shortest file", Level({}, {}), "no path \"c_path\""},
    };
    for (const Case& c : cases) {
        LevelLayout layout;
        std::string problem;
        const bool parsed = LevelFile::Parse(c.bytes.data(), c.bytes.size(), false, false, layout, problem);
        if (c.problem == nullptr) {
            EXPECT_TRUE(parsed) << c.what << ": " << problem;
        } else {
            EXPECT_FALSE(parsed) << c.what;
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
            EXPECT_TRUE(layout.File.Objects.empty() && layout.Objects.empty() && layout.CentrePath < 0) << c.what;
        }
    }
    // In time mode the computer cars are gone, and with them the need for borders.
    const Bytes timed = Level(withCars, {centre});
    LevelLayout layout;
    std::string problem;
    EXPECT_TRUE(LevelFile::Parse(timed.data(), timed.size(), false, true, layout, problem)) << problem;
}

TEST(LevelFile, TheLaterOfTwoPathsOfANameCounts) {
    const Bytes bytes = Level({{"stolb_start_left", {}}, {"stolb_start_right", {}}},
                              {LevelBytes::Square("c_path", 50), LevelBytes::Square("other", 10),
                               LevelBytes::Square("c_path", 70)});
    LevelLayout layout;
    std::string problem;
    ASSERT_TRUE(LevelFile::Parse(bytes.data(), bytes.size(), false, false, layout, problem)) << problem;
    EXPECT_EQ(layout.CentrePath, 2);
    EXPECT_EQ(layout.LeftPath, -1);
}

}  // namespace
