#include "core/CPConfig.h"

#include "core/ConfigVars.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <vector>

CPConfig* CPConfig::Instance = nullptr;

namespace {

// Each variable object is also kept by a holder of its own, independent of the registry.
CPtr<CPDator> holders[Cfg::VariableCount];

// Splits at every ";": "" gives one empty element, a trailing ";" a trailing empty one.
std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> elements(1);
    for (char c : value) {
        if (c == ';') {
            elements.emplace_back();
        } else {
            elements.back() += c;
        }
    }
    return elements;
}

}  // namespace

CPConfig::CPConfig() : Keys(100) {
    Instance = this;
    BindVariables();
}

CPConfig::~CPConfig() {
    ReleaseAll();
    Keys.clear();
    Instance = nullptr;
}

void CPConfig::BindVariables() {
    const Cfg::Variable* variables = Cfg::Variables();
    for (int i = 0; i < Cfg::VariableCount; ++i) {
        const Cfg::Variable& v = variables[i];
        if (v.Int != nullptr) {
            holders[i] = new CPDatorOf<int32_t>(v.Int);
        } else {
            holders[i] = new CPDatorOf<float>(v.Float);
        }
        Register(v.Key, holders[i]);
    }
}

void CPConfig::Register(const std::string& key, const CPtr<CPDator>& variable) { Keys[key] = variable; }

bool CPConfig::Load(const std::string& fileName) {
    std::FILE* file = HostFiles::Open(fileName, "rb");
    if (file == nullptr) {
        return false;
    }
    // A plain file only: the path layer refuses folders and FIFOs, and a device may never end.
    struct stat info{};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    // Read in large blocks and split at "\n"; lines longer than MaxLineLength are cut there and
    // the rest skipped, so memory stays bounded whatever the file holds.
    std::string line;
    char block[1 << 16];
    for (size_t got; (got = std::fread(block, 1, sizeof(block), file)) > 0;) {
        const char* at = block;
        const char* const end = block + got;
        while (at < end) {
            const auto* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            const char* stop = newline != nullptr ? newline : end;
            line.append(at, std::min(static_cast<size_t>(stop - at), MaxLineLength - line.size()));
            if (newline == nullptr) {
                break;
            }
            ParseLine(line);
            line.clear();
            at = newline + 1;
        }
    }
    // The last line, with or without its end: after a final line end it is empty and ignored.
    ParseLine(line);
    std::fclose(file);
    return true;
}

void CPConfig::ParseLine(const std::string& line) {
    if (line.empty()) {
        return;
    }
    std::string_view text = line;
    int sign = 0;
    if (text[0] == '+') {
        sign = 1;
        text.remove_prefix(1);
    } else if (text[0] == '-') {
        sign = -1;
        text.remove_prefix(1);
    }
    std::string_view key = text;
    std::string_view value = sign > 0 ? "1" : "0";
    if (const size_t equals = text.find('='); equals != std::string_view::npos) {
        key = text.substr(0, equals);
        value = text.substr(equals + 1);
    }
    const auto trim = [](std::string_view& part) {
        const size_t first = part.find_first_not_of(" \t\r\n");
        part = first == std::string_view::npos
                   ? std::string_view()
                   : part.substr(first, part.find_last_not_of(" \t\r\n") - first + 1);
    };
    trim(key);
    trim(value);
    Set(std::string(key), std::string(value), sign);
}

void CPConfig::Set(const std::string& key, const std::string& value, int sign) {
    // An unregistered key changes nothing and is not kept: looking it up adds no entry.
    const auto found = Keys.find(key);
    CPDator* variable = found == Keys.end() ? nullptr : found->second.Get();
    if (variable == nullptr) {
        return;
    }
    if (!variable->IsList()) {
        variable->Set(value);
        return;
    }
    for (const std::string& element : SplitList(value)) {
        if (sign == 0) {
            variable->Set(element);
        } else if (sign > 0) {
            variable->Add(element);
        } else {
            variable->Sub(element);
        }
    }
}

void CPConfig::ReleaseAll() {
    for (CPtr<CPDator>& holder : holders) {
        holder = nullptr;
    }
}

CPDator* CPConfig::Find(const std::string& key) const {
    const auto it = Keys.find(key);
    return it == Keys.end() ? nullptr : it->second.Get();
}
