#include "platform/audio/MMSystem.h"

#include "platform/files/HostFiles.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

// ---- host files -------------------------------------------------------------------------
// Whole-file access under an engine path, through the path layer.

bool LoadHostFile(const char* enginePath, std::vector<uint8_t>& bytes) {
    std::FILE* file = HostFiles::Open(enginePath, "rb");
    if (file == nullptr) {
        return false;
    }
    bytes.clear();
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(file) : -1;
    ok = ok && length >= 0 && length <= INT32_MAX && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(length));
        ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    return ok;
}

bool StoreHostFile(const char* enginePath, const std::vector<uint8_t>& bytes) {
    return HostFiles::WriteWhole(enginePath, bytes.data(), bytes.size());
}

// ---- failure injection ------------------------------------------------------------------

std::map<std::string, int>& Failures() {
    static std::map<std::string, int> failures;
    return failures;
}

bool ShouldFail(const char* call) {
    auto& failures = Failures();
    auto it = failures.find(call);
    if (it == failures.end()) {
        return false;
    }
    if (it->second > 0) {
        --it->second;
        return false;
    }
    failures.erase(it);
    return true;
}

int openFiles = 0;

// ---- the file object --------------------------------------------------------------------

struct MmioFile {
    MMIOINFO info;  // the buffer state handed out by mmioGetInfo
    bool memory = false;
    bool buffered = false;
    bool canRead = false;
    bool canWrite = false;
    bool dirty = false;         // buffer holds bytes not yet in the image
    bool imageChanged = false;  // image differs from the disk file
    std::vector<uint8_t> image; // disk files: the whole file
    std::vector<char> ownBuffer;
    LONG position = 0;  // unbuffered disk files only
    std::string name;
};

MmioFile* FromHandle(HMMIO handle) { return reinterpret_cast<MmioFile*>(handle); }

LONG BufferedPosition(const MmioFile& f) {
    return f.info.lBufOffset + static_cast<LONG>(f.info.pchNext - f.info.pchBuffer);
}

LONG Position(const MmioFile& f) { return f.buffered ? BufferedPosition(f) : f.position; }

LONG ValidBytes(const MmioFile& f) { return static_cast<LONG>(f.info.pchEndRead - f.info.pchBuffer); }

LONG FileLength(const MmioFile& f) {
    if (f.memory) {
        return f.info.cchBuffer;
    }
    LONG length = static_cast<LONG>(f.image.size());
    if (f.buffered && f.dirty) {
        length = std::max(length, f.info.lBufOffset + ValidBytes(f));
    }
    return length;
}

// Writes the buffer's bytes into the image.
void FlushBuffer(MmioFile& f) {
    if (f.memory || !f.buffered || !f.dirty) {
        f.dirty = false;
        return;
    }
    const size_t end = static_cast<size_t>(f.info.lBufOffset) + static_cast<size_t>(ValidBytes(f));
    if (f.image.size() < end) {
        f.image.resize(end, 0);
    }
    std::memcpy(f.image.data() + f.info.lBufOffset, f.info.pchBuffer, static_cast<size_t>(ValidBytes(f)));
    f.dirty = false;
    f.imageChanged = true;
}

// Moves the buffer to start at `offset` and reads ahead from the image.
void FillBuffer(MmioFile& f, LONG offset) {
    FlushBuffer(f);
    const LONG available = std::max<LONG>(0, static_cast<LONG>(f.image.size()) - offset);
    const LONG count = std::min(available, f.info.cchBuffer);
    if (count > 0) {
        std::memcpy(f.info.pchBuffer, f.image.data() + offset, static_cast<size_t>(count));
    }
    f.info.lBufOffset = offset;
    f.info.pchNext = f.info.pchBuffer;
    f.info.pchEndRead = f.info.pchBuffer + count;
    f.info.pchEndWrite = f.info.pchBuffer + f.info.cchBuffer;
    f.info.lDiskOffset = offset + count;
}

