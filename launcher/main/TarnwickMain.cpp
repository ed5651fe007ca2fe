// The program: the launcher's entry point under a POSIX main. The command line is not read.
#include "launcher/CPLauncher.h"

int main() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT); }
