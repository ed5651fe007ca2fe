// The modal-dialog backend for tests: a queue of messages delivered in order, then end of
// input (the dialog receives WM_CLOSE). It can also refuse to make the window, and run a
// check between messages while the dialog is up.
#pragma once

#include "platform/ui/WinUser.h"

#include <deque>
#include <functional>

class ScriptedDialog : public DialogBackend {
public:
    // A button click: WM_COMMAND with the id in the low 16 bits of wParam.
    ScriptedDialog& Command(WORD id);
    ScriptedDialog& Message(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Runs with the dialog's handle when its turn in the queue comes.
    ScriptedDialog& Check(std::function<void(HWND)> check);
    // The window cannot be made: the dialog call fails before WM_INITDIALOG.
    ScriptedDialog& FailOpen();

    bool Open(HWND dialog) override;
    bool NextMessage(HWND dialog, MSG& message) override;
    void Close(HWND dialog) override;

    int OpenCount() const { return opened; }
    int CloseCount() const { return closed; }
    size_t Pending() const { return queue.size(); }

private:
    struct Step {
        MSG Message;
        std::function<void(HWND)> Check;
    };
    std::deque<Step> queue;
    bool failOpen = false;
    int opened = 0;
    int closed = 0;
};
