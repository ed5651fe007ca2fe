// Sky files ("skyscape%d.txt"): any bytes parse into records whose lists agree with their
// counts, so the sky built from them never indexes past a list; and the sky's lines hold the
// values the quote-aware tokenizer cuts from each line (lines without quotes are cut apart from it).
#include "FuzzFiles.h"

#include "DynamicSky/SkyDescription.h"
#include "DynamicSky/SkyTextLines.h"
#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"

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

    SkyTextLines lines(reinterpret_cast<const char*>(data), static_cast<int>(size));
    CPLineReader reader(reinterpret_cast<const char*>(data), static_cast<int>(size));
    std::string token;
    while (reader.ReadLine()) {
        Fuzz::Check(lines.Next(), "a line for every line the reader gives");
        size_t count = 0;
        if (reader.GetLineKind() != CPLineReader::KindSection) {
            CPTokenizer tokens(reader.GetLine(), " ", true);
            for (bool label = true; tokens.NextToken(token); label = false) {
                if (!label) {
                    Fuzz::Check(lines.Name(count) == token, "the values the tokenizer cuts");
                    ++count;
                }
            }
        }
        Fuzz::Check(lines.Name(count).empty() && lines.Name(count + 1).empty(), "no more values than the tokenizer's");
    }
    Fuzz::Check(!lines.Next(), "no more lines than the reader gives");
    return 0;
}
