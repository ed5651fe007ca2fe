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
    const size_t size = Text.size();
    bool inQuotes = false;
    size_t matched = 0;  // characters of the delimiter matched so far, held back from the token
    while (Position < size) {
        if (matched == 0) {
            // A run of characters that neither start the delimiter nor are quotes goes in whole.
            size_t end = Position;
            if (inQuotes) {
                while (end < size && Text[end] != '"') {
                    ++end;
                }
            } else {
                // A run ends at the delimiter's first character or, when quotes count, a quote.
                const char first = Delimiter.empty() ? '"' : Delimiter[0];
                const char quote = QuoteAware ? '"' : first;
                const char* text = Text.data();
                if (!QuoteAware && Delimiter.empty()) {
                    end = size;
                }
                while (end < size && text[end] != first && text[end] != quote) {
                    ++end;
                }
            }
            token.append(Text, Position, end - Position);
            Position = end;
            if (Position >= size) {
                break;
            }
        }
        const char c = Text[Position];
        if (QuoteAware && c == '"') {
            if (inQuotes && Position + 1 < size && Text[Position + 1] == '"') {
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
        } else {
            token.append(Delimiter, 0, matched);
            matched = 0;
            token += c;
        }
        ++Position;
    }
    if (token != " ") {
        Trim(token);
    }
    return true;
}
