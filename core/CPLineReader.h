// Yields the meaningful lines of a text held in memory: "//" drops the whole line, "/*"
// ... "*/" drops the lines of a block (including the lines holding the markers), lines are
// trimmed, and "[name]" is reported as a section header. Data files depend on these exact
// rules, odd as some are (text before a "//" is dropped too).
#pragma once

#include <string>

class CPLineReader {
public:
    enum { KindSection = 0, KindEntry = 1 };

    // The text is not copied and must outlive the reader.
    CPLineReader(const char* text, int length);
    virtual ~CPLineReader() = default;

    // Reads the next meaningful line into Line; false when there is none (also for a
    // line that is exactly "[]").
    bool ReadLine();
    bool NextLine(std::string& line);
    int GetLineKind() const { return LineKind; }
    const std::string& GetLine() const { return Line; }
    int GetLineNumber() const { return LineNumber; }
    // The 1-based text line on which the line last read begins, for messages about it.
    int GetLineStart() const { return LineStart; }

private:
    const char* Buffer;
    int Length;
    int Position = 0;
    std::string Line;
    int LineNumber = 0;  // "\n" consumed so far
    int LineStart = 0;
    bool InBlockComment = false;
    int LineKind = KindEntry;
};
