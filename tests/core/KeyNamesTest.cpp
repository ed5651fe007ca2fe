#include "core/KeyNames.h"

#include "platform/input/DInputKeys.h"

#include <gtest/gtest.h>

#include <string>

TEST(KeyNames, NamesOfCodes) {
    struct Case {
        int code;
        const char* name;
    };
    const Case cases[] = {
        {0x00, "undefined key"}, {0x01, "Esc"},          {0x0B, "0"},         {0x1D, "LCtrl"},
        {0x27, ";"},             {0x2B, "\\"},           {0x37, "*"},         {0x4A, "NumPad -"},
        {0x53, "NumPad ."},      {0x54, "undefined key"}, {0x8D, "Numpad ="}, {0x90, "CircumFlex"},
        {0x9C, "NumPad Enter"},  {0xB3, "Numpad ,"},     {0xB5, "Numpad /"},  {0xCA, "undefined key"},
        {0xD3, "Del"},           {212, "undefined key"}, {255, "undefined key"}, {-1, "undefined key"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyName(c.code), c.name) << "code " << c.code;
    }
    EXPECT_EQ(KeyName(DIK_UP), "Up");
    EXPECT_EQ(KeyName(DIK_NEXT), "PgDn");
    EXPECT_EQ(KeyName(DIK_RMENU), "RAlt");
}

TEST(KeyNames, EveryNamedCodeMapsBackToItself) {
    int named = 0;
    for (int code = 0; code < KeyNameCount; ++code) {
        if (KeyName(code) != UndefinedKeyName) {
            ++named;
            EXPECT_EQ(FindKeyCode(KeyName(code)), code) << KeyName(code);
        }
    }
    EXPECT_EQ(named, 118);
}

TEST(KeyNames, LookupIsExact) {
    EXPECT_EQ(FindKeyCode("NumPad Enter"), 0x9C);
    EXPECT_EQ(FindKeyCode("Numpad Enter"), std::nullopt);
    EXPECT_EQ(FindKeyCode("numpad enter"), std::nullopt);
    EXPECT_EQ(FindKeyCode("up"), std::nullopt);
    EXPECT_EQ(FindKeyCode("Up "), std::nullopt);
    EXPECT_EQ(FindKeyCode(""), std::nullopt);
    EXPECT_EQ(FindKeyCode("Nothing"), std::nullopt);
    EXPECT_EQ(FindKeyCode(std::string("Esc\0", 4)), std::nullopt);
    EXPECT_EQ(FindKeyCode("undefined key"), 0);
}
