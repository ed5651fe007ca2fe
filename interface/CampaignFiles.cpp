#include "interface/CampaignFiles.h"

#include "core/CPFileWriter.h"
#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"

#include <cstring>
#include <limits>

std::string FormatFileError(const std::string& fileName, const CampaignFileError& error) {
    if (error.Line > 0) {
        return fileName + ":" + std::to_string(error.Line) + ": " + error.Reason;
    }
    return fileName + ": " + error.Reason;
}

namespace {

// atoi and atof: the leading number, 0 when there is none (or it is out of range).
int32_t LeadingInt(const std::string& text) {
    int32_t value = 0;
    TextToInt(text, value);
    return value;
}

float LeadingFloat(const std::string& text) {
    float value = 0.0f;
    TextToFloat(text, value);
    return value;
}

std::string SlotName(const std::string& line) { return line == "none" ? std::string() : line; }

std::vector<std::string> Split(const std::string& text, const char* delimiter, bool quoteAware) {
    CPTokenizer tokenizer(text, delimiter, quoteAware);
    std::vector<std::string> tokens;
    std::string token;
    while (tokenizer.NextToken(token)) {
        tokens.push_back(token);
    }
    return tokens;
}

bool Fail(CampaignFileError& error, int line, std::string reason) {
    error.Line = line;
    error.Reason = std::move(reason);
    return false;
}

}  // namespace

bool ParsePlayerFile(const char* text, int length, PlayerFile& file, CampaignFileError& error) {
    CPLineReader reader(text, length);
    std::array<std::string, PlayerFile::FieldCount> lines;
    PlayerFile parsed;
    for (int i = 0; i < PlayerFile::FieldCount; ++i) {
        if (!reader.NextLine(lines[static_cast<size_t>(i)])) {
            return Fail(error, 0, "holds " + std::to_string(i) + " lines, " + std::to_string(PlayerFile::FieldCount) +
                                      " expected");
        }
        parsed.Lines[static_cast<size_t>(i)] = reader.GetLineStart();
    }
    CarSettings& car = parsed.Car;
    car.Weapons = {SlotName(lines[0]), SlotName(lines[1]), SlotName(lines[2])};
    car.Mine = SlotName(lines[3]);
    car.Armor = SlotName(lines[4]);
    car.Bumper = SlotName(lines[5]);
    car.Engine = SlotName(lines[6]);
    car.SuperWeapon = SlotName(lines[7]);
    car.SuperWeaponCharges = LeadingInt(lines[8]);
    car.Equipment = {SlotName(lines[9]), SlotName(lines[10])};
    if (car.SuperWeaponCharges < 0) {
        return Fail(error, parsed.Lines[8], "negative super-weapon charges " + std::to_string(car.SuperWeaponCharges));
    }
    file = std::move(parsed);
    return true;
}

CoefficientsFile ParseCoefficients(const char* text, int length) {
    CPLineReader reader(text, length);
    CoefficientsFile file;
    std::string line;
    while (file.LinesRead < static_cast<int>(file.Values.size()) && reader.NextLine(line)) {
        file.Values[static_cast<size_t>(file.LinesRead)] = LeadingFloat(line);
        ++file.LinesRead;
    }
    return file;
}

bool ParseRangeList(const std::string& text, std::vector<RangeEntry>& ranges, std::string& reason) {
    std::vector<RangeEntry> parsed;
    int64_t total = 0;
    for (const std::string& entry : Split(text, ";", false)) {
        const std::vector<std::string> parts = Split(entry, ",", false);
        RangeEntry range;
        range.Name = parts.empty() ? std::string() : parts[0];
        const int32_t count = parts.size() > 1 ? LeadingInt(parts[1]) : 0;
        if (count < 0) {
            reason = "range \"" + entry + "\" has a negative count";
            return false;
        }
        if (total + count > std::numeric_limits<int32_t>::max()) {
            reason = "the counts of \"" + text + "\" add up beyond " + std::to_string(std::numeric_limits<int32_t>::max());
            return false;
        }
        range.Low = static_cast<int32_t>(total);
        total += count;
        range.High = static_cast<int32_t>(total);
        parsed.push_back(std::move(range));
    }
    ranges = std::move(parsed);
    return true;
}

namespace {

constexpr size_t CheckpointFields = 7;
constexpr size_t SourceFields = 5;

bool ParseRanges(const std::string& text, int line, const char* what, std::vector<RangeEntry>& ranges,
                 CampaignFileError& error) {
    std::string reason;
    if (!ParseRangeList(text, ranges, reason)) {
        return Fail(error, line, std::string(what) + ": " + reason);
    }
    return true;
}

bool ParseCheckpoint(const std::vector<std::string>& fields, int line, MissionSource& source, CampaignFileError& error) {
    source.Value = LeadingFloat(fields[0]);
    for (size_t i = 0; i < source.IntValues.size(); ++i) {
        source.IntValues[i] = LeadingInt(fields[1 + i]);
    }
    source.BonusProbability = LeadingInt(fields[5]);
    return ParseRanges(fields[4], line, "enemy ranges", source.EnemyRanges, error) &&
           ParseRanges(fields[6], line, "bonus ranges", source.BonusRanges, error);
}

bool ParseSource(const std::vector<std::string>& fields, int line, MissionSourceLine& source, CampaignFileError& error) {
    source.PositionName = fields[0];
    source.Group = fields[1];
    source.Kind = fields[2] != "0";
    source.Value = LeadingFloat(fields[3]);
    source.Line = line;
    return ParseRanges(fields[4], line, "enemy ranges", source.EnemyRanges, error);
}

std::string FieldCountReason(const char* kind, size_t found, size_t expected) {
    return std::string(kind) + " line has " + std::to_string(found) + " fields, " + std::to_string(expected) +
           " expected (fields are split at single spaces)";
}

}  // namespace

