#include "Render/CPTextureModifier.h"

#include "Render/CPAnimModifier.h"
#include "Render/CPEnvironmentModifier.h"
#include "Render/CPFadeModifier.h"
#include "Render/CPFlickModifier.h"
#include "Render/CPMovingTexModifier.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"

#include <climits>

namespace {

// The leading decimal part as an int, truncated toward zero; 0 when there is none ("", "-"
// or ".5"). Values past the int range saturate.
int IntArgument(const std::string& text) {
    int32_t value = 0;
    if (!TextToInt(text, value)) {
        double wide = 0.0;
        if (TextToDouble(text, wide)) {
            if (wide <= static_cast<double>(INT_MIN)) {
                value = INT_MIN;
            } else if (wide >= static_cast<double>(INT_MAX)) {
                value = INT_MAX;
            } else {
                value = static_cast<int32_t>(wide);
            }
        }
    }
    return value;
}

float FloatArgument(const std::string& text) {
    float value = 0.0f;
    TextToFloat(text, value);
    return value;
}

// Reduced to its low byte, as the original's byte conversion does.
uint8_t ByteArgument(const std::string& text) { return static_cast<uint8_t>(static_cast<uint32_t>(IntArgument(text))); }

}  // namespace

std::unique_ptr<CPTextureModifier> CPTextureModifier::Create(const std::string& keyword,
                                                             const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (!IsNumber(arg)) {
            return nullptr;
        }
    }
    std::string kind = keyword;
    ToLower(kind);
    const size_t n = args.size();
    if (kind == "anim" && n == 3) {
        const int columns = IntArgument(args[0]);
        const int rows = IntArgument(args[1]);
        // A grid without cells has nothing to show; a huge one is no picture grid either.
        if (columns <= 0 || rows <= 0 || static_cast<long long>(columns) * rows > 65536) {
            return nullptr;
        }
        return std::make_unique<CPAnimModifier>(columns, rows, FloatArgument(args[2]));
    }
    if (kind == "flick" && n == 3) {
        return std::make_unique<CPFlickModifier>(FloatArgument(args[0]), ByteArgument(args[1]), ByteArgument(args[2]));
    }
    if (kind == "movingtex" && n == 2) {
        return std::make_unique<CPMovingTexModifier>(FloatArgument(args[0]), FloatArgument(args[1]));
    }
    if (kind == "fade" && n == 1) {
        return std::make_unique<CPFadeModifier>(FloatArgument(args[0]));
    }
    if (kind == "environment" && n == 1) {
        return std::make_unique<CPEnvironmentModifier>(FloatArgument(args[0]));
    }
    return nullptr;
}
