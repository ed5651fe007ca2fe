#include "interface/InterfaceFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"

#include <cmath>
#include <limits>

namespace {

std::vector<std::string> Split(const std::string& text, const char* delimiter, bool quoteAware) {
    std::vector<std::string> fields;
    CPTokenizer tokenizer(text, delimiter, quoteAware);
    std::string field;
    while (tokenizer.NextToken(field)) {
        fields.push_back(field);
    }
    return fields;
}

const std::string& FieldAt(const std::vector<std::string>& fields, size_t i) {
    static const std::string empty;
    return i < fields.size() ? fields[i] : empty;
}

// "name params": the name and the parameter list split at ",".
std::vector<std::string> NameAndParameters(const std::string& line, std::string& name) {
    const std::vector<std::string> parts = Split(line, " ", true);
    name = FieldAt(parts, 0);
    return Split(FieldAt(parts, 1), ",", true);
}

// The next line, or an empty one at the end of the file.
std::string NextOrEmpty(CPLineReader& reader) {
    std::string line;
    if (!reader.NextLine(line)) {
        line.clear();
    }
    return line;
}

}  // namespace

float FieldFloat(const std::string& field) {
    float value = 0.0f;
    return TextToFloat(field, value) ? value : 0.0f;
}

int32_t FieldInt(const std::string& field) {
    int32_t value = 0;
    return TextToInt(field, value) ? value : 0;
}

int32_t TruncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

InterfaceWindowLine ParseWindowLine(const std::string& line) {
    InterfaceWindowLine result;
    const std::vector<std::string> f = NameAndParameters(line, result.Name);
    float* numbers[8] = {&result.X, &result.Y, &result.W, &result.H, &result.U, &result.V, &result.Du, &result.Dv};
    for (size_t i = 0; i < 8; ++i) {
        *numbers[i] = FieldFloat(FieldAt(f, i));
    }
    if (f.size() > 8) {
        result.Visibility = f[8];
        if (f.size() > 9) {
            result.Layout = f[9];
        }
    }
    return result;
}

InterfaceEditBoxLine ParseEditBoxLine(const std::string& line) {
    InterfaceEditBoxLine result;
    const std::vector<std::string> f = NameAndParameters(line, result.Name);
    result.X = FieldFloat(FieldAt(f, 0));
    result.Y = FieldFloat(FieldAt(f, 1));
    result.Font = FieldAt(f, 2);
    result.MaxLength = FieldInt(FieldAt(f, 3));
    if (f.size() > 4) {
        result.Anchor = f[4];
        if (f.size() > 5) {
            result.Text = f[5];
        }
    }
    return result;
}

InterfaceTextLine ParseTextLine(const std::string& line) {
    InterfaceTextLine result;
    const std::vector<std::string> f = NameAndParameters(line, result.Name);
    result.Font = FieldAt(f, 0);
    result.X = FieldFloat(FieldAt(f, 1));
    result.Y = FieldFloat(FieldAt(f, 2));
    result.Key = FieldAt(f, 3);
    if (f.size() > 4) {
        result.Anchor = f[4];
    }
    return result;
}

void ParseInterfaceFile(const char* text, int length, InterfaceFile& file) {
    file = InterfaceFile();
    CPLineReader reader(text, length);

    file.Owner = NextOrEmpty(reader);

    const std::vector<std::string> texture = Split(NextOrEmpty(reader), ",", true);
    file.Texture = FieldAt(texture, 0);
    file.TextureWidth = FieldFloat(FieldAt(texture, 1));
    file.TextureHeight = FieldFloat(FieldAt(texture, 2));

    const std::vector<std::string> light = Split(NextOrEmpty(reader), ",", true);
    if (FieldAt(light, 1) == "on") {
        file.LightOn = true;
        D3DLIGHT9& l = file.Light;
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Direction.x = FieldFloat(FieldAt(light, 2));
        l.Direction.y = FieldFloat(FieldAt(light, 3));
        l.Direction.z = FieldFloat(FieldAt(light, 4));
        l.Diffuse.r = FieldFloat(FieldAt(light, 5));
        l.Diffuse.g = FieldFloat(FieldAt(light, 6));
        l.Diffuse.b = FieldFloat(FieldAt(light, 7));
        l.Diffuse.a = 0.0f;
        l.Specular = l.Diffuse;
        l.Range = 10000.0f;
    }
    file.Smooth = FieldAt(light, 8) == "smooth";

    std::string line;
    while (reader.NextLine(line)) {
        ToLower(line);
        InterfaceEntry entry;
        if (line == "window") {
            entry.EntryKind = InterfaceEntry::Window;
            entry.Windows[0] = ParseWindowLine(NextOrEmpty(reader));
        } else if (line == "button") {
            entry.EntryKind = InterfaceEntry::Button;
            for (InterfaceWindowLine& state : entry.Windows) {
                state = ParseWindowLine(NextOrEmpty(reader));
            }
        } else if (line == "textedit") {
            entry.EntryKind = InterfaceEntry::TextEdit;
            entry.EditBox = ParseEditBoxLine(NextOrEmpty(reader));
        } else if (line == "text") {
            entry.EntryKind = InterfaceEntry::Text;
            entry.Label = ParseTextLine(NextOrEmpty(reader));
        } else {
            continue;
        }
        file.Entries.push_back(std::move(entry));
    }
}

