#include "core/ObjectAddress.h"

#include <charconv>
#include <cstdint>
#include <limits>

std::string AddressToText(const void* address) {
    return std::to_string(static_cast<int64_t>(reinterpret_cast<intptr_t>(address)));
}

void* TextToAddress(const std::string& text) {
    size_t i = 0;
    // The C locale's isspace set.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude unsigned so that INT64_MIN is readable.
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), magnitude);
    if (error != std::errc() || end == text.data() + i) {
        return nullptr;
    }
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1u : 0u);
    if (magnitude > limit) {
        return nullptr;
    }
    const uint64_t bits = negative ? (~magnitude + 1u) : magnitude;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(bits));
}
