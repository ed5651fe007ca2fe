// Whole-file reader of the engine's data files.
//
// Load reads the file with one open, one fstat (its length) and one read; a file that is not on
// disk is looked up by its lower-cased name in the pack files (members are stored scrambled),
// read from the pack's held descriptor without opening it again. The typed reads then
// work on memory: 32-bit little-endian ints and floats, and strings stored as an int length
// and that many bytes.
//
// The reads never leave the buffer: a read that does not fit in what is left gives 0 (ints,
// floats), "" (strings) or copies nothing (Read) and moves the cursor to the end, where every
// later read fails the same way. A string length that is negative or larger than what is left
// counts as such a read. Callers still compare against GetLength to tell short data from zeros.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class CPFileReader {
public:
    // The name is lower-cased; `scrambled` asks for a disk file to be unscrambled after loading
    // (pack members are always unscrambled).
    CPFileReader(const std::string& name, bool scrambled);
    virtual ~CPFileReader() = default;

    // S_OK, or E_FAIL when the file can be neither read from disk nor from a pack. A failed
    // load may leave part of the file in the buffer. The cursor is not reset.
    HRESULT Load();

    const uint8_t* GetData() const { return Data.data(); }
    int GetLength() const { return static_cast<int>(Data.size()); }
    int GetCursor() const { return Cursor; }
    const std::string& GetFileName() const { return FileName; }

    // Copies n bytes at the cursor; always S_OK (see above for reads past the end).
    HRESULT Read(void* destination, int n);
    int ReadInt();
    float ReadFloat();
    // The string's bytes up to its first zero byte; the cursor moves past all of them.
    void ReadString(std::string& text);

private:
    HRESULT LoadFromPacks();
    // Moves the cursor past n bytes and returns where they start, or null (cursor to the end)
    // when fewer than n are left.
    const uint8_t* Take(int n);

    std::vector<uint8_t> Data;
    std::string FileName;
    bool Scrambled;
    int Cursor = 0;
};
