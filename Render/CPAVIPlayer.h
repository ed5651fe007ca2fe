// The first video player: films for the texture named "video", with or without their sound
// (PlayVideo, PlayVideoNoSound). Reached through Instance, which the host sets.
#pragma once

#include "Render/CPVideoPlayer.h"

class CPAVIPlayer : public CPVideoPlayer {
public:
    static CPAVIPlayer* Instance;

    CPAVIPlayer();

    size_t GetObjectSize() const override { return sizeof(CPAVIPlayer); }
    std::string GetTypeName() const override { return "CPAVIPlayer"; }

    // Prepares "Data\Video\<fileName>" (stream stopped, texture installed); failures are
    // reported and leave the player unable to play until the next Open.
    void Open(const std::string& fileName, bool noSound) { OpenFile(fileName, noSound); }
};
