#include "interface/CPGameData.h"
#include "interface/CampaignFiles.h"

#include "core/CPFileWriter.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/Scramble.h"
#include "platform/files/HostFiles.h"
#include "tests/TestTempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- pure readers ---------------------------------------------------------------------------

PlayerFile ParsedPlayer(const std::string& text) {
    PlayerFile file;
    CampaignFileError error;
    EXPECT_TRUE(ParsePlayerFile(text.data(), static_cast<int>(text.size()), file, error)) << error.Reason;
    return file;
}

TEST(PlayerFileText, FieldsInFileOrderWithNoneAsEmpty) {
    const PlayerFile file = ParsedPlayer(
        "mg\nnone\nrocket\nspike\nplate\nram\nv8\nnuke\n3\nnitro\nnone\n");
    CarSettings car;
    car.Weapons = {"mg", "", "rocket"};
    car.Mine = "spike";
    car.Armor = "plate";
    car.Bumper = "ram";
    car.Engine = "v8";
    car.SuperWeapon = "nuke";
    car.SuperWeaponCharges = 3;
    car.Equipment = {"nitro", ""};
    EXPECT_EQ(file.Car, car);
    EXPECT_EQ(file.Lines, (std::array<int, 11>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(PlayerFileText, CommentsDoNotCountAndChargesReadLikeAtoi) {
    const PlayerFile file = ParsedPlayer(
        "// starting car\r\nmg\r\nnone\r\n\r\nnone\r\n/* block\r\nstill comment */\r\nnone\r\n  none  \r\n"
        "none\r\nnone\r\nnone\r\nnone\r\nnone\r\nnone\r\nextra line\r\n");
    EXPECT_EQ(file.Car.Weapons[0], "mg");
    EXPECT_EQ(file.Car.Weapons[1], "");
    EXPECT_EQ(file.Car.SuperWeaponCharges, 0);  // "none" on the charges line
    EXPECT_EQ(file.Lines[0], 2);
    EXPECT_EQ(file.Lines[2], 5);
    EXPECT_EQ(file.Lines[3], 8);
    const PlayerFile counted = ParsedPlayer("a\nb\nc\nd\ne\nf\ng\nh\n 12abc\ni\nj");
    EXPECT_EQ(counted.Car.SuperWeaponCharges, 12);
    EXPECT_EQ(counted.Car.Equipment[1], "j");
}

TEST(PlayerFileText, ShortAndDamagedFilesAreRefusedWithTheirLine) {
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", 0, "holds 0 lines, 11 expected"},
        {"ten lines", "a\nb\nc\nd\ne\nf\ng\nh\n1\ni\n", 0, "holds 10 lines, 11 expected"},
        {"comment eats a line", "a\nb\nc\nd\ne\nf\ng\nh\n1\n// i\nj\n", 0, "holds 10 lines"},
        {"empty brackets end the text", "a\n[]\nc\nd\ne\nf\ng\nh\n1\ni\nj\n", 0, "holds 1 lines"},
        {"negative charges", "a\nb\nc\nd\ne\nf\ng\nh\n-2\ni\nj\n", 9, "negative super-weapon charges -2"},
    };
    for (const Case& c : cases) {
        PlayerFile file;
        file.Car.Engine = "kept";
        CampaignFileError error;
        EXPECT_FALSE(ParsePlayerFile(c.text.data(), static_cast<int>(c.text.size()), file, error)) << c.name;
        EXPECT_EQ(error.Line, c.line) << c.name;
        EXPECT_NE(error.Reason.find(c.reason), std::string::npos) << c.name << ": " << error.Reason;
        EXPECT_EQ(file.Car.Engine, "kept") << c.name;
    }
}

TEST(CoefficientsText, FourDecimalsAndZeroForTheMissing) {
    struct Case {
        const char* name;
        std::string text;
        std::array<float, 4> values;
        int lines;
    };
    const Case cases[] = {
        {"four", "0.5\n1.25\n2\n3.5\n", {0.5f, 1.25f, 2.0f, 3.5f}, 4},
        {"more are ignored", "1\n2\n3\n4\n5\n", {1.0f, 2.0f, 3.0f, 4.0f}, 4},
        {"comments and junk", "// c\n1.5x\nabc\n-2\n7e1\n", {1.5f, 0.0f, -2.0f, 70.0f}, 4},
        {"two", "0.5\n2\n", {0.5f, 2.0f, 0.0f, 0.0f}, 2},
        {"none", "", {0.0f, 0.0f, 0.0f, 0.0f}, 0},
    };
    for (const Case& c : cases) {
        const CoefficientsFile file = ParseCoefficients(c.text.data(), static_cast<int>(c.text.size()));
        EXPECT_EQ(file.Values, c.values) << c.name;
        EXPECT_EQ(file.LinesRead, c.lines) << c.name;
    }
}

TEST(RangeLists, CountsBecomeConsecutiveRangesFromZero) {
    struct Case {
        std::string text;
        std::vector<RangeEntry> ranges;
    };
    const Case cases[] = {
        {"a,30;b,50;c,20", {{"a", 0, 30}, {"b", 30, 80}, {"c", 80, 100}}},
        {"tank,100", {{"tank", 0, 100}}},
        {"a,0;b,40;", {{"a", 0, 0}, {"b", 0, 40}}},
        {"none", {{"none", 0, 0}}},  // no count reads as 0
        {",50;x,7abc", {{"", 0, 50}, {"x", 50, 57}}},
    };
    for (const Case& c : cases) {
        std::vector<RangeEntry> ranges;
        std::string reason;
        EXPECT_TRUE(ParseRangeList(c.text, ranges, reason)) << c.text;
        EXPECT_EQ(ranges, c.ranges) << c.text;
    }
    for (const std::string text : {"a,10;b,-5", "a,2147483647;b,1"}) {
        std::vector<RangeEntry> ranges = {{"kept", 0, 1}};
        std::string reason;
        EXPECT_FALSE(ParseRangeList(text, ranges, reason)) << text;
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(ranges.size(), 1u);
    }
}

MissionFile ParsedMission(const std::string& text) {
    MissionFile file;
    CampaignFileError error;
    EXPECT_TRUE(ParseMissionFile(text.data(), static_cast<int>(text.size()), file, error))
        << error.Line << ": " << error.Reason;
    return file;
}

TEST(MissionText, CheckpointsThenSources) {
    const MissionFile file = ParsedMission(
        "// mission 1\n"
        "30.5 1 2 3 tank,50;jeep,50 20 health,30;ammo,70\n"
        "45 x 0 -1 \"big tank\",100 0 none\n"
        "sources\n"
        "north raiders 1 0.5 tank,60;jeep,40\n"
        "south raiders 0 1.25 jeep,100\n"
        "east guards no 2 tank,100\n");
    ASSERT_EQ(file.Checkpoints.size(), 2u);
    const MissionSource& first = file.Checkpoints[0];
    EXPECT_EQ(first.Value, 30.5f);
    EXPECT_EQ(first.IntValues, (std::array<int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(first.EnemyRanges, (std::vector<RangeEntry>{{"tank", 0, 50}, {"jeep", 50, 100}}));
    EXPECT_EQ(first.BonusProbability, 20);
    EXPECT_EQ(first.BonusRanges, (std::vector<RangeEntry>{{"health", 0, 30}, {"ammo", 30, 100}}));
    const MissionSource& second = file.Checkpoints[1];
    EXPECT_EQ(second.IntValues, (std::array<int32_t, 3>{0, 0, -1}));  // "x" reads as 0
    EXPECT_EQ(second.EnemyRanges, (std::vector<RangeEntry>{{"big tank", 0, 100}}));
    ASSERT_EQ(file.Sources.size(), 3u);
    EXPECT_EQ(file.Sources[0], (MissionSourceLine{"north", "raiders", true, 0.5f, {{"tank", 0, 60}, {"jeep", 60, 100}}, 5}));
    EXPECT_FALSE(file.Sources[1].Kind);
    EXPECT_EQ(file.Sources[1].Line, 6);
    EXPECT_TRUE(file.Sources[2].Kind);  // any text but "0"
}

TEST(MissionText, WithoutASourcesLineEveryLineIsACheckpoint) {
    const MissionFile file = ParsedMission("1 1 1 1 a,100 0 b,100\n2 2 2 2 a,100 0 b,100");
    EXPECT_EQ(file.Checkpoints.size(), 2u);
    EXPECT_TRUE(file.Sources.empty());
    EXPECT_TRUE(ParsedMission("").Checkpoints.empty());
}

TEST(MissionText, DamagedLinesAreRefusedWithTheirLine) {
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"short checkpoint", "1 1 1 1 a,100 0\n", 1, "checkpoint line has 6 fields, 7 expected"},
        {"double space", "// c\n1 1  1 1 a,100 0 b,100\n", 2, "has 8 fields"},
        {"long source", "sources\nn g 1 0 a,100 extra\n", 2, "source line has 6 fields, 5 expected"},
        {"short source", "1 1 1 1 a,100 0 b,100\n\nsources\nn g 1\n", 4, "has 3 fields"},
        {"negative enemy count", "1 1 1 1 a,-1 0 b,100\n", 1, "enemy ranges: range \"a,-1\" has a negative count"},
        {"negative bonus count", "1 1 1 1 a,1 0 b,-100\n", 1, "bonus ranges"},
        {"source ranges overflow", "sources\nn g 1 0 a,2000000000;b,2000000000\n", 2, "add up beyond"},
    };
    for (const Case& c : cases) {
        MissionFile file;
        CampaignFileError error;
        EXPECT_FALSE(ParseMissionFile(c.text.data(), static_cast<int>(c.text.size()), file, error)) << c.name;
        EXPECT_EQ(error.Line, c.line) << c.name;
        EXPECT_NE(error.Reason.find(c.reason), std::string::npos) << c.name << ": " << error.Reason;
    }
}

std::vector<uint8_t> ScoreBytes(const std::vector<std::vector<ScoreRecord>>& tables) {
    CPFileWriter writer("unused", false);
    WriteScoreTables(tables, writer);
    return writer.GetBuffer();
}

void PutInt(std::vector<uint8_t>& bytes, int32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
    }
}

TEST(ScoreFile, EntriesAreTableNameAndTimeInTableOrder) {
    const std::vector<std::vector<ScoreRecord>> tables = {
        {{"ab", 1, 2, 3}, {"", 0, 59, 99}, {"c", 4, 5, 6}}, {}, {{"d", 7, 8, 9}}};
    std::vector<uint8_t> expected;
    const auto entry = [&](int32_t table, const std::string& name, int32_t m, int32_t s, int32_t h) {
        PutInt(expected, table);
        PutInt(expected, static_cast<int32_t>(name.size()));
        expected.insert(expected.end(), name.begin(), name.end());
        PutInt(expected, m);
        PutInt(expected, s);
        PutInt(expected, h);
    };
    entry(0, "ab", 1, 2, 3);
    entry(0, "", 0, 59, 99);
    entry(0, "c", 4, 5, 6);
    entry(2, "d", 7, 8, 9);
    EXPECT_EQ(ScoreBytes(tables), expected);
    EXPECT_TRUE(ScoreBytes({{}, {}}).empty());

    std::vector<std::vector<ScoreRecord>> read;
    CampaignFileError error;
    ASSERT_TRUE(ReadScoreTables(expected.data(), expected.size(), 3, 7, read, error)) << error.Reason;
    EXPECT_EQ(read, tables);
    ASSERT_TRUE(ReadScoreTables(nullptr, 0, 2, 7, read, error));
    EXPECT_EQ(read, (std::vector<std::vector<ScoreRecord>>{{}, {}}));
}

TEST(ScoreFile, DamagedFilesAreRefused) {
    const std::vector<uint8_t> good = ScoreBytes({{{"ab", 1, 2, 3}}, {{"c", 0, 0, 0}}});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        size_t tables;
        const char* reason;
    };
    std::vector<Case> cases;
    // Every cut inside an entry.
    const size_t firstEntry = ScoreBytes({{{"ab", 1, 2, 3}}}).size();
    for (size_t cut = 1; cut < good.size(); ++cut) {
        if (cut != firstEntry) {
            cases.push_back({"cut", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)), 2, "cut short"});
        }
    }
    const auto one = [](int32_t table, int32_t length, int32_t m, int32_t s, int32_t h) {
        std::vector<uint8_t> bytes;
        PutInt(bytes, table);
        PutInt(bytes, length);
        bytes.insert(bytes.end(), static_cast<size_t>(std::max(length, 0)) % 64, 'x');
        PutInt(bytes, m);
        PutInt(bytes, s);
        PutInt(bytes, h);
        return bytes;
    };
    cases.push_back({"negative name length", one(0, -4, 1, 1, 1), 1, "bad name length"});
    cases.push_back({"name longer than the file", one(0, 1000, 1, 1, 1), 1, "bad name length"});
    cases.push_back({"table index past the tables", one(2, 1, 1, 1, 1), 2, "table index 2 outside the 2 score tables"});
    cases.push_back({"negative table index", one(-1, 1, 1, 1, 1), 2, "table index -1"});
    cases.push_back({"no tables at all", one(0, 1, 1, 1, 1), 0, "outside the 0 score tables"});
    cases.push_back({"sixty seconds", one(0, 1, 1, 60, 1), 1, "seconds 0-59"});
    cases.push_back({"negative minutes", one(0, 1, -1, 0, 1), 1, "is not minutes"});
    cases.push_back({"hundredths", one(0, 1, 1, 0, 100), 1, "hundredths 0-99"});
    std::vector<uint8_t> eight;
    for (int i = 0; i < 8; ++i) {
        const std::vector<uint8_t> entry = one(0, 2, 1, 1, 1);
        eight.insert(eight.end(), entry.begin(), entry.end());
    }
    cases.push_back({"eight records", eight, 1, "holds more than 7 records"});
    for (const Case& c : cases) {
        std::vector<std::vector<ScoreRecord>> tables = {{{"kept", 0, 0, 0}}};
        CampaignFileError error;
        EXPECT_FALSE(ReadScoreTables(c.bytes.data(), c.bytes.size(), c.tables, 7, tables, error)) << c.name;
        EXPECT_NE(error.Reason.find(c.reason), std::string::npos) << c.name << ": " << error.Reason;
        EXPECT_EQ(tables, (std::vector<std::vector<ScoreRecord>>{{{"kept", 0, 0, 0}}})) << c.name;
    }
}

