// Searches hold their sorted matches; a handle is the address of its search, checked against
// the set of open searches so a stale or foreign handle fails instead of being dereferenced.
#include "platform/files/FindFile.h"

#include "platform/files/HostFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct Search {
    std::vector<WIN32_FIND_DATAA> Matches;
    size_t Next = 0;
};

struct Searches {
    std::mutex Lock;
    std::unordered_set<Search*> Open;
};

Searches& GetSearches() {
    static Searches searches;
    return searches;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool MatchFrom(const char* pattern, const char* name) {
    // Iterative glob with one back-track point for the last "*": linear in practice.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || (*pattern != '\0' && Upper(*pattern) == Upper(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

FILETIME ToFileTime(const timespec& t) {
    // Seconds from 1601-01-01 to 1970-01-01.
    constexpr uint64_t EpochDifference = 11644473600ull;
    const uint64_t ticks = (static_cast<uint64_t>(t.tv_sec) + EpochDifference) * 10'000'000ull +
                           static_cast<uint64_t>(t.tv_nsec) / 100;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

WIN32_FIND_DATAA Describe(const std::string& name, const struct stat& info) {
    WIN32_FIND_DATAA data;
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name.size() > 1 && name[0] == '.' && name != "..") {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    data.dwFileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    data.ftCreationTime = ToFileTime(info.st_mtim);
    data.ftLastAccessTime = ToFileTime(info.st_atim);
    data.ftLastWriteTime = ToFileTime(info.st_mtim);
    const uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    std::strncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
    return data;
}

bool LessIgnoringCase(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    const bool aDots = std::strcmp(a.cFileName, ".") == 0 || std::strcmp(a.cFileName, "..") == 0;
    const bool bDots = std::strcmp(b.cFileName, ".") == 0 || std::strcmp(b.cFileName, "..") == 0;
    if (aDots != bDots) {
        return aDots;
    }
    for (size_t i = 0;; ++i) {
        const char ca = Upper(a.cFileName[i]);
        const char cb = Upper(b.cFileName[i]);
        if (ca != cb || ca == '\0') {
            return ca != cb ? static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb)
                            : std::strcmp(a.cFileName, b.cFileName) < 0;
        }
    }
}

}  // namespace

namespace FindFile {

bool Matches(const char* pattern, const char* name) {
    if (std::strcmp(pattern, "*.*") == 0) {
        return true;
    }
    if (MatchFrom(pattern, name)) {
        return true;
    }
    // "name.*" also finds "name".
    const size_t length = std::strlen(pattern);
    if (length >= 2 && pattern[length - 2] == '.' && pattern[length - 1] == '*' && std::strchr(name, '.') == nullptr) {
        const std::string stem(pattern, length - 2);
        return MatchFrom(stem.c_str(), name);
    }
    return false;
}

int OpenSearches() {
    Searches& searches = GetSearches();
    std::lock_guard<std::mutex> guard(searches.Lock);
    return static_cast<int>(searches.Open.size());
}

}  // namespace FindFile

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATAA* findData) {
    if (fileName == nullptr || findData == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = fileName;
    const size_t separator = path.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    const std::string pattern = separator == std::string::npos ? path : path.substr(separator + 1);
    if (pattern.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    const std::string hostFolder = folder.empty() ? std::string(".") : HostFiles::Resolve(folder);
    DIR* dir = opendir(hostFolder.c_str());
    if (dir == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const bool atRoot = hostFolder == "/";
    auto search = std::make_unique<Search>();
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const bool dots = name == "." || name == "..";
        if ((dots && atRoot) || !FindFile::Matches(pattern.c_str(), name.c_str())) {
            continue;
        }
        struct stat info{};
        if (stat((hostFolder + "/" + name).c_str(), &info) != 0) {
            continue;  // gone meanwhile, or a dangling link
        }
        search->Matches.push_back(Describe(name, info));
    }
    closedir(dir);
    if (search->Matches.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    std::sort(search->Matches.begin(), search->Matches.end(), LessIgnoringCase);
    *findData = search->Matches[0];
    search->Next = 1;
    Searches& searches = GetSearches();
    std::lock_guard<std::mutex> guard(searches.Lock);
    Search* handle = search.release();
    searches.Open.insert(handle);
    return handle;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* findData) {
    Searches& searches = GetSearches();
    std::lock_guard<std::mutex> guard(searches.Lock);
    auto it = searches.Open.find(static_cast<Search*>(find));
    if (it == searches.Open.end() || findData == nullptr) {
        return FALSE;
    }
    Search* search = *it;
    if (search->Next >= search->Matches.size()) {
        return FALSE;
    }
    *findData = search->Matches[search->Next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    Searches& searches = GetSearches();
    std::lock_guard<std::mutex> guard(searches.Lock);
    auto it = searches.Open.find(static_cast<Search*>(find));
    if (it == searches.Open.end()) {
        return FALSE;
    }
    delete *it;
    searches.Open.erase(it);
    return TRUE;
}
