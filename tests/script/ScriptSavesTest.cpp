// Profiles and save games: the save format against a file built by hand, round trips, damaged
// saves that change nothing, the slot choice, bare save names, and the profile, record and
// difficulty functions as scripts use them.
#include "ScriptFixture.h"

#include "core/CPFileWriter.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "script/SaveGame.h"
#include "script/ScriptTables.h"
#include "tests/TestBytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

using Bytes = std::string;

using TestBytes::Put16;
using TestBytes::Put32;

void PutFloat(Bytes& b, float v) { Put32(b, std::bit_cast<uint32_t>(v)); }
void PutString(Bytes& b, const std::string& s) {
    Put32(b, static_cast<uint32_t>(s.size()));
    b += s;
}

SYSTEMTIME Time(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second,
                uint16_t dayOfWeek = 3, uint16_t ms = 0) {
    return SYSTEMTIME{year, month, dayOfWeek, day, hour, minute, second, ms};
}

GhostSample Sample(float base) {
    GhostSample s;
    s.Position = D3DXVECTOR3(base, base + 1, base + 2);
    s.Orientation = D3DXQUATERNION(0.0f, 0.0f, 0.6f, 0.8f);
    s.Time = base / 10;
    return s;
}

bool SameTracks(const std::array<TrackRecord, 10>& a, const std::array<TrackRecord, 10>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].BestTime != b[i].BestTime || a[i].Value != b[i].Value || a[i].Name != b[i].Name ||
            a[i].Samples.size() != b[i].Samples.size() ||
            (!a[i].Samples.empty() &&
             std::memcmp(a[i].Samples.data(), b[i].Samples.data(), a[i].Samples.size() * sizeof(GhostSample)) != 0)) {
            return false;
        }
    }
    return true;
}

// The hand-built file of the game data that Fill sets up, saved at `time`.
Bytes HandBuiltSave(const SYSTEMTIME& time) {
    Bytes b;
    PutString(b, "prof");
    PutString(b, "Ann");
    for (uint16_t v : {time.wYear, time.wMonth, time.wDayOfWeek, time.wDay, time.wHour, time.wMinute, time.wSecond,
                       time.wMilliseconds}) {
        Put16(b, v);
    }
    Put32(b, 7);                   // races passed
    Put32(b, static_cast<uint32_t>(-12));  // points
    for (int track = 0; track < 10; ++track) {
        if (track == 2) {
            PutFloat(b, 83.5f);
            Put32(b, 9);
            Put32(b, 2);
            PutString(b, "rover_x");
            for (float base : {1.0f, 5.0f}) {
                const GhostSample s = Sample(base);
                for (float v : {s.Position.x, s.Position.y, s.Position.z, s.Orientation.x, s.Orientation.y,
                                s.Orientation.z, s.Orientation.w, s.Time}) {
                    PutFloat(b, v);
                }
            }
        } else {
            PutFloat(b, track == 5 ? 61.25f : 0.0f);
            Put32(b, 4);
            Put32(b, 0);
        }
    }
    return b;
}

}  // namespace

class ScriptSaves : public ScriptTest {
protected:
    CPGameData& Data() { return *CPGameData::Instance; }

    void SetUp() override {
        ScriptTest::SetUp();
        PlatformClock::FixLocalTime(Time(2024, 5, 17, 10, 20, 30, 5, 250));
    }

    // A profile with a run on track 3 and a time without a run on track 6.
    void Fill() {
        CPGameData& d = Data();
        d.ProfileName = "prof";
        d.PlayerName = "Ann";
        d.RacesPassed = 7;
        d.Points = -12;
        for (TrackRecord& t : d.Records) {
            t = TrackRecord{0.0f, 4, "", {}};
        }
        d.Records[2] = TrackRecord{83.5f, 9, "rover_x", {Sample(1.0f), Sample(5.0f)}};
        d.Records[5] = TrackRecord{61.25f, 4, "", {}};
    }
    std::string SavePath(int slot) { return "Data/Saves/save" + std::to_string(slot) + ".sav"; }
    void WriteSlot(int slot, const SYSTEMTIME& time, const std::string& profile = "p") {
        SaveGame::Record record;
        record.ProfileName = profile;
        record.Time = time;
        CPFileWriter writer("unused", false);
        SaveGame::Write(record, writer);
        const auto& bytes = writer.GetBuffer();
        WriteFile(SavePath(slot), std::string(bytes.begin(), bytes.end()));
    }
};

