// "Actions.cfg": parsing any text, and the round trip the actions manager relies on: each line
// read, written back as a binding and read again gives the same line.
#include "FuzzFiles.h"

#include "core/ActionBinding.h"
#include "core/ActionsFile.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<ActionLine> lines = ParseActionLines(reinterpret_cast<const char*>(data), static_cast<int>(size));
    for (const ActionLine& line : lines) {
        const ActionBinding binding(line.Key, line.Text, line.Numeric);
        const std::string written = FormatActionLine(line.Action, binding);
        const std::vector<ActionLine> again = ParseActionLines(written.data(), static_cast<int>(written.size()));
        Fuzz::Check(again.size() == 1, "a written line reads back as one line");
        ActionLine expected = line;
        if (line.Numeric) {
            expected.Key = std::to_string(binding.KeyCode);
        }
        Fuzz::Check(again[0] == expected, "a written line reads back as it was");
    }
    return 0;
}
