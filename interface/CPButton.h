// A three-state button: the pictures for normal (0), pointer over it (1) and pressed (2), each
// a window of its own whose quad is drawn at the button's position. It tells the category
// "interface" "mouse_button_over" / "mouse_button_out", and its screen's owner task "button"
// when button 0 is released over it.
#pragma once

#include "core/CPtr.h"
#include "interface/CPWindow.h"

#include <memory>

class CPButton : public CPWindow {
public:
    explicit CPButton(CPInterface* owner);
    ~CPButton() override;

    size_t GetObjectSize() const override { return sizeof(CPButton); }
    std::string GetTypeName() const override { return "CPButton"; }

    // State 0, the screen rebuilt, then the flag.
    void SetEnabled(bool enabled) override;
    // The normal picture's quad at the button's own position, so a moved button is hit where
    // it is drawn.
    bool HitTest(float x, float y) override;
    // Reads three window lines: normal, over, pressed.
    bool Load(CPLineReader& reader, float textureWidth, float textureHeight) override;
    bool LoadStates(const InterfaceWindowLine (&lines)[3], float textureWidth, float textureHeight);
    const CPVertex* GetVertices() override;
    const uint16_t* GetIndices() override;
    // State 0, then the flag.
    void SetVisible(bool visible) override;
    // Every state's picture takes the size, so the button is drawn and hit at the new size.
    void SetSize(float width, float height) override;
    bool OnMouseOver(float x, float y) override;
    bool OnMouseOut(float x, float y) override;
    bool OnMouseDown(int button, float x, float y) override;
    bool OnMouseUp(int button, float x, float y) override;

    CPtr<CPWindow> States[3];
    int32_t State = 0;

private:
    std::unique_ptr<CPWindow> ownStates[3];
};