TEST_F(ScriptSaves, SaveGameWritesTheFormatByteForByte) {
    Fill();
    Run("SaveGame()");
    EXPECT_EQ(ReadFile(SavePath(0)), HandBuiltSave(Time(2024, 5, 17, 10, 20, 30, 5, 250)));
    EXPECT_EQ(Data().SaveSlot, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "Data" / "Saves" / "save1.sav"));
}

TEST_F(ScriptSaves, SavesReadBackWhole) {
    Fill();
    const SYSTEMTIME stamp = Time(2030, 12, 31, 23, 59, 59, 2, 999);
    CPFileWriter writer("unused", false);
    SaveGame::Write(SaveGame::RecordOf(Data(), stamp), writer);
    SaveGame::Record back;
    std::string reason;
    ASSERT_TRUE(SaveGame::Read(writer.GetBuffer().data(), writer.GetBuffer().size(), back, reason)) << reason;
    EXPECT_EQ(back.ProfileName, "prof");
    EXPECT_EQ(back.PlayerName, "Ann");
    EXPECT_EQ(std::memcmp(&back.Time, &stamp, sizeof(stamp)), 0);
    EXPECT_EQ(back.RacesPassed, 7);
    EXPECT_EQ(back.Points, -12);
    EXPECT_TRUE(SameTracks(back.Tracks, Data().Records));

    // Through the scripts: saved, changed, loaded back.
    Run("SaveGame()");
    const auto saved = Data().Records;
    Data().PlayerName = "Bob";
    Data().RacesPassed = 1;
    Data().Points = 5;
    Data().Records[2] = TrackRecord{1.0f, 1, "x", {}};
    Data().Records[7] = TrackRecord{2.0f, 2, "other", {Sample(3.0f)}};
    Data().CurrentMission = 6;
    Data().SaveSlot = -1;
    Run(R"(
        LoadGame("save0.sav")
        assert(GetPlayerName() == "Ann" and GetProfileName() == "prof")
        assert(GetNumRacesPassed() == 7 and GetPoints() == -12)
        assert(GetCurrentMission() == 6)  -- the same profile keeps its mission
    )");
    EXPECT_EQ(Data().SaveSlot, 0);
    // A track saved without a run loads without one, whatever the profile held before.
    EXPECT_TRUE(SameTracks(Data().Records, saved));
}

TEST_F(ScriptSaves, ALoadedSaveOfAnotherProfileResetsTheProfileFirst) {
    Fill();
    Data().ProfileName = "other";
    WriteFile(SavePath(4), HandBuiltSave(Time(2024, 1, 1, 0, 0, 0)));
    Data().ProfileName = "mine";
    Data().CurrentMission = 5;
    Data().SaveSlot = 1;
    Data().Money = 250.0f;
    Run(R"(LoadGame("save4.sav"))");
    EXPECT_EQ(Data().ProfileName, "prof");
    EXPECT_EQ(Data().CurrentMission, 1);
    EXPECT_EQ(Data().SaveSlot, 4);
    EXPECT_EQ(Data().Points, -12);
    EXPECT_EQ(Data().Money, 250.0f);
    EXPECT_EQ(Data().Records[2].Name, "rover_x");
    EXPECT_EQ(Data().Records[5].BestTime, 61.25f);
}

