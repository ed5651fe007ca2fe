#include "platform/ui/ScriptedDialog.h"

ScriptedDialog& ScriptedDialog::Command(WORD id) { return Message(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

ScriptedDialog& ScriptedDialog::Message(UINT message, WPARAM wParam, LPARAM lParam) {
    queue.push_back(Step{MSG{nullptr, message, wParam, lParam, 0, {}}, nullptr});
    return *this;
}

ScriptedDialog& ScriptedDialog::Check(std::function<void(HWND)> check) {
    queue.push_back(Step{MSG{}, std::move(check)});
    return *this;
}

ScriptedDialog& ScriptedDialog::FailOpen() {
    failOpen = true;
    return *this;
}

bool ScriptedDialog::Open(HWND) {
    if (failOpen) {
        return false;
    }
    ++opened;
    return true;
}

bool ScriptedDialog::NextMessage(HWND dialog, MSG& message) {
    while (!queue.empty()) {
        Step step = std::move(queue.front());
        queue.pop_front();
        if (step.Check) {
            step.Check(dialog);
            continue;
        }
        message = step.Message;
        message.hwnd = dialog;
        return true;
    }
    return false;
}

void ScriptedDialog::Close(HWND) { ++closed; }
