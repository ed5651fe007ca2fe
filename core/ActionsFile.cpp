#include "core/ActionsFile.h"

#include "core/CPLineReader.h"
#include "core/CPTokenizer.h"

namespace {

void AppendField(std::string& out, const std::string& field) {
    if (field.find_first_of(";\"") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
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
    AppendField(out, action);
    out += ';';
    AppendField(out, binding.Text);
    out += ';';
    if (binding.Numeric) {
        out += std::to_string(binding.KeyCode);
        out += ";true\r\n";
    } else {
        AppendField(out, binding.KeyText);
        out += ";false\r\n";
    }
    return out;
}
