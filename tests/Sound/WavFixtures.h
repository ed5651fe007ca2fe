// WAV files made by the tests: RIFF chunks assembled byte by byte in a temporary folder.
#pragma once

#include "tests/TestTempDir.h"
#include "platform/audio/MMSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace WavFixtures {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}
inline void AppendDword(Bytes& out, uint32_t value) { Append(out, &value, 4); }
inline void AppendWord(Bytes& out, uint16_t value) { Append(out, &value, 2); }

inline DWORD Dword(const Bytes& bytes, size_t at) {
    DWORD value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// One chunk: id, size, body and the pad byte of an odd body.
inline Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out;
    Append(out, id, 4);
    AppendDword(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE") {
    Bytes body;
    Append(body, form, 4);
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return Chunk("RIFF", body);
}

// The 16-byte format record.
inline Bytes PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = WAVE_FORMAT_PCM) {
    const uint16_t align = static_cast<uint16_t>(std::max(1, channels * bits / 8));
    Bytes out;
    AppendWord(out, tag);
    AppendWord(out, channels);
    AppendDword(out, rate);
    AppendDword(out, rate * align);
    AppendWord(out, align);
    AppendWord(out, bits);
    return out;
}

// The 18-byte record with its extra size, followed by the extra bytes.
inline Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& extra) {
    Bytes out = PcmFormat(channels, rate, bits, tag);
    AppendWord(out, static_cast<uint16_t>(extra.size()));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

// Distinct sample bytes, so that misplaced reads show.
inline Bytes Samples(size_t count, uint8_t seed = 0) {
    Bytes out(count);
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>(i * 7 + seed + 1);
    }
    return out;
}

inline Bytes PcmWav(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples) {
    return Riff({Chunk("fmt ", PcmFormat(channels, rate, bits)), Chunk("data", samples)});
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder per test, removed afterwards; checks that no mmio file was left open.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestTempDir("sound_test");
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        MmioStandIn::ClearFailures();
    }
    void TearDown() override {
        MmioStandIn::ClearFailures();
        EXPECT_EQ(MmioStandIn::OpenFiles(), 0);
        std::filesystem::remove_all(dir);
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::string WriteFile(const std::string& name, const Bytes& bytes) const {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path dir;
};

}  // namespace WavFixtures
