#include "Render/CPAVIPlayer1.h"

namespace {

const CPVideoPlayer::Config playerConfig = {
    .SourceFile = "Render/PAVIPlayer1",
    .TextureEntry = "video1",
    .TextureName = "VIDEO1",
    .SoundOptional = false,
    .RestartLine = 62,
    .OpenFileLine = 78,
    .VideoStreamLine = 79,
    .DDStreamLine = 80,
    .FormatLine = 83,
    .SurfaceLine = 88,
    .SampleLine = 96,
    .TextureLine = 125,
    .FilterGraphLine = 128,
    .MediaControlLine = 129,
    .MediaPositionLine = 130,
    .BasicAudioLine = 131,
    .VolumeLine = 134,
    .StopLine = 136,
    .DirectDrawLine = 150,
    .CooperativeLine = 151,
    .CreateStreamLine = 153,
    .InitializeLine = 155,
    .AudioStreamLine = 156,
    .VideoStreamAddLine = 157,
    // The task's steps come after the operations above in the source.
    .UpdateLine = 170,
    .CopyLine = 180,
};

}  // namespace

CPAVIPlayer1* CPAVIPlayer1::Instance = nullptr;

CPAVIPlayer1::CPAVIPlayer1() : CPVideoPlayer(playerConfig) {}
