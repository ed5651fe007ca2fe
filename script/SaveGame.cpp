#include "script/SaveGame.h"

#include "core/CPFileReader.h"
#include "core/CPFileWriter.h"
#include "core/CPLog.h"
#include "interface/CPGameData.h"
#include "platform/files/HostFiles.h"

#include <bit>
#include <cmath>
#include <tuple>
#include <utility>

namespace SaveGame {

namespace {

// A cursor over the file's bytes; every read checks what is left and names what it wanted.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : Data(data), Size(size) {}

    size_t Offset() const { return Cursor; }
    size_t Left() const { return Size - Cursor; }

    bool Uint16(uint16_t& value) {
        if (Left() < 2) {
            return false;
        }
        value = static_cast<uint16_t>(Data[Cursor] | Data[Cursor + 1] << 8);
        Cursor += 2;
        return true;
    }
    bool Uint32(uint32_t& value) {
        if (Left() < 4) {
            return false;
        }
        value = uint32_t{Data[Cursor]} | uint32_t{Data[Cursor + 1]} << 8 | uint32_t{Data[Cursor + 2]} << 16 |
                uint32_t{Data[Cursor + 3]} << 24;
        Cursor += 4;
        return true;
    }
    bool Int32(int32_t& value) {
        uint32_t bits = 0;
        if (!Uint32(bits)) {
            return false;
        }
        value = static_cast<int32_t>(bits);
        return true;
    }
    // Only finite values: a save never holds a NaN or an infinity.
    bool Float(float& value) {
        uint32_t bits = 0;
        if (!Uint32(bits)) {
            return false;
        }
        value = std::bit_cast<float>(bits);
        return std::isfinite(value);
    }
    bool String(std::string& text) {
        int32_t length = 0;
        if (!Int32(length) || length < 0 || static_cast<size_t>(length) > Left()) {
            return false;
        }
        text.assign(reinterpret_cast<const char*>(Data + Cursor), static_cast<size_t>(length));
        Cursor += static_cast<size_t>(length);
        return true;
    }

private:
    const uint8_t* Data;
    size_t Size;
    size_t Cursor = 0;
};

void WriteFloat(CPFileWriter& writer, float value) { writer.WriteInt(std::bit_cast<int32_t>(value)); }

void WriteTime(CPFileWriter& writer, const SYSTEMTIME& time) {
    const uint16_t fields[8] = {time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                                time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
    uint8_t bytes[TimeBytes];
    for (size_t i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(fields[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(fields[i] >> 8);
    }
    writer.WriteBytes(bytes, static_cast<int>(sizeof(bytes)));
}

bool ReadTime(ByteReader& reader, SYSTEMTIME& time) {
    return reader.Uint16(time.wYear) && reader.Uint16(time.wMonth) && reader.Uint16(time.wDayOfWeek) &&
           reader.Uint16(time.wDay) && reader.Uint16(time.wHour) && reader.Uint16(time.wMinute) &&
           reader.Uint16(time.wSecond) && reader.Uint16(time.wMilliseconds);
}

bool ReadSample(ByteReader& reader, GhostSample& sample) {
    return reader.Float(sample.Position.x) && reader.Float(sample.Position.y) && reader.Float(sample.Position.z) &&
           reader.Float(sample.Orientation.x) && reader.Float(sample.Orientation.y) &&
           reader.Float(sample.Orientation.z) && reader.Float(sample.Orientation.w) && reader.Float(sample.Time);
}

// "the <what> at byte <offset>: <problem>".
bool Refuse(std::string& reason, const std::string& what, size_t offset, const char* problem) {
    reason = what + " at byte " + std::to_string(offset) + ": " + problem;
    return false;
}

std::string PathOf(const std::string& fileName) { return std::string(Folder) + fileName; }

void LogRefused(const char* operation, const std::string& fileName, const std::string& problem) {
    CPLog::GetInstance().Write(0, "%s: %s%s: %s\n", operation, Folder, fileName.c_str(), problem.c_str());
}

// The save folder and its parent, made when missing (a fresh game folder has neither), and
// rid of the temporaries of saves a killed program never renamed.
void PrepareFolder() {
    for (const char* folder : {"DATA", "DATA\\Saves"}) {
        if (!HostFiles::IsDirectory(folder)) {
            HostFiles::MakeDirectory(folder);
        }
    }
    HostFiles::RemoveTemporaries("DATA\\Saves");
}

}  // namespace

void Write(const Record& record, CPFileWriter& writer) {
    writer.WriteString(record.ProfileName);
    writer.WriteString(record.PlayerName);
    WriteTime(writer, record.Time);
    writer.WriteInt(record.RacesPassed);
    writer.WriteInt(record.Points);
    for (const TrackRecord& track : record.Tracks) {
        WriteFloat(writer, track.BestTime);
        writer.WriteInt(track.Value);
        writer.WriteInt(static_cast<int>(track.Samples.size()));
        if (track.Samples.empty()) {
            continue;
        }
        writer.WriteString(track.Name);
        for (const GhostSample& sample : track.Samples) {
            for (const float value : {sample.Position.x, sample.Position.y, sample.Position.z, sample.Orientation.x,
                                      sample.Orientation.y, sample.Orientation.z, sample.Orientation.w, sample.Time}) {
                WriteFloat(writer, value);
            }
        }
    }
}

bool Read(const uint8_t* data, size_t size, Record& record, std::string& reason) {
    ByteReader reader(data, size);
    if (size == 0) {
        return Refuse(reason, "the file", 0, "empty");
    }
    size_t at = reader.Offset();
    if (!reader.String(record.ProfileName)) {
        return Refuse(reason, "the profile name", at, "cut short");
    }
    at = reader.Offset();
    if (!reader.String(record.PlayerName)) {
        return Refuse(reason, "the player name", at, "cut short");
    }
    at = reader.Offset();
    if (!ReadTime(reader, record.Time)) {
        return Refuse(reason, "the save time", at, "cut short");
    }
    at = reader.Offset();
    if (!reader.Int32(record.RacesPassed) || !reader.Int32(record.Points)) {
        return Refuse(reason, "the races passed and points", at, "cut short");
    }
    for (size_t i = 0; i < TrackCount; ++i) {
        TrackRecord& track = record.Tracks[i];
        const std::string what = "track record " + std::to_string(i + 1);
        at = reader.Offset();
        if (!reader.Float(track.BestTime)) {
            return Refuse(reason, what, at, reader.Offset() > at ? "best time is not a finite number" : "cut short");
        }
        int32_t count = 0;
        at = reader.Offset();
        if (!reader.Int32(track.Value) || !reader.Int32(count)) {
            return Refuse(reason, what, at, "cut short");
        }
        track.Name.clear();
        track.Samples.clear();
        if (count == 0) {
            continue;
        }
        if (count < 0) {
            return Refuse(reason, what, at + 4, "negative sample count");
        }
        at = reader.Offset();
        if (!reader.String(track.Name)) {
            return Refuse(reason, what, at, "name cut short");
        }
        // The count against the bytes left before anything is allocated for it.
        at = reader.Offset();
        if (static_cast<uint64_t>(count) * SampleBytes > reader.Left()) {
            return Refuse(reason, what, at, "fewer samples than its count");
        }
        track.Samples.resize(static_cast<size_t>(count));
        for (GhostSample& sample : track.Samples) {
            at = reader.Offset();
            if (!ReadSample(reader, sample)) {
                return Refuse(reason, what, at, "sample value is not a finite number");
            }
        }
    }
    if (reader.Left() != 0) {
        return Refuse(reason, "bytes after the last track record", reader.Offset(), "not a save");
    }
    return true;
}

bool IsBareName(const std::string& name) {
    return !name.empty() && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
           name.find("..") == std::string::npos;
}

std::string SlotFileName(int slot) { return "save" + std::to_string(slot) + ".sav"; }

int SlotOfFileName(const std::string& name) {
    constexpr size_t digitAt = 4;
    int slot = -1;
    for (size_t i = digitAt; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        slot = (slot < 0 ? 0 : slot * 10) + (name[i] - '0');
        if (slot >= SlotCount) {
            return -1;
        }
    }
    return slot;
}

bool IsEarlier(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return std::tie(a.wYear, a.wMonth, a.wDay, a.wHour, a.wMinute, a.wSecond) <
           std::tie(b.wYear, b.wMonth, b.wDay, b.wHour, b.wMinute, b.wSecond);
}

FileState ReadFile(const std::string& fileName, Record& record, std::string& reason) {
    CPFileReader reader(PathOf(fileName), false);
    if (FAILED(reader.Load())) {
        return FileState::Missing;
    }
    if (reader.GetLength() == 0) {
        return FileState::Empty;
    }
    if (!Read(reader.GetData(), static_cast<size_t>(reader.GetLength()), record, reason)) {
        return FileState::Damaged;
    }
    return FileState::Read;
}

Record RecordOf(const CPGameData& data, const SYSTEMTIME& time) {
    Record record;
    record.ProfileName = data.ProfileName;
    record.PlayerName = data.PlayerName;
    record.Time = time;
    record.RacesPassed = data.RacesPassed;
    record.Points = data.Points;
    record.Tracks = data.Records;
    return record;
}

bool WriteSaveFile(const CPGameData& data, const std::string& fileName) {
    if (!IsBareName(fileName)) {
        LogRefused("WriteSaveFile", fileName, "not a bare file name, refused");
        return false;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CPFileWriter writer(PathOf(fileName), false);
    Write(RecordOf(data, now), writer);
    PrepareFolder();
    if (FAILED(writer.Save())) {
        LogRefused("WriteSaveFile", fileName, "cannot be written, the old file stays");
        return false;
    }
    return true;
}

bool SaveToSlot(CPGameData& data) {
    if (data.SaveSlot >= 0 && data.SaveSlot < SlotCount) {
        return WriteSaveFile(data, SlotFileName(data.SaveSlot));
    }
    int chosen = 0;
    SYSTEMTIME earliest{};
    for (int slot = 0; slot < SlotCount; ++slot) {
        Record record;
        std::string reason;
        if (ReadFile(SlotFileName(slot), record, reason) != FileState::Read) {
            if (!WriteSaveFile(data, SlotFileName(slot))) {
                return false;
            }
            data.SaveSlot = slot;
            return true;
        }
        if (slot == 0 || IsEarlier(record.Time, earliest)) {
            earliest = record.Time;
            chosen = slot;
        }
    }
    if (!WriteSaveFile(data, SlotFileName(chosen))) {
        return false;
    }
    data.SaveSlot = chosen;
    return true;
}

void CheckSaveProfile(CPGameData& data, const std::string& profileName) {
    if (profileName != data.ProfileName) {
        data.SaveSlot = -1;
        data.CurrentMission = 1;
        data.Points = 0;
        for (TrackRecord& track : data.Records) {
            track.BestTime = 0.0f;
            track.Value = 4;
            track.Name.clear();
        }
    }
    data.ProfileName = profileName;
}

bool LoadGame(CPGameData& data, const std::string& fileName) {
    if (!IsBareName(fileName)) {
        LogRefused("LoadGame", fileName, "not a bare file name, refused");
        return false;
    }
    Record record;
    std::string reason;
    switch (ReadFile(fileName, record, reason)) {
    case FileState::Missing:
        LogRefused("LoadGame", fileName, "cannot be read, nothing loaded");
        return false;
    case FileState::Empty:
        LogRefused("LoadGame", fileName, "empty (a free slot), nothing loaded");
        return false;
    case FileState::Damaged:
        LogRefused("LoadGame", fileName, reason + ", nothing loaded");
        return false;
    case FileState::Read:
        break;
    }
    CheckSaveProfile(data, record.ProfileName);
    data.SaveSlot = SlotOfFileName(fileName);
    data.PlayerName = std::move(record.PlayerName);
    data.RacesPassed = record.RacesPassed;
    data.Points = record.Points;
    data.Records = std::move(record.Tracks);
    return true;
}

bool DeleteSave(const std::string& fileName) {
    if (!IsBareName(fileName)) {
        LogRefused("DeleteSave", fileName, "not a bare file name, refused");
        return false;
    }
    if (!HostFiles::Exists(PathOf(fileName))) {
        return true;  // no save of that name: the slot is free already, and nothing is made
    }
    PrepareFolder();
    CPFileWriter writer(PathOf(fileName), false);
    if (FAILED(writer.Save())) {
        LogRefused("DeleteSave", fileName, "cannot be emptied");
        return false;
    }
    return true;
}

}  // namespace SaveGame
