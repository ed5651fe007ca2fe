// Interface functions: screens made from their ".int" descriptions, activated, drawn and
// rebuilt; windows shown, moved and resized; text labels and their fonts; edit boxes; the
// cursor; the keyboard selection of buttons. LockButton, UnlockButton and DeactivateInterface
// live with the engine module (ScriptEngine.cpp).
//
// Every screen handle is checked as a live CPInterface before it is followed (a null one makes
// the function do nothing, or give its "none" results), and it is read before any text, so a
// stale handle raises its error while no C++ object is alive. Nothing here rebuilds a
// screen's mesh except UpdateInterfaceBuffers.
//
// A screen made by CreateInterface belongs to the script runtime, which deletes it when it
// goes; DeactivateInterface stops it without freeing it.
#include "script/ScriptAreas.h"

#include "script/CPScriptRuntime.h"
#include "script/ScriptApi.h"

#include "core/ShuttingDown.h"
#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"

#include <memory>
#include <string>

namespace Script {

namespace {

// The screens' activation priority: after the race update, before video and physics.
constexpr int32_t InterfacePriority = 450;

CPInterface* Screen(lua_State* L, const char* function) { return Handle<CPInterface>(L, 1, function); }

// The label drawn with a position, font and text of the caller's choosing; nothing is stored.
void DrawLabel(const CPTextEntry& label, float x, float y, const std::string& font, const std::string& text) {
    if (CPFontManager::Instance != nullptr) {
        CPFontManager::Instance->BuildText(label.Object, x, y, font, text);
    }
}

// The text table's entry for key; a key it lacks is entered with "". No game data: "".
std::string TableText(const std::string& key) {
    return CPGameData::Instance != nullptr ? CPGameData::Instance->GetText(key) : std::string();
}

// Screen life and drawing.

int CreateInterface(lua_State* L) {
    // The screens live as long as the runtime, so a script that makes them without end is
    // stopped here.
    if (CPScriptRuntime::Instance != nullptr && !CPScriptRuntime::Instance->CanAdopt()) {
        luaL_error(L, "CreateInterface: too many screens (the scripts may keep %d objects)",
                   static_cast<int>(CPScriptRuntime::MaxAdopted));
    }
    const std::string name = Text(L, 1);
    const int32_t index = Int(L, 2);
    CPInterface* screen = nullptr;
    // Without a runtime to own it a screen would never be freed: none is made.
    if (CPScriptRuntime::Instance != nullptr) {
        screen = static_cast<CPInterface*>(CPScriptRuntime::Instance->Adopt(std::make_unique<CPInterface>()));
        screen->Load(name, index);
    }
    PushHandle(L, screen);
    return 1;
}

int ActivateInterface(lua_State* L) {
    if (CPInterface* screen = Screen(L, "ActivateInterface")) {
        screen->Activate(InterfacePriority);
    }
    return 0;
}

int SilentActivateInterface(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SilentActivateInterface")) {
        screen->SilentActivate(InterfacePriority);
    }
    return 0;
}

int UpdateInterface(lua_State* L) {
    if (CPInterface* screen = Screen(L, "UpdateInterface")) {
        screen->Submit();
    }
    return 0;
}

int UpdateInterfaceBuffers(lua_State* L) {
    if (CPInterface* screen = Screen(L, "UpdateInterfaceBuffers")) {
        screen->UpdateBuffers();
    }
    return 0;
}

// Windows.

int SetWindowVisible(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SetWindowVisible")) {
        screen->ShowWindow(Text(L, 2), Flag(L, 3));
    }
    return 0;
}

int SetWindowPosition(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SetWindowPosition")) {
        screen->SetWindowXY(Text(L, 2), Number(L, 3), Number(L, 4));
    }
    return 0;
}

int SetWindowPositionShop(lua_State* L) {
    // The half-pixel offset the description loader gives its windows.
    if (CPInterface* screen = Screen(L, "SetWindowPositionShop")) {
        screen->SetWindowXY(Text(L, 2), Number(L, 3) - 0.5f, Number(L, 4) - 0.5f);
    }
    return 0;
}

