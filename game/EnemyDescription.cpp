// The enemy description file: a line-based text of "key values..." lines grouped under
// "enemy <type>" headers (docs/Enemies.md).
#include "game/EnemyDescription.h"

#include "game/CPEnemy.h"
#include "game/CPLevel.h"

#include "platform/files/HostFiles.h"
#include "scene/CPGameObject.h"

#include <charconv>
#include <cmath>
#include <set>
#include <sstream>

namespace {

constexpr uint64_t MaxFileSize = 1u << 20;

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') ++i;
        out.push_back(line.substr(start, i - start));
    }
    return out;
}

// The whole token as a number in the C locale, finite.
bool ReadFloat(const std::string& token, float& value) {
    float v = 0.0f;
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, v, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

bool ReadInt(const std::string& token, int32_t& value) {
    int32_t v = 0;
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, v);
    if (result.ec != std::errc() || result.ptr != end) {
        return false;
    }
    value = v;
    return true;
}

class Reader {
public:
    Reader(const std::string& fileName, std::string& problem) : file(fileName), problem(problem) {}

    bool Fail(int line, const std::string& reason) {
        problem = file + ":" + std::to_string(line) + ": " + reason;
        return false;
    }

    bool Vector(int line, const std::vector<std::string>& t, size_t first, D3DXVECTOR3& out) {
        float v[3];
        for (size_t i = 0; i < 3; ++i) {
            if (!ReadFloat(t[first + i], v[i])) {
                return Fail(line, "'" + t[first + i] + "' is not a number");
            }
        }
        out = D3DXVECTOR3(v[0], v[1], v[2]);
        return true;
    }

    // Names stand for shots and sounds the game may look for on disk: none reaches outside the
    // game folder (absolute, a drive letter, ".." above it).
    bool Inside(int line, const std::string& what, const std::string& name) {
        if (!HostFiles::StaysInGameFolder("Data", name)) {
            return Fail(line, what + " '" + name + "' leads outside the game folder");
        }
        return true;
    }

    bool Line(int line, const std::vector<std::string>& t, EnemyDescription& e, std::set<std::string>& seen) {
        const std::string& key = t[0];
        static const std::map<std::string, size_t> arity = {
            {"weapon", 1},  {"health", 1},     {"reward", 1}, {"melee", 9},       {"muzzle", 3},
            {"fire_report", 1}, {"hit_effect", 1}, {"gibs", 1}, {"silent_death", 0}, {"reference", 3},
            {"sound", 2},   {"state", 2}};
        const auto known = arity.find(key);
        if (known == arity.end()) {
            return Fail(line, "unknown key '" + key + "'");
        }
        if (t.size() - 1 != known->second) {
            return Fail(line, "'" + key + "' takes " + std::to_string(known->second) + " values, not " +
                                  std::to_string(t.size() - 1));
        }
        const bool repeatable = key == "melee" || key == "sound" || key == "state";
        if (!repeatable && !seen.insert(key).second) {
            return Fail(line, "'" + key + "' given twice");
        }
        if (key == "weapon") {
            if (!IsEnemyWeapon(t[1])) {
                return Fail(line, "unknown weapon '" + t[1] + "'");
            }
            e.Weapon = t[1];
        } else if (key == "health") {
            if (!ReadFloat(t[1], e.Health) || !(e.Health > 0.0f)) {
                return Fail(line, "health must be a number above 0");
            }
        } else if (key == "reward") {
            if (!ReadInt(t[1], e.Reward) || e.Reward < 0) {
                return Fail(line, "reward must be a whole number, 0 or more");
            }
        } else if (key == "melee") {
            if (e.Melee.size() == 2) {
                return Fail(line, "more than two melee blows");
            }
            EnemyMelee m;
            if (!ReadInt(t[1], m.ReportFrame) || m.ReportFrame < 0) {
                return Fail(line, "the report frame must be a whole number, 0 or more");
            }
            if (!Vector(line, t, 2, m.Reach) || !Vector(line, t, 5, m.Push)) {
                return false;
            }
            if (!ReadFloat(t[8], m.Strength) || !ReadFloat(t[9], m.Damage)) {
                return Fail(line, "strength and damage must be numbers");
            }
            e.Melee.push_back(m);
        } else if (key == "muzzle") {
            return Vector(line, t, 1, e.MuzzleOffset);
        } else if (key == "fire_report") {
            if (!ReadInt(t[1], e.FireReportFrame) || e.FireReportFrame < 0) {
                return Fail(line, "the report frame must be a whole number, 0 or more");
            }
        } else if (key == "hit_effect") {
            if (!Inside(line, "hit effect", t[1])) {
                return false;
            }
            e.HitEffect = t[1];
        } else if (key == "gibs") {
            if (!ReadFloat(t[1], e.GibHeight)) {
                return Fail(line, "'" + t[1] + "' is not a number");
            }
            e.Gibs = true;
        } else if (key == "silent_death") {
            e.SilentDeath = true;
        } else if (key == "reference") {
            if (!Vector(line, t, 1, e.ReferenceAxis)) {
                return false;
            }
            if (std::hypot(e.ReferenceAxis.x, e.ReferenceAxis.y) < 1e-4f) {
                return Fail(line, "the reference axis needs a part along the ground");
            }
        } else if (key == "sound") {
            if (t[1] != "hit1" && t[1] != "hit2") {
                return Fail(line, "unknown sound event '" + t[1] + "'");
            }
            if (!Inside(line, "sound", t[2])) {
                return false;
            }
            e.Sounds[t[1]] = t[2];
        } else if (key == "state") {
            int32_t number = 0;
            int32_t value = 0;
            if (!ReadInt(t[1], number) || !ReadInt(t[2], value)) {
                return Fail(line, "a state is two whole numbers");
            }
            if (!e.States.emplace(number, value).second) {
                return Fail(line, "state " + t[1] + " given twice");
            }
        }
        return true;
    }

private:
    const std::string& file;
    std::string& problem;
};

}  // namespace

