// Cloud-set files: any bytes parse into a record of blocks, one per five lines at most (the
// last may be cut short).
#include "FuzzFiles.h"

#include "DynamicSky/CloudSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CloudSetFile file;
    ParseCloudSetFile(reinterpret_cast<const char*>(data), static_cast<int>(size), file);
    Fuzz::Check(file.Blocks.size() <= size / 6 + 1, "no more blocks than the lines hold");
    return 0;
}
