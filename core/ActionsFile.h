// The text of "Actions.cfg": one line per action, four fields separated by ";":
//   action name ; the action's text ; key name or decimal code ; "true" when the key is a code
// Parsing and formatting are pure, so the format is tested without files or a manager.
//
// Reading drops "//" lines and "/*" ... "*/" blocks, trims lines, skips empty ones and reads
// "[x]" as "x"; fields are split quote-aware (a double quote toggles quoting, "" inside quotes
// is one quote) and trimmed, missing fields are empty and fields after the fourth are ignored.
// Writing ends each line with CR LF and writes every field so that it reads back as it was:
// one that holds ";" or a double quote is quoted with its quotes doubled, a "//", "/*" or "*/"
// inside a field gets a double quote between its two characters (else the reader would drop the
// line, or every later line), and a first field of one space is quoted. Every other field is
// written as it stands.
#pragma once

#include "core/ActionBinding.h"

#include <string>
#include <vector>

struct ActionLine {
    std::string Action;
    std::string Text;
    std::string Key;
    bool Numeric = false;  // field 4 is exactly "true"

    bool operator==(const ActionLine&) const = default;
};

std::vector<ActionLine> ParseActionLines(const char* data, int length);

// "action;text;key;flag\r\n" for a binding: a numeric binding writes its KeyCode in decimal and
// "true", any other its KeyText and "false".
std::string FormatActionLine(const std::string& action, const ActionBinding& binding);
