// Part-animation files: any bytes are read or refused; what is read holds only playable
// tracks, and a refused file gives nothing.
#include "FuzzFiles.h"

#include "core/CPFileReader.h"
#include "scene/PartAnimationFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("anim.anm", data, size);
    CPFileReader reader(path, false);
    Fuzz::Check(SUCCEEDED(reader.Load()), "a file on disk loads");
    std::vector<PartAnimationTrack> tracks;
    std::string problem;
    std::vector<std::string> dropped;
    const bool read = PartAnimationFile::Read(reader, tracks, problem, &dropped);
    Fuzz::Check(read || (tracks.empty() && !problem.empty()), "a refused file gives nothing and says why");
    Fuzz::Check(reader.GetCursor() >= 0 && reader.GetCursor() <= reader.GetLength(), "the cursor stays inside");
    size_t keys = 0;
    for (const PartAnimationTrack& track : tracks) {
        std::string why;
        Fuzz::Check(PartAnimationFile::IsPlayable(track, why), "every track kept can be played");
        Fuzz::Check(track.Keys.size() == track.Durations.size(), "one duration per key");
        keys += track.Keys.size();
    }
    Fuzz::Check(keys * PartAnimationFile::KeySize <= size, "no more keys than the file holds");
    return 0;
}
