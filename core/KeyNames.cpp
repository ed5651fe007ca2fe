#include "core/KeyNames.h"

#include "platform/input/DInputKeys.h"

#include <array>

namespace {

using KeyTable = std::array<const char*, KeyNameCount>;

constexpr KeyTable BuildKeyNames() {
    KeyTable t{};
    for (const char*& name : t) {
        name = UndefinedKeyName.data();
    }
    t[DIK_ESCAPE] = "Esc";
    t[DIK_1] = "1";
    t[DIK_2] = "2";
    t[DIK_3] = "3";
    t[DIK_4] = "4";
    t[DIK_5] = "5";
    t[DIK_6] = "6";
    t[DIK_7] = "7";
    t[DIK_8] = "8";
    t[DIK_9] = "9";
    t[DIK_0] = "0";
    t[DIK_MINUS] = "-";
    t[DIK_EQUALS] = "=";
    t[DIK_BACK] = "Backspace";
    t[DIK_TAB] = "Tab";
    t[DIK_Q] = "Q";
    t[DIK_W] = "W";
    t[DIK_E] = "E";
    t[DIK_R] = "R";
    t[DIK_T] = "T";
    t[DIK_Y] = "Y";
    t[DIK_U] = "U";
    t[DIK_I] = "I";
    t[DIK_O] = "O";
    t[DIK_P] = "P";
    t[DIK_LBRACKET] = "[";
    t[DIK_RBRACKET] = "]";
    t[DIK_RETURN] = "Enter";
    t[DIK_LCONTROL] = "LCtrl";
    t[DIK_A] = "A";
    t[DIK_S] = "S";
    t[DIK_D] = "D";
    t[DIK_F] = "F";
    t[DIK_G] = "G";
    t[DIK_H] = "H";
    t[DIK_J] = "J";
    t[DIK_K] = "K";
    t[DIK_L] = "L";
    t[DIK_SEMICOLON] = ";";
    t[DIK_APOSTROPHE] = "'";
    t[DIK_GRAVE] = "`";
    t[DIK_LSHIFT] = "LShift";
    t[DIK_BACKSLASH] = "\\";
    t[DIK_Z] = "Z";
    t[DIK_X] = "X";
    t[DIK_C] = "C";
    t[DIK_V] = "V";
    t[DIK_B] = "B";
    t[DIK_N] = "N";
    t[DIK_M] = "M";
    t[DIK_COMMA] = ",";
    t[DIK_PERIOD] = ".";
    t[DIK_SLASH] = "/";
    t[DIK_RSHIFT] = "RShift";
    t[DIK_MULTIPLY] = "*";
    t[DIK_LMENU] = "LAlt";
    t[DIK_SPACE] = "Space";
    t[DIK_CAPITAL] = "CapsLock";
    t[DIK_F1] = "F1";
    t[DIK_F2] = "F2";
    t[DIK_F3] = "F3";
    t[DIK_F4] = "F4";
    t[DIK_F5] = "F5";
    t[DIK_F6] = "F6";
    t[DIK_F7] = "F7";
    t[DIK_F8] = "F8";
    t[DIK_F9] = "F9";
    t[DIK_F10] = "F10";
    t[DIK_NUMLOCK] = "NumLock";
    t[DIK_SCROLL] = "ScrollLock";
    t[DIK_NUMPAD7] = "NumPad 7";
    t[DIK_NUMPAD8] = "NumPad 8";
    t[DIK_NUMPAD9] = "NumPad 9";
    t[DIK_SUBTRACT] = "NumPad -";
    t[DIK_NUMPAD4] = "NumPad 4";
    t[DIK_NUMPAD5] = "NumPad 5";
    t[DIK_NUMPAD6] = "NumPad 6";
    t[DIK_ADD] = "NumPad +";
    t[DIK_NUMPAD1] = "NumPad 1";
    t[DIK_NUMPAD2] = "NumPad 2";
    t[DIK_NUMPAD3] = "NumPad 3";
    t[DIK_NUMPAD0] = "NumPad 0";
    t[DIK_DECIMAL] = "NumPad .";
    t[DIK_F11] = "F11";
    t[DIK_F12] = "F12";
    t[DIK_F13] = "F13";
    t[DIK_F14] = "F14";
    t[DIK_F15] = "F15";
    t[DIK_KANA] = "Kana";
    t[DIK_CONVERT] = "Convert";
    t[DIK_NOCONVERT] = "NoConvert";
    t[DIK_YEN] = "Yen";
    t[DIK_NUMPADEQUALS] = "Numpad =";
    t[DIK_CIRCUMFLEX] = "CircumFlex";
    t[DIK_AT] = "@";
    t[DIK_COLON] = ":";
    t[DIK_UNDERLINE] = "_";
    t[DIK_KANJI] = "Kanji";
    t[DIK_STOP] = "Stop";
    t[DIK_AX] = "Ax";
    t[DIK_UNLABELED] = "Unlabeled";
    t[DIK_NUMPADENTER] = "NumPad Enter";
    t[DIK_RCONTROL] = "RCtrl";
    t[DIK_NUMPADCOMMA] = "Numpad ,";
    t[DIK_DIVIDE] = "Numpad /";
    t[DIK_SYSRQ] = "SysRq";
    t[DIK_RMENU] = "RAlt";
    t[DIK_PAUSE] = "Pause";
    t[DIK_HOME] = "Home";
    t[DIK_UP] = "Up";
    t[DIK_PRIOR] = "PgUp";
    t[DIK_LEFT] = "Left";
    t[DIK_RIGHT] = "Right";
    t[DIK_END] = "End";
    t[DIK_DOWN] = "Down";
    t[DIK_NEXT] = "PgDn";
    t[DIK_INSERT] = "Ins";
    t[DIK_DELETE] = "Del";
    return t;
}

constexpr KeyTable KeyNames = BuildKeyNames();

}  // namespace

std::string_view KeyName(int code) {
    if (code < 0 || code >= KeyNameCount) {
        return UndefinedKeyName;
    }
    return KeyNames[static_cast<size_t>(code)];
}

std::optional<uint8_t> FindKeyCode(std::string_view name) {
    for (int code = 0; code < KeyNameCount; ++code) {
        if (name == KeyNames[static_cast<size_t>(code)]) {
            return static_cast<uint8_t>(code);
        }
    }
    return std::nullopt;
}