bool ApplyAnchor(float& x, float& y, const std::string& anchor, int32_t screenW, int32_t screenH) {
    const float w = static_cast<float>(screenW);
    const float h = static_cast<float>(screenH);
    if (anchor == "center") {
        x = x - 512.0f + w * 0.5f;
        y = y - 384.0f + h * 0.5f;
    } else if (anchor == "lu") {
    } else if (anchor == "ld") {
        y = y - 768.0f + h;
    } else if (anchor == "ru") {
        x = x - 1024.0f + w;
    } else if (anchor == "rd") {
        x = x - 1024.0f + w;
        y = y - 768.0f + h;
    } else if (anchor == "cu") {
        x = x - 512.0f + w * 0.5f;
    } else if (anchor == "cd") {
        x = x - 512.0f + w * 0.5f;
        y = y - 768.0f + h;
    } else {
        return false;
    }
    return true;
}

InterfaceQuad LayoutWindow(const InterfaceWindowLine& line, float textureWidth, float textureHeight,
                           int32_t screenW, int32_t screenH) {
    InterfaceQuad quad;
    quad.X = line.X - 0.5f;
    quad.Y = line.Y - 0.5f;
    quad.W = line.W;
    quad.H = line.H;
    // A texture size of 0 would divide by zero; such a file gets coordinates 0.
    quad.L = textureWidth != 0.0f ? line.U / textureWidth : 0.0f;
    quad.T = textureHeight != 0.0f ? line.V / textureHeight : 0.0f;
    quad.R = quad.L + (textureWidth != 0.0f ? line.Du / textureWidth : 0.0f);
    quad.B = quad.T + (textureHeight != 0.0f ? line.Dv / textureHeight : 0.0f);
    if (line.Layout) {
        if (*line.Layout == "stretch") {
            quad.W = line.W * static_cast<float>(screenW) * 0.0009765625f;
            quad.H = line.H * static_cast<float>(screenH) * 0.0013020834f;
        } else {
            ApplyAnchor(quad.X, quad.Y, *line.Layout, screenW, screenH);
        }
    }
    return quad;
}

void ParseFlareFile(const char* text, int length, std::vector<FlareLine>& elements) {
    elements.clear();
    CPLineReader reader(text, length);
    std::string line;
    while (reader.NextLine(line)) {
        const std::vector<std::string> f = Split(line, "\t", false);
        FlareLine element;
        element.Texture = FieldAt(f, 0);
        element.LinePosition = FieldInt(FieldAt(f, 1));
        element.ScaleX = FieldFloat(FieldAt(f, 2));
        element.ScaleY = FieldFloat(FieldAt(f, 3));
        // The colour's digits wrap modulo 2^32, so 4294901760 is opaque red's pattern.
        const std::string& colour = FieldAt(f, 4);
        size_t i = 0;
        const bool negative = i < colour.size() && colour[i] == '-';
        if (i < colour.size() && (colour[i] == '-' || colour[i] == '+')) {
            ++i;
        }
        uint32_t value = 0;
        for (; i < colour.size() && colour[i] >= '0' && colour[i] <= '9'; ++i) {
            value = value * 10u + static_cast<uint32_t>(colour[i] - '0');
        }
        element.Color = negative ? 0u - value : value;
        element.W = FieldInt(FieldAt(f, 5));
        element.H = FieldInt(FieldAt(f, 6));
        element.U = FieldInt(FieldAt(f, 7));
        element.V = FieldInt(FieldAt(f, 8));
        elements.push_back(std::move(element));
    }
}
