// The program: the launcher's entry point under a POSIX main. The command line is not read.
// The log's reports go to standard error, below the start window.
#include "core/CPLog.h"
#include "launcher/CPLauncher.h"

int main() {
    CPLog::GetInstance().SetSink(CPLog::StreamSink(stderr));
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}
