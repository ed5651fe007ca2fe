// Bitmap fonts as records, parsed without the renderer, and the layout of a text into glyph
// quads. The engine builds labels with these; the font files are our own text format:
//
//   texture "," texture width "," texture height "," line height
//   code "," x "," y "," w ["," advance]        (one line per character, codes 0 to 255)
//
// read through CPLineReader and the quote-aware CPTokenizer like the ".int" files. A glyph's
// picture is the texture rectangle (x, y)-(x + w, y + line height) in texels; its quad is
// `advance` pixels wide (w when not given) and line height tall. Codes the file does not
// list have an empty picture and no width.
#pragma once

#include "Render/CPVertex.h"

#include <cstdint>
#include <string>
#include <vector>

struct FontMetrics {
    struct Rect {
        float Left = 0.0f, Top = 0.0f, Right = 0.0f, Bottom = 0.0f;
    };
    std::string Texture;
    Rect GlyphRects[256];    // texture coordinates, by unsigned character code
    float Advances[256] = {};  // quad width in pixels
    float LineHeight = 0.0f;   // quad height and line distance in pixels
};

// False, with a reason, for a file without its head line or with a line height that is not a
// positive number below 4096; glyph lines with a code outside 0 to 255 are left out and
// named in `skipped`. A texture size of 0 gives texture coordinates 0.
bool ParseFontFile(const char* text, int length, FontMetrics& font, std::string& problem,
                   std::vector<std::string>* skipped = nullptr);

// Writes the quads of text at (x, y) (top of the first line) and appends to vertices and
// indices: one quad per byte, "^" starts a new line at x, each character advances by its
// width less 2 pixels (neighbours overlap). At most MaxInterfaceQuads quads; the rest of a
// longer text is left out. Returns the number of quads.
int LayoutText(const FontMetrics& font, float x, float y, const std::string& text,
               std::vector<CPVertex>& vertices, std::vector<uint16_t>& indices);

// Vertex members the layouts do not compute: zero normal, opaque white, no specular.
void SetFlatVertex(CPVertex& vertex, float x, float y, float u, float v);
