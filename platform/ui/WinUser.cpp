#include "platform/ui/WinUser.h"

#include "platform/win32/CallTrace.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <unordered_map>

DialogBackend& TerminalDialogBackend();  // TerminalDialog.cpp

namespace {

struct Window {
    Window* Parent = nullptr;
    std::vector<Window*> Children;
    std::string ClassName;
    std::string Text;
    std::string Content;
    DWORD Style = 0;
    int Id = 0;
    RECT Rect;  // screen for top-level windows, the parent's client area for children
    bool Ended = false;
    INT_PTR Result = 0;
};

struct State {
    std::unordered_map<const Window*, std::unique_ptr<Window>> Windows;
    std::map<std::pair<HMODULE, WORD>, DialogTemplate> Templates;
    DialogBackend* Backend = nullptr;
    int ScreenWidth = 1024;
    int ScreenHeight = 768;
    bool QuitPosted = false;
    int QuitCode = 0;
};

State& S() {
    static State state;
    return state;
}

// The program's own module: any stable address serves as its handle.
char moduleAnchor;

Window* Find(HWND handle) {
    auto it = S().Windows.find(reinterpret_cast<const Window*>(handle));
    return it == S().Windows.end() ? nullptr : it->second.get();
}

HWND Handle(Window* window) { return reinterpret_cast<HWND>(window); }

LONG BorderWidth(const Window& w) { return (w.Style & WS_BORDER) != 0 ? 1 : 0; }

// Screen position of the window's client-area origin.
POINT ClientOrigin(const Window& w) {
    POINT origin{w.Rect.left + BorderWidth(w), w.Rect.top + BorderWidth(w)};
    if (w.Parent != nullptr) {
        const POINT parent = ClientOrigin(*w.Parent);
        origin.x += parent.x;
        origin.y += parent.y;
    }
    return origin;
}

Window* Create(Window* parent, const std::string& className, const std::string& text, DWORD style, int id,
               RECT rect) {
    auto window = std::make_unique<Window>();
    Window* raw = window.get();
    raw->Parent = parent;
    raw->ClassName = className;
    raw->Text = text;
    raw->Style = style;
    raw->Id = id;
    raw->Rect = rect;
    if (parent != nullptr) {
        parent->Children.push_back(raw);
    }
    S().Windows.emplace(raw, std::move(window));
    return raw;
}

void Destroy(Window* window) {
    for (Window* child : window->Children) {
        Destroy(child);
    }
    window->Children.clear();
    S().Windows.erase(window);
}

std::string Describe(LPCSTR name) {
    if (name == nullptr) {
        return "null";
    }
    return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<uintptr_t>(name)) : std::string(name);
}

// Builds the dialog and its controls in pixels from a template's dialog units.
Window* BuildDialog(const DialogTemplate& t, Window* owner) {
    const SIZE units = (t.Style & DS_SETFONT) != 0 ? WindowSystem::DialogBaseUnits(t.FaceName, t.PointSize)
                                                   : WindowSystem::DialogBaseUnits("", 0);
    auto px = [&](int dlu) { return MulDiv(dlu, units.cx, 4); };
    auto py = [&](int dlu) { return MulDiv(dlu, units.cy, 8); };

    // The template gives the client area; the border lies around it.
    const LONG border = (t.Style & WS_BORDER) != 0 ? 1 : 0;
    POINT origin{px(t.X), py(t.Y)};
    if (owner != nullptr) {
        const POINT ownerOrigin = ClientOrigin(*owner);
        origin.x += ownerOrigin.x;
        origin.y += ownerOrigin.y;
    }
    const RECT rect{origin.x, origin.y, origin.x + px(t.Width) + 2 * border, origin.y + py(t.Height) + 2 * border};
    Window* dialog = Create(nullptr, "#32770", t.Caption, t.Style, 0, rect);
    for (const DialogItemTemplate& item : t.Items) {
        const RECT itemRect{px(item.X), py(item.Y), px(item.X) + px(item.Width), py(item.Y) + py(item.Height)};
        Create(dialog, item.ClassName, item.Text, item.Style, item.Id, itemRect);
    }
    return dialog;
}