LONG ReadBytes(MmioFile& f, char* out, LONG count) {
    if (!f.buffered) {
        const LONG available = std::max<LONG>(0, static_cast<LONG>(f.image.size()) - f.position);
        const LONG n = std::min(available, count);
        if (n > 0) {
            std::memcpy(out, f.image.data() + f.position, static_cast<size_t>(n));
        }
        f.position += n;
        return n;
    }
    LONG total = 0;
    while (total < count) {
        LONG available = static_cast<LONG>(f.info.pchEndRead - f.info.pchNext);
        if (available <= 0) {
            if (f.memory) {
                break;
            }
            FillBuffer(f, BufferedPosition(f));
            available = static_cast<LONG>(f.info.pchEndRead - f.info.pchNext);
            if (available <= 0) {
                break;
            }
        }
        const LONG n = std::min(available, count - total);
        std::memcpy(out + total, f.info.pchNext, static_cast<size_t>(n));
        f.info.pchNext += n;
        total += n;
    }
    return total;
}

LONG WriteBytes(MmioFile& f, const char* in, LONG count) {
    if (!f.buffered) {
        const size_t end = static_cast<size_t>(f.position) + static_cast<size_t>(count);
        if (f.image.size() < end) {
            f.image.resize(end, 0);
        }
        std::memcpy(f.image.data() + f.position, in, static_cast<size_t>(count));
        f.position += count;
        f.imageChanged = true;
        return count;
    }
    LONG total = 0;
    while (total < count) {
        LONG room = static_cast<LONG>(f.info.pchEndWrite - f.info.pchNext);
        if (room <= 0) {
            if (f.memory) {
                break;  // a memory file cannot grow
            }
            FillBuffer(f, BufferedPosition(f));
            room = static_cast<LONG>(f.info.pchEndWrite - f.info.pchNext);
        }
        const LONG n = std::min(room, count - total);
        std::memcpy(f.info.pchNext, in + total, static_cast<size_t>(n));
        f.info.pchNext += n;
        f.info.pchEndRead = std::max(f.info.pchEndRead, f.info.pchNext);
        f.dirty = true;
        total += n;
    }
    if (total == 0 && count > 0) {
        return -1;
    }
    return total;
}

LONG SeekTo(MmioFile& f, LONG target) {
    if (target < 0) {
        return -1;
    }
    if (!f.buffered) {
        f.position = target;
        return target;
    }
    if (f.memory) {
        if (target > f.info.cchBuffer) {
            return -1;
        }
        f.info.pchNext = f.info.pchBuffer + target;
        return target;
    }
    if (target >= f.info.lBufOffset && target <= f.info.lBufOffset + ValidBytes(f)) {
        f.info.pchNext = f.info.pchBuffer + (target - f.info.lBufOffset);
    } else {
        FillBuffer(f, target);
    }
    return target;
}

bool ReadFourcc(MmioFile& f, DWORD& value) {
    char bytes[4];
    if (ReadBytes(f, bytes, 4) != 4) {
        return false;
    }
    std::memcpy(&value, bytes, 4);  // little-endian host, as the files are
    return true;
}

bool WriteDword(MmioFile& f, DWORD value) {
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    return WriteBytes(f, bytes, 4) == 4;
}

// Reads the chunk header at the current position into `chunk`.
bool ReadChunkHeader(MmioFile& f, MMCKINFO& chunk) {
    const LONG start = Position(f);
    if (!ReadFourcc(f, chunk.ckid) || !ReadFourcc(f, chunk.cksize)) {
        return false;
    }
    chunk.dwDataOffset = static_cast<DWORD>(int64_t{start} + 8);
    chunk.fccType = 0;
    chunk.dwFlags = 0;
    if (chunk.ckid == FOURCC_RIFF || chunk.ckid == FOURCC_LIST) {
        if (!ReadFourcc(f, chunk.fccType)) {
            return false;
        }
    }
    return true;
}

// Chunks are padded to an even number of bytes. Summed wide: a damaged size must not wrap
// around to an offset at or before the chunk's own header (a search would never end).
// -1 when the end lies beyond what a file offset can reach.
LONG ChunkEnd(const MMCKINFO& chunk) {
    const int64_t end = int64_t{chunk.dwDataOffset} + chunk.cksize + (chunk.cksize & 1u);
    return end > INT32_MAX ? -1 : static_cast<LONG>(end);
}

}  // namespace

HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD flags) {
    auto fail = [&](MMRESULT error) -> HMMIO {
        if (info != nullptr) {
            info->wErrorRet = error;
        }
        return nullptr;
    };
    if (ShouldFail("mmioOpenA")) {
        return fail(MMIOERR_CANNOTOPEN);
    }
    const DWORD access = flags & 0x3u;
    if (access == 0x3u) {
        return fail(MMSYSERR_INVALPARAM);
    }
    auto file = std::make_unique<MmioFile>();
    file->canRead = access != MMIO_WRITE;
    file->canWrite = access != MMIO_READ;
    file->info.dwFlags = flags & ~MMIO_DIRTY;

    if (info != nullptr && info->fccIOProc == FOURCC_MEM) {
        // Memory file over the caller's block; the block is the buffer and the whole file.
        if (info->pchBuffer == nullptr || info->cchBuffer <= 0) {
            return fail(MMSYSERR_INVALPARAM);
        }
        file->memory = true;
        file->buffered = true;
        file->info.fccIOProc = FOURCC_MEM;
        file->info.cchBuffer = info->cchBuffer;
        file->info.pchBuffer = info->pchBuffer;
        file->info.pchNext = info->pchBuffer;
        file->info.pchEndRead = info->pchBuffer + info->cchBuffer;
        file->info.pchEndWrite = info->pchBuffer + info->cchBuffer;
        file->name = "<memory>";
    } else {
        if (fileName == nullptr) {
            return fail(MMSYSERR_INVALPARAM);
        }
        file->name = fileName;
        file->info.fccIOProc = FOURCC_DOS;
        if ((flags & MMIO_CREATE) != 0) {
            if (!StoreHostFile(fileName, file->image)) {
                return fail(MMIOERR_CANNOTOPEN);
            }
        } else if (!LoadHostFile(fileName, file->image)) {
            return fail(MMIOERR_FILENOTFOUND);
        }
        const bool userBuffer = info != nullptr && info->pchBuffer != nullptr && info->cchBuffer > 0;
        if ((flags & MMIO_ALLOCBUF) != 0 || userBuffer) {
            file->buffered = true;
            if (userBuffer) {
                file->info.cchBuffer = info->cchBuffer;
                file->info.pchBuffer = info->pchBuffer;
            } else {
                const LONG size = (info != nullptr && info->cchBuffer > 0) ? info->cchBuffer : MMIO_DEFAULTBUFFER;
                file->ownBuffer.assign(static_cast<size_t>(size), 0);
                file->info.cchBuffer = size;
                file->info.pchBuffer = file->ownBuffer.data();
            }
            FillBuffer(*file, 0);
        }
    }
    HMMIO handle = reinterpret_cast<HMMIO>(file.release());
    FromHandle(handle)->info.hmmio = handle;
    ++openFiles;
    if (info != nullptr) {
        info->wErrorRet = MMSYSERR_NOERROR;
    }
    return handle;
}

MMRESULT mmioClose(HMMIO handle, UINT) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    std::unique_ptr<MmioFile> file(FromHandle(handle));
    --openFiles;
    FlushBuffer(*file);
    MMRESULT result = MMSYSERR_NOERROR;
    if (ShouldFail("mmioClose")) {
        result = MMIOERR_CANNOTWRITE;
    } else if (!file->memory && file->imageChanged && !StoreHostFile(file->name.c_str(), file->image)) {
        result = MMIOERR_CANNOTWRITE;
    }
    return result;
}

LONG mmioRead(HMMIO handle, HPSTR buffer, LONG count) {
    if (handle == nullptr || buffer == nullptr || count < 0 || ShouldFail("mmioRead")) {
        return -1;
    }
    MmioFile& f = *FromHandle(handle);
    if (!f.canRead) {
        return -1;
    }
    return ReadBytes(f, buffer, count);
}

