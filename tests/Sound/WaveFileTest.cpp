#include "Sound/PWaveFile.h"
#include "core/CPLog.h"

#include "WavFixtures.h"

#include "platform/win32/CallTrace.h"
#include "platform/win32/ComRuntime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

using namespace WavFixtures;

class WaveFile : public TempDirTest {};

TEST_F(WaveFile, PcmHeaderGivesEighteenByteFormatAndDataSize) {
    // An odd-sized chunk before "data" checks the even-byte padding.
    const std::string path = WriteFile("pcm.wav", Riff({Chunk("fmt ", PcmFormat(2, 22050, 16)),
                                                        Chunk("LIST", std::vector<uint8_t>(5, 'x')),
                                                        Chunk("data", Samples(600))}));
    CPWaveFile wave;
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
    ASSERT_NE(wave.GetFormat(), nullptr);
    EXPECT_EQ(wave.GetFormatSize(), 18u);
    EXPECT_EQ(wave.GetFormat()->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.GetFormat()->nChannels, 2);
    EXPECT_EQ(wave.GetFormat()->nSamplesPerSec, 22050u);
    EXPECT_EQ(wave.GetFormat()->nBlockAlign, 4);
    EXPECT_EQ(wave.GetFormat()->cbSize, 0);
    EXPECT_EQ(wave.GetSize(), 600u);

    std::vector<BYTE> buffer(1000);
    DWORD read = 1;
    ASSERT_EQ(wave.Read(buffer.data(), 1000, &read), S_OK);
    EXPECT_EQ(read, 600u);
    EXPECT_EQ(std::vector<BYTE>(buffer.begin(), buffer.begin() + 600), Samples(600));
    ASSERT_EQ(wave.Read(buffer.data(), 1000, &read), S_OK);
    EXPECT_EQ(read, 0u);
    ASSERT_EQ(wave.ResetFile(), S_OK);
    ASSERT_EQ(wave.Read(buffer.data(), 1000, &read), S_OK);
    EXPECT_EQ(read, 600u);
    EXPECT_EQ(wave.Close(), S_OK);
    EXPECT_FALSE(wave.IsOpen());
}

TEST_F(WaveFile, LongDataIsReadAcrossManyBufferRefills) {
    const std::vector<uint8_t> samples = Samples(50001);
    const std::string path = WriteFile("long.wav", Riff({Chunk("fmt ", PcmFormat(1, 11025, 8)), Chunk("data", samples)}));
    CPWaveFile wave;
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
    std::vector<BYTE> all;
    std::vector<BYTE> piece(3001);
    DWORD read = 0;
    do {
        ASSERT_EQ(wave.Read(piece.data(), 3001, &read), S_OK);
        all.insert(all.end(), piece.begin(), piece.begin() + read);
    } while (read > 0);
    EXPECT_EQ(all, samples);
}

TEST_F(WaveFile, NonPcmFormatsKeepTheirExtraBytes) {
    std::vector<uint8_t> extra(32);
    for (size_t i = 0; i < extra.size(); ++i) {
        extra[i] = static_cast<uint8_t>(0xA0 + i);
    }
    const std::string path =
        WriteFile("adpcm.wav", Riff({Chunk("fmt ", Format(2, 1, 22050, 4, extra)), Chunk("data", Samples(10))}));
    CPWaveFile wave;
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
    ASSERT_EQ(wave.GetFormatSize(), 50u);
    EXPECT_EQ(wave.GetFormat()->wFormatTag, 2);
    EXPECT_EQ(wave.GetFormat()->cbSize, 32);
    const auto* bytes = reinterpret_cast<const uint8_t*>(wave.GetFormat());
    EXPECT_EQ(std::vector<uint8_t>(bytes + 18, bytes + 50), extra);
}

