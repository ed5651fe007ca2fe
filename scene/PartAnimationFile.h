// Reader of part-animation files ("Data\Animations"): key-framed matrices for the rigid parts
// of a model, one track per part, each track named after the node it moves.
//
// Layout (little-endian): int32 track count, then per track an int32 name length and the name's
// bytes (a zero byte ends it early), an int32 key count and 52-byte keys: float32 duration in
// seconds and twelve float32, the first three matrix columns column by column (rows 1..4 of
// column 1, then of column 2, then of column 3); column 4 is (0, 0, 0, 1).
//
// The reader is a pure function from bytes to records so damaged files can be tested and fuzzed
// without a scene. Every count is checked against the bytes left before anything is reserved;
// a file that announces more than it holds is refused whole. Tracks that cannot be played
// (fewer than three keys, a duration that is not a positive finite number) are dropped one by
// one: playback ends when it would enter the segment that starts at the last-but-one key, so a
// shorter track would run past its keys, and a zero duration would never advance the clock.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <string>
#include <vector>

class CPFileReader;

struct PartAnimationTrack {
    std::string Name;  // lower-cased
    std::vector<D3DXMATRIX> Keys;
    std::vector<float> Durations;  // seconds, one per key
};

namespace PartAnimationFile {

constexpr int KeySize = 52;
// Playback needs the segment from key 0 to key 1 and the end at key n - 2.
constexpr int MinimumKeys = 3;

// Reads the tracks from the reader's cursor to `tracks` (cleared first), in file order.
// A negative track count, a negative name length or key count, or counts the remaining bytes
// cannot hold refuse the file: false, `tracks` empty and `problem` saying why. Unplayable tracks
// are left out and named in `dropped` (true is still returned). A track count of 0 is an empty
// file.
bool Read(CPFileReader& reader, std::vector<PartAnimationTrack>& tracks, std::string& problem,
          std::vector<std::string>* dropped = nullptr);

// The key matrix from the twelve stored floats.
D3DXMATRIX KeyMatrix(const float stored[12]);

// Whether a track can be played (see the file comment); `why` names the reason when not.
bool IsPlayable(const PartAnimationTrack& track, std::string& why);

}  // namespace PartAnimationFile