LONG mmioWrite(HMMIO handle, const char* buffer, LONG count) {
    if (handle == nullptr || buffer == nullptr || count < 0 || ShouldFail("mmioWrite")) {
        return -1;
    }
    MmioFile& f = *FromHandle(handle);
    if (!f.canWrite) {
        return -1;
    }
    return WriteBytes(f, buffer, count);
}

LONG mmioSeek(HMMIO handle, LONG offset, int origin) {
    if (handle == nullptr || ShouldFail("mmioSeek")) {
        return -1;
    }
    MmioFile& f = *FromHandle(handle);
    int64_t base = 0;
    switch (origin) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        base = Position(f);
        break;
    case SEEK_END:
        base = FileLength(f);
        break;
    default:
        return -1;
    }
    const int64_t target = base + offset;
    if (target < 0 || target > INT32_MAX) {
        return -1;
    }
    return SeekTo(f, static_cast<LONG>(target));
}

MMRESULT mmioDescend(HMMIO handle, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (chunk == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (ShouldFail("mmioDescend")) {
        return MMIOERR_CHUNKNOTFOUND;
    }
    MmioFile& f = *FromHandle(handle);
    const FOURCC wantedId = chunk->ckid;
    const FOURCC wantedType = chunk->fccType;
    const int64_t limit = parent != nullptr ? int64_t{parent->dwDataOffset} + parent->cksize : INT64_MAX;

    MMCKINFO found;
    for (;;) {
        const int64_t start = Position(f);
        if (start + 8 > limit || !ReadChunkHeader(f, found)) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        bool match = true;
        if ((flags & MMIO_FINDCHUNK) != 0) {
            match = found.ckid == wantedId;
        } else if ((flags & MMIO_FINDRIFF) != 0) {
            match = found.ckid == FOURCC_RIFF && found.fccType == wantedType;
        } else if ((flags & MMIO_FINDLIST) != 0) {
            match = found.ckid == FOURCC_LIST && found.fccType == wantedType;
        }
        if (match) {
            *chunk = found;
            return MMSYSERR_NOERROR;
        }
        // A chunk that runs past the end of the file is the last one: the search ends there
        // instead of going on from an offset far beyond the end.
        const LONG end = ChunkEnd(found);
        if (end < 0 || end >= FileLength(f)) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        if (SeekTo(f, end) < 0) {
            return MMIOERR_CANNOTSEEK;
        }
    }
}

MMRESULT mmioAscend(HMMIO handle, MMCKINFO* chunk, UINT) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (chunk == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (ShouldFail("mmioAscend")) {
        return MMIOERR_CANNOTWRITE;
    }
    MmioFile& f = *FromHandle(handle);
    if ((chunk->dwFlags & MMIO_DIRTY) != 0) {
        // A chunk we created: its size is what was written since its header.
        const LONG end = Position(f);
        if (end < static_cast<LONG>(chunk->dwDataOffset)) {
            return MMIOERR_CANNOTSEEK;
        }
        const DWORD size = static_cast<DWORD>(end) - chunk->dwDataOffset;
        if (size != chunk->cksize) {
            if (SeekTo(f, static_cast<LONG>(chunk->dwDataOffset) - 4) < 0 || !WriteDword(f, size)) {
                return MMIOERR_CANNOTWRITE;
            }
            chunk->cksize = size;
        }
        if (SeekTo(f, static_cast<LONG>(chunk->dwDataOffset + chunk->cksize)) < 0) {
            return MMIOERR_CANNOTSEEK;
        }
        if ((chunk->cksize & 1u) != 0) {
            const char pad = 0;
            if (WriteBytes(f, &pad, 1) != 1) {
                return MMIOERR_CANNOTWRITE;
            }
        }
        chunk->dwFlags &= ~MMIO_DIRTY;
        return MMSYSERR_NOERROR;
    }
    if (SeekTo(f, ChunkEnd(*chunk)) < 0) {
        return MMIOERR_CANNOTSEEK;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(HMMIO handle, MMCKINFO* chunk, UINT flags) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (chunk == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (ShouldFail("mmioCreateChunk")) {
        return MMIOERR_CANNOTWRITE;
    }
    MmioFile& f = *FromHandle(handle);
    if (!f.canWrite) {
        return MMIOERR_CANNOTWRITE;
    }
    if ((flags & MMIO_CREATERIFF) != 0) {
        chunk->ckid = FOURCC_RIFF;
    } else if ((flags & MMIO_CREATELIST) != 0) {
        chunk->ckid = FOURCC_LIST;
    }
    const bool form = chunk->ckid == FOURCC_RIFF || chunk->ckid == FOURCC_LIST;
    const LONG start = Position(f);
    if (!WriteDword(f, chunk->ckid) || !WriteDword(f, chunk->cksize)) {
        return MMIOERR_CANNOTWRITE;
    }
    chunk->dwDataOffset = static_cast<DWORD>(start + 8);
    if (form && !WriteDword(f, chunk->fccType)) {
        return MMIOERR_CANNOTWRITE;
    }
    chunk->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioGetInfo(HMMIO handle, MMIOINFO* info, UINT) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (info == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (ShouldFail("mmioGetInfo")) {
        return MMSYSERR_INVALPARAM;
    }
    const MmioFile& f = *FromHandle(handle);
    *info = f.info;
    if (f.dirty) {
        info->dwFlags |= MMIO_DIRTY;
    }
    if (!f.buffered) {
        info->lDiskOffset = f.position;
    }
    return MMSYSERR_NOERROR;
}

namespace {

// Takes back the caller's view of the buffer (pchNext and the dirty flag).
MMRESULT TakeInfo(MmioFile& f, const MMIOINFO& info) {
    if (info.pchBuffer != f.info.pchBuffer || info.pchNext < f.info.pchBuffer || info.pchNext > f.info.pchEndWrite) {
        return MMSYSERR_INVALPARAM;
    }
    f.info.pchNext = info.pchNext;
    if ((info.dwFlags & MMIO_DIRTY) != 0 && f.canWrite) {
        f.dirty = true;
        f.info.pchEndRead = std::max(f.info.pchEndRead, f.info.pchNext);
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT mmioSetInfo(HMMIO handle, const MMIOINFO* info, UINT) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (info == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (ShouldFail("mmioSetInfo")) {
        return MMSYSERR_INVALPARAM;
    }
    MmioFile& f = *FromHandle(handle);
    if (!f.buffered) {
        return MMSYSERR_NOERROR;
    }
    return TakeInfo(f, *info);
}

MMRESULT mmioAdvance(HMMIO handle, MMIOINFO* info, UINT flags) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MmioFile& f = *FromHandle(handle);
    if (!f.buffered) {
        return MMIOERR_UNBUFFERED;
    }
    if (ShouldFail("mmioAdvance")) {
        return (flags & MMIO_WRITE) != 0 ? MMIOERR_CANNOTWRITE : MMIOERR_CANNOTREAD;
    }
    if (info != nullptr) {
        const MMRESULT taken = TakeInfo(f, *info);
        if (taken != MMSYSERR_NOERROR) {
            return taken;
        }
    }
    if ((flags & MMIO_WRITE) != 0 && !f.canWrite) {
        return MMIOERR_CANNOTWRITE;
    }
    if (f.memory) {
        if ((flags & MMIO_WRITE) != 0 && f.info.pchNext == f.info.pchEndWrite) {
            return MMIOERR_CANNOTEXPAND;
        }
    } else {
        FillBuffer(f, BufferedPosition(f));
    }
    if (info != nullptr) {
        *info = f.info;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mmioFlush(HMMIO handle, UINT flags) {
    if (handle == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MmioFile& f = *FromHandle(handle);
    FlushBuffer(f);
    if ((flags & MMIO_EMPTYBUF) != 0 && f.buffered && !f.memory) {
        FillBuffer(f, BufferedPosition(f));
    }
    return MMSYSERR_NOERROR;
}

namespace MmioStandIn {

void FailCall(const std::string& call, int skip) { Failures()[call] = skip; }
void ClearFailures() { Failures().clear(); }
int OpenFiles() { return openFiles; }

}  // namespace MmioStandIn
