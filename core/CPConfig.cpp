#include "core/CPConfig.h"

#include "core/ConfigVars.h"
#include "core/StringUtil.h"
#include "platform/files/HostFiles.h"

#include <cstdio>
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
    // Checked before opening: opening a FIFO blocks, and a device may never end.
    struct stat info{};
    if (stat(HostFiles::Resolve(fileName).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::FILE* file = HostFiles::Open(fileName, "rb");
    if (file == nullptr) {
        return false;
    }
    // Lines longer than MaxLineLength are cut there; the rest of such a line is skipped.
    std::string line;
    for (;;) {
        const int c = std::fgetc(file);
        if (c == EOF || c == '\n') {
            ParseLine(line);
            line.clear();
            if (c == EOF) {
                break;
            }
        } else if (line.size() < MaxLineLength) {
            line += static_cast<char>(c);
        }
    }
    std::fclose(file);
    return true;
}

void CPConfig::ParseLine(const std::string& line) {
    if (line.empty()) {
        return;
    }
    std::string text = line;
    int sign = 0;
    if (text[0] == '+') {
        sign = 1;
        text.erase(0, 1);
    } else if (text[0] == '-') {
        sign = -1;
        text.erase(0, 1);
    }
    std::string key;
    std::string value;
    const size_t equals = text.find('=');
    if (!text.empty() && equals != std::string::npos) {
        key = text.substr(0, equals);
        value = text.substr(equals + 1);
    } else {
        key = text;
        value = std::to_string((sign + 1) / 2);
    }
    Trim(key);
    Trim(value);
    Set(key, value, sign);
}

void CPConfig::Set(const std::string& key, const std::string& value, int sign) {
    CPDator* variable = Keys[key].Get();
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
