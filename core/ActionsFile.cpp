#include "core/ActionsFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"

namespace {

// "//", "/*" or "*/": the line reader drops a line holding one, and after "/*" every later line.
bool IsCommentPair(char first, char second) {
    return (first == '/' && (second == '/' || second == '*')) || (first == '*' && second == '/');
}

// Writes a field so that the reader gives it back as it was. A field holding ";" or a double
// quote is quoted, its quotes doubled. A comment pair gets a quote between its two characters,
// which closes or opens quoting (both characters are ordinary either way). A single space at
// the start of the line is quoted, because the reader trims the line. Any other field is
// written as it stands.
void AppendField(std::string& out, const std::string& field, bool lineStart) {
    bool quoted = field.find_first_of(";\"") != std::string::npos || (lineStart && field == " ");
    if (quoted) {
        out += '"';
    }
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (i > 0 && IsCommentPair(field[i - 1], c)) {
            out += '"';
            quoted = !quoted;
        }
        if (!quoted && (c == ';' || c == '"')) {
            out += '"';
            quoted = true;
        }
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    if (quoted) {
        out += '"';
    }
}

}  // namespace

std::vector<ActionLine> ParseActionLines(const char* data, int length) {
    std::vector<ActionLine> lines;
    CPLineReader reader(data, length);
    std::string line;
    while (reader.NextLine(line)) {
        CPTokenizer tokenizer(line, ";", true);
        std::string fields[4];
        for (std::string& field : fields) {
            if (!tokenizer.NextToken(field)) {
                break;
            }
        }
        lines.push_back({fields[0], fields[1], fields[2], fields[3] == "true"});
    }
    return lines;
}

std::string FormatActionLine(const std::string& action, const ActionBinding& binding) {
    std::string out;
    out.reserve(action.size() + binding.Text.size() + binding.KeyText.size() + 12);
    AppendField(out, action, true);
    out += ';';
    AppendField(out, binding.Text, false);
    out += ';';
    if (binding.Numeric) {
        out += std::to_string(binding.KeyCode);
        out += ";true\r\n";
    } else {
        AppendField(out, binding.KeyText, false);
        out += ";false\r\n";
    }
    return out;
}
