#include "core/CPFileWriter.h"

#include "core/Scramble.h"
#include "platform/files/HostFiles.h"

CPFileWriter::CPFileWriter(const std::string& name, bool scrambled) : FileName(name), Scrambled(scrambled) {}

HRESULT CPFileWriter::WriteBytes(const void* data, int n) {
    if (n < 1) {
        return S_OK;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    Buffer.insert(Buffer.end(), bytes, bytes + n);
    return S_OK;
}

HRESULT CPFileWriter::WriteInt(int value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    return WriteBytes(bytes, 4);
}

HRESULT CPFileWriter::WriteString(const std::string& text) {
    WriteInt(static_cast<int>(text.size()));
    return WriteBytes(text.data(), static_cast<int>(text.size()));
}

HRESULT CPFileWriter::Save() {
    if (!Scrambled) {
        return HostFiles::WriteWhole(FileName, Buffer.data(), Buffer.size()) ? S_OK : E_FAIL;
    }
    std::vector<uint8_t> scrambled = Buffer;
    ScrambleBuffer(scrambled);
    return HostFiles::WriteWhole(FileName, scrambled.data(), scrambled.size()) ? S_OK : E_FAIL;
}
