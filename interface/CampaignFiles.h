// The campaign files as pure functions from bytes to records and back, so they are tested and
// fuzzed without the game data, the level or the disk. CPGameData reads a file whole, parses
// it here and applies the records only when the whole file made sense.
//
// Text files follow the engine's line rules (CPLineReader: "//" drops a line, "/*" ... "*/" a
// block, lines trimmed, blank ones skipped) and read numbers the way atoi and atof do: the
// leading number counts, the rest is ignored, a text without one is 0.
//
//   "DATA\player.dat"   eleven lines: weapon 1..3, mine, armour, bumper, engine, super weapon,
//                       its charges (a number), equipment 1..2; "none" is an empty slot.
//   "DATA\coeff.dat"    four decimals: Coefficient1, DamageCoefficient, BonusCoefficient,
//                       LevelTimeCoefficient; further lines ignored.
//   mission files       checkpoint lines, then a line "sources", then source lines, fields
//                       split at " " (see ParseMissionFile).
//   "Data\scores.dat"   scrambled binary: per record, int32 table index (from 0), the name as
//                       int32 length and bytes, int32 minutes, seconds, hundredths.
#pragma once

#include "interface/CampaignRecords.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CPFileWriter;

// Why a file was refused: the 1-based text line (0 when the reason is about the whole file)
// and what is wrong there.
struct CampaignFileError {
    int Line = 0;
    std::string Reason;
};

// "file:line: reason", or "file: reason" without a line.
std::string FormatFileError(const std::string& fileName, const CampaignFileError& error);

// "DATA\player.dat": the car and the text line of each of its eleven fields, in file order.
struct PlayerFile {
    static constexpr int FieldCount = 11;
    CarSettings Car;
    std::array<int, FieldCount> Lines{};
};
// False when the file holds fewer than eleven lines or a negative charge count.
bool ParsePlayerFile(const char* text, int length, PlayerFile& file, CampaignFileError& error);

// Checks that every name of the player file is an item of its catalogue; `catalogues` is
// anything with the seven catalogues as fields named as in CPGameData.
template <class Catalogues>
bool CheckPlayerFileItems(const PlayerFile& file, const Catalogues& catalogues, CampaignFileError& error);

// "DATA\coeff.dat": never refused; LinesRead below four means the later values are 0.0.
struct CoefficientsFile {
    std::array<float, 4> Values{};  // Coefficient1, DamageCoefficient, BonusCoefficient, LevelTimeCoefficient
    int LinesRead = 0;
};
CoefficientsFile ParseCoefficients(const char* text, int length);

// One source line of a mission file, before its position name is looked up in the level.
struct MissionSourceLine {
    std::string PositionName;
    std::string Group;
    bool Kind = false;
    float Value = 0.0f;
    std::vector<RangeEntry> EnemyRanges;
    int Line = 0;

    bool operator==(const MissionSourceLine&) const = default;
};
struct MissionFile {
    std::vector<MissionSource> Checkpoints;
    std::vector<MissionSourceLine> Sources;
};
// Checkpoint lines (every line before the one that is exactly "sources") hold seven fields:
// float, three ints, enemy ranges, bonus probability, bonus ranges. Source lines hold five:
// position name, group, kind ("0" is false, anything else true), float, enemy ranges. Fields
// are split at " " with double quotes protecting spaces. A line with another number of
// fields, or a range list that does not parse, refuses the file.
bool ParseMissionFile(const char* text, int length, MissionFile& file, CampaignFileError& error);
// "name,count;name,count;...": the entries get consecutive ranges from 0. An entry without
// "," counts 0 (as atoi reads the missing count); a negative count or a total beyond int32 is
// refused (reason says which).
bool ParseRangeList(const std::string& text, std::vector<RangeEntry>& ranges, std::string& reason);

// Appends every record of the tables to the writer, table by table in stored order.
void WriteScoreTables(const std::vector<std::vector<ScoreRecord>>& tables, CPFileWriter& writer);
// Reads unscrambled scores.dat bytes into `tableCount` tables. Refused: an entry cut short, a
// negative string length, a table index outside 0..tableCount-1, a negative time, seconds
// beyond 59 or hundredths beyond 99, more records for a table than a table keeps
// (`maxRecords`). The error's line is 0 and the reason names the entry and its byte offset.
bool ReadScoreTables(const uint8_t* data, size_t length, size_t tableCount, size_t maxRecords,
                     std::vector<std::vector<ScoreRecord>>& tables, CampaignFileError& error);

// ---------------------------------------------------------------------------------------------

template <class Catalogues>
bool CheckPlayerFileItems(const PlayerFile& file, const Catalogues& catalogues, CampaignFileError& error) {
    const CarSettings& car = file.Car;
    // In file order; line 9 (the charges) is not a name.
    const auto check = [&](int field, const auto& catalogue, const std::string& name, const char* what) {
        if (name.empty() || catalogue.Contains(name)) {
            return true;
        }
        error.Line = file.Lines[static_cast<size_t>(field)];
        error.Reason = "unknown " + std::string(what) + " \"" + name + "\"";
        return false;
    };
    return check(0, catalogues.Weapons, car.Weapons[0], "weapon") &&
           check(1, catalogues.Weapons, car.Weapons[1], "weapon") &&
           check(2, catalogues.Weapons, car.Weapons[2], "weapon") && check(3, catalogues.Mines, car.Mine, "mine") &&
           check(4, catalogues.Armor, car.Armor, "armour") && check(5, catalogues.Bumpers, car.Bumper, "bumper") &&
           check(6, catalogues.Engines, car.Engine, "engine") &&
           check(7, catalogues.SuperWeapons, car.SuperWeapon, "super weapon") &&
           check(9, catalogues.Equipment, car.Equipment[0], "equipment") &&
           check(10, catalogues.Equipment, car.Equipment[1], "equipment");
}