bool IsEnemyWeapon(const std::string& name) {
    static const std::set<std::string> weapons = {"hmgun", "rocket", "plasma", "mgun", "lgun", "shotgun", "explosion"};
    return weapons.count(name) != 0;
}

const EnemyDescription* EnemyCatalogue::Find(const std::string& typeName) const {
    for (const EnemyDescription& e : Enemies) {
        if (e.TypeName == typeName) {
            return &e;
        }
    }
    return nullptr;
}

bool ParseEnemyDescriptions(const std::string& text, const std::string& fileName, EnemyCatalogue& catalogue,
                            std::string& problem) {
    Reader reader(fileName, problem);
    EnemyCatalogue read;
    std::set<std::string> seen;
    std::set<std::string> names;
    int lineNumber = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++lineNumber;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.find('\0') != std::string::npos) {
            return reader.Fail(lineNumber, "a zero byte");
        }
        const std::vector<std::string> t = Tokens(line);
        if (t.empty()) {
            continue;
        }
        if (t[0] == "enemy") {
            if (t.size() != 2) {
                return reader.Fail(lineNumber, "'enemy' takes one type name");
            }
            if (!reader.Inside(lineNumber, "enemy type", t[1])) {
                return false;
            }
            if (!names.insert(t[1]).second) {
                return reader.Fail(lineNumber, "enemy '" + t[1] + "' described twice");
            }
            read.Enemies.emplace_back();
            read.Enemies.back().TypeName = t[1];
            read.Enemies.back().Line = lineNumber;
            seen.clear();
            continue;
        }
        if (read.Enemies.empty()) {
            return reader.Fail(lineNumber, "'" + t[0] + "' before the first 'enemy'");
        }
        if (!reader.Line(lineNumber, t, read.Enemies.back(), seen)) {
            return false;
        }
    }
    for (const EnemyDescription& e : read.Enemies) {
        if (e.Weapon == "explosion" && e.Melee.empty()) {
            return reader.Fail(e.Line, "enemy '" + e.TypeName + "' explodes with its first melee blow and has none");
        }
    }
    catalogue = std::move(read);
    return true;
}

bool LoadEnemyDescriptions(const std::string& enginePath, EnemyCatalogue& catalogue, std::string& problem) {
    std::vector<uint8_t> data;
    switch (HostFiles::ReadWhole(enginePath, data, MaxFileSize)) {
    case HostFiles::ReadResult::Read:
        break;
    case HostFiles::ReadResult::NotOpened:
        problem = enginePath + ": cannot be opened";
        return false;
    case HostFiles::ReadResult::Failed:
        problem = enginePath + ": cannot be read whole (at most 1 MiB)";
        return false;
    }
    return ParseEnemyDescriptions(std::string(data.begin(), data.end()), enginePath, catalogue, problem);
}

std::unique_ptr<CPEnemy> CreateEnemy(const EnemyDescription& description, CPGameObject* object) {
    auto enemy = std::make_unique<CPEnemy>();
    enemy->Object = object;
    enemy->TypeName = description.TypeName;
    enemy->Weapon = description.Weapon;
    enemy->Health = description.Health;
    enemy->Reward = description.Reward;
    enemy->MeleeCount = static_cast<int32_t>(description.Melee.size());
    for (size_t i = 0; i < description.Melee.size() && i < 2; ++i) {
        const EnemyMelee& m = description.Melee[i];
        enemy->Melee[i] = CPEnemy::MeleeAttack{m.ReportFrame, m.Reach, m.Push, m.Strength, m.Damage};
    }
    enemy->MuzzleOffset = description.MuzzleOffset;
    enemy->FireReportFrame = description.FireReportFrame;
    enemy->HitEffect = description.HitEffect;
    enemy->Gibs = description.Gibs;
    enemy->GibHeight = description.GibHeight;
    enemy->SilentDeath = description.SilentDeath;
    enemy->ReferenceAxis = description.ReferenceAxis;
    for (const auto& [event, name] : description.Sounds) {
        enemy->Sounds[event] = name;
    }
    for (const auto& [number, value] : description.States) {
        enemy->States[number] = value;
    }
    if (object != nullptr) {
        const D3DXVECTOR3& p = object->Position;
        D3DXVECTOR3 origin;
        enemy->Frame->SetOrigin(&origin, p.x, p.y, p.z);
        object->Controller = enemy.get();
    }
    enemy->Frame->SetDirection(&description.ReferenceAxis);
    return enemy;
}

std::unique_ptr<CPEnemy> PlaceEnemyAtSource(const EnemyCatalogue& catalogue, const CPLevel& level,
                                            const std::string& typeName, CPGameObject* object) {
    const auto source = level.Sources.find(typeName);
    const EnemyDescription* description = catalogue.Find(typeName);
    if (source == level.Sources.end() || description == nullptr || object == nullptr) {
        return nullptr;
    }
    object->SetPosition(source->second);
    return CreateEnemy(*description, object);
}
