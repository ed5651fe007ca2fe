// "config.cfg": any bytes, read through the registry as the launcher and the host read it.
#include "FuzzFiles.h"

#include "core/CPConfig.h"
#include "core/ConfigVars.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("config.cfg", data, size);
    // One registry for the whole run, as in the game: its variable objects are never freed.
    static CPConfig config;
    Cfg::ResetDefaults();
    Fuzz::Check(config.Load(path), "a readable regular file loads");
    return 0;
}
