#include "scene/CPSceneLoader.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "scene/PartAnimationFile.h"

#include <vector>

CPSceneLoader* CPSceneLoader::Instance = nullptr;

void CPSceneLoader::LoadPartAnimations(const std::string& fileName, PartAnimationTable& out) {
    CPFileReader reader("Data\\Animations\\" + fileName, false);
    if (reader.Load() != S_OK) {
        return;
    }
    std::vector<PartAnimationTrack> tracks;
    std::string problem;
    std::vector<std::string> dropped;
    if (!PartAnimationFile::Read(reader, tracks, problem, &dropped)) {
        CPLog::GetInstance().Write(0, "Animation file %s refused: %s\n", reader.GetFileName().c_str(), problem.c_str());
        return;
    }
    for (const std::string& track : dropped) {
        CPLog::GetInstance().Write(0, "Animation file %s: track %s left out\n", reader.GetFileName().c_str(), track.c_str());
    }
    for (PartAnimationTrack& track : tracks) {
        CPPartAnimation* animation = new CPPartAnimation();
        animation->SetKeys(std::move(track.Keys), std::move(track.Durations));
        out[track.Name] = animation;
    }
}
