#include "core/ActionBinding.h"

#include "core/KeyNames.h"

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

NumericKeyValue ParseNumericKey(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps modulo 2^32, which keeps the low 8 bits exact for any length.
    uint32_t wrapped = 0;
    uint32_t exact = 0;
    bool small = true;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint32_t digit = static_cast<uint32_t>(text[i] - '0');
        wrapped = wrapped * 10u + digit;
        if (small) {
            exact = exact * 10u + digit;
            small = exact <= 255u;
        }
    }
    NumericKeyValue result;
    result.Negative = negative && wrapped != 0;
    result.Low8 = static_cast<uint8_t>((negative ? 0u - wrapped : wrapped) & 0xFFu);
    result.InByteRange = small && !result.Negative;
    result.Value = result.InByteRange ? static_cast<int>(exact) : 0;
    return result;
}

ActionBinding::ActionBinding(const std::string& keyText, const std::string& text, bool numeric)
    : KeyText(keyText), Text(text), Used(true), Numeric(numeric) {
    if (numeric) {
        KeyCode = ParseNumericKey(keyText).Low8;
    } else {
        KeyCode = FindKeyCode(keyText).value_or(0);
    }
}

void ActionBinding::Set(const std::string& keyName, const std::string& text) {
    KeyText = keyName;
    Text = text;
    Used = true;
    if (const std::optional<uint8_t> code = FindKeyCode(keyName)) {
        KeyCode = *code;
    }
}
