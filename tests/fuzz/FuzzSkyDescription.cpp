// Sky files ("skyscape%d.txt"): any bytes parse into records whose lists agree with their
// counts, so the sky built from them never indexes past a list.
#include "FuzzFiles.h"

#include "DynamicSky/SkyDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SkyDescription sky;
    ParseSkyDescription(reinterpret_cast<const char*>(data), static_cast<int>(size), sky);
    const size_t k = static_cast<size_t>(sky.RingColourCount);
    const size_t c = static_cast<size_t>(sky.CloudLayerCount);
    for (const SkyLayer& layer : sky.Layers) {
        Fuzz::Check(layer.RingColours.size() == k, "every layer has K ring colours");
        Fuzz::Check(layer.DayAngles.size() == c && layer.Scales.size() == c && layer.EffectIndexes.size() == c &&
                        layer.AdvanceTexture.size() == c,
                    "every layer has one entry per cloud layer");
    }
    Fuzz::Check(sky.CloudLayers.size() <= c, "no more cloud layers than the count");
    Fuzz::Check(sky.Layers.empty() ? sky.StartLayer == 0 : static_cast<size_t>(sky.StartLayer) < sky.Layers.size(),
                "the start layer is a layer");
    return 0;
}
