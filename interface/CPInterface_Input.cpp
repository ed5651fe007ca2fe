// Pointer and keyboard input of the screens. The host hands pointer moves and mouse buttons
// to the class-wide operations; the scripts request keyboard selection (MenuRight/MenuLeft).
// Screens take part only while InputActive; pointer tracking needs a cursor as well.
#include "interface/CPInterface.h"

#include "core/ConfigVars.h"

#include <algorithm>

namespace {

// The screens, newest first, copied so that a handler may create or destroy screens.
std::vector<CPInterface*> NewestFirst() {
    return std::vector<CPInterface*>(CPInterface::Interfaces.rbegin(), CPInterface::Interfaces.rend());
}

bool StillAlive(const CPInterface* screen) {
    return std::find(CPInterface::Interfaces.begin(), CPInterface::Interfaces.end(), screen) !=
           CPInterface::Interfaces.end();
}

bool TakesPointer(const CPInterface& screen) { return screen.InputActive && screen.Cursor; }

bool Qualifies(const CPWindow& window) { return window.Enabled && window.Visible; }

}  // namespace

void CPInterface::OnMouseMove(float x, float y) {
    const float w = static_cast<float>(Cfg::screenWidth);
    const float h = static_cast<float>(Cfg::screenHeight);
    SendInterfaceCommand("mouse_move", FixedTwo(w != 0.0f ? x / w : 0.0f) + "," + FixedTwo(h != 0.0f ? y / h : 0.0f));
    for (CPInterface* screen : NewestFirst()) {
        if (StillAlive(screen)) {
            screen->MoveMouse(x, y);
        }
    }
}

void CPInterface::MoveMouse(float x, float y) {
    MousePosition = D3DXVECTOR2(x, y);
    if (!TakesPointer(*this)) {
        return;
    }
    Cursor->SetPosition(D3DXVECTOR3(x, y, 0.0f));
    Cursor->UpdateTransform();
    TrackPointer(x, y, false);
}

void CPInterface::HoverAt(float x, float y) { TrackPointer(x, y, true); }

void CPInterface::TrackPointer(float x, float y, bool hover) {
    bool changed = false;
    if (CurrentButton && !CurrentButton->HitTest(x, y)) {
        changed = CurrentButton->OnMouseOut(x, y);
        CurrentButton = nullptr;
    }
    for (auto it = WindowOrder.rbegin(); it != WindowOrder.rend(); ++it) {
        CPWindow& window = **it;
        if (!Qualifies(window) || !window.HitTest(x, y)) {
            continue;
        }
        // The pointer went from a button onto a window lying over it: the button hears of it,
        // so it does not stay lit. A plain window below keeps quiet; it is still under the
        // pointer.
        if (CurrentButton && CurrentButton.Get() != &window && dynamic_cast<CPButton*>(CurrentButton.Get())) {
            changed = CurrentButton->OnMouseOut(x, y) || changed;
        }
        CurrentButton = *it;
        if (window.OnMouseOver(x, y)) {
            UpdateBuffers();
            return;
        }
        if (hover) {
            CurrentButton = nullptr;
        }
        break;
    }
    if (changed) {
        UpdateBuffers();
    }
}

void CPInterface::OnMouseDown(int button, float x, float y) {
    for (CPInterface* screen : NewestFirst()) {
        if (!StillAlive(screen) || !TakesPointer(*screen)) {
            continue;
        }
        for (auto it = screen->WindowOrder.rbegin(); it != screen->WindowOrder.rend(); ++it) {
            CPWindow& window = **it;
            if (Qualifies(window) && window.HitTest(x, y)) {
                if (window.OnMouseDown(button, x, y)) {
                    screen->UpdateBuffers();
                }
                return;
            }
        }
    }
}

void CPInterface::OnMouseUp(int button, float x, float y) {
    bool delivered = false;
    for (CPInterface* screen : NewestFirst()) {
        if (!StillAlive(screen) || !TakesPointer(*screen)) {
            continue;
        }
        bool changed = false;
        // Hold the windows: a script cannot run in between, but the list must not move under us.
        const std::vector<CPtr<CPWindow>> order(screen->WindowOrder.rbegin(), screen->WindowOrder.rend());
        for (const CPtr<CPWindow>& window : order) {
            if (!Qualifies(*window)) {
                continue;
            }
            const bool hit = window->HitTest(x, y);
            if (hit && !delivered) {
                changed = window->OnMouseUp(button, x, y) || changed;
                delivered = true;
            } else if (!hit && dynamic_cast<CPButton*>(window.Get()) != nullptr) {
                changed = window->OnMouseUp(button, x, y) || changed;  // back to normal, nothing sent
            }
        }
        if (changed) {
            screen->UpdateBuffers();
        }
    }
}

void CPInterface::MenuRight() {
    for (CPInterface* screen : NewestFirst()) {
        if (StillAlive(screen)) {
            screen->SelectNextButton();
        }
    }
}

void CPInterface::MenuLeft() {
    for (CPInterface* screen : NewestFirst()) {
        if (StillAlive(screen)) {
            screen->SelectPreviousButton();
        }
    }
}

void CPInterface::SelectNextButton() { SelectButton(true); }

void CPInterface::SelectPreviousButton() { SelectButton(false); }

bool CPInterface::SelectButton(bool forward) {
    if (!InputActive || Buttons.empty()) {
        return false;
    }
    std::vector<CPWindow*> order;
    order.reserve(Buttons.size());
    for (const CPtr<CPWindow>& b : Buttons) {
        order.push_back(b.Get());
    }
    if (!forward) {
        std::reverse(order.begin(), order.end());
    }
    const auto current = std::find(order.begin(), order.end(), CurrentButton.Get());
    CPWindow* target = nullptr;
    if (CurrentButton && current != order.end()) {
        // The ones after the current, wrapping; the current one last.
        const size_t start = static_cast<size_t>(current - order.begin());
        for (size_t step = 1; step <= order.size() && target == nullptr; ++step) {
            CPWindow* candidate = order[(start + step) % order.size()];
            if (Qualifies(*candidate)) {
                target = candidate;
            }
        }
    } else {
        for (CPWindow* candidate : order) {
            if (Qualifies(*candidate)) {
                target = candidate;
                break;
            }
        }
    }
    if (target == nullptr) {
        return false;
    }
    SelectWindow(target);
    return true;
}

// Keyboard selection goes to the button itself, not to whatever window lies over a point
// inside it: the button it leaves is told so (a plain window only when the point is off it,
// as for a pointer), the one taken gets its over call with the point one pixel inside it,
// and only a button stays current.
void CPInterface::SelectWindow(CPWindow* target) {
    const float x = target->X + 1.0f;
    const float y = target->Y + 1.0f;
    bool changed = false;
    if (CurrentButton && CurrentButton.Get() != target &&
        (dynamic_cast<CPButton*>(CurrentButton.Get()) != nullptr || !CurrentButton->HitTest(x, y))) {
        changed = CurrentButton->OnMouseOut(x, y);
    }
    CurrentButton = target;
    if (target->OnMouseOver(x, y)) {
        changed = true;
    } else {
        CurrentButton = nullptr;
    }
    if (changed) {
        UpdateBuffers();
    }
}
