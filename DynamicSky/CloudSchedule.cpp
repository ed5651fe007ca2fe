#include "DynamicSky/CloudSchedule.h"

#include "DynamicSky/SkyFiles.h"
#include "DynamicSky/SkyTextLines.h"

void ParseCloudSchedule(const char* text, int length, std::vector<CloudScheduleEntry>& entries) {
    SkyTextLines lines(text, length);
    const int count = lines.Bounded(lines.NextInt());
    for (int i = 0; i < count && lines.Remaining() > 0; ++i) {
        CloudScheduleEntry& e = entries.emplace_back();
        e.FadeTime = lines.NextFloat();
        e.Duration = lines.NextFloat();
        e.Jitter = lines.NextFloat();
        e.CloudSetName = lines.NextName();
        e.Extra1 = lines.NextInt();
        e.Extra2 = lines.NextInt();
        e.Extra3 = lines.NextFloat();
        e.Extra4 = lines.NextFloat();
        e.Extra5 = lines.NextInt();
        e.Extra6 = lines.NextFloat();
        e.Extra7 = lines.NextInt();
        e.Extra8 = lines.NextInt();
        e.OvercastFlag = lines.NextInt();
        e.Probability = lines.NextFloat();
        e.Extra9 = lines.NextInt();
    }
}

void CloudSchedule::Load(const std::string& name) {
    std::vector<uint8_t> text;
    if (ReadSkyFile(name, text)) {
        ParseCloudSchedule(reinterpret_cast<const char*>(text.data()), static_cast<int>(text.size()), Entries);
    }
}
