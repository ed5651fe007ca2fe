#include "Sound/PWaveFile.h"

#include "core/CPLog.h"
#include "platform/win32/ComRuntime.h"
#include "platform/win32/Resources.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr FOURCC WaveForm = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC FormatId = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC FactId = mmioFOURCC('f', 'a', 'c', 't');
constexpr FOURCC DataId = mmioFOURCC('d', 'a', 't', 'a');

constexpr DWORD FormatBase = sizeof(PCMWAVEFORMAT);  // 16
constexpr DWORD FormatWithExtra = sizeof(WAVEFORMATEX);  // 18

}  // namespace

CPWaveFile::~CPWaveFile() {
    Close();
    // A close that failed while finishing a written file leaves the handle open; the
    // file must still be released.
    if (Handle != nullptr) {
        mmioClose(Handle, 0);
        Handle = nullptr;
    }
}

HRESULT CPWaveFile::Open(const char* name, const WAVEFORMATEX* format, DWORD mode) {
    // Reopening drops the previous file rather than leaking its handle.
    if (Handle != nullptr) {
        Close();
        if (Handle != nullptr) {
            mmioClose(Handle, 0);
            Handle = nullptr;
        }
    }
    ResourceBytes.clear();
    Mode = mode;
    if (mode == ReadMode) {
        return OpenForReading(name);
    }
    return OpenForWriting(name, format);
}

HRESULT CPWaveFile::OpenForReading(const char* name) {
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    Format.clear();
    Size = 0;

    Handle = mmioOpenA(name, nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (Handle == nullptr) {
        Handle = OpenResource(name);
        if (Handle == nullptr) {
            return E_FAIL;
        }
    }
    if (!ReadHeader()) {
        mmioClose(Handle, 0);
        Handle = nullptr;
        return E_FAIL;
    }
    if (FAILED(ResetFile())) {
        return E_FAIL;
    }
    Size = HeldDataSize(name);
    return S_OK;
}

// The data chunk's size as far as the RIFF chunk and the file hold it. A damaged header may
// claim far more (a 48-byte file claiming 256 MB): the sound's buffer is made for what is
// there, the shortfall is reported, and a read past it still fails as the data runs out.
DWORD CPWaveFile::HeldDataSize(const char* name) {
    const LONG end = mmioSeek(Handle, 0, SEEK_END);
    if (end == -1 || mmioSeek(Handle, static_cast<LONG>(DataChunk.dwDataOffset), SEEK_SET) == -1) {
        return DataChunk.cksize;
    }
    const uint64_t start = DataChunk.dwDataOffset;
    const uint64_t fileEnd = static_cast<uint64_t>(end);
    const uint64_t riffEnd = uint64_t{RiffChunk.dwDataOffset} + RiffChunk.cksize;
    const uint64_t limit = std::min(fileEnd, riffEnd);
    const uint64_t held = limit > start ? std::min<uint64_t>(limit - start, DataChunk.cksize) : 0;
    if (held < DataChunk.cksize) {
        CPLog::GetInstance().Write(0, "Wave file %s: its data chunk claims %u bytes, the file holds %u\n", name,
                                   static_cast<unsigned>(DataChunk.cksize), static_cast<unsigned>(held));
    }
    return static_cast<DWORD>(held);
}

// The program's own "WAVE" (else "WAV") resource of that name, opened as a memory file.
HMMIO CPWaveFile::OpenResource(const char* name) {
    HRSRC resource = FindResourceA(nullptr, name, "WAVE");
    if (resource == nullptr) {
        resource = FindResourceA(nullptr, name, "WAV");
        if (resource == nullptr) {
            return nullptr;
        }
    }
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr) {
        return nullptr;
    }
    const DWORD size = SizeofResource(nullptr, resource);
    if (size == 0) {
        return nullptr;
    }
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr) {
        return nullptr;
    }
    // The copy lives as long as this object, which outlives the memory file over it.
    ResourceBytes.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
    MMIOINFO memory;
    memory.fccIOProc = FOURCC_MEM;
    memory.pchBuffer = ResourceBytes.data();
    memory.cchBuffer = static_cast<LONG>(size);
    return mmioOpenA(nullptr, &memory, MMIO_ALLOCBUF | MMIO_READ);
}

