#include "Render/CPAVIPlayer.h"

namespace {

const CPVideoPlayer::Config playerConfig = {
    .SourceFile = "Render/PAVIPlayer",
    .TextureEntry = "video",
    .TextureName = "VIDEO",
    .SoundOptional = true,
    .RestartLine = 63,
    .OpenFileLine = 82,
    .VideoStreamLine = 84,
    .DDStreamLine = 86,
    .FormatLine = 90,
    .SurfaceLine = 96,
    .SampleLine = 105,
    .TextureLine = 136,
    .FilterGraphLine = 140,
    .MediaControlLine = 142,
    .MediaPositionLine = 144,
    .BasicAudioLine = 148,
    .VolumeLine = 152,
    .StopLine = 156,
    .DirectDrawLine = 172,
    .CooperativeLine = 173,
    .CreateStreamLine = 175,
    .InitializeLine = 177,
    .AudioStreamLine = 180,
    .VideoStreamAddLine = 182,
    // The task's steps come after the operations above in the source.
    .UpdateLine = 200,
    .CopyLine = 210,
};

}  // namespace

CPAVIPlayer* CPAVIPlayer::Instance = nullptr;

CPAVIPlayer::CPAVIPlayer() : CPVideoPlayer(playerConfig) {}
