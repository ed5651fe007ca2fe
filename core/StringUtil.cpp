#include "core/StringUtil.h"

#include <algorithm>

void Trim(std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsWhitespace(text[end - 1])) {
        --end;
    }
    size_t begin = 0;
    while (begin < end && IsWhitespace(text[begin])) {
        ++begin;
    }
    // In place: no new string for every line and token.
    if (end < text.size()) {
        text.erase(end);
    }
    if (begin > 0) {
        text.erase(0, begin);
    }
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumber(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == '.' || c == '-'; });
}

bool IsInteger(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == '-'; });
}

void ToUpper(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

void ToLower(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}
