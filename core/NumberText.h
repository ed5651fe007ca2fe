// Number <-> text conversions with the semantics of formatted stream I/O in the classic
// "C" locale, decimal only, whatever the process locale is.
//
// Parsing skips leading whitespace, takes an optional sign and as many characters as
// continue the number, and ignores the rest ("12abc" is 12, "3.7" as int is 3, "0x10" is 0).
// A text that does not begin with a number, or whose number is out of the type's range,
// gives false and leaves the output untouched.
#pragma once

#include <cstdint>
#include <string>

bool TextToInt(const std::string& text, int32_t& value);
bool TextToFloat(const std::string& text, float& value);
bool TextToDouble(const std::string& text, double& value);
// The same on the characters [first, last), for parsers that cut their fields in place.
bool CharsToInt(const char* first, const char* last, int32_t& value);
bool CharsToFloat(const char* first, const char* last, float& value);

// Decimal, "-" when negative.
std::string IntToText(int32_t value);
// General notation with six significant digits, no trailing zeros ("0.5", "22050", "1.23457e+06").
std::string FloatToText(float value);
