// The game program's command line: the input split at NUL bytes into arguments. Any arguments
// are either refused with a reason or give options inside their documented ranges.
#include "FuzzFiles.h"

#include "host/GameProgram.h"

#include <cmath>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"_Tarnwick.exe"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) {
        argv.push_back(w.c_str());
    }

    GameOptions options;
    std::string error;
    if (!GameProgram::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error)) {
        Fuzz::Check(!error.empty(), "a refusal says why");
        return 0;
    }
    Fuzz::Check(options.Laps >= 1 && options.Laps <= 20, "laps from 1 to 20");
    Fuzz::Check(options.FrameTime == 0.0f || (std::isnormal(options.FrameTime) && options.FrameTime > 0.0f &&
                                              options.FrameTime <= 1.0f),
                "a frame time that is a normal float above 0 and at most 1");
    Fuzz::Check(options.FrameLimit >= 0, "no negative frame limit");
    Fuzz::Check(options.DumpFrames.empty() || *options.DumpFrames.begin() >= 1, "frames count from 1");
    Fuzz::Check(options.Race.find_first_of("/\\") == std::string::npos, "a level name, not a path");
    Fuzz::Check(!options.DumpFolder.empty(), "a dump folder");
    (void)GameProgram::StartParams(options);
    return 0;
}