TEST_F(WaveFile, SixteenByteNonPcmFormatHasNoExtraBytes) {
    // A float format written with the 16-byte record: the two bytes after it belong to
    // the next chunk, not to an extra size.
    const std::string path =
        WriteFile("float.wav", Riff({Chunk("fmt ", PcmFormat(1, 44100, 32, 3)), Chunk("data", Samples(8))}));
    CPWaveFile wave;
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
    EXPECT_EQ(wave.GetFormatSize(), 18u);
    EXPECT_EQ(wave.GetFormat()->wFormatTag, 3);
    EXPECT_EQ(wave.GetFormat()->cbSize, 0);
    EXPECT_EQ(wave.GetSize(), 8u);
}

TEST_F(WaveFile, DamagedHeadersFailToOpen) {
    std::vector<uint8_t> oversizedExtra = Format(2, 1, 22050, 4, std::vector<uint8_t>(4));
    oversizedExtra[16] = 200;  // claims 200 extra bytes in a 22-byte chunk
    const std::vector<uint8_t> validRiff = Riff({Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(40))});
    // A chunk whose size, added to its data offset, wraps back to its own header.
    Bytes wrapping = Riff({Chunk("junk", Bytes(8, 0)), Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(4))});
    const uint32_t wrapSize = 0xFFFFFFF8u;
    std::memcpy(wrapping.data() + 16, &wrapSize, 4);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"not RIFF", Chunk("LIST", PcmFormat(1, 8000, 8))},
        {"RIFF of another form", Riff({Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(4))}, "AVI ")},
        {"14-byte format chunk", Riff({Chunk("fmt ", std::vector<uint8_t>(14)), Chunk("data", Samples(4))})},
        {"no format chunk", Riff({Chunk("data", Samples(4))})},
        {"extra size past the chunk", Riff({Chunk("fmt ", oversizedExtra), Chunk("data", Samples(4))})},
        {"no data chunk", Riff({Chunk("fmt ", PcmFormat(1, 8000, 8))})},
        {"cut inside the header", std::vector<uint8_t>(validRiff.begin(), validRiff.begin() + 26)},
        {"chunk size wrapping around", wrapping},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = WriteFile("bad.wav", c.bytes);
        CPWaveFile wave;
        EXPECT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), E_FAIL);
        EXPECT_EQ(wave.GetSize(), 0u);
        DWORD read = 7;
        BYTE byte = 0;
        if (!wave.IsOpen()) {
            EXPECT_EQ(wave.GetFormat(), nullptr);
            EXPECT_EQ(wave.Read(&byte, 1, &read), CO_E_NOTINITIALIZED);
        }
    }
    EXPECT_EQ(MmioStandIn::OpenFiles(), 0);
}

// A data chunk that claims more than the file (or its RIFF chunk) holds opens with the size
// that is there, reported once, so no buffer is made for data that does not exist (a 48-byte
// file once asked for 256 MB); reading past it still fails as the data runs out.
TEST_F(WaveFile, DataClaimedBeyondTheFileIsCutToWhatItHolds) {
    const Bytes valid = Riff({Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(600))});
    const auto patched = [&valid](size_t offset, uint32_t value) {
        Bytes b = valid;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    Bytes truncated = valid;
    truncated.resize(truncated.size() - 300);
    Bytes tiny = Riff({Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(4))});
    const uint32_t huge = 256u << 20;
    std::memcpy(tiny.data() + 40, &huge, 4);
    ASSERT_EQ(tiny.size(), 48u);
    const struct {
        const char* what;
        Bytes file;
        DWORD held;
        DWORD claimed;
        bool fileEnds;  // the data runs out after the bytes held
    } cases[] = {
        {"file cut short", truncated, 300, 600, true},
        {"256 MB claimed by a 48-byte file", tiny, 4, huge, true},
        {"RIFF chunk ending inside the data", patched(4, static_cast<uint32_t>(valid.size() - 8 - 100)), 500, 600,
         false},
        {"whole", valid, 600, 600, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> reports;
        CPLog::GetInstance().SetSink([&reports](const CPLogReport& r) { reports.push_back(r.Text); });
        const std::string path = WriteFile("claims.wav", c.file);
        CPWaveFile wave;
        ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
        CPLog::GetInstance().SetSink({});
        EXPECT_EQ(wave.GetSize(), c.held);
        if (c.held == c.claimed) {
            EXPECT_TRUE(reports.empty());
            continue;
        }
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("claims " + std::to_string(c.claimed) + " bytes, the file holds " +
                                  std::to_string(c.held)),
                  std::string::npos)
            << reports[0];
        std::vector<BYTE> buffer(c.held + 100);
        DWORD read = 5;
        EXPECT_EQ(wave.Read(buffer.data(), c.held, &read), S_OK);
        EXPECT_EQ(read, c.held);
        EXPECT_EQ(wave.Read(buffer.data(), 100, &read), c.fileEnds ? E_FAIL : S_OK);
    }
}

