// Win32 windows and modal dialogs, as far as a dialog-based program uses them.
//
// Windows are plain records in a process-wide table; a handle is the record's address and
// every call checks it against the table, so a stale or made-up handle fails cleanly.
// Dialogs are built from templates held as data (registered per module and id), with their
// dialog units converted to pixels for the template's font. What the user sees and does is
// delegated to a DialogBackend: the terminal one draws the window as text and reads keys,
// the scripted one feeds a queue of messages to tests.
#pragma once

#include "platform/win32/WinTypes.h"

#include <functional>
#include <string>
#include <vector>

using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LPCSTR = const char*;
using LPSTR = char*;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;

constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_DISABLED = 0x08000000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD DS_SETFONT = 0x40u;
constexpr DWORD BS_PUSHBUTTON = 0x0u;
constexpr DWORD BS_FLAT = 0x8000u;
constexpr DWORD SS_BLACKRECT = 0x4u;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr WORD BN_CLICKED = 0;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWDEFAULT = 10;

constexpr WORD LOWORD(uint64_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uint64_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return WPARAM(low) | (WPARAM(high) << 16); }

// A resource named by number rather than by string.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

// Dialog templates as data. Positions and sizes are dialog units; item class is "Button" or
// "Static" (the predefined classes).
struct DialogItemTemplate {
    WORD Id = 0;
    std::string ClassName;
    std::string Text;
    short X = 0, Y = 0, Width = 0, Height = 0;
    DWORD Style = 0;
};

struct DialogTemplate {
    DWORD Style = 0;
    DWORD ExStyle = 0;
    short X = 0, Y = 0, Width = 0, Height = 0;
    std::string Caption;
    std::string FaceName;  // with DS_SETFONT
    WORD PointSize = 0;
    std::vector<DialogItemTemplate> Items;
};

HMODULE GetModuleHandleA(LPCSTR moduleName);
// Returns what EndDialog was given, or -1 when the window could not be made (then the
// procedure never sees WM_INITDIALOG).
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
// Screen coordinates of the whole window, border included.
BOOL GetWindowRect(HWND window, RECT* rect);
// The client area; left and top are always 0.
BOOL GetClientRect(HWND window, RECT* rect);
// Top-level windows: screen coordinates; children: the parent's client coordinates.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
int GetSystemMetrics(int index);
// The default handling has no side effects here (it does not destroy windows on WM_CLOSE).
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL IsWindow(HWND window);

// Windows' rounding multiply-divide (halves away from zero); -1 when divisor is 0.
int MulDiv(int number, int numerator, int denominator);
// Whether the character is a letter or a digit of the game's ANSI code page, Cyrillic 1251:
// ASCII letters and digits, 0xC0..0xFF, 0xA8 and 0xB8. (Paths and links go through TextCodec,
// which keeps 1252.)
BOOL IsCharAlphaNumericA(char character);

// What a user sees and does with a modal dialog.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // The window and its controls exist; false when it cannot be shown (the dialog fails).
    virtual bool Open(HWND dialog) = 0;
    // Waits for the user's next action on the dialog. False at end of input (Ctrl-C, end of
    // file, an empty script): the dialog then receives WM_CLOSE.
    virtual bool NextMessage(HWND dialog, MSG& message) = 0;
    virtual void Close(HWND dialog) = 0;
};

namespace WindowSystem {

// Template lookup for DialogBoxParamA; a program registers its own resources.
void RegisterDialogTemplate(HMODULE module, WORD id, const DialogTemplate& dialogTemplate);
const DialogTemplate* FindDialogTemplate(HMODULE module, WORD id);
// Pixels per 4 horizontal and 8 vertical dialog units for a template font.
SIZE DialogBaseUnits(const std::string& faceName, int pointSize);

// The backend in use; the terminal one unless replaced. Returns the previous one.
DialogBackend* SetDialogBackend(DialogBackend* backend);
DialogBackend& CurrentDialogBackend();

// Primary screen size in pixels (1024 x 768 unless set).
void SetScreenSize(int width, int height);

// Inspection for tests and backends.
std::string WindowText(HWND window);
HWND Parent(HWND window);
std::vector<HWND> Children(HWND window);
int ControlId(HWND window);
DWORD Style(HWND window);
std::string ClassName(HWND window);
// What a control shows inside its area (a hosted browser puts its address here).
void SetContentText(HWND window, const std::string& text);
std::string ContentText(HWND window);
size_t WindowCount();
// PostQuitMessage's state: whether it was called and its exit code.
bool QuitPosted();
int QuitCode();
void ClearQuit();

}  // namespace WindowSystem

// Uses a backend for as long as it lives, then puts the previous one back.
class ScopedDialogBackend {
public:
    explicit ScopedDialogBackend(DialogBackend& backend) : previous(WindowSystem::SetDialogBackend(&backend)) {}
    ~ScopedDialogBackend() { WindowSystem::SetDialogBackend(previous); }
    ScopedDialogBackend(const ScopedDialogBackend&) = delete;
    ScopedDialogBackend& operator=(const ScopedDialogBackend&) = delete;

private:
    DialogBackend* previous;
};
