// The shot description reader: whitespace-separated fields, one shot per line, "#" to the end
// of a line is a comment. Numbers are read in the C locale and must be whole tokens, so "12abc"
// or "1,5" is refused instead of read as part of a number. A file name that leads outside the game
// folder (absolute, a drive letter, ".." above it) is refused.
#include "game/ShotDescription.h"

#include "core/CPFileReader.h"
#include "platform/files/HostFiles.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool ParseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    float parsed = 0.0f;
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseInt(const std::string& text, int32_t& value) {
    const char* end = text.data() + text.size();
    int32_t parsed = 0;
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end) {
        return false;
    }
    value = parsed;
    return true;
}

// The checks of one line; the first failure writes the error.
struct LineCheck {
    const std::string& FileName;
    int Line;
    std::string& Error;

    bool Fail(const std::string& reason) {
        Error = FileName + ":" + std::to_string(Line) + ": " + reason;
        return false;
    }
    bool Decimal(const std::string& field, const std::string& text, float minimum, bool above) {
        float value = 0.0f;
        if (!ParseFloat(text, value)) {
            return Fail(field + " " + Quoted(text) + " is not a decimal number");
        }
        if (above ? !(value > minimum) : !(value >= minimum)) {
            return Fail(field + " " + Quoted(text) + (above ? " must be above 0" : " is negative"));
        }
        return true;
    }
    // A name the game opens under folder: nothing read from data reaches outside the game folder.
    bool Inside(const std::string& field, const std::string& folder, const std::string& name) {
        if (!HostFiles::StaysInGameFolder(folder, name)) {
            return Fail(field + " " + Quoted(name) + " leads outside the game folder");
        }
        return true;
    }
    bool Sound(const std::string& text) {
        if (text == "none") {
            return true;
        }
        const size_t comma = text.find(',');
        if (comma == 0) {
            return Fail("sound " + Quoted(text) + " has no sound name");
        }
        if (comma != std::string::npos && text.compare(comma, std::string::npos, ",2d") != 0) {
            return Fail("sound " + Quoted(text) + ": after the name only \",2d\" may follow");
        }
        return Inside("sound", "Data\\Sounds", text.substr(0, comma));
    }
};

bool CheckLightning(LineCheck& check, const std::vector<std::string>& p) {
    if (p.size() != LightningParameterCount) {
        return check.Fail("a lightning shot takes " + std::to_string(LightningParameterCount) +
                          " fields after its class (target speed duration width texture effect material impact "
                          "extra sound), not " +
                          std::to_string(p.size()));
    }
    if (p[0] != "enemy" && p[0] != "any") {
        return check.Fail("target " + Quoted(p[0]) + " is neither \"enemy\" nor \"any\"");
    }
    int32_t material = 0;
    if (!check.Decimal("speed", p[1], 0.0f, true) || !check.Decimal("duration", p[2], 0.0f, false) ||
        !check.Decimal("width", p[3], 0.0f, false)) {
        return false;
    }
    if (!check.Inside("texture", "Data\\Textures", p[4]) || !check.Inside("effect", "Data\\Effects", p[5])) {
        return false;
    }
    if (!ParseInt(p[6], material) || material < 0) {
        return check.Fail("material " + Quoted(p[6]) + " is not a whole number of 0 or more");
    }
    float extra = 0.0f;
    if (!ParseFloat(p[8], extra)) {
        return check.Fail("extra " + Quoted(p[8]) + " is not a decimal number");
    }
    return check.Sound(p[9]);
}

bool CheckEffect(LineCheck& check, const std::vector<std::string>& p) {
    if (p.size() != EffectParameterCount) {
        return check.Fail("an effect shot takes " + std::to_string(EffectParameterCount) +
                          " fields after its class (particles duration sound), not " + std::to_string(p.size()));
    }
    return check.Inside("particles", "Data", p[0]) && check.Decimal("duration", p[1], 0.0f, false) &&
           check.Sound(p[2]);
}

}  // namespace

bool ReadShotDescriptions(const char* text, size_t size, const std::string& fileName,
                          std::vector<ShotDescription>& shots, std::string& error) {
    std::vector<ShotDescription> read;
    std::unordered_map<std::string, size_t> byName;
    int line = 0;
    size_t position = 0;
    while (position < size) {
        ++line;
        size_t end = position;
        while (end < size && text[end] != '\n') {
            ++end;
        }
        LineCheck check{fileName, line, error};
        std::vector<std::string> fields;
        std::string field;
        for (size_t i = position; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '#') {
                break;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                if (!field.empty()) {
                    fields.push_back(field);
                    field.clear();
                }
                continue;
            }
            if (c < 0x20 || c == 0x7F) {
                return check.Fail("control character " + std::to_string(c) + " in the line");
            }
            field += static_cast<char>(c);
        }
        if (!field.empty()) {
            fields.push_back(field);
        }
        position = end + 1;
        if (fields.empty()) {
            continue;
        }
        if (fields.size() < 2) {
            return check.Fail("shot " + Quoted(fields[0]) + " has no class");
        }
        ShotDescription shot;
        shot.Name = fields[0];
        shot.Class = fields[1];
        shot.Parameters.assign(fields.begin() + 2, fields.end());
        shot.Line = line;
        if (shot.Name == "none") {
            return check.Fail("\"none\" cannot name a shot (it means no impact shot)");
        }
        if (byName.count(shot.Name) != 0) {
            return check.Fail("shot " + Quoted(shot.Name) + " is described twice (first on line " +
                              std::to_string(read[byName[shot.Name]].Line) + ")");
        }
        if (shot.Class == "lightning") {
            if (!CheckLightning(check, shot.Parameters)) {
                return false;
            }
        } else if (shot.Class == "effect") {
            if (!CheckEffect(check, shot.Parameters)) {
                return false;
            }
        } else {
            return check.Fail("unknown shot class " + Quoted(shot.Class) + " (known: \"lightning\", \"effect\")");
        }
        byName.emplace(shot.Name, read.size());
        read.push_back(std::move(shot));
    }
    // Impact shots are named before or after the shot that launches them.
    for (const ShotDescription& shot : read) {
        if (shot.Class != "lightning") {
            continue;
        }
        LineCheck check{fileName, shot.Line, error};
        const std::string& impact = shot.Parameters[LightningImpactParameter];
        if (impact == "none") {
            continue;
        }
        if (impact == shot.Name) {
            return check.Fail("shot " + Quoted(shot.Name) + " cannot be its own impact shot");
        }
        if (byName.count(impact) == 0) {
            return check.Fail("impact shot " + Quoted(impact) + " is not described in the file");
        }
    }
    shots = std::move(read);
    return true;
}

bool LoadShotDescriptionFile(const std::string& fileName, std::vector<ShotDescription>& shots,
                             std::string& error) {
    CPFileReader reader(fileName, false);
    if (FAILED(reader.Load())) {
        error = fileName + ": cannot be read";
        return false;
    }
    return ReadShotDescriptions(reinterpret_cast<const char*>(reader.GetData()),
                                static_cast<size_t>(reader.GetLength()), fileName, shots, error);
}
