#include "core/CPFileReader.h"

#include "core/PackFiles.h"
#include "core/Scramble.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Reads exactly size bytes of an open file into data from offset; false on any shortfall
// (what arrived stays in data).
bool ReadAt(std::FILE* file, long offset, std::vector<uint8_t>& data, size_t size) {
    if (std::fseek(file, offset, SEEK_SET) != 0) {
        return false;
    }
    data.resize(size);
    return size == 0 || std::fread(data.data(), 1, size, file) == size;
}

uint32_t LittleEndian32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace

CPFileReader::CPFileReader(const std::string& name, bool scrambled) : FileName(name), Scrambled(scrambled) {
    ToLower(FileName);
}

HRESULT CPFileReader::Load() {
    // One open, one fstat for the length and one read: the length comes with the file, so no
    // seeks are needed. The cursor and lengths are ints: larger files are refused, not misread.
    switch (HostFiles::ReadWhole(FileName, Data, INT32_MAX)) {
        case HostFiles::ReadResult::Read:
            if (Scrambled) {
                UnscrambleBuffer(Data);
            }
            return S_OK;
        case HostFiles::ReadResult::Failed:
            return E_FAIL;
        case HostFiles::ReadResult::NotOpened:
            break;
    }
    return LoadFromPacks();
}

namespace {

// Reads exactly size bytes at offset from a held descriptor; false on any shortfall.
bool ReadHeld(int descriptor, uint32_t offset, std::vector<uint8_t>& data, size_t size) {
    data.resize(size);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(descriptor, data.data() + got, size - got, static_cast<off_t>(offset) + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        got += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

HRESULT CPFileReader::LoadFromPacks() {
    for (const PackEntry& pack : PackFiles) {
        const auto member = pack.Directory.find(FileName);
        if (member == pack.Directory.end()) {
            continue;
        }
        // The held pack serves while its path still names it; one that was removed or replaced
        // is opened by its path, as a pack that was never held is.
        if (pack.File != nullptr && HostFiles::SameFile(pack.PackPath, pack.File->Device, pack.File->Inode)) {
            if (member->second.Size > INT32_MAX) {
                return E_FAIL;
            }
            const bool complete = ReadHeld(pack.File->Descriptor, member->second.Offset, Data, member->second.Size);
            UnscrambleBuffer(Data);
            return complete ? S_OK : E_FAIL;
        }
        std::FILE* file = HostFiles::Open(pack.PackPath, "rb");
        if (file == nullptr) {
            continue;  // a later pack may list the same member
        }
        if (member->second.Size > INT32_MAX) {
            std::fclose(file);
            return E_FAIL;
        }
        const bool complete = ReadAt(file, static_cast<long>(member->second.Offset), Data, member->second.Size);
        UnscrambleBuffer(Data);
        std::fclose(file);
        return complete ? S_OK : E_FAIL;
    }
    return E_FAIL;
}

const uint8_t* CPFileReader::Take(int n) {
    const int left = static_cast<int>(Data.size()) - Cursor;
    if (n < 0 || n > left) {
        Cursor = static_cast<int>(Data.size());
        return nullptr;
    }
    const uint8_t* at = Data.data() + Cursor;
    Cursor += n;
    return at;
}

HRESULT CPFileReader::Read(void* destination, int n) {
    if (n <= 0) {
        return S_OK;
    }
    if (const uint8_t* at = Take(n)) {
        std::memcpy(destination, at, static_cast<size_t>(n));
    }
    return S_OK;
}

int CPFileReader::ReadInt() {
    const uint8_t* at = Take(4);
    if (at == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(LittleEndian32(at));
}

float CPFileReader::ReadFloat() {
    const uint8_t* at = Take(4);
    if (at == nullptr) {
        return 0.0f;
    }
    const uint32_t bits = LittleEndian32(at);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void CPFileReader::ReadString(std::string& text) {
    text.clear();
    // A length that does not fit takes the cursor to the end, like any read past it.
    const uint8_t* length = Take(4);
    if (length == nullptr) {
        return;
    }
    const int n = static_cast<int32_t>(LittleEndian32(length));
    const uint8_t* bytes = Take(n);
    if (bytes == nullptr) {
        return;
    }
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(n));
    const size_t used = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes) : static_cast<size_t>(n);
    text.assign(reinterpret_cast<const char*>(bytes), used);
}
