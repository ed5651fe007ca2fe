#include "platform/ui/TerminalDialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

// The terminal backend fed from a pipe: which messages a byte stream becomes.
class TerminalDialogTest : public ::testing::Test {
protected:
    static constexpr WORD kId = 301;

    void SetUp() override {
        DialogTemplate t;
        t.Style = WS_POPUP | WS_BORDER;
        t.Width = 100;
        t.Height = 50;
        constexpr DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        t.Items = {
            {10, "Button", "Alpha", 0, 0, 10, 10, button},
            {11, "Button", "Hidden", 0, 0, 10, 10, WS_CHILD | WS_TABSTOP},
            {12, "Static", "", 0, 0, 10, 10, WS_CHILD | WS_VISIBLE},
            {13, "Button", "Beta", 0, 0, 10, 10, button},
            {14, "Button", "Gamma", 0, 0, 10, 10, button | WS_DISABLED},
            {15, "Button", "Delta", 0, 0, 10, 10, button},
        };
        t.Caption = "Title";
        WindowSystem::RegisterDialogTemplate(GetModuleHandleA(nullptr), kId, t);
        output = std::tmpfile();
    }

    void TearDown() override { std::fclose(output); }

    // Runs a dialog over the bytes; returns the command ids it saw, 0 for WM_CLOSE.
    std::vector<int> Feed(const std::string& bytes) {
        int channel[2];
        EXPECT_EQ(pipe(channel), 0);
        EXPECT_EQ(write(channel[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
        close(channel[1]);
        TerminalDialog terminal(channel[0], output);
        ScopedDialogBackend use(terminal);
        seen.clear();
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), nullptr, Procedure, 0);
        close(channel[0]);
        return seen;
    }

    std::string Output() {
        std::fflush(output);
        std::rewind(output);
        std::string text;
        char buffer[512];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, output)) > 0) {
            text.append(buffer, got);
        }
        return text;
    }

    static INT_PTR Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) {
            WindowSystem::SetContentText(GetDlgItem(dialog, 12), "http://shown.example/");
        } else if (message == WM_COMMAND) {
            seen.push_back(LOWORD(wParam));
        } else if (message == WM_CLOSE) {
            seen.push_back(0);
            EndDialog(dialog, 0);
        }
        return 0;
    }

    static inline std::vector<int> seen;
    std::FILE* output = nullptr;
};

TEST_F(TerminalDialogTest, KeysBecomeCommands) {
    struct Row {
        const char* Name;
        std::string Bytes;
        std::vector<int> Commands;
    };
    const Row rows[] = {
        {"digits in tab order, visible and enabled only", "1\n2\n3\n", {10, 13, 15, 0}},
        {"out-of-range digits and letters do nothing", "049x\n", {0}},
        {"space presses the focused button", " ", {10, 0}},
        {"escape alone gives the cancel command", "\x1b", {2, 0}},
        {"escape then a key", "\x1b" "2", {2, 13, 0}},
        {"tab and arrows move, return presses", "\t\r\x1b[C\x1b[C\r\x1b[D\r\x1b[Z\x1b[Z\r", {13, 10, 15, 10, 0}},
        {"digit moves the focus", "3\t\r", {15, 10, 0}},
        {"CR LF line ends press nothing", "2\r\n3\r\n", {13, 15, 0}},
        {"return before a digit still presses", "\r2", {10, 13, 0}},
        {"unknown sequences are skipped", "\x1b[15~\x1bOB\r", {13, 0}},
        {"ctrl-c closes", "\x03" "1", {0}},
        {"ctrl-d closes", "\x04" "1", {0}},
        {"nothing at all closes", "", {0}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Feed(r.Bytes), r.Commands) << r.Name;
    }
}

TEST_F(TerminalDialogTest, DrawsCaptionAreaAndButtons) {
    Feed("2");
    const std::string text = Output();
    EXPECT_NE(text.find("| Title "), std::string::npos) << text;
    EXPECT_NE(text.find("http://shown.example/"), std::string::npos) << text;
    EXPECT_NE(text.find(" [1 Alpha] [2 Beta] [3 Delta]\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Hidden"), std::string::npos);
    EXPECT_EQ(text.find("Gamma"), std::string::npos);
    EXPECT_NE(text.find("> Beta\n"), std::string::npos) << text;
}

TEST_F(TerminalDialogTest, ClosedInputCannotOpenTheWindow) {
    TerminalDialog terminal(-1, output);
    ScopedDialogBackend use(terminal);
    seen.clear();
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), nullptr, Procedure, 0), -1);
    EXPECT_TRUE(seen.empty());
}

}  // namespace
