// Scrambling of data files: byte i gains (or loses) key byte (i mod ScrambleKeyLength), counted
// from the start of each buffer, wrapping in 8 bits. Unscrambling undoes scrambling for any length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t ScrambleKeyLength = 1933;

void ScrambleBuffer(std::vector<uint8_t>& buffer);
void UnscrambleBuffer(std::vector<uint8_t>& buffer);
// The key byte used at position index of a buffer.
uint8_t ScrambleKeyByte(size_t index);
