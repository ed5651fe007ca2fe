// The ".int" description of an interface screen as records, parsed without the renderer:
// the three header lines (owner task, shared texture, light) and the entries in file order,
// each with its data lines already split into fields. CPInterface::Load builds the screen
// from these records; the fuzz target and the tests drive the parser alone.
//
// The file is read as the game has always read it: lines through CPLineReader (comments,
// trimming, empty lines dropped), fields through the quote-aware CPTokenizer, numbers from
// their leading decimal text in the C locale (0 when a field is missing or not a number).
// Header and data lines that the file lacks read as empty lines. Keyword lines are
// lower-cased; data lines keep their case, so "False" or "RD" are not recognised.
//
// The lens-flare variant (one TAB-separated element per line) is parsed here too.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Design resolution the files are written for.
inline constexpr float InterfaceDesignWidth = 1024.0f;
inline constexpr float InterfaceDesignHeight = 768.0f;
// 16-bit indices hold 16384 quads: the most windows a screen draws and glyphs a label shows.
inline constexpr int MaxInterfaceQuads = 16384;

// A "window" data line (also each state line of a button): "name x,y,w,h,u,v,du,dv[,vis[,layout]]".
struct InterfaceWindowLine {
    std::string Name;
    float X = 0.0f, Y = 0.0f, W = 0.0f, H = 0.0f;      // design pixels
    float U = 0.0f, V = 0.0f, Du = 0.0f, Dv = 0.0f;    // texture pixels
    std::optional<std::string> Visibility;             // field 9: "false" hides
    std::optional<std::string> Layout;                 // field 10: "stretch" or an anchor
};

// A "textedit" data line: "name x,y,font,maxLength[,anchor[,text]]".
struct InterfaceEditBoxLine {
    std::string Name;
    float X = 0.0f, Y = 0.0f;
    std::string Font;
    int32_t MaxLength = 0;
    std::optional<std::string> Anchor;
    std::optional<std::string> Text;
};

// A "text" data line: "name font,x,y,key[,anchor]".
struct InterfaceTextLine {
    std::string Name;
    std::string Font;
    float X = 0.0f, Y = 0.0f;
    std::string Key;
    std::optional<std::string> Anchor;
};

struct InterfaceEntry {
    enum Kind { Window, Button, TextEdit, Text };
    Kind EntryKind = Window;
    InterfaceWindowLine Windows[3];  // Window: [0]; Button: normal, over, pressed
    InterfaceEditBoxLine EditBox;
    InterfaceTextLine Label;
};

struct InterfaceFile {
    std::string Owner;            // line 1: the script task of "window" and "button"
    std::string Texture;          // line 2
    float TextureWidth = 0.0f;
    float TextureHeight = 0.0f;
    bool LightOn = false;         // line 3, second field exactly "on"
    // Directional, diffuse = specular = (r, g, b, 0), no ambient, range 10000; set only when
    // LightOn (the other fields stay zero).
    D3DLIGHT9 Light;
    bool Smooth = false;          // ninth field exactly "smooth": "interface2.fx"
    std::vector<InterfaceEntry> Entries;
};

// Never fails: a damaged text gives what its lines give.
void ParseInterfaceFile(const char* text, int length, InterfaceFile& file);
InterfaceWindowLine ParseWindowLine(const std::string& line);
InterfaceEditBoxLine ParseEditBoxLine(const std::string& line);
InterfaceTextLine ParseTextLine(const std::string& line);

// Moves a position given for 1024 x 768 to the same place relative to an edge, corner or the
// centre of a W x H screen ("center", "lu", "ld", "ru", "rd", "cu", "cd"; exact words). Any
// other word leaves it. True when the word was an anchor.
bool ApplyAnchor(float& x, float& y, const std::string& anchor, int32_t screenW, int32_t screenH);

// A window's placement and picture from its line on a W x H screen: the position half a
// pixel up and left, anchored or (with "stretch") its size scaled, the texture rectangle in
// texture coordinates (0 where the texture size is 0).
struct InterfaceQuad {
    float X = 0.0f, Y = 0.0f;   // first corner, screen pixels
    float W = 0.0f, H = 0.0f;   // size
    float L = 0.0f, T = 0.0f, R = 0.0f, B = 0.0f;  // texture rectangle
};
InterfaceQuad LayoutWindow(const InterfaceWindowLine& line, float textureWidth, float textureHeight,
                           int32_t screenW, int32_t screenH);

// One element of a lens-flare file: "texture\tpos\tsx\tsy\tcolour\tw\th\tu\tv".
struct FlareLine {
    std::string Texture;
    int32_t LinePosition = 0;
    float ScaleX = 0.0f;
    float ScaleY = 0.0f;
    uint32_t Color = 0;  // decimal digits accumulated modulo 2^32
    int32_t W = 0, H = 0, U = 0, V = 0;
};
void ParseFlareFile(const char* text, int length, std::vector<FlareLine>& elements);

// Field helpers with the files' rules: 0 for a missing field or one that is no number.
float FieldFloat(const std::string& field);
int32_t FieldInt(const std::string& field);
// A screen's material type, 200 + number (wrapping, for any number a script passes).
inline int MaterialType(int number) { return static_cast<int>(static_cast<uint32_t>(number) + 200u); }
// Truncation toward zero that saturates at the int range (NaN gives 0), for sizes computed
// from file values.
int32_t TruncateToInt(double value);
