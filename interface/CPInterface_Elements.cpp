// The screen's elements by name, as the script functions reach them: labels, windows, the
// cursor switch and edit boxes. Lookups are exact and case-sensitive; only the cursor switch
// enters a name it does not find.
#include "interface/CPInterface.h"

#include "interface/CPFontManager.h"

#include <cstring>

namespace {

// Eight bytes a step: the display looks up some eighty short names every frame.
uint32_t WindowNameHash(std::string_view name) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, name.data() + i, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    if (i < name.size()) {
        uint64_t word = 0;  // the last bytes, without a call to copy them
        for (size_t k = 0; i + k < name.size(); ++k) {
            word |= static_cast<uint64_t>(static_cast<uint8_t>(name[i + k])) << (8 * k);
        }
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    hash *= 0xC4CEB9FE1A85EC53ull;
    return static_cast<uint32_t>(hash >> 32);
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
    static uint64_t serials = 0;
    windowIndexSerial = ++serials;
}

void CPInterface::RefreshWindowIndex() const {
    if (windowIndexStale || indexedWindows != Windows.size()) {
        IndexWindows();
    }
}

uint64_t CPInterface::WindowIndexSerial() const {
    RefreshWindowIndex();
    return windowIndexSerial;
}

const std::vector<CPWindow*>& CPWindowList::On(const CPInterface& screen) {
    const uint64_t now = screen.WindowIndexSerial();
    if (now != serial) {
        windows.clear();
        for (const std::string& name : names) {
            windows.push_back(screen.FindWindow(name));
        }
        serial = now;
    }
    return windows;
}

void CPWindowList::ShowFirst(CPInterface& screen, int64_t count) {
    const std::vector<CPWindow*>& found = On(screen);
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] != nullptr) {
            found[i]->SetVisible(static_cast<int64_t>(i) < count);
        }
    }
}

CPWindow* CPInterface::FindWindow(std::string_view name) const {
    RefreshWindowIndex();
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
