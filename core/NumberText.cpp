#include "core/NumberText.h"

#include <charconv>
#include <cstring>
#include <locale>
#include <sstream>

namespace {

// The reference semantics: formatted stream extraction in the classic locale.
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

bool IsStreamSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// std::from_chars reads the common texts exactly as the stream does, without a stream or the
// process locale. The texts where the two differ go to the stream: a leading "+" (from_chars
// takes none), a stop at a character the stream would still have taken ("1e+", "1.2.3", where
// the stream fails or reads on), and out-of-range values (the stream accepts underflow).
template <class T>
bool ParseNumber(const char* const begin, const char* const last, T& value) {
    const auto text = [&] { return std::string(begin, last); };  // for the stream, rarely needed
    const char* first = begin;
    while (first != last && IsStreamSpace(*first)) {
        ++first;
    }
    if (first == last) {
        return false;
    }
    if (*first == '+') {
        return ParseWithStream(text(), value);
    }
    T parsed{};
    if constexpr (std::is_floating_point_v<T>) {
        // Most numbers in data files are short whole numbers: below 2^24 every float holds them
        // exactly, so their value is the one from_chars would round to. The stop is the one the
        // general case below takes without the stream.
        const char* at = first + (*first == '-' ? 1 : 0);
        const char* digits = at;
        uint32_t whole = 0;
        while (at != last && at - digits < 7 && *at >= '0' && *at <= '9') {
            whole = whole * 10 + static_cast<uint32_t>(*at - '0');
            ++at;
        }
        if (at != digits && (at == last || std::strchr("0123456789.eE+-", *at) == nullptr || *at == '\0')) {
            parsed = static_cast<T>(whole);
            value = *first == '-' ? -parsed : parsed;
            return true;
        }
    }
    std::from_chars_result result;
    if constexpr (std::is_integral_v<T>) {
        result = std::from_chars(first, last, parsed);
    } else {
        // The stream knows no "inf" or "nan", and no hexadecimal floats.
        const char* digits = first + (*first == '-' ? 1 : 0);
        if (digits == last || !((*digits >= '0' && *digits <= '9') || *digits == '.')) {
            return false;
        }
        result = std::from_chars(first, last, parsed, std::chars_format::general);
    }
    if (result.ec == std::errc::invalid_argument) {
        return false;
    }
    if (result.ec != std::errc() ||
        (result.ptr != last && std::strchr(std::is_integral_v<T> ? "0123456789" : "0123456789.eE+-", *result.ptr) &&
         *result.ptr != '\0')) {
        return ParseWithStream(text(), value);
    }
    value = parsed;
    return true;
}

}  // namespace

bool TextToInt(const std::string& text, int32_t& value) {
    return ParseNumber(text.data(), text.data() + text.size(), value);
}
bool TextToFloat(const std::string& text, float& value) {
    return ParseNumber(text.data(), text.data() + text.size(), value);
}
bool TextToDouble(const std::string& text, double& value) {
    return ParseNumber(text.data(), text.data() + text.size(), value);
}
bool CharsToInt(const char* first, const char* last, int32_t& value) { return ParseNumber(first, last, value); }
bool CharsToFloat(const char* first, const char* last, float& value) { return ParseNumber(first, last, value); }

std::string IntToText(int32_t value) {
    char buffer[16];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}
std::string FloatToText(float value) { return FormatWithStream(value); }
