#include "DynamicSky/SkyTextLines.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"

#include <cmath>
#include <limits>
#include <utility>

namespace {

const std::string NoName;

}  // namespace

SkyTextLines::SkyTextLines(const char* text, int length) {
    CPLineReader reader(text, length);
    std::string token;
    while (reader.ReadLine()) {
        if (reader.GetLineKind() != CPLineReader::KindSection) {
            CPTokenizer tokens(reader.GetLine(), " ", true);
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
