// System functions: open a link or a file with the program the desktop associates with it,
// test whether a file exists, read the screen width and the size of a picture file, and the
// log function that keeps nothing.
//
// Paths are engine paths and go through the path layer (any letter case, "\" separators).
// Links and files are handed to the shell's "open" (platform/ui/Shell.h), which gives a web
// address or a document to xdg-open as one argument, never through a command shell; a failed
// hand-off is reported to the log. The picture size is read from the header alone.
#include "script/ScriptAreas.h"

#include "script/ImageSize.h"
#include "script/ScriptApi.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "platform/files/HostFiles.h"
#include "platform/ui/Shell.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace Script {

namespace {

void OpenWithShell(const char* function, const std::string& target) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), "", "", SW_SHOWNORMAL));
    if (result <= 32) {
        CPLog::GetInstance().Write(0, "%s: cannot open \"%s\" (shell result %d)\n", function, target.c_str(),
                                   static_cast<int>(result));
    }
}

// Whether the path names a regular file that can be opened for reading (a folder, a FIFO or a
// device is not a file).
bool IsReadableFile(const std::string& path) {
    std::FILE* file = HostFiles::Open(path, "rb");
    if (file == nullptr) {
        return false;
    }
    struct stat info{};
    const bool regular = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
    std::fclose(file);
    return regular;
}

int GoURLlink(lua_State* L) {
    const std::string target = CheckText(L, 1);
    OpenWithShell("GoURLlink", target);
    return 0;
}

int GoURL(lua_State* L) {
    const std::string path = CheckText(L, 1);
    if (IsReadableFile(path)) {
        OpenWithShell("GoURL", path);
    }
    return 0;
}

int IsFileExists(lua_State* L) {
    const bool exists = IsReadableFile(CheckText(L, 1));
    lua_pushboolean(L, exists);
    return 1;
}

int GetCurrentResolution(lua_State* L) {
    lua_pushnumber(L, Cfg::screenWidth);
    return 1;
}

int GetTextureSize(lua_State* L) {
    ImageSize size;
    {
        CPFileReader reader(CheckText(L, 1), false);
        if (SUCCEEDED(reader.Load())) {
            ReadImageSize(reader.GetData(), static_cast<size_t>(reader.GetLength()), size);
        }
    }
    lua_pushnumber(L, size.Width);
    lua_pushnumber(L, size.Height);
    return 2;
}

int SaveLog(lua_State* L) {
    (void)lua_tostring(L, 1);  // read, as the game does, and dropped
    return 0;
}

}  // namespace

extern const luaL_Reg SystemFunctionsA[] = {
    {"SaveLog", SaveLog},
    {"GetCurrentResolution", GetCurrentResolution},
    {"IsFileExists", IsFileExists},
    {"GetTextureSize", GetTextureSize},
    {"GoURL", GoURL},
    {"GoURLlink", GoURLlink},
    {nullptr, nullptr},
};

}  // namespace Script
