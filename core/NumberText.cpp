#include "core/NumberText.h"

#include <locale>
#include <sstream>

namespace {

template <class T>
bool ParseWithStream(const std::string& text, T& value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    T parsed{};
    in >> parsed;
    if (in.fail()) {
        return false;
    }
    value = parsed;
    return true;
}

template <class T>
std::string FormatWithStream(T value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

}  // namespace

bool TextToInt(const std::string& text, int32_t& value) { return ParseWithStream(text, value); }
bool TextToFloat(const std::string& text, float& value) { return ParseWithStream(text, value); }
bool TextToDouble(const std::string& text, double& value) { return ParseWithStream(text, value); }

std::string IntToText(int32_t value) { return FormatWithStream(value); }
std::string FloatToText(float value) { return FormatWithStream(value); }
