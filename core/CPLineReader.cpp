#include "core/CPLineReader.h"

#include "core/StringUtil.h"

CPLineReader::CPLineReader(const char* text, int length) : Buffer(text), Length(length < 0 ? 0 : length) {}

bool CPLineReader::ReadLine() {
    Line.clear();
    for (;;) {
        LineStart = LineNumber + 1;
        // The line runs to the next "\n" or zero byte, either of which is consumed.
        const int start = Position;
        bool slash = false;  // every comment marker holds one
        while (Position < Length && Buffer[Position] != '\n' && Buffer[Position] != '\0') {
            slash = slash || Buffer[Position] == '/';
            ++Position;
        }
        Line.append(Buffer + start, static_cast<size_t>(Position - start));
        if (Position < Length) {
            LineNumber += Buffer[Position] == '\n' ? 1 : 0;
            ++Position;
        }
        if (slash) {
            if (Line.find("//") != std::string::npos) {
                Line.clear();
            }
            if (Line.find("/*") != std::string::npos) {
                InBlockComment = true;
            }
            if (Line.find("*/") != std::string::npos) {
                InBlockComment = false;
                Line.clear();
            }
        }
        if (InBlockComment) {
            Line.clear();
        }
        Trim(Line);
        if (!Line.empty() || Position >= Length) {
            break;
        }
    }
    if (Line.size() >= 2 && Line.front() == '[' && Line.back() == ']') {
        Line = Line.substr(1, Line.size() - 2);
        LineKind = KindSection;
    } else {
        LineKind = KindEntry;
    }
    return !Line.empty();
}

bool CPLineReader::NextLine(std::string& line) {
    const bool found = ReadLine();
    line = Line;
    return found;
}
