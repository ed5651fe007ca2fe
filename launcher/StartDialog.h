// The start window: dialog template 101 and its procedure.
//
// The window is a fixed-size popup with no title bar: the browser area (1026) over the top,
// the buttons "Start Game" (1000), "Game Settings" (1001), "Readme.txt" (1005) and "Exit"
// (1002) along the bottom. 1003 and 1004 ("Start in windowed/fullscreen mode") exist in the
// template but are never shown or enabled. Start, Exit and closing end the dialog with the
// button's id (closing counts as Exit); settings and readme open their file and keep the
// dialog up.
#pragma once

#include "platform/ui/WinUser.h"

namespace StartDialog {

constexpr WORD TemplateId = 101;
constexpr int StartGame = 1000;
constexpr int GameSettings = 1001;
constexpr int Exit = 1002;
constexpr int StartWindowed = 1003;
constexpr int StartFullscreen = 1004;
constexpr int Readme = 1005;
constexpr int BrowserArea = 1026;

// Template 101 as data, in dialog units.
const DialogTemplate& Template();
// Makes template 101 available to DialogBoxParamA for this program's module.
void RegisterTemplate();

}  // namespace StartDialog

INT_PTR StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