bool CPWaveFile::ReadHeader() {
    Format.clear();
    auto fail = [this] {
        Format.clear();
        return false;
    };

    RiffChunk = MMCKINFO{};
    if (mmioDescend(Handle, &RiffChunk, nullptr, 0) != MMSYSERR_NOERROR) {
        return fail();
    }
    if (RiffChunk.ckid != FOURCC_RIFF || RiffChunk.fccType != WaveForm) {
        return fail();
    }

    MMCKINFO formatChunk;
    formatChunk.ckid = FormatId;
    if (mmioDescend(Handle, &formatChunk, &RiffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        return fail();
    }
    if (formatChunk.cksize < FormatBase) {
        return fail();
    }
    PCMWAVEFORMAT base;
    if (mmioRead(Handle, reinterpret_cast<HPSTR>(&base), FormatBase) != static_cast<LONG>(FormatBase)) {
        return fail();
    }

    WORD extraSize = 0;
    if (base.wFormatTag != WAVE_FORMAT_PCM && formatChunk.cksize >= FormatWithExtra) {
        // A format chunk of exactly 16 bytes has no extra size field; reading one would
        // take bytes of the next chunk.
        if (mmioRead(Handle, reinterpret_cast<HPSTR>(&extraSize), sizeof(extraSize)) != sizeof(extraSize)) {
            return fail();
        }
        if (FormatWithExtra + DWORD{extraSize} > formatChunk.cksize) {
            return fail();  // extra bytes would run past the chunk
        }
    }
    Format.assign(FormatWithExtra + extraSize, 0);
    std::memcpy(Format.data(), &base, FormatBase);
    std::memcpy(Format.data() + FormatBase, &extraSize, sizeof(extraSize));
    if (extraSize > 0 && mmioRead(Handle, reinterpret_cast<HPSTR>(Format.data() + FormatWithExtra), extraSize) !=
                             static_cast<LONG>(extraSize)) {
        return fail();
    }

    if (mmioAscend(Handle, &formatChunk, 0) != MMSYSERR_NOERROR) {
        return fail();
    }
    return true;
}

HRESULT CPWaveFile::ResetFile() {
    if (Handle == nullptr) {
        return CO_E_NOTINITIALIZED;
    }
    if (Mode == ReadMode) {
        // Just after the form type, then find "data" again; its size restarts the count.
        if (mmioSeek(Handle, static_cast<LONG>(RiffChunk.dwDataOffset + sizeof(FOURCC)), SEEK_SET) == -1) {
            return E_FAIL;
        }
        DataChunk = MMCKINFO{};
        DataChunk.ckid = DataId;
        if (mmioDescend(Handle, &DataChunk, &RiffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
        return S_OK;
    }
    DataChunk = MMCKINFO{};
    DataChunk.ckid = DataId;
    DataChunk.cksize = 0;
    if (mmioCreateChunk(Handle, &DataChunk, 0) != MMSYSERR_NOERROR) {
        return E_FAIL;
    }
    if (mmioGetInfo(Handle, &OutInfo, 0) != MMSYSERR_NOERROR) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CPWaveFile::Read(BYTE* buffer, DWORD count, DWORD* bytesRead) {
    if (Handle == nullptr) {
        return CO_E_NOTINITIALIZED;
    }
    if (buffer == nullptr || bytesRead == nullptr) {
        return E_INVALIDARG;
    }
    *bytesRead = 0;

    MMIOINFO in;
    if (mmioGetInfo(Handle, &in, 0) != MMSYSERR_NOERROR) {
        return E_FAIL;
    }
    const DWORD wanted = std::min(count, DataChunk.cksize);
    DataChunk.cksize -= wanted;

    DWORD copied = 0;
    while (copied < wanted) {
        if (in.pchNext == in.pchEndRead) {
            // An advance that brings nothing means the file ends before its "data" chunk does.
            if (mmioAdvance(Handle, &in, MMIO_READ) != MMSYSERR_NOERROR || in.pchNext == in.pchEndRead) {
                mmioSetInfo(Handle, &in, 0);
                return E_FAIL;
            }
        }
        const DWORD available = static_cast<DWORD>(in.pchEndRead - in.pchNext);
        const DWORD n = std::min(available, wanted - copied);
        std::memcpy(buffer + copied, in.pchNext, n);
        in.pchNext += n;
        copied += n;
    }

    if (mmioSetInfo(Handle, &in, 0) != MMSYSERR_NOERROR) {
        return E_FAIL;
    }
    *bytesRead = wanted;
    return S_OK;
}

HRESULT CPWaveFile::OpenForWriting(const char* name, const WAVEFORMATEX* format) {
    if (name == nullptr || format == nullptr) {
        return E_INVALIDARG;
    }
    Handle = mmioOpenA(name, nullptr, MMIO_ALLOCBUF | MMIO_READWRITE | MMIO_CREATE);
    if (Handle == nullptr) {
        return E_FAIL;
    }
    if (!WriteHeader(*format)) {
        mmioClose(Handle, 0);
        Handle = nullptr;
        return E_FAIL;
    }
    return FAILED(ResetFile()) ? E_FAIL : S_OK;
}

bool CPWaveFile::WriteHeader(const WAVEFORMATEX& format) {
    RiffChunk = MMCKINFO{};
    RiffChunk.fccType = WaveForm;
    RiffChunk.cksize = 0;
    if (mmioCreateChunk(Handle, &RiffChunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR) {
        return false;
    }

    MMCKINFO chunk;
    chunk.ckid = FormatId;
    chunk.cksize = FormatBase;
    if (mmioCreateChunk(Handle, &chunk, 0) != MMSYSERR_NOERROR) {
        return false;
    }
    // PCM formats are written as the 16-byte record; others with their extra bytes, which
    // the caller's record carries after its 18 bytes. Ascending fixes the chunk's size.
    const LONG formatBytes =
        format.wFormatTag == WAVE_FORMAT_PCM ? FormatBase : static_cast<LONG>(FormatWithExtra + format.cbSize);
    if (mmioWrite(Handle, reinterpret_cast<const char*>(&format), formatBytes) != formatBytes) {
        return false;
    }
    if (mmioAscend(Handle, &chunk, 0) != MMSYSERR_NOERROR) {
        return false;
    }

    chunk = MMCKINFO{};
    chunk.ckid = FactId;
    chunk.cksize = 0;
    if (mmioCreateChunk(Handle, &chunk, 0) != MMSYSERR_NOERROR) {
        return false;
    }
    const DWORD unknownSamples = 0xFFFFFFFFu;
    if (mmioWrite(Handle, reinterpret_cast<const char*>(&unknownSamples), sizeof(unknownSamples)) !=
        sizeof(unknownSamples)) {
        return false;
    }
    return mmioAscend(Handle, &chunk, 0) == MMSYSERR_NOERROR;
}

HRESULT CPWaveFile::Close() {
    if (Mode != ReadMode) {
        if (Handle == nullptr) {
            return CO_E_NOTINITIALIZED;
        }
        OutInfo.dwFlags |= MMIO_DIRTY;
        if (mmioSetInfo(Handle, &OutInfo, 0) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
        // Ascending out of chunks we created writes their sizes.
        if (mmioAscend(Handle, &DataChunk, 0) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
        if (mmioAscend(Handle, &RiffChunk, 0) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
        if (mmioSeek(Handle, 0, SEEK_SET) == -1) {
            return E_FAIL;
        }
        if (mmioDescend(Handle, &RiffChunk, nullptr, 0) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
        // A file without a "fact" chunk has no sample count to patch; one that has it must
        // take the count.
        MMCKINFO fact;
        fact.ckid = FactId;
        if (mmioDescend(Handle, &fact, &RiffChunk, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
            const DWORD samples = 0;
            if (mmioWrite(Handle, reinterpret_cast<const char*>(&samples), sizeof(samples)) != sizeof(samples) ||
                mmioAscend(Handle, &fact, 0) != MMSYSERR_NOERROR) {
                return E_FAIL;
            }
        }
        if (mmioAscend(Handle, &RiffChunk, 0) != MMSYSERR_NOERROR) {
            return E_FAIL;
        }
    }
    if (Handle == nullptr) {
        return S_OK;
    }
    const MMRESULT closed = mmioClose(Handle, 0);
    Handle = nullptr;
    // A written file reaches the disk as it closes; losing it is not success.
    return (Mode != ReadMode && closed != MMSYSERR_NOERROR) ? E_FAIL : S_OK;
}
