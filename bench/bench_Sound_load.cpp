// Loading sound effects: the WAV reader streaming a "data" chunk through the multimedia
// file buffer, and a whole CNSound load (open, create the buffer, fill it).
#include "Sound/NSound.h"
#include "Sound/PWaveFile.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// A mono 16-bit WAV of `bytes` sample bytes in the temporary folder.
std::string MakeWav(size_t bytes) {
    const std::string path = (std::filesystem::temp_directory_path() / "bench_sound_load.wav").string();
    std::vector<uint8_t> file;
    auto put = [&](const void* p, size_t n) {
        file.insert(file.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    auto dword = [&](uint32_t v) { put(&v, 4); };
    auto word = [&](uint16_t v) { put(&v, 2); };
    put("RIFF", 4);
    dword(static_cast<uint32_t>(4 + 24 + 8 + bytes));
    put("WAVEfmt ", 8);
    dword(16);
    word(WAVE_FORMAT_PCM);
    word(1);
    dword(22050);
    dword(44100);
    word(2);
    word(16);
    put("data", 4);
    dword(static_cast<uint32_t>(bytes));
    file.resize(file.size() + bytes, 0x11);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    return path;
}

void WaveRead(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string path = MakeWav(size);
    std::vector<BYTE> chunk(4096);
    for (auto _ : state) {
        CPWaveFile wave;
        wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode);
        DWORD read = 0;
        do {
            wave.Read(chunk.data(), static_cast<DWORD>(chunk.size()), &read);
        } while (read > 0);
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    std::filesystem::remove(path);
}
BENCHMARK(WaveRead)->Arg(64 << 10)->Arg(1 << 20);

void SoundLoad(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string path = MakeWav(size);
    IDirectSound8* device = nullptr;
    DirectSoundCreate8(nullptr, &device, nullptr);
    for (auto _ : state) {
        CNSound sound(device, path, 0);
        benchmark::DoNotOptimize(sound.Loaded);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    device->Release();
    std::filesystem::remove(path);
}
BENCHMARK(SoundLoad)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace
