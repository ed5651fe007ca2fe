// The screen's elements by name, as the script functions reach them: labels, windows, the
// cursor switch and edit boxes. Lookups are exact and case-sensitive; only the cursor switch
// enters a name it does not find.
#include "interface/CPInterface.h"

#include "interface/CPFontManager.h"

namespace {

// FNV-1a: short names, no table of its own.
uint32_t WindowNameHash(std::string_view name) {
    uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    return hash;
}

}  // namespace

void CPInterface::IndexWindows() const {
    size_t capacity = 16;
    while (capacity < Windows.size() * 2) {
        capacity *= 2;
    }
    windowIndex.assign(capacity, WindowSlot{});
    const size_t mask = capacity - 1;
    for (const auto& [name, window] : Windows) {
        const uint32_t hash = WindowNameHash(name);
        size_t i = hash & mask;
        while (windowIndex[i].Name != nullptr) {
            i = (i + 1) & mask;
        }
        windowIndex[i] = WindowSlot{hash, &name, window.Get()};
    }
    indexedWindows = Windows.size();
    windowIndexStale = false;
}

CPWindow* CPInterface::FindWindow(std::string_view name) const {
    if (windowIndexStale || indexedWindows != Windows.size()) {
        IndexWindows();
    }
    const uint32_t hash = WindowNameHash(name);
    const size_t mask = windowIndex.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const WindowSlot& slot = windowIndex[i];
        if (slot.Name == nullptr) {
            return nullptr;
        }
        if (slot.Hash == hash && *slot.Name == name) {
            return slot.Window;
        }
    }
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

void CPInterface::ShowWindow(std::string_view name, bool visible) {
    if (CPWindow* window = FindWindow(name)) {
        window->SetVisible(visible);
    }
}

void CPInterface::SetWindowXY(std::string_view name, float x, float y) {
    if (CPWindow* window = FindWindow(name)) {
        window->X = x;
        window->Y = y;
    }
}

void CPInterface::GetWindowXY(std::string_view name, float& x, float& y) const {
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
