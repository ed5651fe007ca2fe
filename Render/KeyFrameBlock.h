// Reader of the key-frame block that animated mesh nodes carry: every frame of a vertex
// animation stored whole, as a vertex list and a triangle list.
//
// Layout (little-endian): int32 frame count n, float32 rate (frame length in units of 1/2400 s),
// then n frames, each an int32 vertex count v, v 48-byte CPVertex records, an int32 index count
// i and i uint16 indices.
//
// A pure function from bytes to records, so damaged data can be tested and fuzzed without the
// scene. Every count is checked against the bytes left before anything is reserved. Data that
// cannot be played is refused: no frames, a rate that is not a positive finite number (the frame
// choice divides by the frame length and wraps by the duration), or frames that differ in vertex
// or index count (the batcher sizes its buffers with one frame and then writes another).
#pragma once

#include "Render/CPVertex.h"

#include <cstdint>
#include <string>
#include <vector>

class CPFileReader;

struct CPAnimationFrame {
    std::vector<CPVertex> Vertices;
    std::vector<uint16_t> Indices;
    int Index = 0;  // the frame's number, 0 to FrameCount - 1
};

namespace KeyFrameBlock {

// Frame lengths are stored in units of 1/2400 s.
constexpr float SecondsPerRateUnit = 0.00041666668f;

struct Contents {
    float FrameTime = 0.0f;  // seconds per frame
    std::vector<CPAnimationFrame> Frames;
};

// Reads one block at the reader's cursor into `out`, setting every vertex's diffuse colour to
// `diffuse`. False with `problem` set when the block is damaged or unplayable; the cursor then
// stands wherever the check stopped (at the end when data ran out) and `out` is emptied.
bool Read(CPFileReader& reader, uint32_t diffuse, Contents& out, std::string& problem);

// Moves the cursor past one block without keeping it, with the same checks as Read.
bool Skip(CPFileReader& reader, std::string& problem);

}  // namespace KeyFrameBlock
