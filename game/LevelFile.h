// Reader of the level file ("Data\Levels\<name>.lvl"): the placed objects, car starts, beacons,
// enemy sources and paths of a track.
//
// Layout (little-endian): four float32 not used; uint32 camera count N, then N camera records
// (the first 52 bytes, the others 28, none used); uint32 object count, then per object a string
// (uint32 length, that many bytes, a zero byte ends the text early) and ten float32 X, Y, Z, Qx,
// Qy, Qz, Qw, Sx, Sy, Sz; uint32 path count, then per path a string, uint32 closed flag, uint32
// segment count and per segment twelve float32: start, end, first control, second control.
// Bytes after the last path are ignored.
//
// Reading is two pure steps so damaged files are tested and fuzzed without a scene: Read turns
// bytes into records, checking every count and length against the bytes left before anything is
// reserved, and refuses the whole file with the reason and the offset when it is short or holds
// a value that is not a finite number; Classify sorts the records by their names into what the
// level builds (Parse does both and checks that the level can be raced).
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// One Bezier segment as stored: the curve runs Start, Control1, Control2, End.
struct LevelSegmentRecord {
    D3DXVECTOR3 Start;
    D3DXVECTOR3 End;
    D3DXVECTOR3 Control1;
    D3DXVECTOR3 Control2;
};

struct LevelPathRecord {
    std::string Name;
    bool Closed = false;
    std::vector<LevelSegmentRecord> Segments;
};

struct LevelObjectRecord {
    std::string Name;
    D3DXVECTOR3 Position;
    D3DXQUATERNION Rotation;  // as stored (placed objects store it conjugated)
    D3DXVECTOR3 Scale;
};

struct LevelFileRecord {
    uint32_t CameraCount = 0;
    std::vector<LevelObjectRecord> Objects;
    std::vector<LevelPathRecord> Paths;
};

// A car start: position and orientation as stored.
struct LevelCarStart {
    D3DXVECTOR3 Position;
    D3DXQUATERNION Orientation;
};

// A plain object the level loads from File and places.
struct LevelPlacedObject {
    std::string Name;  // the record's whole name
    std::string File;  // base name + ".rdf"
    D3DXVECTOR3 Position;
    D3DXQUATERNION Orientation;  // the stored quaternion conjugated back
    D3DXVECTOR3 Scale;
    bool Zone = false;            // a nitro refill zone
    bool Checkpoint = false;      // a checkpoint box
    float CheckpointTime = 0.0f;  // seconds granted on reaching it (checkpoints only)
};

// A checkpoint beacon ("chk" records), handed to CPLevel::LoadObject.
struct LevelBeacon {
    std::string BaseName;  // "chk" + key + one separator + object name
    std::string Key;       // digits and "-" after "chk"
    int32_t Number = 0;    // the key read as a number, truncated
    std::string File;      // object name + ".rdf"
    D3DXVECTOR3 Position;
    D3DXQUATERNION Rotation;  // as stored; LoadObject conjugates it
};

struct LevelLayout {
    // The last "player" record, else (100, 100, 1) facing the identity.
    LevelCarStart Player{D3DXVECTOR3(100.0f, 100.0f, 1.0f), D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f)};
    std::vector<LevelCarStart> Cars;  // "enemy" records in file order; none in time mode
    std::vector<LevelPlacedObject> Objects;
    std::vector<LevelBeacon> Beacons;
    std::unordered_map<std::string, D3DXVECTOR3> Sources;  // enemy sources by type; the later record wins
    bool HasLeftPost = false;
    bool HasRightPost = false;
    D3DXVECTOR3 LeftPost;
    D3DXVECTOR3 RightPost;
    // Indices into File.Paths of the paths named "c_path", "left" and "right" (the later of
    // two with one name); -1 when the file has none of that name. Other paths are dropped.
    int CentrePath = -1;
    int LeftPath = -1;
    int RightPath = -1;
    // Records left out, each with its name and why (an object without a file name).
    std::vector<std::string> Refused;
    // The records as read.
    LevelFileRecord File;
};

namespace LevelFile {

constexpr size_t HeaderSize = 16;
constexpr size_t FirstCameraSize = 52;
constexpr size_t CameraSize = 28;
constexpr size_t ObjectFloats = 10;
constexpr size_t SegmentSize = 48;
// The shortest file: header and the three counts.
constexpr size_t MinimumSize = HeaderSize + 12;

// The name without its trailing decimal digits: "tree12" gives "tree", "a1b22" gives "a1b".
std::string BaseName(const std::string& name);

// Splits a beacon's base name: after "chk" the digits and "-" are the key, the one character
// after them is skipped and the rest names the object. Number is the key read as a number,
// truncated toward zero and kept inside the int range (0 when it is not one). False when no
// object name is left.
bool SplitBeaconName(const std::string& base, std::string& key, int32_t& number, std::string& objectName);

// Bytes to records. False with `problem` ("<what> at offset <n>") and `record` emptied when the
// bytes are short of what the counts promise or a float read is not finite.
bool Read(const uint8_t* data, size_t size, LevelFileRecord& record, std::string& problem);
// One path record from data + offset; offset moves past it on success.
bool ReadPath(const uint8_t* data, size_t size, size_t& offset, LevelPathRecord& path, std::string& problem);

// Sorts the records by name into the layout (moved into layout.File). In single mode "che"
// records are left out, in time mode "enemy" records.
void Classify(LevelFileRecord&& record, bool singleMode, bool timeMode, LevelLayout& layout);

// Whether the layout can be raced: a "c_path", and "left" and "right" when there are computer
// cars. False with the reason otherwise. A missing start post is no reason: the level takes
// (0, 0, 0) for it.
bool Check(const LevelLayout& layout, std::string& problem);

// Read, Classify and Check. On false the layout is empty and `problem` says why.
bool Parse(const uint8_t* data, size_t size, bool singleMode, bool timeMode, LevelLayout& layout,
           std::string& problem);

}  // namespace LevelFile
