// The modal-dialog backend for a person at a terminal: the dialog is drawn as text (its
// caption, its static areas with what they show, its visible push buttons in tab order) and
// keys are read from the input:
//   1..9          press that button (numbered in tab order)
//   Tab, arrows   move the focus; Enter or Space presses the focused button
//   Escape        the cancel command (IDCANCEL), as a dialog's Escape key gives
//   Ctrl-C, Ctrl-D, end of input: the window closes (WM_CLOSE)
// On a terminal the input is switched to raw mode for the dialog's life and restored after;
// from a pipe the same bytes are read as they come, with line ends ("\n", "\r\n") ignored.
#pragma once

#include "platform/ui/WinUser.h"

#include <csignal>
#include <cstdio>
#include <termios.h>

class TerminalDialog : public DialogBackend {
public:
    TerminalDialog(int inputFd, std::FILE* output);

    bool Open(HWND dialog) override;
    bool NextMessage(HWND dialog, MSG& message) override;
    void Close(HWND dialog) override;

private:
    enum class Key { EndOfInput, Escape, Press, Next, Previous, Digit, Other };

    int ReadByte(int timeoutMs);
    Key ReadKey(int& digit);
    std::vector<HWND> Buttons(HWND dialog) const;
    void Draw(HWND dialog);
    void ShowButtonRow(HWND dialog);

    int input;
    std::FILE* output;
    bool interactive = false;
    bool rawMode = false;
    termios savedMode{};
    struct sigaction savedInterrupt{}, savedTerminate{}, savedHangup{};
    int pushedBack = -1;
    size_t focus = 0;
    bool drawn = false;
    bool rowShown = false;
};

// The backend used unless another is set: standard input and output.
DialogBackend& TerminalDialogBackend();
