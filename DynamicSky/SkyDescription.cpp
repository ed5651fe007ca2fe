#include "DynamicSky/SkyDescription.h"

#include "DynamicSky/SkyTextLines.h"

#include <algorithm>

namespace {

// Reads `cloudLayers` groups at the end of the block and keeps the first `kept`.
void ReadLayer(SkyTextLines& lines, int ringColours, int cloudLayers, int kept, SkyLayer& layer) {
    layer.Duration = lines.NextFloat();
    layer.Alpha = lines.NextFloat();
    layer.Angle = lines.NextFloat() * SkyDegreesToRadians;
    layer.Channel = lines.NextInt() - 1;
    for (int k = 0; k < ringColours; ++k) {
        layer.RingColours.push_back(lines.NextVector());
    }
    layer.SunColour = lines.NextVector();
    layer.AmbientColour = lines.NextVector();
    layer.ColourA = lines.NextVector();
    layer.ColourB = lines.NextVector();
    layer.FogColour = lines.NextVector();
    for (float& value : layer.FogValues) {
        value = lines.NextFloat();
    }
    layer.Bright = lines.NextInt();
    if (layer.Bright != 0) {
        layer.SunColour *= 2.0f;
        layer.AmbientColour *= 2.0f;
    }
    for (int i = 0; i < cloudLayers; ++i) {
        const float dayAngle = lines.NextFloat() * SkyDegreesToRadians;
        const int effectIndex = lines.NextInt();
        const float scale = lines.NextFloat();
        const int advance = lines.NextInt();
        if (i < kept) {
            layer.DayAngles.push_back(dayAngle);
            layer.EffectIndexes.push_back(effectIndex);
            layer.Scales.push_back(scale);
            layer.AdvanceTexture.push_back(advance);
        }
    }
}

}  // namespace

void ParseSkyDescription(const char* text, int length, SkyDescription& sky) {
    SkyTextLines lines(text, length);
    sky.TimeScale = lines.NextFloat();
    const int startLayer = lines.NextInt();
    sky.DomeRadius = lines.NextFloat();
    sky.DomeHeight = lines.NextFloat();
    sky.DomeSegments = lines.NextInt();
    sky.DomeCentre = lines.NextVector();
    sky.DomeTexture = lines.NextName();
    sky.DomeEffect = lines.NextName();
    sky.RingColourCount = lines.Bounded(lines.NextInt());
    const int layerCount = lines.NextInt();
    const int fileCloudLayers = lines.Bounded(lines.NextInt());
    sky.CloudLayerCount = std::min(fileCloudLayers, SkyMaxCloudLayers);
    sky.DroppedCloudLayers = fileCloudLayers - sky.CloudLayerCount;
    sky.CloudEffects[0] = lines.NextName();
    sky.CloudEffects[1] = lines.NextName();
    const int cloudSetCount = lines.NextInt();
    sky.ScheduleFile = lines.NextName();

    for (int i = 0; i < layerCount && lines.Remaining() > 0; ++i) {
        ReadLayer(lines, sky.RingColourCount, fileCloudLayers, sky.CloudLayerCount, sky.Layers.emplace_back());
    }
    for (int i = 0; i < fileCloudLayers && lines.Remaining() > 0; ++i) {
        SkyCloudLayerBlock dropped;
        SkyCloudLayerBlock& block = i < sky.CloudLayerCount ? sky.CloudLayers.emplace_back() : dropped;
        block.OrbitAxis = lines.NextVector();
        block.HalfSize = lines.NextFloat();
        block.OrbitRadius = lines.NextFloat();
        block.Phase = lines.NextFloat() * SkyDegreesToRadians;
        const int textures = lines.Bounded(lines.NextInt());
        for (int t = 0; t < textures; ++t) {
            block.Textures.push_back(lines.NextName());
        }
    }
    for (int i = 0; i < cloudSetCount && lines.Remaining() > 0; ++i) {
        sky.CloudSets.push_back(lines.NextName());
    }
    sky.StartLayer = startLayer >= 0 && startLayer < static_cast<int>(sky.Layers.size()) ? startLayer : 0;
}
