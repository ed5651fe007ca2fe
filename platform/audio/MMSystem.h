// WinMM multimedia files (mmio): buffered RIFF file access over disk files and memory
// blocks, with the wave format record the sound code reads from WAV files.
//
// Disk files are held as a byte image: opening reads the whole file once, and closing a
// file that was written stores the image whole under a temporary name, then renames it,
// so a failed write never leaves a half-written file behind. The buffer that
// mmioGetInfo/mmioSetInfo/mmioAdvance expose behaves as WinMM's: pchNext..pchEndRead are
// the bytes read ahead, pchEndWrite ends the room for writing, and the caller sets
// MMIO_DIRTY after writing into it. Names are engine paths and go through the path layer.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdio>
#include <string>

using FOURCC = DWORD;
using MMRESULT = UINT;
using HMMIO = struct HMMIO__*;
using HPSTR = char*;
using LPMMIOPROC = LRESULT (*)(char* info, UINT message, LPARAM param1, LPARAM param2);

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) | (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) | (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC FOURCC_DOS = mmioFOURCC('D', 'O', 'S', ' ');
constexpr FOURCC FOURCC_MEM = mmioFOURCC('M', 'E', 'M', ' ');

// Open flags.
constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
constexpr DWORD MMIO_DIRTY = 0x10000000;
// Chunk flags.
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;
constexpr UINT MMIO_CREATERIFF = 0x0020;
constexpr UINT MMIO_CREATELIST = 0x0040;
// mmioFlush: also empty the buffer.
constexpr UINT MMIO_EMPTYBUF = 0x0010;

constexpr LONG MMIO_DEFAULTBUFFER = 8192;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = 258;
constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = 264;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
constexpr MMRESULT MMIOERR_UNBUFFERED = 266;

struct MMIOINFO {
    DWORD dwFlags = 0;
    FOURCC fccIOProc = 0;
    LPMMIOPROC pIOProc = nullptr;
    UINT wErrorRet = 0;
    void* htask = nullptr;
    LONG cchBuffer = 0;
    HPSTR pchBuffer = nullptr;
    HPSTR pchNext = nullptr;
    HPSTR pchEndRead = nullptr;
    HPSTR pchEndWrite = nullptr;
    LONG lBufOffset = 0;   // file offset of pchBuffer[0]
    LONG lDiskOffset = 0;  // file offset the I/O procedure stands at
    DWORD adwInfo[3] = {};
    DWORD dwReserved1 = 0;
    DWORD dwReserved2 = 0;
    HMMIO hmmio = nullptr;
};

// The published 20-byte chunk record. dwDataOffset is the file offset of the chunk's data,
// which for "RIFF" and "LIST" chunks starts with the form type.
struct MMCKINFO {
    FOURCC ckid = 0;
    DWORD cksize = 0;
    FOURCC fccType = 0;
    DWORD dwDataOffset = 0;
    DWORD dwFlags = 0;
};
static_assert(sizeof(MMCKINFO) == 20);

// Wave formats, packed to the 18 bytes that files and DirectSound use. cbSize extra bytes
// follow the record for formats other than PCM.
constexpr WORD WAVE_FORMAT_PCM = 1;
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
struct PCMWAVEFORMAT {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(PCMWAVEFORMAT) == 16);

// With info->fccIOProc == FOURCC_MEM and a null name, opens info->pchBuffer
// (info->cchBuffer bytes, owned by the caller) as a memory file that cannot grow.
// On failure returns null and, when info is given, puts the reason in info->wErrorRet.
HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD flags);
// Flushes and releases the file; the handle is gone even when the result is an error.
MMRESULT mmioClose(HMMIO file, UINT flags);
// Bytes read (0 at the end of the file) or -1.
LONG mmioRead(HMMIO file, HPSTR buffer, LONG count);
// Bytes written or -1.
LONG mmioWrite(HMMIO file, const char* buffer, LONG count);
// The new position or -1. Seeking past the end is allowed; a later write fills the gap with zeros.
LONG mmioSeek(HMMIO file, LONG offset, int origin);
// A chunk's size is given as the file states it, even when it runs past the end of the file;
// the search for a chunk ends at the end of the file.
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags);
MMRESULT mmioCreateChunk(HMMIO file, MMCKINFO* chunk, UINT flags);
MMRESULT mmioGetInfo(HMMIO file, MMIOINFO* info, UINT flags);
MMRESULT mmioSetInfo(HMMIO file, const MMIOINFO* info, UINT flags);
MMRESULT mmioAdvance(HMMIO file, MMIOINFO* info, UINT flags);
MMRESULT mmioFlush(HMMIO file, UINT flags);

namespace MmioStandIn {

// The call named ("mmioOpenA", "mmioDescend", "mmioAscend", "mmioCreateChunk", "mmioRead",
// "mmioWrite", "mmioSeek", "mmioAdvance", "mmioSetInfo", "mmioGetInfo", "mmioClose") fails
// once, after `skip` successful calls of it.
void FailCall(const std::string& call, int skip = 0);
void ClearFailures();
// Handles opened and not yet closed.
int OpenFiles();

}  // namespace MmioStandIn