bool ParseMissionFile(const char* text, int length, MissionFile& file, CampaignFileError& error) {
    CPLineReader reader(text, length);
    MissionFile parsed;
    bool inSources = false;
    std::string line;
    while (reader.NextLine(line)) {
        const int lineNumber = reader.GetLineStart();
        if (!inSources && line == "sources") {
            inSources = true;
            continue;
        }
        const std::vector<std::string> fields = Split(line, " ", true);
        if (!inSources) {
            if (fields.size() != CheckpointFields) {
                return Fail(error, lineNumber, FieldCountReason("checkpoint", fields.size(), CheckpointFields));
            }
            MissionSource checkpoint;
            if (!ParseCheckpoint(fields, lineNumber, checkpoint, error)) {
                return false;
            }
            parsed.Checkpoints.push_back(std::move(checkpoint));
        } else {
            if (fields.size() != SourceFields) {
                return Fail(error, lineNumber, FieldCountReason("source", fields.size(), SourceFields));
            }
            MissionSourceLine source;
            if (!ParseSource(fields, lineNumber, source, error)) {
                return false;
            }
            parsed.Sources.push_back(std::move(source));
        }
    }
    file = std::move(parsed);
    return true;
}

void WriteScoreTables(const std::vector<std::vector<ScoreRecord>>& tables, CPFileWriter& writer) {
    for (size_t t = 0; t < tables.size(); ++t) {
        for (const ScoreRecord& record : tables[t]) {
            writer.WriteInt(static_cast<int>(t));
            writer.WriteString(record.Name);
            writer.WriteInt(record.Minutes);
            writer.WriteInt(record.Seconds);
            writer.WriteInt(record.Hundredths);
        }
    }
}

namespace {

// Little-endian reads that say when the data ends first.
class ByteCursor {
public:
    ByteCursor(const uint8_t* data, size_t length) : Data(data), Length(length) {}

    size_t Offset() const { return Position; }
    bool AtEnd() const { return Position == Length; }

    bool ReadInt(int32_t& value) {
        if (Length - Position < 4) {
            return false;
        }
        const uint8_t* at = Data + Position;
        const uint32_t bits = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                              static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
        value = static_cast<int32_t>(bits);
        Position += 4;
        return true;
    }
    // The text ends at its first zero byte, as the engine's reader takes it.
    bool ReadString(std::string& text) {
        int32_t n = 0;
        if (!ReadInt(n) || n < 0 || static_cast<size_t>(n) > Length - Position) {
            return false;
        }
        const char* bytes = reinterpret_cast<const char*>(Data + Position);
        text.assign(bytes, strnlen(bytes, static_cast<size_t>(n)));
        Position += static_cast<size_t>(n);
        return true;
    }

private:
    const uint8_t* Data;
    size_t Length;
    size_t Position = 0;
};

}  // namespace

bool ReadScoreTables(const uint8_t* data, size_t length, size_t tableCount, size_t maxRecords,
                     std::vector<std::vector<ScoreRecord>>& tables, CampaignFileError& error) {
    std::vector<std::vector<ScoreRecord>> parsed(tableCount);
    ByteCursor cursor(data, length);
    for (int entry = 1; !cursor.AtEnd(); ++entry) {
        const std::string where = "entry " + std::to_string(entry) + " at byte " + std::to_string(cursor.Offset());
        int32_t table = 0;
        ScoreRecord record;
        if (!cursor.ReadInt(table) || !cursor.ReadString(record.Name) || !cursor.ReadInt(record.Minutes) ||
            !cursor.ReadInt(record.Seconds) || !cursor.ReadInt(record.Hundredths)) {
            return Fail(error, 0, where + " is cut short or has a bad name length");
        }
        if (table < 0 || static_cast<size_t>(table) >= tableCount) {
            return Fail(error, 0, where + ": table index " + std::to_string(table) + " outside the " +
                                      std::to_string(tableCount) + " score tables");
        }
        if (record.Minutes < 0 || record.Seconds < 0 || record.Seconds > 59 || record.Hundredths < 0 ||
            record.Hundredths > 99) {
            return Fail(error, 0, where + ": time " + std::to_string(record.Minutes) + ":" +
                                      std::to_string(record.Seconds) + ":" + std::to_string(record.Hundredths) +
                                      " is not minutes, seconds 0-59 and hundredths 0-99");
        }
        std::vector<ScoreRecord>& records = parsed[static_cast<size_t>(table)];
        if (records.size() >= maxRecords) {
            return Fail(error, 0, where + ": table index " + std::to_string(table) + " holds more than " +
                                      std::to_string(maxRecords) + " records");
        }
        records.push_back(std::move(record));
    }
    tables = std::move(parsed);
    return true;
}