// ---- applied to the game data, through the disk -------------------------------------------

class CampaignFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories("Data/Levels");
        CPLog::GetInstance().SetSink([this](const CPLogReport& report) { log.push_back(report.Text); });
        Cfg::ResetDefaults();
        data.Weapons.Add("mg", WeaponInfo());
        data.Weapons.Add("rocket", WeaponInfo());
        data.Engines.Add("v8", EngineInfo());
        data.Equipment.Add("nitro", PartInfo());
    }
    void TearDown() override {
        CPLog::GetInstance().SetSink(nullptr);
        Cfg::ResetDefaults();
        HostFiles::ClearFaults();
    }

    void WriteFile(const std::string& name, const std::string& bytes) const { scratch.Write(name, bytes); }
    std::string ReadFile(const std::string& name) const { return scratch.Read(name); }
    bool Logged(const std::string& text) const {
        for (const std::string& line : log) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    ScratchFolder scratch{"campaign"};
    std::vector<std::string> log;
    CPGameData data;
};

TEST_F(CampaignFilesTest, PlayerFileSetsAndCommitsTheCar) {
    WriteFile("Data/PLAYER.DAT", "mg\nnone\nnone\nnone\nnone\nnone\nv8\nnone\n0\nnitro\nnone\n");
    ASSERT_TRUE(data.LoadPlayerFile());
    CarSettings car;
    car.Weapons[0] = "mg";
    car.Engine = "v8";
    car.Equipment[0] = "nitro";
    EXPECT_EQ(data.EditedCarSettings, car);
    EXPECT_EQ(data.ActiveCarSettings, car);
    EXPECT_TRUE(log.empty());
}

