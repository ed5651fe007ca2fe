// Objects travel in command arguments and script strings as their address in signed
// 64-bit decimal. Every sender and receiver goes through these two functions, so a
// pointer never passes through a 32-bit integer.
#pragma once

#include <string>

// Signed decimal; "0" for null.
std::string AddressToText(const void* address);

// Reads the text as atoi reads a number: leading whitespace, an optional sign, then digits
// up to the first non-digit. No digits, or a number outside the signed 64-bit range, gives
// null.
void* TextToAddress(const std::string& text);
