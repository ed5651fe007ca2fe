// The launcher's application object and the program's entry point.
//
// The entry point initialises COM, runs the one CPLauncher and always returns 0. Run reads
// "config.cfg", shows the start window as a modal dialog (its message loop is the program's
// only loop), closes the hosted browser, and hands over through the shell: to the game for
// "Start Game", otherwise to the publisher's statistics page. Nothing waits for the program
// or page it opens.
#pragma once

#include "core/ShuttingDown.h"
#include "platform/ui/WinUser.h"

class CPLauncher {
public:
    CPLauncher();
    virtual ~CPLauncher();
    CPLauncher(const CPLauncher&) = delete;
    CPLauncher& operator=(const CPLauncher&) = delete;

    // Returns the shell's result for the hand-off (above 32 when it started).
    int Run(HINSTANCE instance, int showCommand);

    static CPLauncher* Instance;
};

// Reads neither the command line nor the previous instance; returns 0.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
