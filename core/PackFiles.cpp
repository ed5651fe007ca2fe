#include "core/PackFiles.h"

#include "core/CPFileFinder.h"
#include "core/Scramble.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

std::vector<PackEntry> PackFiles;

PackHandle::~PackHandle() {
    if (Descriptor >= 0) {
        close(Descriptor);
    }
}

namespace {

uint32_t Get32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

namespace PackFormat {

bool ParseDirectory(const uint8_t* data, size_t size, uint64_t fileSize, PackEntry& entry) {
    if (size < HeaderSize || std::memcmp(data, Magic, 4) != 0 || Get32(data + 4) != Version) {
        return false;
    }
    const uint32_t count = Get32(data + 8);
    const uint64_t directorySize = Get32(data + 12);
    const uint64_t membersStart = HeaderSize + directorySize;
    if (membersStart > size || membersStart > fileSize) {
        return false;
    }
    // Each entry takes at least 13 bytes; a count beyond that is damage, not a reason to reserve.
    if (count > directorySize / 13) {
        return false;
    }
    entry.Directory.clear();
    entry.Directory.reserve(count < 100 ? 100 : count);
    size_t at = HeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (membersStart - at < 4) {
            return false;
        }
        const uint32_t nameLength = Get32(data + at);
        at += 4;
        if (nameLength == 0 || nameLength > MaxNameLength || membersStart - at < uint64_t{nameLength} + 8) {
            return false;
        }
        std::string name(reinterpret_cast<const char*>(data + at), nameLength);
        at += nameLength;
        PackMember member;
        member.Offset = Get32(data + at);
        member.Size = Get32(data + at + 4);
        at += 8;
        if (member.Offset < membersStart || uint64_t{member.Offset} + member.Size > fileSize) {
            return false;
        }
        ToLower(name);
        entry.Directory.emplace(std::move(name), member);
    }
    return at == membersStart;
}

bool Encode(const std::vector<Source>& members, std::vector<uint8_t>& pack) {
    uint64_t directorySize = 0;
    for (const Source& member : members) {
        if (member.Name.empty() || member.Name.size() > MaxNameLength) {
            return false;
        }
        directorySize += 4 + member.Name.size() + 8;
    }
    uint64_t offset = HeaderSize + directorySize;
    const uint64_t dataStart = offset;
    for (const Source& member : members) {
        offset += member.Bytes.size();
    }
    if (offset > UINT32_MAX) {
        return false;
    }
    pack.clear();
    pack.reserve(offset);
    pack.insert(pack.end(), Magic, Magic + 4);
    Put32(pack, Version);
    Put32(pack, static_cast<uint32_t>(members.size()));
    Put32(pack, static_cast<uint32_t>(directorySize));
    offset = dataStart;
    for (const Source& member : members) {
        std::string name = member.Name;
        ToLower(name);
        Put32(pack, static_cast<uint32_t>(name.size()));
        pack.insert(pack.end(), name.begin(), name.end());
        Put32(pack, static_cast<uint32_t>(offset));
        Put32(pack, static_cast<uint32_t>(member.Bytes.size()));
        offset += member.Bytes.size();
    }
    for (const Source& member : members) {
        std::vector<uint8_t> bytes = member.Bytes;
        ScrambleBuffer(bytes);
        pack.insert(pack.end(), bytes.begin(), bytes.end());
    }
    return true;
}

}  // namespace PackFormat

HRESULT AddPackFile(const std::string& packPath) {
    std::FILE* file = HostFiles::Open(packPath, "rb");
    if (file == nullptr) {
        return E_FAIL;
    }
    // A plain file only (the path layer already refuses folders and FIFOs; a device has no
    // directory to read); the same fstat gives the length and the identity kept with the handle.
    struct stat info{};
    bool ok = false;
    PackEntry entry;
    uint8_t header[PackFormat::HeaderSize];
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
        std::fread(header, 1, sizeof(header), file) == sizeof(header)) {
        const auto fileSize = static_cast<uint64_t>(info.st_size);
        // Read the directory only when its stated size fits in the file.
        const uint64_t directorySize = Get32(header + 12);
        if (PackFormat::HeaderSize + directorySize <= fileSize) {
            std::vector<uint8_t> directory(PackFormat::HeaderSize + directorySize);
            std::memcpy(directory.data(), header, sizeof(header));
            ok = std::fread(directory.data() + sizeof(header), 1, directorySize, file) == directorySize &&
                 PackFormat::ParseDirectory(directory.data(), directory.size(), fileSize, entry);
        }
    }
    // Kept open for the member reads; without a descriptor to spare, each read opens the pack.
    if (ok) {
        auto handle = std::make_shared<PackHandle>();
        handle->Descriptor = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
        if (handle->Descriptor >= 0) {
            handle->Device = static_cast<uint64_t>(info.st_dev);
            handle->Inode = static_cast<uint64_t>(info.st_ino);
            entry.File = std::move(handle);
        }
    }
    std::fclose(file);
    if (!ok) {
        return E_FAIL;
    }
    entry.PackPath = packPath;
    PackFiles.push_back(std::move(entry));
    return S_OK;
}

int AddPackFiles(const std::string& pattern, std::vector<std::string>* refused) {
    const size_t separator = pattern.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? std::string() : pattern.substr(0, separator + 1);
    int added = 0;
    for (const std::string& file : CPFileFinder::FileNames(pattern)) {
        const std::string name = folder + file;
        if (SUCCEEDED(AddPackFile(name))) {
            ++added;
        } else if (refused != nullptr) {
            refused->push_back(name);
        }
    }
    return added;
}
