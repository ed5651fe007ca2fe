#include "core/CPFileReader.h"

#include "core/PackFiles.h"
#include "core/Scramble.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

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
    Data.clear();
    if (std::FILE* file = HostFiles::Open(FileName, "rb")) {
        HRESULT result = E_FAIL;
        if (std::fseek(file, 0, SEEK_END) == 0) {
            // The cursor and lengths are ints: larger files are refused rather than misread.
            const long length = std::ftell(file);
            if (length >= 0 && length <= INT32_MAX && ReadAt(file, 0, Data, static_cast<size_t>(length))) {
                if (Scrambled) {
                    UnscrambleBuffer(Data);
                }
                result = S_OK;
            }
        }
        std::fclose(file);
        return result;
    }
    return LoadFromPacks();
}

HRESULT CPFileReader::LoadFromPacks() {
    for (const PackEntry& pack : PackFiles) {
        const auto member = pack.Directory.find(FileName);
        if (member == pack.Directory.end()) {
            continue;
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
