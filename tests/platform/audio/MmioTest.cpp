#include "tests/TestTempDir.h"
#include "platform/files/HostFiles.h"
#include "platform/audio/MMSystem.h"
#include "platform/win32/Resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Mmio : public ::testing::Test {
protected:
    void SetUp() override { MmioStandIn::ClearFailures(); }
    void TearDown() override {
        MmioStandIn::ClearFailures();
        EXPECT_EQ(MmioStandIn::OpenFiles(), 0);
        HostFiles::ClearCache();  // listings of the temporary folder are stale for later tests
    }
    std::string Path(const char* name) const { return (scratch / name).string(); }
    // A file of the scratch folder, read or written behind mmio's back.
    std::vector<uint8_t> Bytes(const char* name) const {
        const std::string bytes = scratch.Read(name);
        return {bytes.begin(), bytes.end()};
    }
    void Write(const char* name, const std::vector<uint8_t>& bytes) const {
        scratch.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    static DWORD Dword(const std::vector<uint8_t>& bytes, size_t at) {
        DWORD value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    }
    ScratchFolder scratch{"mmio_test", ScratchFolder::Stay};
};

TEST(MmioFourcc, PacksLittleEndian) {
    EXPECT_EQ(mmioFOURCC('R', 'I', 'F', 'F'), 0x46464952u);
    EXPECT_EQ(FOURCC_MEM, mmioFOURCC('M', 'E', 'M', ' '));
}

