// Directory search the Win32 way: FindFirstFileA / FindNextFileA / FindClose.
//
// The pattern is an engine path whose last component may hold the wildcards "*" (any run of
// characters) and "?" (one character); the folder part is resolved through HostFiles and the
// names are matched without regard to case. "*.*" matches every name, and a pattern ending in
// ".*" also matches the name without an extension, as on Windows. Matches come in
// case-insensitive name order, "." and ".." first when the pattern matches them (not at the
// root). The matches are taken when the search starts.
#pragma once

#include "platform/win32/WinTypes.h"

#include <string>
#include <vector>

constexpr DWORD MAX_PATH = 260;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    DWORD dwReserved0 = 0;
    DWORD dwReserved1 = 0;
    char cFileName[MAX_PATH] = {};
    char cAlternateFileName[14] = {};
};
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

// INVALID_HANDLE_VALUE when nothing matches (or the folder does not exist).
HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData);
// FALSE when there are no more matches or the handle is not an open search.
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* findData);
BOOL FindClose(HANDLE find);

namespace FindFile {

// Searches started and not yet closed, for tests of handle leaks.
int OpenSearches();
// True when name matches the wildcard pattern without regard to case (the rules above).
bool Matches(const char* pattern, const char* name);
// The names of what the search would find, in its order, folders left out: a search without
// the attributes, so an entry the folder's listing shows as a file or a folder costs no stat.
std::vector<std::string> FileNames(const char* fileName);

}  // namespace FindFile
