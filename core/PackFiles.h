// Pack files: archives searched, in order, for data files that are not on disk.
//
// The on-disk format is described in docs/PackFormat.md: a header, a directory of lower-cased
// member paths with their offsets and sizes, then the members, each scrambled on its own.
// The host adds each pack it finds with AddPackFile; CPFileReader::Load searches the list.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct PackMember {
    uint32_t Offset = 0;  // first byte in the pack file
    uint32_t Size = 0;    // bytes
};

// A pack file held open while its entry is listed, so reading a member costs no open; closed
// with the last entry that holds it. The device and inode tell whether PackPath still names it.
struct PackHandle {
    int Descriptor = -1;
    uint64_t Device = 0;
    uint64_t Inode = 0;

    PackHandle() = default;
    PackHandle(const PackHandle&) = delete;
    PackHandle& operator=(const PackHandle&) = delete;
    ~PackHandle();
};

struct PackEntry {
    // Lower-cased member path exactly as the engine asks for it ("data\meshes\car.msh").
    std::unordered_map<std::string, PackMember> Directory;
    std::string PackPath;
    // Set by AddPackFile; an entry made otherwise opens PackPath for every read.
    std::shared_ptr<PackHandle> File;
};

// Searched from the front; empty at start-up.
extern std::vector<PackEntry> PackFiles;

namespace PackFormat {

constexpr char Magic[4] = {'T', 'W', 'P', 'K'};
constexpr uint32_t Version = 1;
constexpr uint32_t HeaderSize = 16;
// Longest member path accepted.
constexpr uint32_t MaxNameLength = 1024;

struct Source {
    std::string Name;  // engine path; stored lower-cased
    std::vector<uint8_t> Bytes;
};

// The header and directory of a pack file (HeaderSize bytes, then the directory) checked
// against the pack's length: every member must lie inside the file, after the directory.
// False for anything damaged; on success `entry` holds the directory (the first of
// duplicate names wins).
bool ParseDirectory(const uint8_t* data, size_t size, uint64_t fileSize, PackEntry& entry);

// A whole pack file from its members, in the given order. False when a name is empty or too
// long, or the pack would not fit the 32-bit offsets.
bool Encode(const std::vector<Source>& members, std::vector<uint8_t>& pack);

}  // namespace PackFormat

// Adds every pack file matching the pattern ("*.pak", "Data\*.pak"; wildcards in the last
// component), in name order without regard to case, and returns how many were added. Files
// that are not valid packs are passed over; their paths go to `refused` when given.
int AddPackFiles(const std::string& pattern, std::vector<std::string>* refused = nullptr);

// Reads the directory of the pack file at packPath (an engine path) and appends it to
// PackFiles. E_FAIL, adding nothing, when the file cannot be read or is not a valid pack.
HRESULT AddPackFile(const std::string& packPath);