HWND FirstTabStop(Window* dialog) {
    for (Window* child : dialog->Children) {
        if ((child->Style & (WS_TABSTOP | WS_VISIBLE)) == (WS_TABSTOP | WS_VISIBLE) &&
            (child->Style & WS_DISABLED) == 0) {
            return Handle(child);
        }
    }
    return nullptr;
}

}  // namespace

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const int64_t product = int64_t(number) * numerator;
    const int64_t half = std::abs(int64_t(denominator)) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const int64_t magnitude = (std::abs(product) + half) / std::abs(int64_t(denominator));
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN) {
        return -1;
    }
    return static_cast<int>(result);
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    CallTrace::Record("GetModuleHandleA " + Describe(moduleName));
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(&moduleAnchor) : nullptr;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam) {
    CallTrace::Record("DialogBoxParamA " + Describe(templateName));
    // A null instance is the program itself.
    const HMODULE module = instance != nullptr ? instance : reinterpret_cast<HMODULE>(&moduleAnchor);
    const DialogTemplate* t =
        IS_INTRESOURCE(templateName)
            ? WindowSystem::FindDialogTemplate(module, static_cast<WORD>(reinterpret_cast<uintptr_t>(templateName)))
            : nullptr;
    Window* ownerWindow = owner != nullptr ? Find(owner) : nullptr;
    if (t == nullptr || procedure == nullptr || (owner != nullptr && ownerWindow == nullptr)) {
        return -1;
    }
    Window* dialog = BuildDialog(*t, ownerWindow);
    const HWND handle = Handle(dialog);
    DialogBackend& backend = WindowSystem::CurrentDialogBackend();
    if (!backend.Open(handle)) {
        Destroy(dialog);
        return -1;
    }

    procedure(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(dialog)), initParam);
    bool inputEnded = false;
    while (!dialog->Ended) {
        MSG message;
        if (!inputEnded && backend.NextMessage(handle, message)) {
            procedure(message.hwnd != nullptr ? message.hwnd : handle, message.message, message.wParam,
                      message.lParam);
            continue;
        }
        if (inputEnded) {
            // A procedure that ignores WM_CLOSE with no input left would wait forever.
            dialog->Ended = true;
            dialog->Result = IDCANCEL;
            break;
        }
        inputEnded = true;
        procedure(handle, WM_CLOSE, 0, 0);
    }
    const INT_PTR result = dialog->Result;
    backend.Close(handle);
    Destroy(dialog);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    CallTrace::Record("EndDialog " + std::to_string(result));
    Window* w = Find(dialog);
    if (w == nullptr || w->Parent != nullptr) {
        return FALSE;
    }
    w->Ended = true;
    w->Result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    CallTrace::Record("GetDlgItem " + std::to_string(id));
    Window* w = Find(dialog);
    if (w == nullptr) {
        return nullptr;
    }
    for (Window* child : w->Children) {
        if (child->Id == id) {
            return Handle(child);
        }
    }
    return nullptr;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    CallTrace::Record(std::string("SetWindowTextA ") + (text != nullptr ? text : ""));
    Window* w = Find(window);
    if (w == nullptr) {
        return FALSE;
    }
    w->Text = text != nullptr ? text : "";
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    Window* w = Find(window);
    if (w == nullptr || buffer == nullptr || size <= 0) {
        return 0;
    }
    const size_t count = std::min(w->Text.size(), size_t(size - 1));
    w->Text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    CallTrace::Record("GetWindowRect");
    Window* w = Find(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    POINT offset{0, 0};
    if (w->Parent != nullptr) {
        offset = ClientOrigin(*w->Parent);
    }
    *rect = RECT{w->Rect.left + offset.x, w->Rect.top + offset.y, w->Rect.right + offset.x, w->Rect.bottom + offset.y};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    CallTrace::Record("GetClientRect");
    Window* w = Find(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    const LONG border = BorderWidth(*w);
    const LONG width = std::max<LONG>(0, w->Rect.right - w->Rect.left - 2 * border);
    const LONG height = std::max<LONG>(0, w->Rect.bottom - w->Rect.top - 2 * border);
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    CallTrace::Record("MoveWindow " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) +
                      " " + std::to_string(height) + " " + std::to_string(repaint));
    Window* w = Find(window);
    if (w == nullptr) {
        return FALSE;
    }
    // Negative sizes are kept as zero, as the window manager does.
    w->Rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    return TRUE;
}

int GetSystemMetrics(int index) {
    CallTrace::Record("GetSystemMetrics " + std::to_string(index));
    switch (index) {
        case SM_CXSCREEN: return S().ScreenWidth;
        case SM_CYSCREEN: return S().ScreenHeight;
        default: return 0;
    }
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

void PostQuitMessage(int exitCode) {
    CallTrace::Record("PostQuitMessage " + std::to_string(exitCode));
    S().QuitPosted = true;
    S().QuitCode = exitCode;
}

BOOL IsWindow(HWND window) { return Find(window) != nullptr ? TRUE : FALSE; }

namespace WindowSystem {

void RegisterDialogTemplate(HMODULE module, WORD id, const DialogTemplate& dialogTemplate) {
    S().Templates[{module, id}] = dialogTemplate;
}

const DialogTemplate* FindDialogTemplate(HMODULE module, WORD id) {
    auto it = S().Templates.find({module, id});
    return it == S().Templates.end() ? nullptr : &it->second;
}

SIZE DialogBaseUnits(const std::string& faceName, int pointSize) {
    // Average character width and height of the dialog fonts at 96 dots per inch.
    if ((faceName == "MS Sans Serif" || faceName == "MS Shell Dlg") && pointSize == 8) {
        return SIZE{6, 13};
    }
    return SIZE{8, 16};  // the system font
}

DialogBackend* SetDialogBackend(DialogBackend* backend) {
    DialogBackend* previous = S().Backend;
    S().Backend = backend;
    return previous;
}

DialogBackend& CurrentDialogBackend() { return S().Backend != nullptr ? *S().Backend : TerminalDialogBackend(); }

void SetScreenSize(int width, int height) {
    S().ScreenWidth = width;
    S().ScreenHeight = height;
}

std::string WindowText(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? w->Text : std::string();
}

HWND Parent(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? Handle(w->Parent) : nullptr;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    if (Window* w = Find(window)) {
        for (Window* child : w->Children) {
            children.push_back(Handle(child));
        }
    }
    return children;
}

int ControlId(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? w->Id : 0;
}

DWORD Style(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? w->Style : 0;
}

std::string ClassName(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? w->ClassName : std::string();
}

void SetContentText(HWND window, const std::string& text) {
    if (Window* w = Find(window)) {
        w->Content = text;
    }
}

std::string ContentText(HWND window) {
    Window* w = Find(window);
    return w != nullptr ? w->Content : std::string();
}

size_t WindowCount() { return S().Windows.size(); }

bool QuitPosted() { return S().QuitPosted; }
int QuitCode() { return S().QuitCode; }
void ClearQuit() {
    S().QuitPosted = false;
    S().QuitCode = 0;
}

}  // namespace WindowSystem