// The one behaviour of both tables' GetWindowPosition; -1, -1 for no screen or no window.
int PushWindowPosition(lua_State* L, const char* function) {
    float x = -1.0f;
    float y = -1.0f;
    if (CPInterface* screen = Screen(L, function)) {
        screen->GetWindowXY(Text(L, 2), x, y);
    }
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    return 2;
}

int GetWindowPositionA(lua_State* L) { return PushWindowPosition(L, "GetWindowPosition"); }
int GetWindowPositionB(lua_State* L) { return PushWindowPosition(L, "GetWindowPosition"); }

int SetWindowSize(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SetWindowSize")) {
        if (CPWindow* window = screen->FindWindow(Text(L, 2))) {
            window->SetSize(Number(L, 3), Number(L, 4));
        }
    }
    return 0;
}

// Text labels.

int SetText(lua_State* L) {
    if (ShuttingDown) {
        return 0;
    }
    if (CPInterface* screen = Screen(L, "SetText")) {
        screen->SetLabelText(Text(L, 2), Text(L, 3));
    }
    return 0;
}

int SetTextString(lua_State* L) {
    if (ShuttingDown) {
        return 0;
    }
    if (CPInterface* screen = Screen(L, "SetTextString")) {
        screen->SetLabelText(Text(L, 2), TableText(Text(L, 3)));
    }
    return 0;
}

int SetTextPosition(lua_State* L) {
    CPInterface* screen = Screen(L, "SetTextPosition");
    if (screen == nullptr) {
        return 0;
    }
    if (CPTextEntry* label = screen->FindLabel(Text(L, 2))) {
        label->X = Number(L, 3);
        label->Y = Number(L, 4);
        DrawLabel(*label, label->X, label->Y, label->Font, label->Text);
    }
    return 0;
}

int GetTextPosition(lua_State* L) {
    float x = -1.0f;
    float y = -1.0f;
    if (CPInterface* screen = Screen(L, "GetTextPosition")) {
        if (const CPTextEntry* label = screen->FindLabel(Text(L, 2))) {
            x = label->X;
            y = label->Y;
        }
    }
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    return 2;
}

int SetFont(lua_State* L) {
    CPInterface* screen = Screen(L, "SetFont");
    if (screen == nullptr) {
        return 0;
    }
    if (const CPTextEntry* label = screen->FindLabel(Text(L, 2))) {
        DrawLabel(*label, label->X, label->Y, Text(L, 3), Text(L, 4));
    }
    return 0;
}

int SetFontString(lua_State* L) {
    CPInterface* screen = Screen(L, "SetFontString");
    if (screen == nullptr) {
        return 0;
    }
    if (const CPTextEntry* label = screen->FindLabel(Text(L, 2))) {
        DrawLabel(*label, label->X, label->Y, Text(L, 3), TableText(Text(L, 4)));
    }
    return 0;
}

// Edit boxes.

int SetEditBoxText(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SetEditBoxText")) {
        if (CPEditBox* box = screen->FindEditBox(Text(L, 2))) {
            box->SetText(Text(L, 3));
        }
    }
    return 0;
}

int EditBoxProcessKey(lua_State* L) {
    CPInterface* screen = Screen(L, "EditBoxProcessKey");
    if (screen == nullptr) {
        return 0;
    }
    // One byte of the code page; Ё and ё (168, 184) are not typed.
    const int key = static_cast<int>(static_cast<uint32_t>(Int(L, 3)) & 0xFFu);
    if (key == 168 || key == 184) {
        return 0;
    }
    if (CPEditBox* box = screen->FindEditBox(Text(L, 2))) {
        box->ProcessKey(key);
    }
    return 0;
}

