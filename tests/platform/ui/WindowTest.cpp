#include "platform/ui/ScriptedDialog.h"
#include "platform/ui/WinUser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    struct Row {
        int Number, Numerator, Denominator, Result;
    };
    const Row rows[] = {
        {443, 6, 4, 665}, {331, 13, 8, 538}, {429, 6, 4, 644}, {298, 13, 8, 484}, {5, 1, 2, 3},
        {-5, 1, 2, -3},   {5, -1, 2, -3},    {7, 3, 0, -1},    {0, 9, 4, 0},      {0x40000000, 4, 1, -1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(MulDiv(r.Number, r.Numerator, r.Denominator), r.Result)
            << r.Number << "*" << r.Numerator << "/" << r.Denominator;
    }
}

// A dialog's messages as its procedure saw them.
std::vector<MSG> seen;

INT_PTR Recorder(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(MSG{dialog, message, wParam, lParam, 0, {}});
    if (message == WM_COMMAND && LOWORD(wParam) >= 100) {
        EndDialog(dialog, LOWORD(wParam));
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, 77);
    }
    return 0;
}

INT_PTR IgnoresClose(HWND, UINT, WPARAM, LPARAM) { return 0; }

class DialogTest : public ::testing::Test {
protected:
    static constexpr WORD kId = 300;

    void SetUp() override {
        seen.clear();
        DialogTemplate t;
        t.Style = WS_POPUP | WS_BORDER | DS_SETFONT;
        t.X = 10;
        t.Y = 8;
        t.Width = 100;
        t.Height = 80;
        t.Caption = "Caption";
        t.FaceName = "MS Sans Serif";
        t.PointSize = 8;
        t.Items = {
            {50, "Static", "", 4, 4, 92, 40, WS_CHILD | WS_VISIBLE},
            {100, "Button", "Go", 4, 60, 40, 14, WS_CHILD | WS_DISABLED | WS_TABSTOP},
            {101, "Button", "Stop", 50, 60, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP},
        };
        WindowSystem::RegisterDialogTemplate(GetModuleHandleA(nullptr), kId, t);
    }

    INT_PTR Show(DLGPROC procedure = Recorder, LPARAM param = 0) {
        ScopedDialogBackend use(script);
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), nullptr, procedure, param);
    }

    ScriptedDialog script;
};

TEST_F(DialogTest, TemplateBecomesWindowsInPixels) {
    RECT frame{}, client{}, area{}, areaClient{}, button{};
    std::string caption;
    HWND first = nullptr;
    script.Check([&](HWND d) {
        GetWindowRect(d, &frame);
        GetClientRect(d, &client);
        GetWindowRect(GetDlgItem(d, 50), &area);
        GetClientRect(GetDlgItem(d, 50), &areaClient);
        GetWindowRect(GetDlgItem(d, 101), &button);
        caption = WindowSystem::WindowText(d);
        first = GetDlgItem(d, 101);
        EXPECT_EQ(GetDlgItem(d, 999), nullptr);
        EXPECT_EQ(WindowSystem::Parent(first), d);
        EXPECT_EQ(WindowSystem::ControlId(first), 101);
        EXPECT_EQ(WindowSystem::ClassName(first), "Button");
        char text[3];
        EXPECT_EQ(GetWindowTextA(first, text, sizeof text), 2);
        EXPECT_STREQ(text, "St");  // cut to the buffer, terminated
    });
    EXPECT_EQ(Show(Recorder, 1234), 77);

    // 6 x 13 pixels per 4 x 8 dialog units; the template gives the client area.
    EXPECT_EQ(frame, (RECT{15, 13, 15 + 150 + 2, 13 + 130 + 2}));
    EXPECT_EQ(client, (RECT{0, 0, 150, 130}));
    EXPECT_EQ(area, (RECT{16 + 6, 14 + 7, 16 + 6 + 138, 14 + 7 + 65}));
    EXPECT_EQ(areaClient, (RECT{0, 0, 138, 65}));
    EXPECT_EQ(button, (RECT{16 + 75, 14 + 98, 16 + 75 + 60, 14 + 98 + 23}));
    EXPECT_EQ(caption, "Caption");

    // WM_INITDIALOG first, with the first enabled visible tab stop and the parameter.
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, WM_INITDIALOG);
    EXPECT_EQ(seen[0].wParam, reinterpret_cast<WPARAM>(first));
    EXPECT_EQ(seen[0].lParam, 1234);
    EXPECT_EQ(seen.back().message, WM_CLOSE);  // the script ran out
    EXPECT_EQ(WindowSystem::WindowCount(), 0u);
    EXPECT_FALSE(IsWindow(first));
}

