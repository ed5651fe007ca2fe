// A one-line text input shown through a text label, always followed by the caret "_". The
// scripts feed it key by key (ProcessKey) or set its text whole (SetText).
#pragma once

#include "core/CPObject.h"
#include "interface/CPTextEntry.h"

#include <cstdint>
#include <string>

class CPEditBox : public CPObject {
public:
    // Draws the label with the caret alone, or with text (kept whole, even past maxLength).
    CPEditBox(CPTextEntry entry, int32_t maxLength);
    CPEditBox(CPTextEntry entry, int32_t maxLength, const std::string& text);
    ~CPEditBox() override;

    size_t GetObjectSize() const override { return sizeof(CPEditBox); }
    std::string GetTypeName() const override { return "CPEditBox"; }

    // Text := its first MaxLength characters (none for a negative limit), then redrawn.
    void SetText(const std::string& text);
    // One 8-bit character code: a letter or digit of the ANSI code page, or a space, is
    // appended as typed while the text is shorter than MaxLength; 8 (backspace) takes off
    // the last character (an empty text is still redrawn). Anything else, and a character
    // past the limit, changes and redraws nothing.
    void ProcessKey(int key);

    CPTextEntry Entry;
    std::string Text;  // without the caret
    int32_t MaxLength = 0;

private:
    void Redraw();
};