int EditBoxTextLength(lua_State* L) {
    CPInterface* screen = Screen(L, "EditBoxTextLength");
    if (screen == nullptr) {
        return 0;
    }
    size_t length = 0;
    if (const CPEditBox* box = screen->FindEditBox(Text(L, 2))) {
        length = box->Text.size();
    }
    lua_pushnumber(L, static_cast<lua_Number>(length));
    return 1;
}

int GetEditBoxText(lua_State* L) {
    CPInterface* screen = Screen(L, "GetEditBoxText");
    if (screen == nullptr) {
        return 0;
    }
    int count = 0;
    {
        const std::string text = screen->GetEditBoxText(Text(L, 2));
        count = PushProtected(L, [&text](lua_State* S) {
            lua_pushlstring(S, text.data(), text.size());
            return 1;
        });
    }
    return Results(L, count);
}

// Cursor.

int SetCursorA(lua_State* L) {
    if (CPInterface* screen = Screen(L, "SetCursor")) {
        screen->SetCursorByName(Text(L, 2));
    }
    return 0;
}

int SetCursorB(lua_State* L) {
    // The screen is tested first, as everywhere; the strict name is then checked before
    // anything changes.
    CPInterface* screen = Screen(L, "SetCursor");
    if (screen == nullptr) {
        return 0;
    }
    const char* name = CheckText(L, 2);
    screen->SetCursorByName(name);
    return 0;
}

int GetCursor(lua_State* L) {
    CPInterface* screen = Screen(L, "GetCursor");
    if (screen == nullptr) {
        return 0;
    }
    lua_pushlstring(L, screen->CursorName.data(), screen->CursorName.size());
    return 1;
}

// Buttons and the keyboard selection.

int DeselectCurrentButton(lua_State* L) {
    CPInterface* screen = Screen(L, "DeselectCurrentButton");
    if (screen == nullptr || !screen->CurrentButton) {
        return 0;
    }
    for (const CPtr<CPWindow>& button : screen->Buttons) {
        if (button == screen->CurrentButton) {
            button->OnMouseOut(0.0f, 0.0f);
            screen->CurrentButton = nullptr;
            break;
        }
    }
    return 0;
}

int IMenuRight(lua_State*) {
    CPInterface::MenuRight();
    return 0;
}

int IMenuLeft(lua_State*) {
    CPInterface::MenuLeft();
    return 0;
}

}  // namespace

extern const luaL_Reg InterfaceFunctionsA[] = {
    {"UpdateInterface", UpdateInterface},
    {"CreateInterface", CreateInterface},
    {"ActivateInterface", ActivateInterface},
    {"SetWindowVisible", SetWindowVisible},
    {"SetWindowPosition", SetWindowPosition},
    {"GetWindowPosition", GetWindowPositionA},
    {"SetText", SetText},
    {"SetTextString", SetTextString},
    {"UpdateInterfaceBuffers", UpdateInterfaceBuffers},
    {"SetWindowPositionShop", SetWindowPositionShop},
    {"SetCursor", SetCursorA},
    {"IMenuRight", IMenuRight},
    {"IMenuLeft", IMenuLeft},
    {"SetEditBoxText", SetEditBoxText},
    {"EditBoxTextLength", EditBoxTextLength},
    {"EditBoxProcessKey", EditBoxProcessKey},
    {"GetEditBoxText", GetEditBoxText},
    {"SetFont", SetFont},
    {"SetFontString", SetFontString},
    {"DeselectCurrentButton", DeselectCurrentButton},
    {"SilentActivateInterface", SilentActivateInterface},
    {"SetWindowSize", SetWindowSize},
    {"GetTextPosition", GetTextPosition},
    {"SetTextPosition", SetTextPosition},
    {nullptr, nullptr},
};

extern const luaL_Reg InterfaceFunctionsB[] = {
    {"SetCursor", SetCursorB},
    {"GetCursor", GetCursor},
    {"GetWindowPosition", GetWindowPositionB},
    {nullptr, nullptr},
};

}  // namespace Script
