#include "core/CPFileFinder.h"

CPFileFinder::CPFileFinder(const std::string& pattern) : Pattern(pattern) {}

CPFileFinder::~CPFileFinder() { Close(); }

void CPFileFinder::Close() {
    if (Find != INVALID_HANDLE_VALUE) {
        FindClose(Find);
        Find = INVALID_HANDLE_VALUE;
    }
}

HRESULT CPFileFinder::FindFirst() {
    Close();
    Find = FindFirstFileA(Pattern.c_str(), &FindData);
    if (Find == INVALID_HANDLE_VALUE) {
        return E_FAIL;
    }
    CurrentName = FindData.cFileName;
    return S_OK;
}

std::vector<std::string> CPFileFinder::FileNames(const std::string& pattern) {
    return FindFile::FileNames(pattern.c_str());
}
