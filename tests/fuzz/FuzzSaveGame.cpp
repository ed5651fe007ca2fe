// Save games: any bytes are read into a save record or refused with a reason; a save that was
// read is written and read back to the same bytes.
#include "FuzzFiles.h"

#include "core/CPFileWriter.h"
#include "script/SaveGame.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Fuzz::MemoryMark mark;
    SaveGame::Record record;
    std::string reason;
    if (!SaveGame::Read(data, size, record, reason)) {
        Fuzz::Check(!reason.empty(), "a refused save says why");
        mark.Check("a refused save");
        return 0;
    }
    // What a save holds is in its bytes: nothing costs more than a few times the file.
    mark.Check("a read save", uint64_t{4} * size);
    CPFileWriter writer("unused", false);
    SaveGame::Write(record, writer);
    const std::vector<uint8_t>& bytes = writer.GetBuffer();
    Fuzz::Check(bytes.size() == size && std::memcmp(bytes.data(), data, size) == 0,
                "a save that was read writes back the same bytes");
    SaveGame::Record again;
    Fuzz::Check(SaveGame::Read(bytes.data(), bytes.size(), again, reason), "a written save reads back");
    return 0;
}