TEST_F(DialogTest, MessagesArriveInOrderUntilEndDialog) {
    script.Command(5).Message(0x0200, 1, 2).Command(101).Command(100);
    EXPECT_EQ(Show(), 101);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].message, WM_COMMAND);
    EXPECT_EQ(LOWORD(seen[1].wParam), 5);
    EXPECT_EQ(seen[2].message, 0x0200u);
    EXPECT_EQ(seen[2].lParam, 2);
    EXPECT_EQ(LOWORD(seen[3].wParam), 101);
    EXPECT_EQ(script.Pending(), 1u);  // nothing is read after the dialog ended
    EXPECT_EQ(script.CloseCount(), 1);
}

TEST_F(DialogTest, FailuresBeforeTheWindowExists) {
    script.FailOpen();
    EXPECT_EQ(Show(), -1);
    EXPECT_TRUE(seen.empty());  // no WM_INITDIALOG
    EXPECT_EQ(WindowSystem::WindowCount(), 0u);

    ScopedDialogBackend use(script);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, Recorder, 0), -1);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), nullptr, nullptr, 0), -1);
    const HWND notAWindow = reinterpret_cast<HWND>(&script);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), notAWindow, Recorder, 0), -1);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), "named", nullptr, Recorder, 0), -1);
    EXPECT_TRUE(seen.empty());
}

TEST_F(DialogTest, NullInstanceIsTheProgram) {
    ScopedDialogBackend use(script);
    script.Command(100);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kId), nullptr, Recorder, 0), 100);
}

TEST_F(DialogTest, ProcedureIgnoringCloseStillEndsWhenInputEnds) {
    EXPECT_EQ(Show(IgnoresClose), IDCANCEL);
    EXPECT_EQ(WindowSystem::WindowCount(), 0u);
}

TEST(Windows, StaleAndMadeUpHandlesFailCleanly) {
    int notAWindow = 0;
    for (HWND bad : {HWND(nullptr), reinterpret_cast<HWND>(&notAWindow)}) {
        RECT r{1, 2, 3, 4};
        EXPECT_FALSE(GetWindowRect(bad, &r));
        EXPECT_FALSE(GetClientRect(bad, &r));
        EXPECT_EQ(r, (RECT{1, 2, 3, 4}));
        EXPECT_FALSE(MoveWindow(bad, 0, 0, 1, 1, TRUE));
        EXPECT_FALSE(SetWindowTextA(bad, "x"));
        EXPECT_FALSE(EndDialog(bad, 1));
        EXPECT_EQ(GetDlgItem(bad, 1), nullptr);
        EXPECT_FALSE(IsWindow(bad));
        WindowSystem::SetContentText(bad, "ignored");
        EXPECT_EQ(WindowSystem::ContentText(bad), "");
    }
}

TEST(Windows, MetricsDefaultsAndQuit) {
    WindowSystem::SetScreenSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(GetSystemMetrics(42), 0);
    WindowSystem::SetScreenSize(1024, 768);
    EXPECT_EQ(DefWindowProcA(nullptr, WM_CLOSE, 1, 2), 0);
    WindowSystem::ClearQuit();
    PostQuitMessage(3);
    EXPECT_TRUE(WindowSystem::QuitPosted());
    EXPECT_EQ(WindowSystem::QuitCode(), 3);
    WindowSystem::ClearQuit();
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
}

}  // namespace
