// The second video player: films for the texture named "video1", always with their sound
// (PlayVideo1). Reached through Instance, which the host sets.
#pragma once

#include "Render/CPVideoPlayer.h"

class CPAVIPlayer1 : public CPVideoPlayer {
public:
    static CPAVIPlayer1* Instance;

    CPAVIPlayer1();

    size_t GetObjectSize() const override { return sizeof(CPAVIPlayer1); }
    std::string GetTypeName() const override { return "CPAVIPlayer1"; }

    // Prepares "Data\Video\<fileName>" with sound (stream stopped, texture installed).
    void Open(const std::string& fileName) { OpenFile(fileName, false); }
};
