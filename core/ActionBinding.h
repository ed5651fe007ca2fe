// One key binding: the key (a scan code with its name, or a numeric input code) and a text.
// What the text means depends on the table holding the record: the action's menu label in
// CPActionsManager::Bindings, the action's name in the key and numeric slots.
#pragma once

#include <cstdint>
#include <string>

struct ActionBinding {
    uint8_t KeyCode = 0;  // scan code, or the low 8 bits of a numeric code; 0 is "undefined key"
    std::string KeyText;  // the key as written in the file: a key name or the digits of a code
    std::string Text;
    bool Used = false;     // filled from the file or by a rebinding
    bool Numeric = false;  // KeyText is a numeric code, not a key name

    ActionBinding() = default;
    // A used binding. A numeric key takes the low 8 bits of keyText's decimal value; a key name
    // takes its code from the key-name table, 0 when the name is not in it.
    ActionBinding(const std::string& keyText, const std::string& text, bool numeric);

    // Rebinds to a key name. KeyCode follows only when the name is in the table; Numeric stays.
    void Set(const std::string& keyName, const std::string& text);

    bool operator==(const ActionBinding&) const = default;
};

// The decimal value of a numeric key text as the file gives it: leading blanks and one sign
// allowed, reading stops at the first non-digit, no digits give 0. Any length of digits is
// taken without overflow: Low8 is the low 8 bits of the exact value, and InByteRange tells
// whether the exact value is 0..255.
struct NumericKeyValue {
    uint8_t Low8 = 0;
    bool Negative = false;
    bool InByteRange = true;
    int Value = 0;  // the exact value when InByteRange
};
NumericKeyValue ParseNumericKey(const std::string& text);
