// The sky file ("skyscape%d.txt") as records, before anything is built from it.
//
// Fifteen header lines (time scale; start layer; dome radius, height, segments and centre; dome
// texture and effect; ring colours per layer K; layer count; cloud-layer count C; the two cloud
// effects; cloud-set count; schedule file), then one block per layer (duration; alpha; angle;
// channel; K ring colours; sun, ambient, A, B and fog colours; three fog values; bright; then
// four lines per cloud layer), one block per cloud layer (orbit axis; half size; orbit radius;
// phase; texture count and the texture lines) and one line per cloud set.
//
// Damaged files read without harm: blocks start only while lines remain (a last block cut short
// reads its missing lines as 0), K, C and texture counts are cut to the file's line count, and a
// start layer outside the layers read becomes 0. Every layer has K ring colours and C entries
// in each per-cloud-layer list; there are at most C cloud layers. C is at most
// SkyMaxCloudLayers: each cloud layer holds device buffers of about 1 MB, so a small file
// listing thousands would take gigabytes; the lines of the layers past it are read and dropped.
#pragma once

#include "DynamicSky/SkyLayer.h"
#include "platform/d3dx/D3DXMath.h"

#include <string>
#include <vector>

struct SkyCloudLayerBlock {
    D3DXVECTOR3 OrbitAxis;  // as written, not normalised
    float HalfSize = 0.0f;
    float OrbitRadius = 0.0f;
    float Phase = 0.0f;  // radians
    std::vector<std::string> Textures;
};

struct SkyDescription {
    float TimeScale = 0.0f;
    int StartLayer = 0;  // settled: an index into Layers, or 0
    float DomeRadius = 0.0f;
    float DomeHeight = 0.0f;
    int DomeSegments = 0;
    D3DXVECTOR3 DomeCentre;
    std::string DomeTexture;
    std::string DomeEffect;
    int RingColourCount = 0;  // K, cut to the line count
    int CloudLayerCount = 0;     // C, cut to the line count and to SkyMaxCloudLayers
    int DroppedCloudLayers = 0;  // cloud layers the file lists past SkyMaxCloudLayers
    std::string CloudEffects[2];
    std::string ScheduleFile;
    std::vector<SkyLayer> Layers;
    std::vector<SkyCloudLayerBlock> CloudLayers;
    std::vector<std::string> CloudSets;
};

constexpr int SkyMaxCloudLayers = 16;

// π/180 as the 32-bit float the files' degrees are multiplied by.
constexpr float SkyDegreesToRadians = 0.0174532924f;

void ParseSkyDescription(const char* text, int length, SkyDescription& sky);
