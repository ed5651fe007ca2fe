// A window of an interface screen: one textured quad cut from the screen's texture, placed in
// screen pixels. Windows report the pointer to the scripts ("mouse_window_over",
// "mouse_window_out" to the category "interface", "window" with the name and the release
// point to the screen's owner task). The four mouse operations return whether the screen's
// mesh must be rebuilt.
#pragma once

#include "Render/CPVertex.h"
#include "core/CPObject.h"
#include "interface/InterfaceFile.h"

#include <cstdint>
#include <string>

class CPInterface;
class CPLineReader;

class CPWindow : public CPObject {
public:
    explicit CPWindow(CPInterface* owner) : Owner(owner) {}

    size_t GetObjectSize() const override { return sizeof(CPWindow); }
    std::string GetTypeName() const override { return "CPWindow"; }

    virtual void SetEnabled(bool enabled) { Enabled = enabled; }
    // Inside the quad at the window's position, edges included; a quad without width or
    // height is never hit.
    virtual bool HitTest(float x, float y);
    // Builds the window without a file line: as a line "name x,y,w,h,u,v,du,dv" would, and
    // visible. Always true.
    virtual bool Init(const std::string& name, float textureWidth, float textureHeight, float x, float y, float w,
                      float h, float u, float v, float du, float dv);
    // Reads the next line of the reader (an empty one past the end) and builds the window from
    // it on the configured screen. Always true.
    virtual bool Load(CPLineReader& reader, float textureWidth, float textureHeight);
    // The same from a parsed line.
    virtual bool LoadLine(const InterfaceWindowLine& line, float textureWidth, float textureHeight);
    virtual const CPVertex* GetVertices() { return Vertices; }
    virtual const uint16_t* GetIndices() { return Indices; }
    virtual void SetVisible(bool visible) { Visible = visible; }
    // The quad's corners := (0,0), (w,0), (w,h), (0,h); texture coordinates, position and
    // visibility stay.
    virtual void SetSize(float width, float height);
    virtual bool OnMouseOver(float x, float y);
    virtual bool OnMouseOut(float x, float y);
    virtual bool OnMouseDown(int button, float x, float y);
    virtual bool OnMouseUp(int button, float x, float y);

    // The quad relative to X, Y: corners (0,0), (w,0), (w,h), (0,h) with the texture
    // rectangle; zero normal, opaque white.
    void SetQuad(float w, float h, float l, float t, float r, float b);

    CPInterface* Owner = nullptr;  // not counted
    CPVertex Vertices[4];
    uint16_t Indices[6] = {0, 1, 2, 0, 2, 3};
    std::string Name;
    bool Visible = true;
    bool Enabled = true;
    float X = 0.0f;
    float Y = 0.0f;
    uint32_t Color = 0xFFFFFFFFu;  // ARGB; the lens flare's elements
};

// Sends a command to the category "interface" / to the owner task of a screen, when there is
// a dispatcher.
void SendInterfaceCommand(const std::string& command, const std::string& text);
void SendOwnerCommand(const CPInterface* screen, const std::string& command, const std::string& text);
// value with two decimals in the C locale ("%.2f").
std::string FixedTwo(float value);
