// The screen's elements by name, as the script functions reach them: labels, windows, the
// cursor switch and edit boxes. Lookups are exact and case-sensitive; only the cursor switch
// enters a name it does not find.
#include "interface/CPInterface.h"

#include "interface/CPFontManager.h"

CPWindow* CPInterface::FindWindow(const std::string& name) const {
    const auto found = Windows.find(name);
    return found != Windows.end() ? found->second.Get() : nullptr;
}

CPTextEntry* CPInterface::FindLabel(const std::string& name) {
    const auto found = Texts.find(name);
    return found != Texts.end() ? &found->second : nullptr;
}

CPEditBox* CPInterface::FindEditBox(const std::string& name) const {
    const auto found = EditBoxes.find(name);
    return found != EditBoxes.end() ? found->second.Get() : nullptr;
}

void CPInterface::SetLabelText(const std::string& name, const std::string& text) {
    CPTextEntry* label = FindLabel(name);
    if (label == nullptr) {
        return;
    }
    label->Text = text;
    if (CPFontManager::Instance != nullptr) {
        CPFontManager::Instance->BuildText(label->Object, label->X, label->Y, label->Font, label->Text);
    }
}

void CPInterface::ShowWindow(const std::string& name, bool visible) {
    if (CPWindow* window = FindWindow(name)) {
        window->SetVisible(visible);
    }
}

void CPInterface::SetWindowXY(const std::string& name, float x, float y) {
    if (CPWindow* window = FindWindow(name)) {
        window->X = x;
        window->Y = y;
    }
}

void CPInterface::GetWindowXY(const std::string& name, float& x, float& y) const {
    if (const CPWindow* window = FindWindow(name)) {
        x = window->X;
        y = window->Y;
    }
}

void CPInterface::SetCursorByName(const std::string& name) {
    if (Cursor) {
        Cursor->Visible = false;
    }
    Cursor = Cursors[name];
    CursorName = name;
    if (Cursor) {
        Cursor->Visible = true;
        Cursor->SetPosition(D3DXVECTOR3(MousePosition.x, MousePosition.y, 0.0f));
        Cursor->UpdateTransform();
    }
}

std::string CPInterface::GetEditBoxText(const std::string& name) const {
    const CPEditBox* box = FindEditBox(name);
    return box != nullptr ? box->Text : std::string();
}
