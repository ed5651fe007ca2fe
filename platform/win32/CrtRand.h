// The C runtime's pseudo-random generator as the game was built with it: a linear
// congruential generator with 15-bit results. Every rand()/srand() of the engine uses this
// one, so sequences (and with them recorded game behaviour) are the same on every platform.
#pragma once

#include <cstdint>

constexpr int CRT_RAND_MAX = 0x7FFF;

// Next value in 0..32767.
int CrtRand();
// Restarts the sequence; the process starts as if seeded with 1.
void CrtSrand(uint32_t seed);
// CrtRand() / 32767: uniform in [0, 1], both ends included.
inline float CrtRandUnit() { return static_cast<float>(CrtRand()) / static_cast<float>(CRT_RAND_MAX); }
