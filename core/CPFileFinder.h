// Finds the first file matching a path pattern ("Data\Levels\*.lvl"), through the platform's
// directory search. The search is closed when the finder is destroyed or searches again.
#pragma once

#include "platform/files/FindFile.h"

#include <string>
#include <vector>

class CPFileFinder {
public:
    explicit CPFileFinder(const std::string& pattern);
    virtual ~CPFileFinder();

    CPFileFinder(const CPFileFinder&) = delete;
    CPFileFinder& operator=(const CPFileFinder&) = delete;

    // S_OK with CurrentName set to the first match's file name (without its folder), or E_FAIL
    // when nothing matches.
    HRESULT FindFirst();
    // The names (without their folder) of every regular file matching the pattern, in the
    // search's name order; folders are left out.
    static std::vector<std::string> FileNames(const std::string& pattern);
    const std::string& GetCurrentName() const { return CurrentName; }
    const WIN32_FIND_DATAA& GetFindData() const { return FindData; }

private:
    void Close();

    std::string Pattern;
    HANDLE Find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA FindData;
    std::string CurrentName;
};
