// The sky's cloud schedule: its entries in file order. The schedule file is a count line and
// then fifteen one-value lines per entry (see CloudScheduleEntry for their order).
#pragma once

#include "DynamicSky/CloudScheduleEntry.h"

#include <string>
#include <vector>

class CloudSchedule {
public:
    CloudSchedule() = default;
    virtual ~CloudSchedule() = default;

    // Appends the entries of "Data\Clouds\" + name; a file that cannot be read adds nothing.
    void Load(const std::string& name);

    std::vector<CloudScheduleEntry> Entries;
};

// Appends the entries of a schedule text. Entries start only while lines remain; a last entry
// cut short reads its missing lines as 0 and empty names.
void ParseCloudSchedule(const char* text, int length, std::vector<CloudScheduleEntry>& entries);
