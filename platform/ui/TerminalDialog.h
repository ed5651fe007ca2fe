// The modal-dialog backend for a person at a terminal: the dialog is drawn as text (its
// caption, its static areas with what they show, its visible push buttons in tab order) and
// keys are read from the input:
//   1..9          press that button (numbered in tab order)
//   Tab, arrows   move the focus; Enter (a lone CR) or Space presses the focused button
//   Escape        the cancel command (IDCANCEL), as a dialog's Escape key gives
//   Ctrl-C, Ctrl-D, end of input: the window closes (WM_CLOSE)
// On a terminal the input is switched to raw mode for the dialog's life and restored after;
// from a pipe the same bytes are read as they come, with line ends ("\n", "\r\n") ignored.
//
// Three ways of drawing. Piped input: the window once, then a line per pressed button. A
// terminal that takes escape codes (output is a terminal, TERM set and not "dumb"): the window
// at the top of the screen, the button row updated in place, and the lines below it a
// scrolling area that keeps what the terminal showed before and where other output (a failed
// hand-off's line) goes; redrawn when the terminal is resized, and "terminal too small" when the window does not fit. Any other terminal gets
// plain text with no escape codes, the focused button marked <like this>.
#pragma once

#include "platform/ui/WinUser.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <termios.h>
#include <vector>

class TerminalDialog : public DialogBackend {
public:
    TerminalDialog(int inputFd, std::FILE* output);

    bool Open(HWND dialog) override;
    bool NextMessage(HWND dialog, MSG& message) override;
    void Close(HWND dialog) override;

private:
    enum class Key { EndOfInput, Escape, Press, Next, Previous, Digit, Resized, Other };

    int ReadByte(int timeoutMs);
    Key ReadKey(int& digit);
    std::vector<HWND> Buttons(HWND dialog) const;
    std::vector<std::string> WindowLines(HWND dialog) const;
    void Draw(HWND dialog);
    void DrawOnScreen(HWND dialog, bool keepShown);
    bool CursorPosition(int& row, int& column);
    void ShowButtonRow(HWND dialog);

    int input;
    std::FILE* output;
    bool interactive = false;
    bool escapeCodes = false;  // the output is a terminal that takes them
    bool rawMode = false;
    termios savedMode{};
    struct sigaction savedInterrupt{}, savedTerminate{}, savedHangup{}, savedResize{};
    int pushedBack = -1;
    size_t focus = 0;
    bool drawn = false;
    bool rowShown = false;
    // With escape codes: the screen's size when last drawn, the button row's line (1-based),
    // and whether the window did not fit.
    int screenRows = 0;
    int buttonRowLine = 0;
    bool tooSmall = false;
};

// The backend used unless another is set: standard input and output.
DialogBackend& TerminalDialogBackend();
