#include "platform/ui/TerminalDialog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t resized = 0;

void OnInterrupt(int) { interrupted = 1; }
void OnResize(int) { resized = 1; }

constexpr int kReadEnd = -1;
constexpr int kReadTimeout = -2;
constexpr int kReadResized = -3;
// How long the rest of an escape sequence may take to arrive after its Escape byte.
constexpr int kEscapeSequenceMs = 40;
// How long a terminal may take to say where its cursor is.
constexpr int kCursorReplyMs = 300;
constexpr int kInnerWidth = 72;
constexpr int kWindowWidth = kInnerWidth + 4;
// Assumed when the terminal does not tell its size.
constexpr int kDefaultColumns = 80;
constexpr int kDefaultRows = 24;

// A terminal that takes cursor movement, erasing and reverse video.
bool TakesEscapeCodes(std::FILE* output) {
    const char* term = std::getenv("TERM");
    return isatty(fileno(output)) != 0 && term != nullptr && term[0] != '\0' && std::strcmp(term, "dumb") != 0;
}

std::string Csi(int a, char final) { return "\x1b[" + std::to_string(a) + final; }
std::string Csi(int a, int b, char final) {
    return "\x1b[" + std::to_string(a) + ";" + std::to_string(b) + final;
}

std::string Fit(const std::string& text, size_t width) {
    if (text.size() <= width) {
        return text + std::string(width - text.size(), ' ');
    }
    return text.substr(0, width - 3) + "...";
}

bool IsPushButton(HWND control) {
    const DWORD style = WindowSystem::Style(control);
    return WindowSystem::ClassName(control) == "Button" && (style & WS_VISIBLE) != 0 &&
           (style & WS_DISABLED) == 0 && (style & 0xF) == BS_PUSHBUTTON;
}

}  // namespace

TerminalDialog::TerminalDialog(int inputFd, std::FILE* output) : input(inputFd), output(output) {}

bool TerminalDialog::Open(HWND) {
    if (output == nullptr || fcntl(input, F_GETFD) == -1) {
        return false;
    }
    focus = 0;
    drawn = false;
    rowShown = false;
    pushedBack = -1;
    interrupted = 0;
    resized = 0;
    interactive = isatty(input) != 0;
    escapeCodes = interactive && TakesEscapeCodes(output);
    tooSmall = false;

    // Without SA_RESTART a signal interrupts the blocking read, which then closes the window.
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &savedInterrupt);
    sigaction(SIGTERM, &action, &savedTerminate);
    sigaction(SIGHUP, &action, &savedHangup);
    action.sa_handler = OnResize;
    sigaction(SIGWINCH, &action, &savedResize);

    rawMode = false;
    if (interactive && tcgetattr(input, &savedMode) == 0) {
        termios raw = savedMode;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
        raw.c_iflag &= ~tcflag_t(ICRNL | IXON);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        rawMode = tcsetattr(input, TCSAFLUSH, &raw) == 0;
    }
    return true;
}

void TerminalDialog::Close(HWND) {
    if (escapeCodes && drawn) {
        // The whole screen scrolls again; the prompt comes back on its last line.
        std::fputs(("\x1b[r" + Csi(screenRows, 1, 'H') + "\n").c_str(), output);
    }
    if (rawMode) {
        tcsetattr(input, TCSAFLUSH, &savedMode);
        rawMode = false;
    }
    sigaction(SIGINT, &savedInterrupt, nullptr);
    sigaction(SIGTERM, &savedTerminate, nullptr);
    sigaction(SIGHUP, &savedHangup, nullptr);
    sigaction(SIGWINCH, &savedResize, nullptr);
    std::fflush(output);
}

int TerminalDialog::ReadByte(int timeoutMs) {
    if (pushedBack != -1) {
        const int byte = pushedBack;
        pushedBack = -1;
        return byte;
    }
    for (;;) {
        if (interrupted) {
            return kReadEnd;
        }
        if (resized && escapeCodes) {
            return kReadResized;
        }
        if (timeoutMs >= 0) {
            pollfd p{input, POLLIN, 0};
            const int ready = poll(&p, 1, timeoutMs);
            if (ready == 0) {
                return kReadTimeout;
            }
            if (ready < 0 && errno == EINTR) {
                continue;
            }
        }
        unsigned char byte = 0;
        const ssize_t n = read(input, &byte, 1);
        if (n == 1) {
            return byte;
        }
        if (n < 0 && errno == EINTR) {
            continue;  // the loop's head sees whether it was an interrupt
        }
        return kReadEnd;
    }
}