TEST_F(CampaignFilesTest, MissingPlayerFileGivesTheEmptyCar) {
    data.EditedCarSettings.Engine = "v8";
    data.ActiveCarSettings.Weapons[0] = "mg";
    EXPECT_FALSE(data.LoadPlayerFile());
    EXPECT_EQ(data.EditedCarSettings, CarSettings());
    EXPECT_EQ(data.ActiveCarSettings, CarSettings());
}

TEST_F(CampaignFilesTest, DamagedPlayerFilesLeaveTheCarAndSayWhy) {
    struct Case {
        const char* name;
        std::string text;
        const char* logged;
    };
    const Case cases[] = {
        {"short", "mg\nnone\n", "DATA\\player.dat: holds 2 lines, 11 expected"},
        {"unknown weapon", "mg\nlaser\nnone\nnone\nnone\nnone\nv8\nnone\n0\nnone\nnone\n",
         "DATA\\player.dat:2: unknown weapon \"laser\""},
        {"weapon as equipment", "// c\nmg\nnone\nnone\nnone\nnone\nnone\nv8\nnone\n0\nnone\nrocket\n",
         "DATA\\player.dat:12: unknown equipment \"rocket\""},
        {"negative charges", "mg\nnone\nnone\nnone\nnone\nnone\nv8\nnone\n-1\nnone\nnone\n",
         "DATA\\player.dat:9: negative super-weapon charges"},
    };
    CarSettings edited;
    edited.Weapons[1] = "rocket";
    CarSettings active;
    active.Engine = "v8";
    for (const Case& c : cases) {
        data.EditedCarSettings = edited;
        data.ActiveCarSettings = active;
        log.clear();
        WriteFile("Data/player.dat", c.text);
        EXPECT_FALSE(data.LoadPlayerFile()) << c.name;
        EXPECT_EQ(data.EditedCarSettings, edited) << c.name;
        EXPECT_EQ(data.ActiveCarSettings, active) << c.name;
        EXPECT_TRUE(Logged(c.logged)) << c.name << ": " << (log.empty() ? "" : log[0]);
    }
    EXPECT_EQ(data.Weapons.ByName.size(), 2u);
    EXPECT_EQ(data.Equipment.ByName.size(), 1u);
}

