// user32's character classes for the ANSI code page 1252.
#include "platform/ui/WinUser.h"

BOOL IsCharAlphaNumericA(char character) {
    const unsigned char c = static_cast<unsigned char>(character);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        return TRUE;
    }
    // Letters of the upper half: Š Œ Ž š œ ž Ÿ ƒ ª µ º and À..ÿ without × and ÷.
    switch (c) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xAA: case 0xB5: case 0xBA:
        return TRUE;
    default:
        break;
    }
    return (c >= 0xC0 && c != 0xD7 && c != 0xF7) ? TRUE : FALSE;
}
