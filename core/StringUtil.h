// String helpers shared by the text readers and the rest of the engine.
// Whitespace is exactly space, tab, CR and LF; case conversion touches ASCII letters only.
#pragma once

#include <string>

inline bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
void Trim(std::string& text);
// Every character a digit, "." or "-" (true for an empty text).
bool IsNumber(const std::string& text);
// Every character a digit or "-" (true for an empty text).
bool IsInteger(const std::string& text);
void ToUpper(std::string& text);
void ToLower(std::string& text);
