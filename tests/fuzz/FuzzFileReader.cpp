// The file reader's typed reads over any file, in any order: the first bytes say which reads
// to make and how large, the rest is the file.
#include "FuzzFiles.h"

#include "core/CPFileReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool scrambled = input.ConsumeBool();
    std::vector<uint8_t> script = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 64));
    const std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();
    const std::string path = Fuzz::WriteFile("fuzz.dat", file.data(), file.size());

    CPFileReader reader(path, scrambled);
    Fuzz::Check(SUCCEEDED(reader.Load()), "a file on disk loads");
    Fuzz::Check(static_cast<size_t>(reader.GetLength()) == file.size(), "the whole file is loaded");
    std::vector<uint8_t> bytes(256);
    std::string text;
    for (uint8_t step : script) {
        switch (step & 3) {
            case 0: reader.ReadInt(); break;
            case 1: reader.ReadFloat(); break;
            case 2: reader.ReadString(text); break;
            default: reader.Read(bytes.data(), (step >> 2) * 4 - 1); break;  // -1 too
        }
        Fuzz::Check(reader.GetCursor() >= 0 && reader.GetCursor() <= reader.GetLength(), "the cursor stays inside");
    }
    return 0;
}