TEST_F(Mmio, CreatedChunksGetTheirSizesAndOddOnesArePadded) {
    const std::string path = Path("chunks.riff");
    HMMIO file = mmioOpenA(path.c_str(), nullptr, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    MMCKINFO odd;
    odd.ckid = mmioFOURCC('o', 'd', 'd', ' ');
    ASSERT_EQ(mmioCreateChunk(file, &odd, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(file, "abc", 3), 3);
    ASSERT_EQ(mmioAscend(file, &odd, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(odd.cksize, 3u);
    MMCKINFO even;
    even.ckid = mmioFOURCC('e', 'v', 'e', 'n');
    ASSERT_EQ(mmioCreateChunk(file, &even, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(file, "wxyz", 4), 4);
    ASSERT_EQ(mmioAscend(file, &even, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(file, &riff, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);

    const std::vector<uint8_t> bytes = Bytes("chunks.riff");
    ASSERT_EQ(bytes.size(), 12u + 12u + 12u);  // RIFF header, odd chunk + pad, even chunk
    EXPECT_EQ(Dword(bytes, 0), FOURCC_RIFF);
    EXPECT_EQ(Dword(bytes, 4), 28u);
    EXPECT_EQ(Dword(bytes, 16), 3u);
    EXPECT_EQ(bytes[23], 0);  // pad byte
    EXPECT_EQ(Dword(bytes, 24), mmioFOURCC('e', 'v', 'e', 'n'));
    EXPECT_FALSE(fs::exists(path + ".tmp~"));

    // Descending finds the form, then skips the padded odd chunk to find the even one.
    file = mmioOpenA(path.c_str(), nullptr, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    MMCKINFO form;
    form.fccType = mmioFOURCC('T', 'E', 'S', 'T');
    ASSERT_EQ(mmioDescend(file, &form, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(form.cksize, 28u);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 12);
    MMCKINFO found;
    found.ckid = mmioFOURCC('e', 'v', 'e', 'n');
    ASSERT_EQ(mmioDescend(file, &found, &form, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(found.dwDataOffset, 32u);
    char data[4];
    ASSERT_EQ(mmioRead(file, data, 4), 4);
    EXPECT_EQ(std::string(data, 4), "wxyz");
    // Searching stops at the parent's end.
    ASSERT_EQ(mmioSeek(file, 12, SEEK_SET), 12);
    MMCKINFO missing;
    missing.ckid = mmioFOURCC('n', 'o', 'n', 'e');
    EXPECT_EQ(mmioDescend(file, &missing, &form, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, DirectBufferAccessReadsAcrossBufferRefills) {
    std::vector<uint8_t> content(100);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>(i);
    }
    const std::string path = Path("plain.bin");
    Write("plain.bin", content);

    MMIOINFO open;
    open.cchBuffer = 16;
    HMMIO file = mmioOpenA(path.c_str(), &open, MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(info.cchBuffer, 16);
    std::vector<uint8_t> read;
    for (;;) {
        if (info.pchNext == info.pchEndRead) {
            ASSERT_EQ(mmioAdvance(file, &info, MMIO_READ), MMSYSERR_NOERROR);
            if (info.pchNext == info.pchEndRead) {
                break;  // end of file
            }
        }
        read.push_back(static_cast<uint8_t>(*info.pchNext++));
    }
    EXPECT_EQ(read, content);
    ASSERT_EQ(mmioSetInfo(file, &info, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 100);
    EXPECT_EQ(mmioSeek(file, -10, SEEK_END), 90);
    char tail[20];
    EXPECT_EQ(mmioRead(file, tail, 20), 10);
    EXPECT_EQ(mmioWrite(file, "x", 1), -1);  // opened for reading only
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, DirectBufferWritesNeedTheDirtyFlag) {
    const std::string path = Path("written.bin");
    MMIOINFO open;
    open.cchBuffer = 8;
    HMMIO file = mmioOpenA(path.c_str(), &open, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(fs::exists(path));  // created (empty) at once
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
    for (int i = 0; i < 20; ++i) {
        if (info.pchNext == info.pchEndWrite) {
            info.dwFlags |= MMIO_DIRTY;
            ASSERT_EQ(mmioAdvance(file, &info, MMIO_WRITE), MMSYSERR_NOERROR);
        }
        *info.pchNext++ = static_cast<char>('a' + i);
    }
    info.dwFlags |= MMIO_DIRTY;
    ASSERT_EQ(mmioSetInfo(file, &info, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
    const std::vector<uint8_t> bytes = Bytes("written.bin");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdefghijklmnopqrst");

    // Without the flag the bytes placed in the buffer never reach the file.
    file = mmioOpenA(path.c_str(), nullptr, MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
    *info.pchNext++ = 'Z';
    ASSERT_EQ(mmioSetInfo(file, &info, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(Bytes("written.bin")[0], 'a');
}

TEST_F(Mmio, MemoryFilesReadTheCallersBlockAndCannotGrow) {
    char block[] = "0123456789";
    MMIOINFO open;
    open.fccIOProc = FOURCC_MEM;
    open.pchBuffer = block;
    open.cchBuffer = 10;
    HMMIO file = mmioOpenA(nullptr, &open, MMIO_READWRITE);
    ASSERT_NE(file, nullptr);
    char out[16];
    EXPECT_EQ(mmioRead(file, out, 16), 10);
    EXPECT_EQ(mmioRead(file, out, 16), 0);
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAdvance(file, &info, MMIO_READ), MMSYSERR_NOERROR);
    EXPECT_EQ(info.pchNext, info.pchEndRead);  // nothing more to come
    EXPECT_EQ(mmioWrite(file, "x", 1), -1);
    EXPECT_EQ(mmioSeek(file, 2, SEEK_SET), 2);
    EXPECT_EQ(mmioWrite(file, "ab", 2), 2);
    EXPECT_EQ(std::string(block, 4), "01ab");
    EXPECT_EQ(mmioSeek(file, 11, SEEK_SET), -1);
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

TEST_F(Mmio, OpenFailuresAndInjectedFailures) {
    MMIOINFO info;
    EXPECT_EQ(mmioOpenA(Path("missing.wav").c_str(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
    EXPECT_EQ(mmioOpenA(Path("no/such/dir.wav").c_str(), &info, MMIO_CREATE | MMIO_WRITE), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_CANNOTOPEN);

    const std::string path = Path("some.bin");
    Write("some.bin", {1, 2, 3, 4, 5, 6, 7, 8});
    MmioStandIn::FailCall("mmioRead", 1);
    HMMIO file = mmioOpenA(path.c_str(), nullptr, MMIO_READ);
    ASSERT_NE(file, nullptr);
    char out[4];
    EXPECT_EQ(mmioRead(file, out, 4), 4);  // skipped once
    EXPECT_EQ(mmioRead(file, out, 4), -1);
    EXPECT_EQ(mmioRead(file, out, 4), 4);
    EXPECT_EQ(mmioAdvance(file, nullptr, MMIO_READ), MMIOERR_UNBUFFERED);
    // A failing close still gives the handle back.
    MmioStandIn::FailCall("mmioClose");
    EXPECT_EQ(mmioClose(file, 0), MMIOERR_CANNOTWRITE);
}

// Damaged chunk sizes: sizes are given as the file states them, but skipping a chunk that
// runs past the end of the file ends the search there. The next header's offset used to be
// summed in 32 bits, which overflowed for a chunk ending near 2^31.
TEST_F(Mmio, SearchEndsAtAChunkRunningPastTheEndOfTheFile) {
    const auto dword = [](std::vector<uint8_t>& bytes, DWORD value) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    std::vector<uint8_t> wave;
    dword(wave, FOURCC_RIFF);
    dword(wave, 0xFFFFFFF0u);
    dword(wave, mmioFOURCC('W', 'A', 'V', 'E'));
    dword(wave, mmioFOURCC('d', 'a', 't', 'a'));
    dword(wave, 0x7FFFFFFFu);
    wave.insert(wave.end(), {1, 2, 3, 4});
    const DWORD endsNear2To31[] = {0x7FFFFFF6u, 0x7FFFFFFFu, 0xFFFFFFFFu, 100u};

    for (const DWORD flags : {MMIO_READ, MMIO_READ | MMIO_ALLOCBUF}) {
        SCOPED_TRACE(flags);
        Write("long.wav", wave);
        HMMIO file = mmioOpenA(Path("long.wav").c_str(), nullptr, flags);
        ASSERT_NE(file, nullptr);
        MMCKINFO riff;
        riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
        EXPECT_EQ(riff.cksize, 0xFFFFFFF0u);
        MMCKINFO data;
        data.ckid = mmioFOURCC('d', 'a', 't', 'a');
        ASSERT_EQ(mmioDescend(file, &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
        EXPECT_EQ(data.dwDataOffset, 20u);
        EXPECT_EQ(data.cksize, 0x7FFFFFFFu);
        EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);

        for (const DWORD size : endsNear2To31) {
            SCOPED_TRACE(size);
            std::vector<uint8_t> junk;
            dword(junk, mmioFOURCC('J', 'U', 'N', 'K'));
            dword(junk, size);
            junk.insert(junk.end(), 8, 0);
            Write("junk.bin", junk);
            file = mmioOpenA(Path("junk.bin").c_str(), nullptr, flags);
            ASSERT_NE(file, nullptr);
            data.ckid = mmioFOURCC('d', 'a', 't', 'a');
            EXPECT_EQ(mmioDescend(file, &data, nullptr, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
            EXPECT_LE(mmioSeek(file, 0, SEEK_CUR), 16);  // not left far beyond the end
            EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
        }
    }
}

TEST(ProgramResources, AreNeverFound) {
    EXPECT_EQ(FindResourceA(nullptr, "boom.wav", "WAVE"), nullptr);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

}  // namespace
