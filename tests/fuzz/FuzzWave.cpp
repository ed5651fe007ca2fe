// WAV files read through the multimedia file functions, every sample read out. The size a
// sound's buffer is made for is never more than the file holds.
#include "FuzzFiles.h"

#include "Sound/PWaveFile.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("fuzz.wav", data, size);
    CPWaveFile wave;
    if (wave.Open(path.c_str(), nullptr, CPWaveFile::ReadMode) != S_OK) {
        return 0;
    }
    Fuzz::Check(wave.GetSize() <= size, "the data size is what the file holds");
    std::vector<BYTE> buffer(4096);
    DWORD total = 0;
    for (int pass = 0; pass < 2; ++pass) {
        // A read fails once the file ends before its "data" chunk does.
        DWORD read = 0;
        while (wave.Read(buffer.data(), static_cast<DWORD>(buffer.size()), &read) == S_OK && read > 0) {
            total += read;
            Fuzz::Check(total <= size * 2, "no more samples than the file holds");
        }
        wave.ResetFile();
    }
    wave.Close();
    return 0;
}
