#include "DynamicSky/SkyTextLines.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace {

const std::string NoName;

// The values of a line without quotes, label dropped, as the quote-aware tokenizer cuts it at
// single blanks (each piece trimmed), without its copy of the line: most lines are such.
void AddUnquoted(const std::string& line, std::vector<std::string>& values) {
    const char* const end = line.data() + line.size();
    const char* piece = line.data();
    bool label = true;
    while (piece < end) {
        const char* stop = static_cast<const char*>(std::memchr(piece, ' ', static_cast<size_t>(end - piece)));
        const char* const next = stop != nullptr ? stop + 1 : end;
        if (stop == nullptr) {
            stop = end;
        }
        if (label) {
            label = false;
        } else {
            while (stop > piece && IsWhitespace(stop[-1])) {
                --stop;
            }
            while (piece < stop && IsWhitespace(*piece)) {
                ++piece;
            }
            values.emplace_back(piece, static_cast<size_t>(stop - piece));
        }
        piece = next;
    }
}

}  // namespace

SkyTextLines::SkyTextLines(const char* text, int length) {
    CPLineReader reader(text, length);
    std::string token;
    while (reader.ReadLine()) {
        const std::string& line = reader.GetLine();
        if (reader.GetLineKind() == CPLineReader::KindSection) {
            // No values.
        } else if (line.find('"') == std::string::npos) {
            AddUnquoted(line, Values);
        } else {
            CPTokenizer tokens(line, " ", true);
            bool label = true;
            while (tokens.NextToken(token)) {
                if (label) {
                    label = false;
                } else {
                    Values.push_back(std::move(token));
                }
            }
        }
        LineStarts.push_back(Values.size());
    }
}

bool SkyTextLines::Next() {
    if (Cursor >= LineCount()) {
        CurrentSize = 0;
        return false;
    }
    CurrentBegin = LineStarts[static_cast<size_t>(Cursor)];
    CurrentSize = LineStarts[static_cast<size_t>(Cursor) + 1] - CurrentBegin;
    ++Cursor;
    return true;
}

int SkyTextLines::Int(size_t i) const {
    int32_t value = 0;
    if (i < CurrentSize && !TextToInt(Values[CurrentBegin + i], value)) {
        value = 0;
    }
    return value;
}

float SkyTextLines::Float(size_t i) const {
    float value = 0.0f;
    if (i < CurrentSize && !TextToFloat(Values[CurrentBegin + i], value)) {
        value = 0.0f;
    }
    return value;
}

const std::string& SkyTextLines::Name(size_t i) const { return i < CurrentSize ? Values[CurrentBegin + i] : NoName; }

D3DXVECTOR3 SkyTextLines::Vector(size_t i) const { return {Float(i), Float(i + 1), Float(i + 2)}; }

int SkyTextLines::Bounded(int count) const {
    if (count <= 0) {
        return 0;
    }
    return count < LineCount() ? count : LineCount();
}

int SkyTruncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}
