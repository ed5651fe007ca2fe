// Collects a data file in memory and writes it in one go, optionally scrambled.
//
// Save never damages the file it replaces: the bytes go to a temporary file in the same folder
// which is then renamed over the target, so a failed save leaves the old file as it was.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class CPFileWriter {
public:
    // The name is kept as given; the path layer resolves it when saving.
    CPFileWriter(const std::string& name, bool scrambled);
    // Frees the buffer; writes nothing.
    virtual ~CPFileWriter() = default;

    // Appends n bytes (nothing for n below 1). Always S_OK.
    HRESULT WriteBytes(const void* data, int n);
    // 4 bytes, little-endian.
    HRESULT WriteInt(int value);
    // The int length, then the bytes, no terminator.
    HRESULT WriteString(const std::string& text);

    // S_OK, or E_FAIL when the file could not be written whole. The buffer itself stays
    // unscrambled, so saving twice writes the same bytes.
    HRESULT Save();

    const std::vector<uint8_t>& GetBuffer() const { return Buffer; }
    const std::string& GetFileName() const { return FileName; }

private:
    std::vector<uint8_t> Buffer;
    std::string FileName;
    bool Scrambled;
};
