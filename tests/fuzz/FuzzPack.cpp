// Pack files: the directory parser on any bytes; a pack it accepts is added to the search
// list and every member (up to a few) read through the file reader.
#include "FuzzFiles.h"

#include "core/CPFileReader.h"
#include "core/PackFiles.h"
#include "platform/files/HostFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PackEntry entry;
    const bool valid = PackFormat::ParseDirectory(data, size, size, entry);
    const std::string path = Fuzz::WriteFile("fuzz.pak", data, size);
    PackFiles.clear();
    const bool added = SUCCEEDED(AddPackFile(path));
    Fuzz::Check(added == valid, "the pack is added exactly when its directory is valid");
    if (added) {
        int read = 0;
        for (const auto& [name, member] : entry.Directory) {
            if (++read > 8) {
                break;
            }
            Fuzz::Check(uint64_t{member.Offset} + member.Size <= size, "a member lies inside the pack");
            if (HostFiles::Exists(name)) {
                continue;  // a file of that name in the working directory comes first
            }
            CPFileReader reader(name, false);
            if (SUCCEEDED(reader.Load())) {
                Fuzz::Check(static_cast<uint32_t>(reader.GetLength()) == member.Size, "a member reads whole");
            }
        }
    }
    PackFiles.clear();
    return 0;
}
