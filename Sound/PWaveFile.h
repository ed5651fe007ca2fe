// WAV files (RIFF "WAVE") read and created through the multimedia file functions.
//
// Reading takes the format from the "fmt " chunk and then streams the "data" chunk; when
// no file of the name exists the program's own "WAVE"/"WAV" resources are tried. Writing
// lays down the RIFF header, the format and a "fact" chunk and opens an empty "data"
// chunk; Close patches the chunk sizes. Results are COM codes: 0, E_FAIL, E_INVALIDARG,
// CO_E_NOTINITIALIZED (no open file).
#pragma once

#include "platform/audio/MMSystem.h"

#include <cstdint>
#include <vector>

class CPWaveFile {
public:
    static constexpr DWORD ReadMode = 1;
    static constexpr DWORD WriteMode = 2;  // any mode other than ReadMode writes

    CPWaveFile() = default;
    ~CPWaveFile();
    CPWaveFile(const CPWaveFile&) = delete;
    CPWaveFile& operator=(const CPWaveFile&) = delete;

    // Reading (ReadMode) ignores format; writing creates the file with that format.
    HRESULT Open(const char* name, const WAVEFORMATEX* format, DWORD mode);
    // Bytes of sample data; set when a file is opened for reading.
    DWORD GetSize() const { return Size; }
    // Reading: back to the first sample. Writing: starts a new "data" chunk.
    HRESULT ResetFile();
    // Copies up to count bytes of the "data" chunk; *bytesRead is 0 once it is exhausted.
    HRESULT Read(BYTE* buffer, DWORD count, DWORD* bytesRead);
    // Writing: finishes the chunk sizes. A failure leaves the file open (the destructor
    // still releases it).
    HRESULT Close();

    // The format record (18 + cbSize bytes) or null before a successful read.
    const WAVEFORMATEX* GetFormat() const {
        return Format.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(Format.data());
    }
    size_t GetFormatSize() const { return Format.size(); }
    bool IsOpen() const { return Handle != nullptr; }

private:
    HRESULT OpenForReading(const char* name);
    HRESULT OpenForWriting(const char* name, const WAVEFORMATEX* format);
    HMMIO OpenResource(const char* name);
    bool ReadHeader();
    DWORD HeldDataSize(const char* name);
    bool WriteHeader(const WAVEFORMATEX& format);

    std::vector<uint8_t> Format;  // empty = no format
    HMMIO Handle = nullptr;
    MMCKINFO DataChunk;  // reading: cksize counts down the bytes not yet read
    MMCKINFO RiffChunk;
    DWORD Size = 0;
    MMIOINFO OutInfo;  // buffered output state while writing
    DWORD Mode = ReadMode;
    std::vector<char> ResourceBytes;  // backing store of a file opened from a resource
};
