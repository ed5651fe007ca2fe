// Texture modifiers from the "vertexeffect" text of object descriptions: any keyword and
// arguments either give no modifier or one whose vertices stay in range whatever the clock.
// The input is one line: the keyword and its arguments separated by blanks, then, after a
// "|", frame times in seconds.
#include "FuzzFiles.h"

#include "Render/CPAnimModifier.h"
#include "Render/CPMovingTexModifier.h"
#include "Render/CPTextureModifier.h"
#include "core/FrameTime.h"
#include "core/NumberText.h"

#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t bar = text.find('|');
    std::istringstream words(text.substr(0, bar));
    std::string keyword;
    words >> keyword;
    std::vector<std::string> args;
    for (std::string word; words >> word;) {
        args.push_back(word);
    }
    auto modifier = CPTextureModifier::Create(keyword, args);
    if (!modifier) {
        return 0;
    }
    std::vector<float> steps;
    if (bar != std::string::npos) {
        std::istringstream times(text.substr(bar + 1));
        for (std::string word; times >> word && steps.size() < 64;) {
            float seconds = 0.0f;
            TextToFloat(word, seconds);
            steps.push_back(seconds);
        }
    }
    steps.push_back(1.0f);

    CPVertex source[3];
    for (int i = 0; i < 3; ++i) {
        source[i].Position = D3DXVECTOR3(static_cast<float>(i), 2.0f, -1.0f);
        source[i].Diffuse = 0x80FFFFFFu * static_cast<uint32_t>(i);
        source[i].U = 0.5f * static_cast<float>(i);
    }
    CPVertex out[3];
    for (float seconds : steps) {
        FrameTime = seconds;
        modifier->Apply(out, source, 3);
        auto copy = modifier->Clone();
        copy->Reset();
        copy->Apply(source, source, 3);
        for (int i = 0; i < 3; ++i) {
            Fuzz::Check(out[i].Position == source[i].Position, "positions are kept");
        }
        if (const auto* moving = dynamic_cast<const CPMovingTexModifier*>(modifier.get())) {
            Fuzz::Check(moving->OffsetU >= 0.0f && moving->OffsetU <= 1.0f && moving->OffsetV >= 0.0f &&
                            moving->OffsetV <= 1.0f,
                        "scroll offsets stay in [0, 1]");
        }
        if (const auto* anim = dynamic_cast<const CPAnimModifier*>(modifier.get())) {
            Fuzz::Check(anim->Cell >= 0 && anim->Cell < anim->CellCount, "the cell is one of the grid");
        }
    }
    FrameTime = 0.0f;
    return 0;
}
