#include "launcher/StartDialog.h"

#include "launcher/CPWebHost.h"
#include "platform/ui/Ole.h"
#include "platform/ui/Shell.h"

namespace StartDialog {

const DialogTemplate& Template() {
    constexpr DWORD shown = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT;
    constexpr DWORD hidden = WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT;
    static const DialogTemplate dialog{
        WS_POPUP | WS_BORDER | DS_SETFONT,
        0,
        0,
        0,
        443,
        331,
        "",
        "MS Sans Serif",
        8,
        {
            // Template order is the tab order.
            {StartGame, "Button", "Start Game", 7, 310, 90, 14, shown},
            {GameSettings, "Button", "Game Settings", 209, 310, 68, 14, shown},
            {Exit, "Button", "Exit", 373, 310, 63, 14, shown},
            {BrowserArea, "Static", "", 7, 7, 429, 298, WS_CHILD | WS_VISIBLE | SS_BLACKRECT},
            {StartWindowed, "Button", "Start in windowed mode", 103, 310, 85, 14, hidden},
            {StartFullscreen, "Button", "Start in fullscreen mode", 7, 310, 90, 14, hidden},
            {Readme, "Button", "Readme.txt", 285, 310, 68, 14, shown},
        },
    };
    return dialog;
}

void RegisterTemplate() { WindowSystem::RegisterDialogTemplate(GetModuleHandleA(nullptr), TemplateId, Template()); }

}  // namespace StartDialog

namespace {

// The program's resources are there before anything runs, as linked resources are.
const bool templateRegistered = (StartDialog::RegisterTemplate(), true);

void OnInitDialog(HWND dialog) {
    SetWindowTextA(dialog, "Tarnwick");

    // Centre on the primary screen; a window larger than the screen gets a negative position.
    RECT frame;
    GetWindowRect(dialog, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    MoveWindow(dialog, x, y, width, height, TRUE);

    OleInitialize(nullptr);
    const HWND area = GetDlgItem(dialog, StartDialog::BrowserArea);
    CPWebHost::Instance = new CPWebHost;
    CPWebHost::Instance->Create(area);
}

void OnCommand(HWND dialog, int id) {
    switch (id) {
        case StartDialog::StartGame:
        case StartDialog::Exit:
        case StartDialog::StartWindowed:
        case StartDialog::StartFullscreen: EndDialog(dialog, id); break;
        case StartDialog::GameSettings: ShellExecuteA(nullptr, "open", "settings.exe", "", "", SW_SHOWNORMAL); break;
        case StartDialog::Readme: ShellExecuteA(nullptr, "open", "README.txt", "", "", SW_SHOWNORMAL); break;
        default: break;  // Escape's IDCANCEL among them
    }
}

}  // namespace

INT_PTR StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)templateRegistered;
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(dialog); break;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
        case WM_CLOSE: EndDialog(dialog, StartDialog::Exit); break;
        default: return FALSE;
    }
    return DefWindowProcA(dialog, message, wParam, lParam);
}
