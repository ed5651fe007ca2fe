// The printable names of keyboard keys, indexed by DirectInput scan code: what "Actions.cfg"
// and the scripts show for a key, and how a key name read from them turns back into a code.
//
// The table covers codes 0x00 to 0xD3 (212 entries, not 256); codes without a name, code 0
// included, read "undefined key". Names are compared byte for byte: letter case and blanks
// count, and the keypad keys are spelt both "NumPad" and "Numpad" as the files spell them.
// The table is constant data, so it is ready before any static initialiser runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr int KeyNameCount = 212;
inline constexpr std::string_view UndefinedKeyName = "undefined key";

// The name of a scan code; "undefined key" for a code without a name and for any code outside
// 0..211 (numeric bindings carry codes up to 255).
std::string_view KeyName(int code);

// The code of the first entry, in ascending code order, equal to name byte for byte; none when
// no entry matches. "undefined key" gives 0.
std::optional<uint8_t> FindKeyCode(std::string_view name);