TEST_F(WaveFile, ArgumentAndStateErrors) {
    CallTrace::Clear();
    CallTrace::Enable(true);
    CPWaveFile wave;
    EXPECT_EQ(wave.Open(nullptr, nullptr, CPWaveFile::ReadMode), E_INVALIDARG);
    EXPECT_TRUE(CallTrace::Calls().empty());  // nothing looked up

    // A missing file falls back to the program's resources, which do not exist.
    EXPECT_EQ(wave.Open(Path("missing.wav").c_str(), nullptr, CPWaveFile::ReadMode), E_FAIL);
    const std::string name = Path("missing.wav");
    EXPECT_EQ(CallTrace::Calls(),
              (std::vector<std::string>{"FindResourceA " + name + " WAVE", "FindResourceA " + name + " WAV"}));
    CallTrace::Enable(false);
    CallTrace::Clear();

    BYTE byte = 0;
    DWORD read = 0;
    EXPECT_EQ(wave.Read(&byte, 1, &read), CO_E_NOTINITIALIZED);
    EXPECT_EQ(wave.ResetFile(), CO_E_NOTINITIALIZED);

    const std::string path = WriteFile("ok.wav", Riff({Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("data", Samples(4))}));
    ASSERT_EQ(wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
    EXPECT_EQ(wave.Read(nullptr, 1, &read), E_INVALIDARG);
    EXPECT_EQ(wave.Read(&byte, 1, nullptr), E_INVALIDARG);

    CPWaveFile writer;
    EXPECT_EQ(writer.Open(Path("out.wav").c_str(), nullptr, CPWaveFile::WriteMode), E_INVALIDARG);
    EXPECT_EQ(writer.Close(), CO_E_NOTINITIALIZED);
}

TEST_F(WaveFile, WrittenFileHasPatchedSizesAndReadsBack) {
    struct Case {
        const char* what;
        std::vector<uint8_t> format;
        DWORD formatChunkSize;
    };
    const Case cases[] = {
        {"PCM", PcmFormat(2, 44100, 16), 16},
        {"non-PCM with 3 extra bytes", Format(0x55, 2, 44100, 0, {1, 2, 3}), 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> record = c.format;
        record.resize(std::max<size_t>(record.size(), 18), 0);  // the caller's record is at least 18 bytes
        const std::string path = Path("written.wav");
        {
            CPWaveFile writer;
            ASSERT_EQ(writer.Open(path.c_str(), reinterpret_cast<const WAVEFORMATEX*>(record.data()),
                                  CPWaveFile::WriteMode),
                      S_OK);
            ASSERT_EQ(writer.Close(), S_OK);
        }
        const std::vector<uint8_t> bytes = ReadFile(path);
        const DWORD padded = c.formatChunkSize + (c.formatChunkSize & 1);
        ASSERT_EQ(bytes.size(), 12 + 8 + padded + 12 + 8);
        EXPECT_EQ(Dword(bytes, 0), mmioFOURCC('R', 'I', 'F', 'F'));
        EXPECT_EQ(Dword(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(Dword(bytes, 8), mmioFOURCC('W', 'A', 'V', 'E'));
        EXPECT_EQ(Dword(bytes, 16), c.formatChunkSize);
        const size_t fact = 20 + padded;
        EXPECT_EQ(Dword(bytes, fact), mmioFOURCC('f', 'a', 'c', 't'));
        EXPECT_EQ(Dword(bytes, fact + 4), 4u);
        EXPECT_EQ(Dword(bytes, fact + 8), 0u);  // sample count written at close
        EXPECT_EQ(Dword(bytes, fact + 12), mmioFOURCC('d', 'a', 't', 'a'));
        EXPECT_EQ(Dword(bytes, fact + 16), 0u);

        CPWaveFile reader;
        ASSERT_EQ(reader.Open(path.c_str(), nullptr, CPWaveFile::ReadMode), S_OK);
        EXPECT_EQ(reader.GetSize(), 0u);
        const auto* format = reinterpret_cast<const uint8_t*>(reader.GetFormat());
        std::vector<uint8_t> expected = c.format;
        if (expected.size() == 16) {
            expected.resize(18, 0);
        }
        EXPECT_EQ(std::vector<uint8_t>(format, format + reader.GetFormatSize()), expected);
    }
}

TEST_F(WaveFile, FailedCloseLeavesTheFileOpenAndTheDestructorReleasesIt) {
    struct Case {
        const char* call;
        int skip;  // successful calls of it during Close before the failing one
        HRESULT result;
    };
    const Case cases[] = {
        {"mmioSetInfo", 0, E_FAIL},
        {"mmioAscend", 0, E_FAIL},   // out of "data"
        {"mmioSeek", 0, E_FAIL},
        {"mmioDescend", 0, E_FAIL},  // back into "RIFF"
        {"mmioWrite", 0, E_FAIL},    // the sample count of "fact"
        {"mmioAscend", 2, E_FAIL},   // out of "fact"
        {"mmioDescend", 1, S_OK},    // no "fact" chunk found: nothing to patch
    };
    std::vector<uint8_t> record = PcmFormat(1, 8000, 8);
    record.resize(18, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " after " + std::to_string(c.skip));
        {
            CPWaveFile writer;
            ASSERT_EQ(writer.Open(Path("fail.wav").c_str(), reinterpret_cast<const WAVEFORMATEX*>(record.data()),
                                  CPWaveFile::WriteMode),
                      S_OK);
            MmioStandIn::FailCall(c.call, c.skip);
            EXPECT_EQ(writer.Close(), c.result);
            EXPECT_EQ(writer.IsOpen(), FAILED(c.result));
            EXPECT_EQ(MmioStandIn::OpenFiles(), FAILED(c.result) ? 1 : 0);
            MmioStandIn::ClearFailures();
        }
        EXPECT_EQ(MmioStandIn::OpenFiles(), 0);
    }
}

TEST_F(WaveFile, WriteFailuresWhileCreatingCloseTheFile) {
    std::vector<uint8_t> record = PcmFormat(1, 8000, 8);
    record.resize(18, 0);
    for (const char* call : {"mmioCreateChunk", "mmioWrite", "mmioAscend"}) {
        SCOPED_TRACE(call);
        MmioStandIn::FailCall(call);
        CPWaveFile writer;
        EXPECT_EQ(writer.Open(Path("w.wav").c_str(), reinterpret_cast<const WAVEFORMATEX*>(record.data()),
                              CPWaveFile::WriteMode),
                  E_FAIL);
        EXPECT_FALSE(writer.IsOpen());
        MmioStandIn::ClearFailures();
    }
    CPWaveFile writer;
    EXPECT_EQ(writer.Open(Path("no/dir/w.wav").c_str(), reinterpret_cast<const WAVEFORMATEX*>(record.data()),
                          CPWaveFile::WriteMode),
              E_FAIL);
}

}  // namespace
