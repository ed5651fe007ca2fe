// user32's letter-or-digit test on the ANSI code page 1252.
#include "platform/ui/WinUser.h"

#include <gtest/gtest.h>

namespace {

TEST(CharClass, LettersAndDigitsOfCodePage1252) {
    const struct {
        unsigned char c;
        bool alphaNumeric;
    } cases[] = {
        {'0', true},  {'9', true},  {'A', true},  {'z', true},  {' ', false}, {'_', false}, {'!', false},
        {0, false},   {0x7F, false}, {0x8A, true}, {0x9F, true}, {0x80, false}, {0xA9, false}, {0xAA, true},
        {0xB5, true}, {0xC0, true}, {0xD7, false}, {0xE9, true}, {0xF7, false}, {0xFF, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCharAlphaNumericA(static_cast<char>(c.c)) != FALSE, c.alphaNumeric) << int(c.c);
    }
}

}  // namespace
