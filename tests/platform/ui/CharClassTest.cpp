// user32's letter-or-digit test on the game's ANSI code page, Cyrillic 1251.
#include "platform/ui/WinUser.h"

#include <gtest/gtest.h>

namespace {

TEST(CharClass, LettersAndDigitsOfCodePage1251) {
    const struct {
        unsigned char c;
        bool alphaNumeric;
    } cases[] = {
        {'0', true},   {'9', true},   {'A', true},   {'z', true},   {' ', false},  {'_', false},  {'!', false},
        {0, false},    {0x7F, false}, {0x80, false}, {0x8A, false}, {0xA7, false}, {0xA8, true},  {0xA9, false},
        {0xB7, false}, {0xB8, true},  {0xB9, false}, {0xBF, false}, {0xC0, true},  {0xD7, true},  {0xDF, true},
        {0xE0, true},  {0xF7, true},  {0xFF, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCharAlphaNumericA(static_cast<char>(c.c)) != FALSE, c.alphaNumeric) << int(c.c);
    }
}

}  // namespace
