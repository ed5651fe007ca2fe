// The host's part in data files: telling the engine which pack files the game folder holds.
#include "host/Host.h"

#include "core/CPLog.h"
#include "core/PackFiles.h"

int Host::AddPackFiles(const std::string& pattern) {
    std::vector<std::string> refused;
    const int added = ::AddPackFiles(pattern, &refused);
    // A damaged pack is said once, however often the folder is searched again.
    for (const std::string& path : refused) {
        if (reportedPacks.insert(path).second) {
            CPLog::GetInstance().Write(0, "Pack file \"%s\" is damaged or unreadable and is passed over\n",
                                       path.c_str());
        }
    }
    return added;
}
