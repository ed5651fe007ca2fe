#include "core/CPTokenizer.h"

#include "core/StringUtil.h"

CPTokenizer::CPTokenizer(const std::string& text, const std::string& delimiter, bool quoteAware)
    : Text(text), Delimiter(delimiter), QuoteAware(quoteAware) {
    Trim(Text);
}

bool CPTokenizer::NextToken(std::string& token) {
    token.clear();
    if (Text.empty() || Position >= Text.size()) {
        return false;
    }
    bool inQuotes = false;
    size_t matched = 0;
    std::string pending;
    while (Position < Text.size()) {
        const char c = Text[Position];
        if (QuoteAware && c == '"') {
            if (inQuotes && Position + 1 < Text.size() && Text[Position + 1] == '"') {
                token += '"';
                ++Position;
            } else {
                inQuotes = !inQuotes;
            }
        } else if (inQuotes) {
            token += c;
        } else if (!Delimiter.empty() && c == Delimiter[matched]) {
            ++matched;
            if (matched == Delimiter.size()) {
                ++Position;
                break;
            }
            pending += c;
        } else {
            if (matched > 0) {
                token += pending;
                pending.clear();
                matched = 0;
            }
            token += c;
        }
        ++Position;
    }
    if (token != " ") {
        Trim(token);
    }
    return true;
}
