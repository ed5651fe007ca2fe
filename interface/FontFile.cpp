#include "interface/FontFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"
#include "interface/InterfaceFile.h"

#include <algorithm>

namespace {

// The fields of a line into fields (at least five; missing ones empty). The vector and its
// strings are reused from line to line: a font has a line per character.
void Split(const std::string& text, std::vector<std::string>& fields) {
    CPTokenizer tokenizer(text, ",", true);
    size_t count = 0;
    for (;; ++count) {
        if (count == fields.size()) {
            fields.emplace_back();
        }
        if (!tokenizer.NextToken(fields[count])) {
            break;
        }
    }
    fields.resize(std::max<size_t>(count, 5));
    for (size_t i = count; i < fields.size(); ++i) {
        fields[i].clear();
    }
}

}  // namespace

bool ParseFontFile(const char* text, int length, FontMetrics& font, std::string& problem,
                   std::vector<std::string>* skipped) {
    font = FontMetrics();
    CPLineReader reader(text, length);
    std::string line;
    if (!reader.NextLine(line)) {
        problem = "no head line";
        return false;
    }
    std::vector<std::string> head;
    Split(line, head);
    font.Texture = head[0];
    const float textureWidth = FieldFloat(head[1]);
    const float textureHeight = FieldFloat(head[2]);
    font.LineHeight = FieldFloat(head[3]);
    if (font.Texture.empty()) {
        problem = "no texture on the head line";
        return false;
    }
    if (!(font.LineHeight > 0.0f && font.LineHeight < 4096.0f)) {
        problem = "line height \"" + head[3] + "\" is not a positive number below 4096";
        return false;
    }
    const float sx = textureWidth != 0.0f ? 1.0f / textureWidth : 0.0f;
    const float sy = textureHeight != 0.0f ? 1.0f / textureHeight : 0.0f;
    std::vector<std::string> f;
    while (reader.NextLine(line)) {
        Split(line, f);
        int32_t code = -1;
        if (f[0].empty() || !IsInteger(f[0]) || !TextToInt(f[0], code) || code < 0 || code > 255) {
            if (skipped != nullptr) {
                skipped->push_back(line);
            }
            continue;
        }
        const float x = FieldFloat(f[1]);
        const float y = FieldFloat(f[2]);
        const float w = FieldFloat(f[3]);
        FontMetrics::Rect& r = font.GlyphRects[code];
        r.Left = x * sx;
        r.Top = y * sy;
        r.Right = (x + w) * sx;
        r.Bottom = (y + font.LineHeight) * sy;
        font.Advances[code] = f[4].empty() ? w : FieldFloat(f[4]);
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
