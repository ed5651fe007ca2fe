#include "scene/RdfFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"
#include "core/NumberText.h"
#include "core/StringUtil.h"

namespace RdfFile {

namespace {

// The first two "="-pieces of a line; a missing piece is empty.
void KeyAndValue(const std::string& line, std::string& key, std::string& value) {
    CPTokenizer tokens(line, "=", true);
    key.clear();
    value.clear();
    if (tokens.NextToken(key)) tokens.NextToken(value);
}

std::string Piece(const std::vector<std::string>& pieces, size_t index) {
    return index < pieces.size() ? pieces[index] : std::string();
}

D3DXVECTOR3 Vector(const std::vector<std::string>& pieces, size_t first) {
    return D3DXVECTOR3(PieceFloat(Piece(pieces, first)), PieceFloat(Piece(pieces, first + 1)),
                       PieceFloat(Piece(pieces, first + 2)));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void Parse(const char* text, int length, RdfDescription& out) {
    out = RdfDescription();
    CPLineReader lines(text, length);
    std::string key;
    std::string value;
    if (!lines.ReadLine()) return;
    KeyAndValue(lines.GetLine(), key, out.Head);
    MaterialSection* section = nullptr;
    while (lines.ReadLine()) {
        std::string line = lines.GetLine();
        ToLower(line);
        if (lines.GetLineKind() == CPLineReader::KindSection) {
            section = &out.Sections[line];
            continue;
        }
        KeyAndValue(line, key, value);
        if (key == "sprite") {
            out.Sprites.push_back(value);
        } else if (key == "lod") {
            out.Lods.push_back(value);
        } else if (key == "light") {
            out.Lights.push_back(value);
        } else if (key == "linekeypoint") {
            out.LineKeyPoints.push_back(value);
        } else if (key == "psystem") {
            out.ParticleSystems.push_back(value);
        } else if (key == "linecolor") {
            out.LineColor = value;
        } else if (key == "description") {
            out.Description = value;
        } else if (key == "shadowtextures") {
            out.ShadowTextures = value;
        } else if (section != nullptr) {
            (*section)[key] = value;
        }
    }
}

std::vector<std::string> Split(const std::string& text, const char* delimiter) {
    std::vector<std::string> pieces;
    CPTokenizer tokens(text, delimiter, true);
    std::string piece;
    while (tokens.NextToken(piece)) pieces.push_back(piece);
    return pieces;
}

float PieceFloat(const std::string& piece) {
    float value = 0.0f;
    TextToFloat(piece, value);
    return value;
}

int32_t PieceInt(const std::string& piece) {
    int32_t value = 0;
    TextToInt(piece, value);
    return value;
}

RdfLodEntry ReadLod(const std::string& value) {
    const std::vector<std::string> pieces = Split(value, ",");
    RdfLodEntry entry;
    entry.Object = Piece(pieces, 0);
    entry.Distance = PieceInt(Piece(pieces, 1));
    return entry;
}

RdfSpriteEntry ReadSprite(const std::string& value) {
    const std::vector<std::string> pieces = Split(value, ",");
    RdfSpriteEntry entry;
    entry.Name = Piece(pieces, 0);
    entry.Position = Vector(pieces, 1);
    entry.Size = PieceFloat(Piece(pieces, 4));
    entry.Parent = Piece(pieces, 5);
    entry.Facing = Vector(pieces, 6);
    entry.FacingAngle = PieceFloat(Piece(pieces, 9));
    entry.FacingGiven = !Piece(pieces, 9).empty();
    return entry;
}

RdfLightEntry ReadLight(const std::string& value) {
    const std::vector<std::string> pieces = Split(value, ",");
    RdfLightEntry entry;
    entry.Name = Piece(pieces, 0);
    entry.Parent = Piece(pieces, 1);
    entry.Position = Vector(pieces, 3);
    entry.Red = PieceFloat(Piece(pieces, 6));
    entry.Green = PieceFloat(Piece(pieces, 7));
    entry.Blue = PieceFloat(Piece(pieces, 8));
    entry.Attenuation = PieceFloat(Piece(pieces, 9));
    entry.Range = PieceFloat(Piece(pieces, 10));
    return entry;
}

RdfParticleEntry ReadParticleSystem(const std::string& value) {
    const std::vector<std::string> pieces = Split(value, ",");
    RdfParticleEntry entry;
    entry.Name = Piece(pieces, 0);
    entry.Parent = Piece(pieces, 1);
    entry.Position = Vector(pieces, 2);
    entry.Period = PieceFloat(Piece(pieces, 5));
    for (size_t k = 6; k < pieces.size(); ++k) entry.Emitters.push_back(pieces[k]);
    return entry;
}

D3DXVECTOR3 ReadPoint(const std::string& value) { return Vector(Split(value, ","), 0); }

bool ReadColour(const std::string& value, uint32_t& colour) {
    size_t at = 0;
    while (at < value.size() && IsWhitespace(value[at])) ++at;
    if (at + 2 < value.size() && value[at] == '0' && (value[at + 1] == 'x' || value[at + 1] == 'X') &&
        HexDigit(value[at + 2]) >= 0) {
        at += 2;
    }
    if (at >= value.size() || HexDigit(value[at]) < 0) return false;
    uint32_t number = 0;
    for (; at < value.size() && HexDigit(value[at]) >= 0; ++at) {
        number = (number << 4) | static_cast<uint32_t>(HexDigit(value[at]));
    }
    colour = number;
    return true;
}

}  // namespace RdfFile