TEST_F(ScriptSaves, DamagedSavesChangeNothing) {
    const Bytes good = HandBuiltSave(Time(2024, 1, 1, 0, 0, 0));
    // Offsets in the good file: "prof" 0..7, "Ann" 8..14, time 15..30, races 31, points 35,
    // track 1 at 39 (12 bytes each up to track 3 at 63: time, value, count, name, samples).
    const size_t track3 = 39 + 2 * 12;
    const size_t track3Count = track3 + 8;
    const size_t track3Samples = track3Count + 4 + 4 + 7;
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const auto cut = [&](size_t n) { return good.substr(0, n); };
    const auto patch = [&](size_t at, uint32_t v) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) {
            b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
        }
        return b;
    };
    const std::vector<Case> cases = {
        {"profile name length cut", cut(2)},
        {"profile name cut", cut(6)},
        {"player name cut", cut(12)},
        {"save time cut", cut(20)},
        {"races passed cut", cut(33)},
        {"points cut", cut(37)},
        {"first track cut", cut(45)},
        {"sample count cut", cut(track3Count + 2)},
        {"record name cut", cut(track3Count + 6)},
        {"samples cut", cut(track3Samples + 40)},
        {"last track cut", cut(good.size() - 1)},
        {"profile name longer than the file", patch(0, 1000)},
        {"negative profile name length", patch(0, 0xFFFFFFF0u)},
        {"sample count that lies", patch(track3Count, 3)},
        {"huge sample count", patch(track3Count, 0x7FFFFFFFu)},
        {"negative sample count", patch(track3Count, 0xFFFFFFFFu)},
        {"best time not a number", patch(track3, 0x7FC00000u)},
        {"sample not a number", patch(track3Samples + 4, 0x7F800000u)},
        {"bytes after the last record", good + "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaveGame::Record scratch;
        std::string reason;
        EXPECT_FALSE(SaveGame::Read(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), scratch, reason));
        EXPECT_FALSE(reason.empty());

        Fill();
        Data().ProfileName = "mine";
        Data().CurrentMission = 3;
        Data().SaveSlot = 2;
        WriteFile(SavePath(5), c.bytes);
        const auto before = Data().Records;
        reports.clear();
        Run(R"(LoadGame("save5.sav"))");
        EXPECT_EQ(Data().ProfileName, "mine");
        EXPECT_EQ(Data().PlayerName, "Ann");
        EXPECT_EQ(Data().CurrentMission, 3);
        EXPECT_EQ(Data().SaveSlot, 2);
        EXPECT_EQ(Data().RacesPassed, 7);
        EXPECT_EQ(Data().Points, -12);
        EXPECT_TRUE(SameTracks(Data().Records, before));
        ASSERT_FALSE(reports.empty());
        EXPECT_NE(reports.back().Text.find("save5.sav"), std::string::npos) << reports.back().Text;
    }
    // Missing and empty files change nothing either.
    Fill();
    Data().SaveSlot = -1;
    WriteFile(SavePath(1), "");
    Run(R"(LoadGame("save1.sav") LoadGame("save3.sav"))");
    EXPECT_EQ(Data().SaveSlot, -1);
}

TEST_F(ScriptSaves, SlotChoice) {
    Fill();
    Data().SaveSlot = -1;
    // With no saves slot 0 is taken, and kept.
    Run("SaveGame()");
    EXPECT_EQ(Data().SaveSlot, 0);
    Data().PlayerName = "Second";
    Run("SaveGame()");
    EXPECT_EQ(Data().SaveSlot, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / SavePath(1)));

    // Slots 0 and 1 taken, 2 emptied by DeleteSave: 2 is the first free one.
    WriteSlot(1, Time(2024, 1, 1, 0, 0, 0));
    WriteSlot(2, Time(2024, 1, 1, 0, 0, 0));
    Data().SaveSlot = -1;
    Run(R"(DeleteSave("save2.sav") SaveGame())");
    EXPECT_EQ(Data().SaveSlot, 2);

    // All six taken: the earliest by date and time; the day of the week and the milliseconds
    // do not count; equals go to the lowest slot.
    struct Case {
        const char* what;
        std::array<SYSTEMTIME, 6> times;
        int expected;
    };
    const SYSTEMTIME late = Time(2024, 3, 9, 10, 20, 40);
    const std::vector<Case> cases = {
        {"one second earlier", {late, late, late, Time(2024, 3, 9, 10, 20, 30), late, late}, 3},
        {"a later minute with an earlier second", {late, late, late, Time(2024, 3, 9, 10, 21, 30), late, late}, 0},
        {"December before the next January",
         {late, late, late, late, Time(2023, 12, 31, 23, 59, 59), Time(2024, 1, 1, 0, 0, 0)}, 4},
        {"weekday and milliseconds ignored",
         {Time(2024, 3, 9, 10, 20, 40, 6, 999), Time(2024, 3, 9, 10, 20, 40, 0, 0), late, late, late, late}, 0},
        {"the last slot", {late, late, late, late, late, Time(2024, 3, 9, 9, 0, 0)}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int slot = 0; slot < 6; ++slot) {
            WriteSlot(slot, c.times[static_cast<size_t>(slot)], "p" + std::to_string(slot));
        }
        Data().SaveSlot = -1;
        Run("SaveGame()");
        EXPECT_EQ(Data().SaveSlot, c.expected);
        SaveGame::Record written;
        std::string reason;
        ASSERT_EQ(SaveGame::ReadFile(SaveGame::SlotFileName(c.expected), written, reason), SaveGame::FileState::Read);
        EXPECT_EQ(written.ProfileName, "prof");
    }

    // A damaged slot counts as free and is taken before the earliest save.
    for (int slot = 0; slot < 6; ++slot) {
        WriteSlot(slot, late);
    }
    WriteFile(SavePath(4), "\x05");
    Data().SaveSlot = -1;
    Run("SaveGame()");
    EXPECT_EQ(Data().SaveSlot, 4);
}

