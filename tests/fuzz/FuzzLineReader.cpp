// The line reader and the tokenizer under it. The first byte picks quote awareness and the
// delimiter's length; the delimiter's bytes follow, then the text.
#include "FuzzFiles.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool quoteAware = (data[0] & 0x80) != 0;
    const size_t delimiterLength = std::min<size_t>(data[0] & 3, size - 1);
    const std::string delimiter(reinterpret_cast<const char*>(data + 1), delimiterLength);
    const char* text = reinterpret_cast<const char*>(data + 1 + delimiterLength);
    const int length = static_cast<int>(size - 1 - delimiterLength);

    CPLineReader reader(text, length);
    size_t lines = 0;
    while (reader.ReadLine()) {
        Fuzz::Check(++lines <= static_cast<size_t>(length), "no more lines than bytes");
        const std::string& line = reader.GetLine();
        if (delimiter.empty()) {
            continue;
        }
        CPTokenizer tokenizer(line, delimiter, quoteAware);
        std::string token;
        size_t tokens = 0;
        while (tokenizer.NextToken(token)) {
            Fuzz::Check(++tokens <= line.size() + 1, "no more tokens than bytes");
        }
    }
    return 0;
}