TerminalDialog::Key TerminalDialog::ReadKey(int& digit) {
    const int byte = ReadByte(-1);
    switch (byte) {
        case kReadEnd:
        case 0x03:  // Ctrl-C in raw mode
        case 0x04:  // Ctrl-D
            return Key::EndOfInput;
        case kReadResized:
            return Key::Resized;
        case '\r': {
            // Enter on a raw terminal sends "\r" alone; "\r\n" is a line end of piped text.
            const int next = ReadByte(kEscapeSequenceMs);
            if (next == '\n') {
                return Key::Other;
            }
            if (next >= 0) {
                pushedBack = next;
            }
            return Key::Press;
        }
        case ' ':
            return Key::Press;
        case '\t':
            return Key::Next;
        case 0x1B: {
            const int next = ReadByte(kEscapeSequenceMs);
            if (next != '[' && next != 'O') {
                if (next >= 0) {
                    pushedBack = next;
                }
                return Key::Escape;
            }
            // A control sequence: parameters, then one final byte.
            int final = ReadByte(kEscapeSequenceMs);
            while (final >= 0x20 && final < 0x40) {
                final = ReadByte(kEscapeSequenceMs);
            }
            switch (final) {
                case 'B':
                case 'C': return Key::Next;
                case 'A':
                case 'D':
                case 'Z': return Key::Previous;
                default: return Key::Other;
            }
        }
        default:
            if (byte >= '1' && byte <= '9') {
                digit = byte - '0';
                return Key::Digit;
            }
            return Key::Other;
    }
}

std::vector<HWND> TerminalDialog::Buttons(HWND dialog) const {
    std::vector<HWND> buttons;
    for (HWND child : WindowSystem::Children(dialog)) {
        if (IsPushButton(child)) {
            buttons.push_back(child);
        }
    }
    return buttons;
}

std::vector<std::string> TerminalDialog::WindowLines(HWND dialog) const {
    const std::string rule = "+" + std::string(kInnerWidth + 2, '-') + "+";
    std::vector<std::string> lines{rule, "| " + Fit(WindowSystem::WindowText(dialog), kInnerWidth) + " |", rule};
    for (HWND child : WindowSystem::Children(dialog)) {
        if (WindowSystem::ClassName(child) != "Static" || (WindowSystem::Style(child) & WS_VISIBLE) == 0) {
            continue;
        }
        const std::string label = WindowSystem::WindowText(child);
        if (!label.empty()) {
            lines.push_back("| " + Fit(label, kInnerWidth) + " |");
            continue;
        }
        // An area drawn by something else (a hosted control): show what it holds.
        const std::string inner = "| +" + std::string(kInnerWidth - 2, '-') + "+ |";
        const std::string blank = "| |" + std::string(kInnerWidth - 2, ' ') + "| |";
        lines.insert(lines.end(), {inner, blank, "| | " + Fit(WindowSystem::ContentText(child), kInnerWidth - 4) + " | |",
                                   blank, inner});
    }
    lines.push_back(rule);
    const size_t count = Buttons(dialog).size();
    if (count > 0) {
        lines.push_back(" Keys: 1-" + std::to_string(count) +
                        " or Tab/arrows and Enter press a button; Ctrl-C or Ctrl-D closes.");
    }
    return lines;
}

void TerminalDialog::Draw(HWND dialog) {
    if (escapeCodes) {
        DrawOnScreen(dialog, !drawn);
        return;
    }
    std::string text;
    for (const std::string& line : WindowLines(dialog)) {
        text += line + "\n";
    }
    std::fputs(text.c_str(), output);
    if (!interactive) {
        ShowButtonRow(dialog);
        std::fputs("\n", output);
    }
    std::fflush(output);
}

// Where the cursor stands (1-based), asked of the terminal; false when it does not answer in
// time. Keys typed before the answer are dropped.
bool TerminalDialog::CursorPosition(int& row, int& column) {
    std::fputs("\x1b[6n", output);
    std::fflush(output);
    // The answer is ESC [ row ; column R.
    int state = 0;
    row = 0;
    column = 0;
    for (int i = 0; i < 64; ++i) {
        const int byte = ReadByte(kCursorReplyMs);
        if (byte < 0) {
            return false;
        }
        if (byte == 0x1B) {
            state = 1;
            row = column = 0;
        } else if (state == 1 && byte == '[') {
            state = 2;
        } else if (state == 2 && byte >= '0' && byte <= '9') {
            row = std::min(row * 10 + (byte - '0'), 100000);
        } else if (state == 2 && byte == ';') {
            state = 3;
        } else if (state == 3 && byte >= '0' && byte <= '9') {
            column = std::min(column * 10 + (byte - '0'), 100000);
        } else if (state == 3 && byte == 'R') {
            return row > 0 && column > 0;
        } else {
            state = 0;
        }
    }
    return false;
}