TEST_F(CampaignFilesTest, CoefficientsFollowTheDifficultySettings) {
    WriteFile("Data/coeff.dat", "0.5\n1.5\n2.5\n3.5\n");
    struct Case {
        int camSpeed;
        bool flag;
        std::array<float, 4> expected;  // Coefficient1, Damage, Bonus, LevelTime
    };
    const Case cases[] = {
        {0, false, {0.5f, 1.5f, 2.5f, 3.5f}},
        {0, true, {0.5f, 1.5f, 2.5f, 3.5f}},
        {2, false, {0.5f, 1.5f, 2.5f, 3.5f}},
        {2, true, {1.0f, 1.0f, 1.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        Cfg::cam_speed = c.camSpeed;
        data.DifficultyFlag = c.flag;
        data.Coefficient1 = data.DamageCoefficient = data.BonusCoefficient = data.LevelTimeCoefficient = 9.0f;
        data.LoadCoefficients();
        const std::array<float, 4> got = {data.Coefficient1, data.DamageCoefficient, data.BonusCoefficient,
                                          data.LevelTimeCoefficient};
        EXPECT_EQ(got, c.expected) << c.camSpeed << " " << c.flag;
    }
}

TEST_F(CampaignFilesTest, MissingCoefficientsKeepTheirValuesAndShortFilesReadZero) {
    data.DamageCoefficient = 2.0f;
    data.LoadCoefficients();
    EXPECT_EQ(data.DamageCoefficient, 2.0f);
    EXPECT_TRUE(log.empty());

    WriteFile("Data/coeff.dat", "0.5\n1.5\n");
    data.LoadCoefficients();
    EXPECT_EQ(data.Coefficient1, 0.5f);
    EXPECT_EQ(data.DamageCoefficient, 1.5f);
    EXPECT_EQ(data.BonusCoefficient, 0.0f);
    EXPECT_EQ(data.LevelTimeCoefficient, 0.0f);
    EXPECT_TRUE(Logged("DATA\\coeff.dat: holds 2 of its 4 coefficients"));
}

const std::unordered_map<std::string, D3DXVECTOR3> LevelSources = {
    {"north", {1.0f, 2.0f, 3.0f}}, {"south", {-4.0f, 5.0f, 0.5f}}};

TEST_F(CampaignFilesTest, MissionSourcesAtTheLevelsPositions) {
    WriteFile("Data/Levels/Mission1.txt",
              "10 1 2 3 tank,100 50 health,100\n"
              "20 4 5 6 jeep,100 0 none\n"
              "sources\n"
              "north raiders 1 0.5 tank,100\n"
              "west raiders 1 0.5 tank,100\n"
              "south raiders 0 1.5 jeep,100\n"
              "north guards 0 2 tank,50;jeep,50\n");
    data.EnemySources["old"].resize(1);
    ASSERT_TRUE(data.LoadMissionInfo("mission1.txt", LevelSources));
    ASSERT_EQ(data.MissionSources.size(), 2u);
    EXPECT_EQ(data.MissionSources[1].IntValues, (std::array<int32_t, 3>{4, 5, 6}));
    EXPECT_EQ(data.EnemySources.count("old"), 0u);
    ASSERT_EQ(data.EnemySources.size(), 2u);
    const std::vector<EnemySourcePoint>& raiders = data.EnemySources.at("raiders");
    ASSERT_EQ(raiders.size(), 2u);  // west is not a position of the level
    EXPECT_EQ(raiders[0].Position, D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    EXPECT_TRUE(raiders[0].Kind);
    EXPECT_EQ(raiders[1].Position, D3DXVECTOR3(-4.0f, 5.0f, 0.5f));
    EXPECT_FALSE(raiders[1].Kind);
    EXPECT_EQ(raiders[1].Value, 1.5f);
    const std::vector<EnemySourcePoint>& guards = data.EnemySources.at("guards");
    ASSERT_EQ(guards.size(), 1u);
    EXPECT_EQ(guards[0].EnemyRanges, (std::vector<RangeEntry>{{"tank", 0, 50}, {"jeep", 50, 100}}));
    EXPECT_TRUE(Logged("Data\\Levels\\mission1.txt:5: the level has no source position \"west\" (the source is skipped)"))
        << (log.empty() ? "" : log[0]);
}

TEST_F(CampaignFilesTest, MissingAndDamagedMissionFiles) {
    data.MissionSources.resize(3);
    data.EnemySources["kept"].resize(2);
    EXPECT_FALSE(data.LoadMissionInfo("nothing.txt", LevelSources));
    EXPECT_TRUE(data.MissionSources.empty());
    EXPECT_EQ(data.EnemySources.at("kept").size(), 2u);

    data.MissionSources.resize(3);
    WriteFile("Data/Levels/bad.txt", "10 1 2 3 tank,100 50 health,100\nsources\nnorth raiders 1\n");
    EXPECT_FALSE(data.LoadMissionInfo("bad.txt", LevelSources));
    EXPECT_EQ(data.MissionSources.size(), 3u);
    EXPECT_EQ(data.EnemySources.size(), 1u);
    EXPECT_EQ(data.EnemySources.at("kept").size(), 2u);
    EXPECT_TRUE(Logged("Data\\Levels\\bad.txt:3: source line has 3 fields, 5 expected"));

    WriteFile("Data/Levels/checkpoints.txt", "10 1 2 3 tank,100 50 health,100\n");
    EXPECT_TRUE(data.LoadMissionInfo("checkpoints.txt", LevelSources));
    EXPECT_EQ(data.MissionSources.size(), 1u);
    EXPECT_TRUE(data.EnemySources.empty());
}

TEST_F(CampaignFilesTest, ScoresAreWrittenScrambledAndReadBack) {
    data.ScoreTables = {{{"Rook", 1, 12, 40}, {"Marta", 1, 15, 5}, {"Fenn", 2, 0, 0}}, {}};
    ASSERT_TRUE(data.SaveScores());
    const std::string written = ReadFile("Data/scores.dat");
    std::vector<uint8_t> plain(written.begin(), written.end());
    UnscrambleBuffer(plain);
    EXPECT_EQ(plain, ScoreBytes(data.ScoreTables));
    EXPECT_NE(std::vector<uint8_t>(written.begin(), written.end()), plain);
    // Three entries, all of table index 0.
    EXPECT_EQ(plain[0], 0);
    EXPECT_EQ(plain.size(), 3 * 20 + 4 + 5 + 4);

    const auto saved = data.ScoreTables;
    data.ScoreTables = {{}, {{"other", 0, 0, 1}}};
    ASSERT_TRUE(data.LoadScores());
    EXPECT_EQ(data.ScoreTables, saved);

    data.ScoreTables = {{}, {}};
    ASSERT_TRUE(data.SaveScores());
    EXPECT_EQ(ReadFile("Data/scores.dat"), "");
}

TEST_F(CampaignFilesTest, AFailedScoreSaveKeepsTheOldFile) {
    data.ScoreTables = {{{"Rook", 1, 12, 40}}};
    ASSERT_TRUE(data.SaveScores());
    const std::string before = ReadFile("Data/scores.dat");
    data.ScoreTables[0][0].Name = "Other";
    for (HostFiles::Fault fault : {HostFiles::Fault::OpenWrite, HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        HostFiles::FailNext(fault);
        EXPECT_FALSE(data.SaveScores());
        EXPECT_EQ(ReadFile("Data/scores.dat"), before);
        HostFiles::ClearFaults();
    }
}

TEST_F(CampaignFilesTest, ScoresThatDoNotFitLeaveTheTables) {
    data.ScoreTables = {{{"Rook", 1, 12, 40}}, {{"Fenn", 2, 0, 0}}};
    ASSERT_TRUE(data.SaveScores());
    data.ScoreTables = {{{"kept", 0, 1, 0}}};  // a campaign with one table now
    EXPECT_FALSE(data.LoadScores());
    EXPECT_EQ(data.ScoreTables, (std::vector<std::vector<ScoreRecord>>{{{"kept", 0, 1, 0}}}));
    EXPECT_TRUE(Logged("Data\\scores.dat: entry 2 at byte 24: table index 1 outside the 1 score tables"));

    fs::remove("Data/scores.dat");
    EXPECT_FALSE(data.LoadScores());
    EXPECT_EQ(data.ScoreTables.size(), 1u);
}

}  // namespace
