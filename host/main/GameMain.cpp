// The game program "_Tarnwick.exe", run from the game folder (see host/GameProgram.h).
#include "host/GameProgram.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    GameOptions options;
    std::string error;
    if (!GameProgram::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "_Tarnwick.exe: %s\n%s", error.c_str(), GameProgram::Usage().c_str());
        return GameProgram::BadUsage;
    }
    if (options.Help) {
        std::fputs(GameProgram::Usage().c_str(), stdout);
        return GameProgram::Success;
    }
    return GameProgram::Run(options, stdout, stderr);
}
