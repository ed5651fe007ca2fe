// Reader of object descriptions (".rdf"): text to records, without the scene or the renderer,
// so damaged text can be tested and fuzzed on its own. The scene loader builds the object.
//
// The first meaningful line is the head line ("anything = value"); its value keeps its letter
// case and says what the object is made of. Every further line is a "[section]" header or a
// "key = value" entry, both lower-cased. Eight keys are the object's own wherever they stand
// (lists: "sprite", "lod", "light", "linekeypoint", "psystem"; single values, the last one
// winning: "linecolor", "description", "shadowtextures"); any other entry belongs to the
// current section (the last occurrence of a key winning) and is dropped before the first
// header. Lines are split at "=" with quoting, so a quoted "=" does not split.
//
// The list values are read by the entry readers below: pieces split at "," with quoting,
// numbers from their leading numeric part, 0 when a piece does not start with one.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// One material section: key to value, both lower-cased.
using MaterialSection = std::unordered_map<std::string, std::string>;
// Section name (lower-cased) to its entries.
using SectionTable = std::unordered_map<std::string, MaterialSection>;

struct RdfDescription {
    std::string Head;  // the head line's value, letter case kept
    std::vector<std::string> Sprites;
    std::vector<std::string> Lods;
    std::vector<std::string> Lights;
    std::vector<std::string> LineKeyPoints;
    std::vector<std::string> ParticleSystems;
    std::string LineColor;
    std::string Description;
    std::string ShadowTextures;
    SectionTable Sections{100};
};

struct RdfLodEntry {
    std::string Object;  // ".rdf" name, or "null" for none
    int32_t Distance = 0;
};

struct RdfSpriteEntry {
    std::string Name;
    D3DXVECTOR3 Position;
    float Size = 0.0f;
    std::string Parent;
    // The 10-piece layout's facing, used only when FacingGiven (piece 10 not empty).
    D3DXVECTOR3 Facing;
    float FacingAngle = 0.0f;
    bool FacingGiven = false;
};

struct RdfLightEntry {
    std::string Name;
    std::string Parent;
    D3DXVECTOR3 Position;
    float Red = 0.0f;
    float Green = 0.0f;
    float Blue = 0.0f;
    float Attenuation = 0.0f;  // linear
    float Range = 0.0f;
};

struct RdfParticleEntry {
    std::string Name;
    std::string Parent;
    D3DXVECTOR3 Position;
    float Period = 0.0f;  // seconds, as written
    std::vector<std::string> Emitters;
};

namespace RdfFile {

// Never fails: text without a head line gives an empty head.
void Parse(const char* text, int length, RdfDescription& out);

// Splits at the delimiter with quoting on, pieces trimmed.
std::vector<std::string> Split(const std::string& text, const char* delimiter);
// The leading number of a piece, 0 when it does not start with one.
float PieceFloat(const std::string& piece);
int32_t PieceInt(const std::string& piece);

RdfLodEntry ReadLod(const std::string& value);
RdfSpriteEntry ReadSprite(const std::string& value);
RdfLightEntry ReadLight(const std::string& value);
RdfParticleEntry ReadParticleSystem(const std::string& value);
D3DXVECTOR3 ReadPoint(const std::string& value);
// A hexadecimal ARGB colour ("ff4e4e4e", "0xff4e4e4e"); false and colour untouched when the
// value does not start with a hexadecimal digit. Digits beyond eight keep the last eight.
bool ReadColour(const std::string& value, uint32_t& colour);

}  // namespace RdfFile