TEST_F(ScriptSaves, AFailedSaveLeavesTheOldOneWhole) {
    WriteSlot(2, Time(2024, 1, 1, 0, 0, 0), "old");
    const std::string old = ReadFile(SavePath(2));
    Fill();
    Data().SaveSlot = 2;
    for (const HostFiles::Fault fault : {HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        HostFiles::FailNext(fault);
        Run("SaveGame()");
        HostFiles::ClearFaults();
        EXPECT_EQ(ReadFile(SavePath(2)), old);
    }
    // Without a slot, a failed write chooses none.
    Data().SaveSlot = -1;
    HostFiles::FailNext(HostFiles::Fault::Write);
    Run("SaveGame()");
    HostFiles::ClearFaults();
    EXPECT_EQ(Data().SaveSlot, -1);
    EXPECT_FALSE(std::filesystem::exists(dir / SavePath(0)));
}

TEST_F(ScriptSaves, ScoresThatCannotBeWrittenAreReported) {
    WriteFile("Data/scores.dat", "old");
    for (const HostFiles::Fault fault : {HostFiles::Fault::OpenWrite, HostFiles::Fault::Write, HostFiles::Fault::Rename}) {
        reports.clear();
        HostFiles::FailNext(fault);
        Run("SaveScore()");
        HostFiles::ClearFaults();
        EXPECT_EQ(ReadFile("Data/scores.dat"), "old");
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].Text, "SaveScore: Data\\scores.dat: cannot be written, the old file stays\n");
    }
    reports.clear();
    Run("SaveScore()");
    EXPECT_TRUE(reports.empty());
    EXPECT_NE(ReadFile("Data/scores.dat"), "old");
}

// What a program killed between writing a save and renaming it leaves: its temporaries go when
// the folder is next written; real saves and names merely like them stay.
TEST_F(ScriptSaves, StaleTemporariesGoWhenTheSaveFolderIsWritten) {
    const std::vector<std::string> stale = {".save1.sav.Ab12Cd", ".save3.sav.XXXXXX", ".scores.dat.000000"};
    const std::vector<std::string> kept = {"save1.sav", "save3.sav", ".save1.sav.abc", "x.save1.sav.abcdef",
                                           ".save1.sav.ab-cde", ".save1.sav.abcdefg", "..abcdef"};
    for (const char* script : {"SaveGame()", "DeleteSave(\"save3.sav\")"}) {
        SCOPED_TRACE(script);
        for (const std::string& name : stale) {
            WriteFile("Data/Saves/" + name, "part of a save");
        }
        for (const std::string& name : kept) {
            WriteFile("Data/Saves/" + name, "keep");
        }
        std::filesystem::create_directories(dir / "Data/Saves/.inner.abcdef");
        Fill();
        Data().SaveSlot = 1;
        Run(script);
        for (const std::string& name : stale) {
            EXPECT_FALSE(std::filesystem::exists(dir / "Data/Saves" / name)) << name;
        }
        for (const std::string& name : kept) {
            EXPECT_TRUE(std::filesystem::exists(dir / "Data/Saves" / name)) << name;
        }
        EXPECT_TRUE(std::filesystem::is_directory(dir / "Data/Saves/.inner.abcdef"));
    }
}

