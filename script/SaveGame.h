// Save games: the file format as pure functions from bytes to a record and back, and the
// operations that move a save between the disk and the game data (profile reset, slot choice).
//
// A save slot k (0..5) is "DATA\Saves\save<k>.sav"; a slot whose file is missing, empty or does
// not read whole is free. The file is little-endian binary, unscrambled; a string is an int32
// length and that many bytes:
//
//   profile name        string
//   player name         string
//   save time           8 x uint16: year, month, day of week, day, hour, minute, second, ms
//   races passed        int32
//   points              int32
//   10 track records    float32 best time, int32 value, int32 sample count n, and when n is
//                       not 0: the record name (string) and n samples of 32 bytes (position
//                       x y z, orientation x y z w, time: eight float32)
//
// Reading checks the whole file before anything is applied: every length and count against the
// bytes left, no negative count, every float finite, nothing after the last record. A file that
// fails changes nothing. Writes go through CPFileWriter, which writes a temporary file and
// renames it over the old one, so a save cut short by a crash leaves the previous one whole.
//
// Save names given by scripts are bare file names: a name with a path separator or "..", or an
// empty one, is refused, so a script cannot read, write or empty files outside the save folder.
#pragma once

#include "interface/CampaignRecords.h"
#include "platform/win32/Clock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CPFileWriter;
class CPGameData;

namespace SaveGame {

constexpr const char* Folder = "DATA\\Saves\\";
constexpr int SlotCount = 6;
constexpr size_t TrackCount = 10;
constexpr size_t SampleBytes = 32;
// The save time as stored: eight uint16.
constexpr size_t TimeBytes = 16;
static_assert(sizeof(GhostSample) == SampleBytes, "a ghost sample is stored as its 32 bytes");
static_assert(sizeof(SYSTEMTIME) == TimeBytes, "the save time is a SYSTEMTIME");

// One save file's content.
struct Record {
    std::string ProfileName;
    std::string PlayerName;
    SYSTEMTIME Time{};
    int32_t RacesPassed = 0;
    int32_t Points = 0;
    // A record without samples is stored without its name: it reads back with an empty name.
    std::array<TrackRecord, TrackCount> Tracks;
};

// Appends the save's bytes to the writer.
void Write(const Record& record, CPFileWriter& writer);
// Reads a whole save. False, with `reason` naming the field and its byte offset, when the bytes
// are not one save exactly; `record` is then unspecified (callers read into a scratch record).
bool Read(const uint8_t* data, size_t size, Record& record, std::string& reason);

// Whether the name is a bare file name: not empty, no "/", "\", ".." or NUL byte.
bool IsBareName(const std::string& name);
// "save<slot>.sav".
std::string SlotFileName(int slot);
// The slot a loaded file name stands for: the number from its fifth character on (save3.sav
// gives 3); -1 when the name is shorter, holds no number there, or the number is not 0..5.
int SlotOfFileName(const std::string& name);
// Whether a is earlier than b by year, month, day, hour, minute and second (the day of the
// week and the milliseconds are not compared).
bool IsEarlier(const SYSTEMTIME& a, const SYSTEMTIME& b);

enum class FileState { Missing, Empty, Damaged, Read };
// Reads Folder + fileName whole. Damaged sets `reason`.
FileState ReadFile(const std::string& fileName, Record& record, std::string& reason);

// The game data's save, stamped with the time given.
Record RecordOf(const CPGameData& data, const SYSTEMTIME& time);

// Operations of the game data on its saves.
//
// Writes Folder + fileName from the game data, stamped with GetLocalTime. The save folder is
// created when it is missing; temporaries left in it by a program killed while saving are
// removed first. False (logged) when the name is not bare or the file cannot be
// written; the old file then stays as it was.
bool WriteSaveFile(const CPGameData& data, const std::string& fileName);
// Saves to SaveSlot when it is 0..5. Otherwise the first free slot is taken, or when all six
// are taken the one saved earliest (the lowest slot among equals); SaveSlot becomes the slot
// written. False when nothing was written (SaveSlot then unchanged).
bool SaveToSlot(CPGameData& data);
// The profile reset when profileName differs from ProfileName: SaveSlot -1, CurrentMission 1,
// Points 0, every track record's best time 0, value 4 and name empty (its samples stay). Then
// ProfileName := profileName. Races passed, money and car settings are not touched.
void CheckSaveProfile(CPGameData& data, const std::string& profileName);
// Loads Folder + fileName: the whole file is read and checked first; only a good one applies
// (CheckSaveProfile with its profile, SaveSlot from the file name, player name, races passed,
// points and the ten track records). False (logged, nothing changed) otherwise.
bool LoadGame(CPGameData& data, const std::string& fileName);
// Frees a slot by writing an empty Folder + fileName; a name with no file is free already and
// nothing is written. False (logged) for a name that is not bare or a file that cannot be
// written.
bool DeleteSave(const std::string& fileName);

}  // namespace SaveGame
