// Mission files: any text is parsed into checkpoints and sources or refused with its line;
// every range list parsed covers consecutive ranges from 0.
#include "FuzzFiles.h"

#include "interface/CampaignFiles.h"

namespace {

void CheckRanges(const std::vector<RangeEntry>& ranges) {
    int32_t next = 0;
    for (const RangeEntry& range : ranges) {
        Fuzz::Check(range.Low == next && range.High >= range.Low, "ranges are consecutive from 0");
        next = range.High;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MissionFile file;
    CampaignFileError error;
    if (!ParseMissionFile(reinterpret_cast<const char*>(data), static_cast<int>(size), file, error)) {
        Fuzz::Check(error.Line >= 1 && !error.Reason.empty(), "a refused file names its line and why");
        Fuzz::Check(file.Checkpoints.empty() && file.Sources.empty(), "a refused file fills nothing");
        return 0;
    }
    for (const MissionSource& checkpoint : file.Checkpoints) {
        CheckRanges(checkpoint.EnemyRanges);
        CheckRanges(checkpoint.BonusRanges);
    }
    int previous = 0;
    for (const MissionSourceLine& source : file.Sources) {
        CheckRanges(source.EnemyRanges);
        Fuzz::Check(source.Line > previous, "sources come in text order");
        previous = source.Line;
    }
    return 0;
}
