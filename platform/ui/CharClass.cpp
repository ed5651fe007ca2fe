// user32's character classes for the ANSI code page the game runs with: Cyrillic 1251.
#include "platform/ui/WinUser.h"

BOOL IsCharAlphaNumericA(char character) {
    const unsigned char c = static_cast<unsigned char>(character);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        return TRUE;
    }
    // The Russian alphabet of the upper half: А..я (0xC0..0xFF), Ё (0xA8) and ё (0xB8).
    return (c >= 0xC0 || c == 0xA8 || c == 0xB8) ? TRUE : FALSE;
}
