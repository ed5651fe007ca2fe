#include "interface/CPEditBox.h"

#include "interface/CPFontManager.h"
#include "platform/ui/WinUser.h"

#include <algorithm>
#include <utility>

CPEditBox::CPEditBox(CPTextEntry entry, int32_t maxLength) : Entry(std::move(entry)), MaxLength(maxLength) {
    Redraw();
}

CPEditBox::CPEditBox(CPTextEntry entry, int32_t maxLength, const std::string& text)
    : Entry(std::move(entry)), Text(text), MaxLength(maxLength) {
    Redraw();
}

CPEditBox::~CPEditBox() = default;

void CPEditBox::Redraw() {
    if (CPFontManager::Instance != nullptr) {
        CPFontManager::Instance->BuildText(Entry.Object, Entry.X, Entry.Y, Entry.Font, Text + "_");
    }
}

void CPEditBox::SetText(const std::string& text) {
    const size_t limit = MaxLength > 0 ? static_cast<size_t>(MaxLength) : 0;
    Text = text.substr(0, std::min(limit, text.size()));
    Redraw();
}

void CPEditBox::ProcessKey(int key) {
    const bool room = static_cast<int64_t>(Text.size()) < static_cast<int64_t>(MaxLength);
    const char c = static_cast<char>(key);
    if (key >= 0 && key <= 255 && IsCharAlphaNumericA(c)) {
        if (!room) {
            return;
        }
        Text += c;
    } else if (key == 32) {
        if (!room) {
            return;
        }
        Text += ' ';
    } else if (key == 8) {
        if (!Text.empty()) {
            Text.pop_back();
        }
    } else {
        return;
    }
    Redraw();
}
