#include "interface/CPButton.h"

#include "core/CPLineReader.h"
#include "interface/CPInterface.h"

CPButton::CPButton(CPInterface* owner) : CPWindow(owner) {
    for (int i = 0; i < 3; ++i) {
        ownStates[i] = std::make_unique<CPWindow>(owner);
        States[i] = ownStates[i].get();
    }
}

CPButton::~CPButton() {
    for (CPtr<CPWindow>& state : States) {
        state = nullptr;
    }
}

void CPButton::SetEnabled(bool enabled) {
    State = 0;
    if (Owner != nullptr) {
        Owner->UpdateBuffers();
    }
    Enabled = enabled;
}

bool CPButton::HitTest(float x, float y) {
    CPWindow& normal = *States[0];
    const float left = X + normal.Vertices[0].Position.x;
    const float right = X + normal.Vertices[1].Position.x;
    const float top = Y + normal.Vertices[0].Position.y;
    const float bottom = Y + normal.Vertices[2].Position.y;
    if (!(right > left) || !(bottom > top)) {
        return false;
    }
    return left <= x && x <= right && top <= y && y <= bottom;
}

bool CPButton::Load(CPLineReader& reader, float textureWidth, float textureHeight) {
    InterfaceWindowLine lines[3];
    for (InterfaceWindowLine& line : lines) {
        std::string text;
        if (!reader.NextLine(text)) {
            text.clear();
        }
        line = ParseWindowLine(text);
    }
    return LoadStates(lines, textureWidth, textureHeight);
}

bool CPButton::LoadStates(const InterfaceWindowLine (&lines)[3], float textureWidth, float textureHeight) {
    State = 0;
    for (int i = 0; i < 3; ++i) {
        States[i]->Visible = true;
        States[i]->Enabled = true;
        States[i]->LoadLine(lines[i], textureWidth, textureHeight);
    }
    SetVisible(States[0]->Visible);
    Name = States[0]->Name;
    X = States[0]->X;
    Y = States[0]->Y;
    return true;
}

const CPVertex* CPButton::GetVertices() { return States[State >= 0 && State < 3 ? State : 0]->GetVertices(); }

const uint16_t* CPButton::GetIndices() { return States[State >= 0 && State < 3 ? State : 0]->GetIndices(); }

void CPButton::SetVisible(bool visible) {
    State = 0;
    Visible = visible;
}

bool CPButton::OnMouseOver(float, float) {
    State = 1;
    SendInterfaceCommand("mouse_button_over", Name);
    return true;
}

bool CPButton::OnMouseOut(float, float) {
    State = 0;
    SendInterfaceCommand("mouse_button_out", Name);
    return true;
}

bool CPButton::OnMouseDown(int button, float, float) {
    if (button != 0) {
        return false;
    }
    State = 2;
    return true;
}

bool CPButton::OnMouseUp(int button, float x, float y) {
    if (button != 0) {
        return false;
    }
    if (HitTest(x, y)) {
        State = 1;
        SendOwnerCommand(Owner, "button", Name);
    } else {
        State = 0;
    }
    return true;
}

void CPButton::SetSize(float width, float height) {
    CPWindow::SetSize(width, height);
    for (const CPtr<CPWindow>& state : States) {
        if (state) {
            state->SetSize(width, height);
        }
    }
}
