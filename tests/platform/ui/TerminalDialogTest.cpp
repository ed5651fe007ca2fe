#include "platform/ui/TerminalDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <thread>
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

// The same dialog on a pseudo-terminal of a given size and TERM, with keys typed once the
// window is up (opening it flushes input typed before).
class TerminalDialogOnPty : public TerminalDialogTest {
protected:
    struct Screen {
        const char* Term;  // null: no TERM at all
        unsigned short Rows;
        unsigned short Columns;
    };

    // `type` runs on its own thread with the pty's master side; it ends the dialog by typing
    // Ctrl-D. Returns everything the dialog wrote.
    std::string Run(const Screen& screen, const std::function<void(int master)>& type, bool waitForWindow = true) {
        const char* term = std::getenv("TERM");
        const std::optional<std::string> savedTerm = term != nullptr ? std::optional<std::string>(term) : std::nullopt;
        if (screen.Term != nullptr) {
            setenv("TERM", screen.Term, 1);
        } else {
            unsetenv("TERM");
        }
        int master = -1;
        int slave = -1;
        winsize size{screen.Rows, screen.Columns, 0, 0};
        EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
        std::FILE* out = fdopen(dup(slave), "w");
        shown.clear();
        std::thread reader([&] {
            char buffer[4096];
            ssize_t got;
            while ((got = read(master, buffer, sizeof buffer)) > 0) {
                std::lock_guard<std::mutex> lock(guard);
                shown.append(buffer, static_cast<size_t>(got));
            }
        });
        const pthread_t dialogThread = pthread_self();
        std::thread typist([&] {
            // Resize signals go to the dialog's thread, not this one.
            sigset_t resize;
            sigemptyset(&resize);
            sigaddset(&resize, SIGWINCH);
            pthread_sigmask(SIG_BLOCK, &resize, nullptr);
            if (waitForWindow) {
                WaitFor("\x1b[2J", "Keys:");
            }
            type(master);
        });
        (void)dialogThread;
        TerminalDialog terminal(slave, out);
        {
            ScopedDialogBackend use(terminal);
            seen.clear();
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kId), nullptr, Procedure, 0);
        }
        typist.join();
        std::fclose(out);
        close(slave);
        reader.join();
        close(master);
        if (savedTerm) {
            setenv("TERM", savedTerm->c_str(), 1);
        } else {
            unsetenv("TERM");
        }
        return shown;
    }

    // Waits until the output holds one of the texts.
    void WaitFor(const std::string& one, const std::string& other = "\x01") {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> lock(guard);
                if (shown.find(one) != std::string::npos || shown.find(other) != std::string::npos) {
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "never shown: " << one;
    }

    static void Type(int master, const std::string& keys) {
        EXPECT_EQ(write(master, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    // The output's lines as a terminal shows them: escape sequences take no columns, "\r"
    // goes back to the line's start and writes over it, cursor moves start another line.
    static std::vector<std::string> VisibleLines(const std::string& text) {
        std::vector<std::string> lines(1);
        size_t column = 0;
        const auto put = [&](char c) {
            std::string& line = lines.back();
            if (column < line.size()) {
                line[column] = c;
            } else {
                line += c;
            }
            ++column;
        };
        const auto newLine = [&] {
            lines.emplace_back();
            column = 0;
        };
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\x1b') {
                if (i + 1 < text.size() && text[i + 1] == '[') {
                    for (i += 2; i < text.size() && (text[i] < 0x40 || text[i] > 0x7E); ++i) {
                    }
                    if (i < text.size() && text[i] == 'H') {
                        newLine();
                    }
                } else {
                    ++i;
                    if (i < text.size() && text[i] == '8') {
                        newLine();
                    }
                }
            } else if (text[i] == '\n') {
                newLine();
            } else if (text[i] == '\r') {
                column = 0;
            } else {
                put(text[i]);
            }
        }
        return lines;
    }

    std::mutex guard;
    std::string shown;
};

TEST_F(TerminalDialogOnPty, PressesRedrawTheButtonRowInPlace) {
    const Screen screen{"xterm", 24, 80};
    const std::string once = Run(screen, [](int master) { Type(master, std::string("2") + "\x04"); });
    EXPECT_EQ(seen, (std::vector<int>{13, 0}));
    const std::string often = Run(screen, [](int master) { Type(master, std::string("2323\t\t\x1b[D2") + "\x04"); });
    EXPECT_EQ(seen, (std::vector<int>{13, 15, 13, 15, 13, 0}));
    // The window is drawn once and grows by no line however many buttons are pressed.
    EXPECT_EQ(std::count(often.begin(), often.end(), '\n'), std::count(once.begin(), once.end(), '\n'));
    size_t clears = 0;
    for (size_t at = often.find("\x1b[2J"); at != std::string::npos; at = often.find("\x1b[2J", at + 1)) {
        ++clears;
    }
    EXPECT_EQ(clears, 1u);
    EXPECT_NE(often.find("\x1b[7m[2 Beta]\x1b[0m"), std::string::npos);
    for (const std::string& line : VisibleLines(often)) {
        EXPECT_LE(line.size(), 80u) << line;
    }
}

// A terminal that says where its cursor is keeps what it showed (the launcher's own lines)
// below the window instead of having it erased.
TEST_F(TerminalDialogOnPty, EarlierOutputMovesBelowTheWindow) {
    const std::string text = Run(
        {"xterm", 24, 80},
        [this](int master) {
            WaitFor("\x1b[6n");
            Type(master, "\x1b[3;1R");  // two lines of output above the cursor
            WaitFor("Keys:");
            Type(master, "\x04");
        },
        false);
    EXPECT_EQ(seen, (std::vector<int>{0}));
    EXPECT_EQ(text.find("\x1b[2J"), std::string::npos);
    // The window takes 10 lines and the button row the 11th: the two lines move down by 11,
    // the region below the row scrolls, and the cursor goes under the two kept lines.
    EXPECT_NE(text.find("\x1b[H\x1b[11L\x1b[H"), std::string::npos);
    EXPECT_NE(text.find("\x1b[12;24r\x1b[14;1H"), std::string::npos);
}

TEST_F(TerminalDialogOnPty, TooSmallATerminalSaysSoAndAResizeRedraws) {
    const std::string text = Run({"xterm", 24, 60}, [this](int master) {
        WaitFor("terminal too small");
        const winsize larger{24, 80, 0, 0};
        ioctl(master, TIOCSWINSZ, &larger);
        kill(getpid(), SIGWINCH);
        WaitFor("[1 Alpha]");
        Type(master, "\x04");
    });
    const size_t small = text.find("terminal too small");
    ASSERT_NE(small, std::string::npos) << text;
    EXPECT_EQ(text.find("| Title"), text.find("| Title", small)) << "the window is drawn only after the resize";
    EXPECT_NE(text.find("| Title", small), std::string::npos) << text;
    EXPECT_EQ(seen, (std::vector<int>{0}));
}

TEST_F(TerminalDialogOnPty, NoEscapeCodesForATerminalThatCannotTakeThem) {
    for (const char* term : {"dumb", "", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(term != nullptr ? term : "(no TERM)");
        const std::string text = Run({term, 24, 80}, [](int master) { Type(master, std::string("\t3") + "\x04"); });
        EXPECT_EQ(seen, (std::vector<int>{15, 0}));
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_NE(text.find("| Title"), std::string::npos) << text;
        EXPECT_NE(text.find(" [1 Alpha] <2 Beta> [3 Delta]"), std::string::npos) << text;
        for (const std::string& line : VisibleLines(text)) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
}

TEST_F(TerminalDialogTest, EveryLineFitsEightyColumns) {
    Feed("1");
    std::string text = Output();
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    }
}

}  // namespace
