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

bool LessIgnoringCase(const char* a, const char* b) {
    const bool aDots = std::strcmp(a, ".") == 0 || std::strcmp(a, "..") == 0;
    const bool bDots = std::strcmp(b, ".") == 0 || std::strcmp(b, "..") == 0;
    if (aDots != bDots) {
        return aDots;
    }
    for (size_t i = 0;; ++i) {
        const char ca = Upper(a[i]);
        const char cb = Upper(b[i]);
        if (ca != cb || ca == '\0') {
            return ca != cb ? static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) : std::strcmp(a, b) < 0;
        }
    }
}

// The folder of a search and the pattern its names are matched against.
struct SearchPath {
    std::string HostFolder;
    std::string Pattern;
};

bool SplitSearch(const char* fileName, SearchPath& search) {
    const std::string path = fileName;
    const size_t separator = path.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    search.Pattern = separator == std::string::npos ? path : path.substr(separator + 1);
    if (search.Pattern.empty()) {
        return false;
    }
    search.HostFolder = folder.empty() ? std::string(".") : HostFiles::Resolve(folder);
    return true;
}

// Calls found(name, entry) for each entry of the search's folder its pattern matches.
template <class Found>
bool ForEachMatch(const SearchPath& search, Found&& found) {
    DIR* dir = opendir(search.HostFolder.c_str());
    if (dir == nullptr) {
        return false;
    }
    const bool atRoot = search.HostFolder == "/";
    while (const dirent* entry = readdir(dir)) {
        const bool dots = std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0;
        if ((dots && atRoot) || !FindFile::Matches(search.Pattern.c_str(), entry->d_name)) {
            continue;
        }
        found(*entry);
    }
    closedir(dir);
    return true;
}

}  // namespace

namespace FindFile {

std::vector<std::string> FileNames(const char* fileName) {
    std::vector<std::string> names;
    SearchPath search;
    if (fileName == nullptr || !SplitSearch(fileName, search)) {
        return names;
    }
    ForEachMatch(search, [&](const dirent& entry) {
        // What the listing shows as a plain file or a folder needs no stat; a link, or an entry
        // of no known type, is taken as the search takes it.
        bool folder = entry.d_type == DT_DIR;
        if (entry.d_type != DT_REG && entry.d_type != DT_DIR) {
            struct stat info{};
            if (stat((search.HostFolder + "/" + entry.d_name).c_str(), &info) != 0) {
                return;  // gone meanwhile, or a dangling link
            }
            folder = S_ISDIR(info.st_mode);
        }
        if (!folder) {
            names.emplace_back(entry.d_name, std::min(std::strlen(entry.d_name), static_cast<size_t>(MAX_PATH - 1)));
        }
    });
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return LessIgnoringCase(a.c_str(), b.c_str()); });
    return names;
}

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
    SearchPath path;
    if (fileName == nullptr || findData == nullptr || !SplitSearch(fileName, path)) {
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_unique<Search>();
    ForEachMatch(path, [&](const dirent& entry) {
        struct stat info{};
        if (stat((path.HostFolder + "/" + entry.d_name).c_str(), &info) != 0) {
            return;  // gone meanwhile, or a dangling link
        }
        search->Matches.push_back(Describe(entry.d_name, info));
    });
    if (search->Matches.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    std::sort(search->Matches.begin(), search->Matches.end(),
              [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                  return LessIgnoringCase(a.cFileName, b.cFileName);
              });
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
