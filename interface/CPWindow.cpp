#include "interface/CPWindow.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPLineReader.h"
#include "core/CPScriptTask.h"
#include "core/ConfigVars.h"
#include "interface/CPInterface.h"
#include "interface/FontFile.h"

#include <charconv>

std::string FixedTwo(float value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0.00");
}

void SendInterfaceCommand(const std::string& command, const std::string& text) {
    if (CPCommandDispatcher::Instance != nullptr) {
        CPCommandDispatcher::Instance->SendCommandByCategory("interface", command, text);
    }
}

void SendOwnerCommand(const CPInterface* screen, const std::string& command, const std::string& text) {
    if (CPCommandDispatcher::Instance != nullptr && screen != nullptr) {
        CPCommandDispatcher::Instance->SendCommandByObject(CPtr<CPScriptTask>(screen->ScriptObject), command, text);
    }
}

void CPWindow::SetQuad(float w, float h, float l, float t, float r, float b) {
    SetFlatVertex(Vertices[0], 0.0f, 0.0f, l, t);
    SetFlatVertex(Vertices[1], w, 0.0f, r, t);
    SetFlatVertex(Vertices[2], w, h, r, b);
    SetFlatVertex(Vertices[3], 0.0f, h, l, b);
}

bool CPWindow::HitTest(float x, float y) {
    const float left = X + Vertices[0].Position.x;
    const float right = X + Vertices[1].Position.x;
    const float top = Y + Vertices[0].Position.y;
    const float bottom = Y + Vertices[2].Position.y;
    if (!(right > left) || !(bottom > top)) {
        return false;
    }
    return left <= x && x <= right && top <= y && y <= bottom;
}

bool CPWindow::Init(const std::string& name, float textureWidth, float textureHeight, float x, float y, float w,
                    float h, float u, float v, float du, float dv) {
    InterfaceWindowLine line;
    line.Name = name;
    line.X = x;
    line.Y = y;
    line.W = w;
    line.H = h;
    line.U = u;
    line.V = v;
    line.Du = du;
    line.Dv = dv;
    LoadLine(line, textureWidth, textureHeight);
    SetVisible(true);
    return true;
}

bool CPWindow::Load(CPLineReader& reader, float textureWidth, float textureHeight) {
    std::string line;
    if (!reader.NextLine(line)) {
        line.clear();
    }
    return LoadLine(ParseWindowLine(line), textureWidth, textureHeight);
}

bool CPWindow::LoadLine(const InterfaceWindowLine& line, float textureWidth, float textureHeight) {
    Name = line.Name;
    const InterfaceQuad quad = LayoutWindow(line, textureWidth, textureHeight, Cfg::screenWidth, Cfg::screenHeight);
    X = quad.X;
    Y = quad.Y;
    if (line.Visibility) {
        SetVisible(*line.Visibility != "false");
    }
    SetQuad(quad.W, quad.H, quad.L, quad.T, quad.R, quad.B);
    return true;
}

bool CPWindow::OnMouseOver(float, float) {
    SendInterfaceCommand("mouse_window_over", Name);
    return false;
}

bool CPWindow::OnMouseOut(float, float) {
    SendInterfaceCommand("mouse_window_out", Name);
    return false;
}

bool CPWindow::OnMouseDown(int, float, float) { return false; }

bool CPWindow::OnMouseUp(int, float x, float y) {
    if (HitTest(x, y)) {
        SendOwnerCommand(Owner, "window", Name + "," + FixedTwo(x) + "," + FixedTwo(y));
    }
    return false;
}

void CPWindow::SetSize(float width, float height) {
    const float xs[4] = {0.0f, width, width, 0.0f};
    const float ys[4] = {0.0f, 0.0f, height, height};
    for (int i = 0; i < 4; ++i) {
        Vertices[i].Position = D3DXVECTOR3(xs[i], ys[i], 0.0f);
    }
}
