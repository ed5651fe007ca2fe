#include "launcher/CPLauncher.h"

#include "core/CPConfig.h"
#include "launcher/CPWebHost.h"
#include "launcher/PublisherSite.h"
#include "launcher/StartDialog.h"
#include "platform/win32/ComRuntime.h"
#include "platform/ui/Ole.h"
#include "platform/ui/Shell.h"

#include <cerrno>
#include <cstdio>

namespace {

// How long the launcher waits at its end for xdg-open to say whether it opened what it was
// given: long enough for a desktop's opener to fail, short enough not to hang a closing program.
constexpr int HandOffWaitMilliseconds = 3000;

}  // namespace

CPLauncher* CPLauncher::Instance = nullptr;

CPLauncher::CPLauncher() { Instance = this; }

CPLauncher::~CPLauncher() { Instance = nullptr; }

int CPLauncher::Run(HINSTANCE, int) {
    // The registry lives until the process ends; the launcher itself reads no key.
    new CPConfig;
    if (!CPConfig::Instance->Load("config.cfg")) {
        std::fprintf(stderr, "%s: \"config.cfg\" is missing or unreadable; using the defaults\n",
                     program_invocation_short_name);
    }

    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(StartDialog::TemplateId),
                                           nullptr, StartDialogProc, 0);

    // No host when the window could not be made.
    if (CPWebHost* host = CPWebHost::Instance) {
        host->CloseBrowser();
        host->Release();
        CPWebHost::Instance = nullptr;
    }
    OleUninitialize();

    const bool startGame = result == StartDialog::StartGame || result == StartDialog::StartWindowed ||
                           result == StartDialog::StartFullscreen;
    const std::string file = startGame ? "_Tarnwick.exe" : PublisherSite::StatisticsPage();
    const HINSTANCE started = ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOWNORMAL);
    return static_cast<int>(reinterpret_cast<INT_PTR>(started));
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    CoInitialize(nullptr);
    new CPLauncher;
    CPLauncher::Instance->Run(instance, showCommand);
    ShuttingDown = true;
    if (CPLauncher::Instance != nullptr) {
        delete CPLauncher::Instance;
    }
    CoUninitialize();
    // A readme or page handed to xdg-open may still fail: its line comes before we exit.
    Shell::AwaitHandOffs(HandOffWaitMilliseconds);
    return 0;
}