TEST_F(ScriptSaves, DeletingANameWithNoSaveCreatesNothing) {
    Run(R"(
        DeleteSave("level1")
        DeleteSave("inf")
        DeleteSave("-nan")
    )");
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/Saves"));
    std::filesystem::create_directories(dir / "Data/Saves");
    Run(R"(DeleteSave("level1") DeleteSave("save2.sav"))");
    EXPECT_TRUE(std::filesystem::is_empty(dir / "Data/Saves"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(ScriptSaves, GetSavesListsTheProfileOfEverySlot) {
    WriteSlot(0, Time(2024, 1, 1, 0, 0, 0), "alpha");
    WriteSlot(3, Time(2024, 1, 1, 0, 0, 0), "delta");
    WriteFile(SavePath(4), "");
    WriteFile(SavePath(5), "\x01\x00");
    Run(R"(
        local n, saves = GetSaves()
        assert(n == 6)
        local expected = {"alpha", "", "", "delta", "", ""}
        for k = 1, 6 do assert(saves[k] == expected[k], k) end
        assert(saves[7] == nil)
    )");
}

TEST_F(ScriptSaves, SaveNamesAreBareNames) {
    WriteFile("x", "keep me");
    WriteFile("Data/x", "keep me too");
    WriteFile("Data/Saves/inner/save1.sav", "inner");
    WriteFile(SavePath(1), HandBuiltSave(Time(2024, 1, 1, 0, 0, 0)));
    Data().ProfileName = "mine";
    Run(R"(
        DeleteSave("../x")
        DeleteSave("..\\x")
        DeleteSave("../../x")
        DeleteSave("inner/save1.sav")
        DeleteSave("/tmp/x")
        DeleteSave("")
        LoadGame("../Saves/save1.sav")
        LoadGame("inner\\save1.sav")
        assert(GetProfileName() == "mine")
    )");
    EXPECT_EQ(ReadFile("x"), "keep me");
    EXPECT_EQ(ReadFile("Data/x"), "keep me too");
    EXPECT_EQ(ReadFile("Data/Saves/inner/save1.sav"), "inner");
    EXPECT_GE(reports.size(), 8u);

    // A bare name empties its slot (in whatever case the folder is spelt).
    Run(R"(DeleteSave("save1.sav"))");
    EXPECT_TRUE(std::filesystem::exists(dir / SavePath(1)));
    EXPECT_EQ(ReadFile(SavePath(1)), "");
}

TEST_F(ScriptSaves, SaveSlotOfTheLoadedFileName) {
    for (const auto& [name, slot] : std::vector<std::pair<std::string, int>>{
             {"save3.sav", 3}, {"SAVE5.SAV", 5}, {"save0", 0}, {"save6.sav", -1}, {"save12.sav", -1},
             {"save.sav", -1}, {"sav", -1}, {"", -1}}) {
        EXPECT_EQ(SaveGame::SlotOfFileName(name), slot) << name;
    }
}

TEST_F(ScriptSaves, NewPlayerWritesSlotZeroAndKeepsTheSlot) {
    Fill();
    Data().SaveSlot = 3;
    Run(R"(NewPlayer("Zed"))");
    EXPECT_EQ(Data().SaveSlot, 3);
    SaveGame::Record record;
    std::string reason;
    ASSERT_EQ(SaveGame::ReadFile("save0.sav", record, reason), SaveGame::FileState::Read) << reason;
    EXPECT_EQ(record.PlayerName, "Zed");
}

TEST_F(ScriptSaves, ProfileNamesAndTheProfileReset) {
    Fill();
    Data().SaveSlot = 2;
    Data().CurrentMission = 4;
    Data().Money = 80.0f;
    Run(R"(
        SetProfileName("prof")             -- the same name resets nothing
        assert(GetCurrentMission() == 4 and GetPoints() == -12)
        SetProfileName("new")
        assert(GetProfileName() == "new")
        assert(GetCurrentMission() == 1 and GetCurrentRace() == 1 and GetPoints() == 0)
        assert(GetNumRacesPassed() == 7)
        SetPlayerName("Pat")
        assert(GetPlayerName() == "Pat")
        assert(GetPlayerName(nil) == "")
    )");
    EXPECT_EQ(Data().SaveSlot, -1);
    EXPECT_EQ(Data().Money, 80.0f);
    for (const TrackRecord& t : Data().Records) {
        EXPECT_EQ(t.BestTime, 0.0f);
        EXPECT_EQ(t.Value, 4);
        EXPECT_EQ(t.Name, "");
    }
    EXPECT_EQ(Data().Records[2].Samples.size(), 2u);  // the run stays

    CPPlayer car;
    car.SetCarName("rover");
    SetHandle("car", &car);
    Run(R"(assert(GetPlayerName(car) == "rover"))");
}

TEST_F(ScriptSaves, MissionRacesPointsAndDifficulty) {
    Run(R"(
        SetCurrentMission(4.9) assert(GetCurrentMission() == 4 and GetCurrentRace() == 4)
        SetCurrentRace("7") assert(GetCurrentMission() == 7)
        SetNumRacesPassed(-2.5) assert(GetNumRacesPassed() == -2)
        SetPoints(12.7) assert(GetPoints() == 12)
        assert(SetCurrentMission == SetCurrentRace and GetCurrentMission == GetCurrentRace)
        assert(GetDifficult() == 0 and GetDifficulty() == false)
        SetDifficulty(2) assert(GetDifficulty() == true)
        SetDifficult(0)  -- the number 0 is true
        assert(GetDifficult() == 1)
        SetDifficult(false) assert(GetDifficult() == 0)
    )");
    EXPECT_EQ(Cfg::cam_speed, 2);
    // With the flag set and "cam_speed" not 0, the coefficients are 1.0.
    Run("SetDifficult(true)");
    EXPECT_EQ(Data().DamageCoefficient, 1.0f);
}

TEST_F(ScriptSaves, RecordsAndScores) {
    Data().ProfileName = "prof";
    Data().ScoreTables = {{{"a", 1, 2, 3}, {"", 0, 0, 0}}, {}};
    Data().Rounds = 3;
    Data().LapTimes = std::vector<float>(20, 0.0f);
    Data().LapTimes[0] = 65.25f;
    Data().LapTimes[1] = 61.5f;
    Data().LapTimes[2] = 70.0f;
    Data().LapTimes[3] = 1.0f;  // beyond the rounds
    Run(R"(
        assert(CheckPlayerRecords(2) == true)
        local r = GetRecords(2)
        assert(#r == 1 and r[1][1] == "prof" and r[1][2] == "01:01:50")
        r = GetRecords(1)
        assert(#r == 2 and r[1][1] == "a" and r[1][2] == "01:02:03")
        assert(r[2][1] == "" and r[2][2] == "")
        -- table numbers outside the tables are clamped to them
        assert(#GetRecords(9) == 1 and #GetRecords(-3) == 2)
    )");
    Data().Rounds = 1;
    Run("assert(CheckPlayerRecords(40) == true)");
    ASSERT_EQ(Data().ScoreTables[1].size(), 2u);
    EXPECT_EQ(Data().ScoreTables[1][1], (ScoreRecord{"prof", 1, 5, 25}));

    Data().ScoreTables.clear();
    Run(R"(
        assert(CheckPlayerRecords(1) == false)
        local r = GetRecords(1) assert(type(r) == "table" and #r == 0)
    )");

    // The best time of the current level's track; level 0 and no level give 0, 0, 0.
    Data().Records[3].BestTime = 125.5f;
    Run("local m, s, h = GetBestTimeAttack() assert(m == 0 and s == 0 and h == 0)");
    CPLevel level;
    level.LevelNumber = 4;
    Run("local m, s, h = GetBestTimeAttack() assert(m == 2 and s == 5 and h == 50)");
    level.LevelNumber = 0;
    Run("local m, s, h = GetBestTimeAttack() assert(m == 0 and s == 0 and h == 0)");
    level.LevelNumber = 11;
    Run("local m, s, h = GetBestTimeAttack() assert(m == 0 and s == 0 and h == 0)");
}

TEST(ScriptSaveAndShopTables, EveryShopProfileAndSaveNameHasItsFunction) {
    using Script::Table;
    const auto missingA = Script::MissingFunctions(Table::A);
    for (const char* name :
         {"GetWeaponInfo", "GetMineInfo", "GetSuperWeaponInfo", "GetBumperInfo", "GetEquipmentInfo", "GetArmorInfo",
          "GetEngineInfo", "GetWeaponNames", "GetMineNames", "GetSuperWeaponNames", "GetBumperNames",
          "GetEquipmentNames", "GetArmorNames", "GetEngineNames", "GetCarInfo", "SetCarInfo", "SetMoney", "GetMoney",
          "IsValidGameDataName", "CommitCarSettings", "AutoSetting", "SetPlayerName", "GetPlayerName",
          "SetProfileName", "GetProfileName", "NewPlayer", "InitPlayer", "SaveGame", "LoadGame", "GetSaves",
          "DeleteSave", "SetCurrentMission", "SetCurrentRace", "GetCurrentMission", "GetCurrentRace",
          "GetNumRacesPassed", "SetNumRacesPassed", "GetPoints", "SetPoints", "ClearGameData", "GetBestTimeAttack",
          "CheckPlayerRecords", "GetRecords", "SaveScore", "SetDifficulty", "GetDifficult"}) {
        EXPECT_EQ(std::count(missingA.begin(), missingA.end(), name), 0) << name;
    }
    const auto missingB = Script::MissingFunctions(Table::B);
    for (const char* name : {"GetRealCarInfo", "GetDifficulty", "SetDifficult"}) {
        EXPECT_EQ(std::count(missingB.begin(), missingB.end(), name), 0) << name;
    }
}
