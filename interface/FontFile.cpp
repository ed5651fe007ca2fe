#include "interface/FontFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"
#include "interface/InterfaceFile.h"

#include <algorithm>
#include <iterator>

namespace {

// The first five fields of a line (missing ones empty), as characters of the line or of the
// quoted line's tokens.
struct Field {
    const char* First = nullptr;
    const char* Last = nullptr;

    bool Empty() const { return First == Last; }
    std::string Text() const { return std::string(First, Last); }
    // As FieldFloat reads a field: 0 when it holds no number.
    float Number() const {
        float value = 0.0f;
        return CharsToFloat(First, Last, value) ? value : 0.0f;
    }
};

using Fields = Field[5];

// Cuts a line at "," as the quote-aware tokenizer does. A line without quotes, nearly every line
// of a font, is cut in place: the line trimmed, a field at each ",", none after a final one,
// each trimmed unless it is one blank. A line with quotes goes through the tokenizer into
// tokens (reused from line to line).
void Split(const std::string& text, std::vector<std::string>& tokens, Fields& fields) {
    for (Field& field : fields) {
        field = Field{};
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (end > begin && IsWhitespace(end[-1])) {
        --end;
    }
    while (begin < end && IsWhitespace(*begin)) {
        ++begin;
    }
    size_t count = 0;
    bool quoted = false;
    for (const char* p = begin; p < end;) {
        const char* first = p;
        while (p < end && *p != ',') {  // fields are a few characters: no call to find the comma
            quoted = quoted || *p == '"';
            ++p;
        }
        const char* last = p;
        p += p < end ? 1 : 0;
        if (!(last - first == 1 && *first == ' ')) {
            while (last > first && IsWhitespace(last[-1])) {
                --last;
            }
            while (first < last && IsWhitespace(*first)) {
                ++first;
            }
        }
        if (count < std::size(fields)) {
            fields[count] = Field{first, last};
        }
        ++count;
    }
    if (!quoted) {
        return;
    }
    for (Field& field : fields) {
        field = Field{};
    }
    CPTokenizer tokenizer(text, ",", true);
    count = 0;
    for (;; ++count) {
        if (count == tokens.size()) {
            tokens.emplace_back();
        }
        if (!tokenizer.NextToken(tokens[count])) {
            break;
        }
    }
    for (size_t i = 0; i < count && i < std::size(fields); ++i) {
        fields[i] = Field{tokens[i].data(), tokens[i].data() + tokens[i].size()};
    }
}

// The glyph line's code: a field of digits and "-" that reads as a number 0 to 255.
bool GlyphCode(const Field& field, int32_t& code) {
    const auto digitOrMinus = [](char c) { return (c >= '0' && c <= '9') || c == '-'; };
    if (field.Empty() || !std::all_of(field.First, field.Last, digitOrMinus)) {
        return false;
    }
    return CharsToInt(field.First, field.Last, code) && code >= 0 && code <= 255;
}

// The common glyph line (x, y, w, advance into values), read in one pass: four or five fields of one to seven digits each,
// cut by single commas with nothing else on the line. Such fields read as Split and the
// number readers read them (whole numbers below 2^24 are exact floats); any other line is
// left to them.
bool PlainGlyphLine(const std::string& line, int32_t& code, float (&values)[4]) {
    const char* p = line.data();
    const char* const end = p + line.size();
    uint32_t numbers[5] = {};
    size_t count = 0;
    for (;;) {
        const char* const first = p;
        uint32_t number = 0;
        while (p < end && p - first < 7 && *p >= '0' && *p <= '9') {
            number = number * 10 + static_cast<uint32_t>(*p - '0');
            ++p;
        }
        if (p == first || count == 5) {
            return false;
        }
        numbers[count++] = number;
        if (p == end) {
            break;
        }
        if (*p != ',') {
            return false;
        }
        ++p;
    }
    if (count < 4 || numbers[0] > 255) {
        return false;
    }
    code = static_cast<int32_t>(numbers[0]);
    for (size_t i = 0; i < 3; ++i) {
        values[i] = static_cast<float>(numbers[i + 1]);
    }
    values[3] = static_cast<float>(numbers[count == 5 ? 4 : 3]);
    return true;
}

}  // namespace

bool ParseFontFile(const char* text, int length, FontMetrics& font, std::string& problem,
                   std::vector<std::string>* skipped) {
    font = FontMetrics();
    CPLineReader reader(text, length);
    if (!reader.ReadLine()) {
        problem = "no head line";
        return false;
    }
    std::vector<std::string> tokens;
    Fields f;
    Split(reader.GetLine(), tokens, f);
    font.Texture = f[0].Text();
    const float textureWidth = f[1].Number();
    const float textureHeight = f[2].Number();
    font.LineHeight = f[3].Number();
    if (font.Texture.empty()) {
        problem = "no texture on the head line";
        return false;
    }
    if (!(font.LineHeight > 0.0f && font.LineHeight < 4096.0f)) {
        problem = "line height \"" + f[3].Text() + "\" is not a positive number below 4096";
        return false;
    }
    const float sx = textureWidth != 0.0f ? 1.0f / textureWidth : 0.0f;
    const float sy = textureHeight != 0.0f ? 1.0f / textureHeight : 0.0f;
    while (reader.ReadLine()) {
        const std::string& line = reader.GetLine();
        int32_t code = -1;
        float values[4];  // x, y, w, advance
        if (!PlainGlyphLine(line, code, values)) {
            Split(line, tokens, f);
            if (!GlyphCode(f[0], code)) {
                if (skipped != nullptr) {
                    skipped->push_back(line);
                }
                continue;
            }
            values[0] = f[1].Number();
            values[1] = f[2].Number();
            values[2] = f[3].Number();
            values[3] = f[4].Empty() ? values[2] : f[4].Number();
        }
        const float x = values[0];
        const float y = values[1];
        const float w = values[2];
        FontMetrics::Rect& r = font.GlyphRects[code];
        r.Left = x * sx;
        r.Top = y * sy;
        r.Right = (x + w) * sx;
        r.Bottom = (y + font.LineHeight) * sy;
        font.Advances[code] = values[3];
    }
    return true;
}

void SetFlatVertex(CPVertex& vertex, float x, float y, float u, float v) {
    vertex.Position = D3DXVECTOR3(x, y, 0.0f);
    vertex.Normal = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    vertex.Diffuse = 0xFFFFFFFFu;
    vertex.Specular = 0;
    vertex.U = u;
    vertex.V = v;
    vertex.U2 = 0.0f;
    vertex.V2 = 0.0f;
}

int LayoutText(const FontMetrics& font, float x, float y, const std::string& text,
               std::vector<CPVertex>& vertices, std::vector<uint16_t>& indices) {
    float penX = x;
    float lineY = y;
    int n = 0;
    const size_t first = vertices.size();
    for (const char ch : text) {
        if (ch == '^') {
            lineY += font.LineHeight;
            penX = x;
            continue;
        }
        if (n == MaxInterfaceQuads) {
            break;
        }
        // The byte as 0..255: codes above 127 are the upper half of the table.
        const unsigned char c = static_cast<unsigned char>(ch);
        const FontMetrics::Rect& r = font.GlyphRects[c];
        const float a = font.Advances[c];
        const float bottom = lineY + font.LineHeight;
        CPVertex quad[4];
        SetFlatVertex(quad[0], penX, lineY, r.Left, r.Top);
        SetFlatVertex(quad[1], penX + a, lineY, r.Right, r.Top);
        SetFlatVertex(quad[2], penX + a, bottom, r.Right, r.Bottom);
        SetFlatVertex(quad[3], penX, bottom, r.Left, r.Bottom);
        vertices.insert(vertices.end(), quad, quad + 4);
        const uint16_t base = static_cast<uint16_t>(vertices.size() - first - 4);
        const uint16_t six[6] = {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2),
                                 base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
        indices.insert(indices.end(), six, six + 6);
        penX += a - 2.0f;
        ++n;
    }
    return n;
}