// The window from the top line, the button row under it, and below that a scrolling region
// for whatever else is written to the terminal, so that the window stays whole. The first
// time, what the terminal showed above the cursor (the launcher's own lines among it) is kept
// where it fits, moved into the scrolling region; a redraw after a resize starts afresh.
void TerminalDialog::DrawOnScreen(HWND dialog, bool keepShown) {
    winsize size{};
    const bool known = ioctl(fileno(output), TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0;
    screenRows = known ? size.ws_row : kDefaultRows;
    const int columns = known ? size.ws_col : kDefaultColumns;
    const std::vector<std::string> lines = WindowLines(dialog);
    buttonRowLine = static_cast<int>(lines.size()) + 1;
    // The window, its button row and one line of the scrolling region.
    tooSmall = columns < kWindowWidth || screenRows < buttonRowLine + 1;

    std::string text = "\x1b[r";
    int row = 0;
    int column = 0;
    int kept = 0;
    if (tooSmall || !keepShown || !CursorPosition(row, column)) {
        text += "\x1b[H\x1b[2J";
    } else {
        // Lines 1..shown hold output; the last `kept` of them go just below the button row.
        const int shown = std::min(column > 1 ? row : row - 1, screenRows);
        kept = std::clamp(shown, 0, screenRows - buttonRowLine - 1);
        const int shift = buttonRowLine + kept - shown;
        if (shift > 0) {
            text += "\x1b[H" + Csi(shift, 'L');  // down: lines inserted at the top
        } else if (shift < 0) {
            text += Csi(screenRows, 1, 'H') + std::string(static_cast<size_t>(-shift), '\n');  // up
        }
        text += "\x1b[H";
    }
    if (tooSmall) {
        text += "terminal too small";
    } else {
        for (const std::string& line : lines) {
            text += "\x1b[2K" + line + "\n";
        }
        text += Csi(buttonRowLine + 1, screenRows, 'r') + Csi(buttonRowLine + 1 + kept, 1, 'H');
    }
    std::fputs(text.c_str(), output);
    std::fflush(output);
}

void TerminalDialog::ShowButtonRow(HWND dialog) {
    const std::vector<HWND> buttons = Buttons(dialog);
    std::string row;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const bool focused = interactive && i == focus;
        const std::string label = std::to_string(i + 1) + " " + WindowSystem::WindowText(buttons[i]);
        if (!focused) {
            row += " [" + label + "]";
        } else if (escapeCodes) {
            row += " \x1b[7m[" + label + "]\x1b[0m";
        } else {
            row += " <" + label + ">";
        }
    }
    if (escapeCodes) {
        if (tooSmall) {
            return;
        }
        // Drawn in its own line, the cursor put back where other output goes.
        row = "\x1b" "7" + Csi(buttonRowLine, 1, 'H') + "\x1b[2K" + row + "\x1b" "8";
    } else if (interactive) {
        row = "\r" + row;  // focus marks keep the row's length, so it overwrites itself
    }
    std::fputs(row.c_str(), output);
    std::fflush(output);
}

bool TerminalDialog::NextMessage(HWND dialog, MSG& message) {
    for (;;) {
        if (!drawn || (resized && escapeCodes)) {
            resized = 0;
            Draw(dialog);
            drawn = true;
            rowShown = false;
        }
        const std::vector<HWND> buttons = Buttons(dialog);
        if (focus >= buttons.size()) {
            focus = 0;
        }
        if (interactive && !rowShown) {
            ShowButtonRow(dialog);
            rowShown = true;
        }
        int digit = 0;
        const Key key = ReadKey(digit);
        HWND pressed = nullptr;
        switch (key) {
            case Key::EndOfInput:
                if (interactive && !escapeCodes) {
                    std::fputs("\n", output);
                }
                return false;
            case Key::Resized: continue;
            case Key::Escape:
                message = MSG{dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, 0, {}};
                return true;
            case Key::Next:
            case Key::Previous:
                if (!buttons.empty()) {
                    focus = key == Key::Next ? (focus + 1) % buttons.size()
                                             : (focus + buttons.size() - 1) % buttons.size();
                    rowShown = false;
                }
                continue;
            case Key::Digit:
                if (size_t(digit) > buttons.size()) {
                    continue;
                }
                focus = size_t(digit) - 1;
                pressed = buttons[focus];
                break;
            case Key::Press:
                if (buttons.empty()) {
                    continue;
                }
                pressed = buttons[focus];
                break;
            case Key::Other: continue;
        }
        if (escapeCodes) {
            ShowButtonRow(dialog);  // in place: the window does not grow
        } else if (interactive) {
            ShowButtonRow(dialog);
            std::fputs("\n", output);
            rowShown = false;
        } else {
            std::fprintf(output, "> %s\n", WindowSystem::WindowText(pressed).c_str());
        }
        std::fflush(output);
        const WORD id = static_cast<WORD>(WindowSystem::ControlId(pressed));
        message = MSG{dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(pressed), 0, {}};
        return true;
    }
}

DialogBackend& TerminalDialogBackend() {
    static TerminalDialog terminal(0, stdout);
    return terminal;
}
