// Splits a text into tokens at a delimiter string, optionally treating double-quoted parts
// as literal ("" inside quotes is one quote). Matching is deliberately simple: a partial
// delimiter match that fails is not retried from its second character, and a partial
// match at the very end is dropped. Existing data files are split by exactly these rules.
#pragma once

#include <string>

class CPTokenizer {
public:
    CPTokenizer(const std::string& text, const std::string& delimiter, bool quoteAware);
    virtual ~CPTokenizer() = default;

    // The next token, trimmed unless it is exactly one space; false once the text is used up.
    bool NextToken(std::string& token);

private:
    std::string Text;
    std::string Delimiter;
    size_t Position = 0;
    bool QuoteAware;
};
