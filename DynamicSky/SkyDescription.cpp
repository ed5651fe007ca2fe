#include "DynamicSky/SkyDescription.h"

#include "DynamicSky/SkyTextLines.h"

namespace {

void ReadLayer(SkyTextLines& lines, int ringColours, int cloudLayers, SkyLayer& layer) {
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
        layer.DayAngles.push_back(lines.NextFloat() * SkyDegreesToRadians);
        layer.EffectIndexes.push_back(lines.NextInt());
        layer.Scales.push_back(lines.NextFloat());
        layer.AdvanceTexture.push_back(lines.NextInt());
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
    sky.CloudLayerCount = lines.Bounded(lines.NextInt());
    sky.CloudEffects[0] = lines.NextName();
    sky.CloudEffects[1] = lines.NextName();
    const int cloudSetCount = lines.NextInt();
    sky.ScheduleFile = lines.NextName();

    for (int i = 0; i < layerCount && lines.Remaining() > 0; ++i) {
        ReadLayer(lines, sky.RingColourCount, sky.CloudLayerCount, sky.Layers.emplace_back());
    }
    for (int i = 0; i < sky.CloudLayerCount && lines.Remaining() > 0; ++i) {
        SkyCloudLayerBlock& block = sky.CloudLayers.emplace_back();
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
