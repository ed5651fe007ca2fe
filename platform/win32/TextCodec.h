// Narrow ("ANSI") to UTF-16 conversion as the Windows ANSI code page 1252 does it; used
// where the engine hands file names and addresses to wide-character interfaces.
#pragma once

#include "platform/win32/WinTypes.h"

#include <string>

constexpr UINT CP_ACP = 0;

// Windows semantics: a source length of -1 converts up to and including the terminating
// zero; a destination size of 0 returns the units needed; too small a destination fails
// with 0. Returns the number of units written (or needed).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength, WCHAR* destination,
                        int destinationSize);

// Convenience: the whole string converted, without a terminator.
std::u16string AnsiToWide(const std::string& text);
// UTF-16 to UTF-8, for showing wide texts in logs and on the terminal.
std::string WideToUtf8(const std::u16string& text);
// The same for a zero-terminated wide text, as Windows interfaces take file names and URLs.
std::string WideToUtf8(const WCHAR* text);
