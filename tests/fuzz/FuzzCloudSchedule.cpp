// Cloud-schedule files: any bytes parse, one entry per fifteen lines at most (the last may be
// cut short).
#include "FuzzFiles.h"

#include "DynamicSky/CloudSchedule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<CloudScheduleEntry> entries;
    ParseCloudSchedule(reinterpret_cast<const char*>(data), static_cast<int>(size), entries);
    Fuzz::Check(entries.size() <= size / 16 + 1, "no more entries than the lines hold");
    return 0;
}
