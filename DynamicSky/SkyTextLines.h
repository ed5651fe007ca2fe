// Positional reading of the sky's text files (sky file, cloud schedule, cloud sets, cloud
// descriptions). Lines come from CPLineReader (comments, empty lines and trimming as every data
// file has them); each is cut at single blanks with the quote-aware tokenizer. The first token
// is a label that is never compared: a line's meaning is its place in the file. A section line
// ("[name]") counts as a line whose values are all missing.
//
// Values read past the last token of a line, or from lines past the end of the file, are
// missing: numbers read 0, names read empty. Numbers are decimal in the C locale; text that does
// not begin with a number reads 0.
//
// Counts taken from a file are bounded by LineCount: no valid file can list more blocks than it
// has lines, and readers stop starting blocks once the lines have run out, so a damaged count
// never makes a reader loop on missing lines.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <string>
#include <vector>

class SkyTextLines {
public:
    // The text is tokenised at once; it need not outlive the object.
    SkyTextLines(const char* text, int length);

    // Moves to the next line. False once the lines have run out; the current line is then
    // empty and stays so.
    bool Next();
    // Lines not taken yet by Next.
    int Remaining() const { return LineCount() - Cursor; }
    int LineCount() const { return static_cast<int>(LineStarts.size()) - 1; }

    // Value i (0 = first after the label) of the current line.
    int Int(size_t i = 0) const;
    float Float(size_t i = 0) const;
    const std::string& Name(size_t i = 0) const;
    // Values i, i + 1, i + 2.
    D3DXVECTOR3 Vector(size_t i = 0) const;

    // Next() followed by one read: the common case of a line holding one value.
    int NextInt() { Next(); return Int(); }
    float NextFloat() { Next(); return Float(); }
    const std::string& NextName() { Next(); return Name(); }
    D3DXVECTOR3 NextVector() { Next(); return Vector(); }

    // A count read from a file, as the number of items a reader may take: 0 for counts of 0
    // or less, at most LineCount.
    int Bounded(int count) const;

private:
    // Values of every line, label dropped, one after another; line n holds the values from
    // LineStarts[n] up to LineStarts[n + 1].
    std::vector<std::string> Values;
    std::vector<size_t> LineStarts{0};
    int Cursor = 0;  // lines taken
    size_t CurrentBegin = 0;  // the current line's values
    size_t CurrentSize = 0;
};

// Saturating float-to-int truncation toward zero (NaN gives 0): colours and counts computed
// from file values must not overflow the conversion.
int SkyTruncate(double value);
