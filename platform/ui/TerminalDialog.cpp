#include "platform/ui/TerminalDialog.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

constexpr int kReadEnd = -1;
constexpr int kReadTimeout = -2;
// How long the rest of an escape sequence may take to arrive after its Escape byte.
constexpr int kEscapeSequenceMs = 40;
constexpr int kInnerWidth = 72;

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
    interactive = isatty(input) != 0;

    // Without SA_RESTART a signal interrupts the blocking read, which then closes the window.
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &savedInterrupt);
    sigaction(SIGTERM, &action, &savedTerminate);
    sigaction(SIGHUP, &action, &savedHangup);

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
    if (rawMode) {
        tcsetattr(input, TCSAFLUSH, &savedMode);
        rawMode = false;
    }
    sigaction(SIGINT, &savedInterrupt, nullptr);
    sigaction(SIGTERM, &savedTerminate, nullptr);
    sigaction(SIGHUP, &savedHangup, nullptr);
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

void TerminalDialog::Draw(HWND dialog) {
    const std::string rule = "+" + std::string(kInnerWidth + 2, '-') + "+\n";
    std::string text = rule;
    text += "| " + Fit(WindowSystem::WindowText(dialog), kInnerWidth) + " |\n";
    text += rule;
    for (HWND child : WindowSystem::Children(dialog)) {
        if (WindowSystem::ClassName(child) != "Static" || (WindowSystem::Style(child) & WS_VISIBLE) == 0) {
            continue;
        }
        const std::string label = WindowSystem::WindowText(child);
        if (!label.empty()) {
            text += "| " + Fit(label, kInnerWidth) + " |\n";
            continue;
        }
        // An area drawn by something else (a hosted control): show what it holds.
        const std::string inner = "| +" + std::string(kInnerWidth - 2, '-') + "+ |\n";
        const std::string blank = "| |" + std::string(kInnerWidth - 2, ' ') + "| |\n";
        text += inner + blank;
        text += "| | " + Fit(WindowSystem::ContentText(child), kInnerWidth - 4) + " | |\n";
        text += blank + inner;
    }
    text += rule;
    const size_t count = Buttons(dialog).size();
    if (count > 0) {
        text += " Keys: 1-" + std::to_string(count) +
                " or Tab/arrows and Enter press a button; Esc; Ctrl-C or Ctrl-D closes the window.\n";
    }
    std::fputs(text.c_str(), output);
    if (!interactive) {
        ShowButtonRow(dialog);
        std::fputs("\n", output);
    }
    std::fflush(output);
}

void TerminalDialog::ShowButtonRow(HWND dialog) {
    const std::vector<HWND> buttons = Buttons(dialog);
    std::string row = interactive ? "\r\x1b[K" : "";
    for (size_t i = 0; i < buttons.size(); ++i) {
        const bool focused = interactive && i == focus;
        row += focused ? " \x1b[7m[" : " [";
        row += std::to_string(i + 1);
        row += ' ';
        row += WindowSystem::WindowText(buttons[i]);
        row += focused ? "]\x1b[0m" : "]";
    }
    std::fputs(row.c_str(), output);
    std::fflush(output);
}

bool TerminalDialog::NextMessage(HWND dialog, MSG& message) {
    if (!drawn) {
        Draw(dialog);
        drawn = true;
    }
    for (;;) {
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
                if (interactive) {
                    std::fputs("\n", output);
                }
                return false;
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
        if (interactive) {
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
