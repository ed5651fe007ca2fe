#include "interface/CampaignDataFile.h"

#include "core/NumberText.h"
#include "core/XmlFile.h"

#include <tinyxml.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>

namespace {

// Plain decimal numbers only: an optional "-", digits, and for decimals an optional fraction
// ("12", "-3", "0.25", ".5"). No exponents, no spaces, nothing after the number.
bool IsPlainNumber(const std::string& text, bool fraction) {
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && fraction && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// What a file's elements are checked with: each message starts with the file, the element's
// line and what the element is; the first failure is kept and every later check then fails.
class Checker {
public:
    Checker(const std::string& fileName, std::string& error) : FileName(fileName), Error(error) {}

    bool Fail(const TiXmlNode& node, const std::string& what, const std::string& reason) {
        Error = FileName + ":" + std::to_string(node.Row()) + ": " + what + ": " + reason;
        return false;
    }

private:
    const std::string& FileName;
    std::string& Error;
};

enum class Bound { Any, NonNegative, Positive, MissionNumber };

// Reads the attributes of one element, each at most once, and refuses the element when it
// holds one that was not asked for.
class Attributes {
public:
    Attributes(const TiXmlElement& element, std::string subject, Checker& checker)
        : Element(element), Subject(std::move(subject)), Check(checker) {}

    // What the element is in messages ("<item> "mg" in <weapons>").
    const std::string& GetSubject() const { return Subject; }
    void Describe(const std::string& subject) { Subject = subject; }

    bool Text(const char* name, std::string& value, bool required) {
        Asked.insert(name);
        const char* text = Element.Attribute(name);
        if (text == nullptr) {
            if (required) {
                return Check.Fail(Element, Subject, "attribute " + Quoted(name) + " is missing");
            }
            value.clear();
            return true;
        }
        value = text;
        return true;
    }

    // An optional attribute that is missing reads as 0.
    bool Int(const char* name, int32_t& value, Bound bound, bool required = true) {
        if (!required && Element.Attribute(name) == nullptr) {
            Asked.insert(name);
            value = 0;
            return true;
        }
        std::string text;
        if (!Text(name, text, true)) {
            return false;
        }
        int32_t parsed = 0;
        if (!IsPlainNumber(text, false) || !TextToInt(text, parsed)) {
            return Fail(name, Quoted(text) + " is not a whole number");
        }
        if (!CheckBound(name, text, parsed, bound)) {
            return false;
        }
        value = parsed;
        return true;
    }

    bool Float(const char* name, float& value, Bound bound) {
        std::string text;
        if (!Text(name, text, true)) {
            return false;
        }
        float parsed = 0.0f;
        if (!IsPlainNumber(text, true) || !TextToFloat(text, parsed) || !std::isfinite(parsed)) {
            return Fail(name, Quoted(text) + " is not a decimal number");
        }
        if (!CheckBound(name, text, parsed, bound)) {
            return false;
        }
        value = parsed;
        return true;
    }

    // Refuses the element when it holds an attribute that was not read.
    bool Finish() {
        for (const TiXmlAttribute* attribute = Element.FirstAttribute(); attribute != nullptr;
             attribute = attribute->Next()) {
            if (Asked.count(attribute->Name()) == 0) {
                return Check.Fail(Element, Subject, "unknown attribute " + Quoted(attribute->Name()));
            }
        }
        return true;
    }

    bool Fail(const char* name, const std::string& reason) {
        return Check.Fail(Element, Subject, "attribute " + Quoted(name) + ": " + reason);
    }

private:
    template <class T>
    bool CheckBound(const char* name, const std::string& text, T value, Bound bound) {
        switch (bound) {
            case Bound::Any:
                return true;
            case Bound::NonNegative:
                return value >= 0 || Fail(name, text + " is negative");
            case Bound::Positive:
                return value > 0 || Fail(name, text + " must be above 0");
            case Bound::MissionNumber:
                return value >= 1 || Fail(name, text + " is not a mission number (1 or more)");
        }
        return true;
    }

    const TiXmlElement& Element;
    std::string Subject;
    Checker& Check;
    std::set<std::string> Asked;
};

// The child elements of a section, refusing text and elements of another name.
template <class Visit>
bool ForEachChild(const TiXmlElement& section, const char* childName, Checker& check, Visit visit) {
    for (const TiXmlNode* node = section.FirstChild(); node != nullptr; node = node->NextSibling()) {
        if (node->ToText() != nullptr) {
            return check.Fail(*node, "<" + std::string(section.Value()) + ">", "text outside an element");
        }
        const TiXmlElement* child = node->ToElement();
        if (child == nullptr) {
            continue;  // comments
        }
        if (std::string(child->Value()) != childName) {
            return check.Fail(*child, "<" + std::string(section.Value()) + ">",
                              "holds <" + std::string(child->Value()) + ">, where only <" + childName + "> belongs");
        }
        if (!visit(*child)) {
            return false;
        }
    }
    return true;
}

struct Reader {
    Checker& Check;
    CampaignData& Data;

    bool TextKey(Attributes& attributes, const char* name, std::string& key) {
        if (!attributes.Text(name, key, true)) {
            return false;
        }
        if (Data.TextTable.count(key) == 0) {
            return attributes.Fail(name, "text key " + Quoted(key) + " is not in <texts>");
        }
        return true;
    }

    bool Texts(const TiXmlElement& section) {
        return ForEachChild(section, "text", Check, [&](const TiXmlElement& element) {
            Attributes attributes(element, "<text>", Check);
            std::string key;
            if (!attributes.Text("key", key, true) || !attributes.Finish()) {
                return false;
            }
            if (key.empty()) {
                return attributes.Fail("key", "is empty");
            }
            attributes.Describe("<text> " + Quoted(key));
            if (element.FirstChildElement() != nullptr) {
                return Check.Fail(element, attributes.GetSubject(), "holds markup; a text is plain text");
            }
            const char* text = element.GetText();
            if (!Data.TextTable.emplace(key, text != nullptr ? text : "").second) {
                return Check.Fail(element, attributes.GetSubject(), "the key is given twice");
            }
            return true;
        });
    }

    // An item's id, name and price first, its description and mission last; `values` reads
    // what the kind holds between them.
    template <class Record, class Values>
    bool Items(const TiXmlElement& section, Catalogue<Record>& catalogue, Values values) {
        const std::string kind = "<" + std::string(section.Value()) + ">";
        return ForEachChild(section, "item", Check, [&](const TiXmlElement& element) {
            Attributes attributes(element, "<item> in " + kind, Check);
            std::string id;
            if (!attributes.Text("id", id, true)) {
                return false;
            }
            attributes.Describe("<item> " + Quoted(id) + " in " + kind);
            if (id.empty() || id == "none") {
                return attributes.Fail("id", Quoted(id) + " cannot name an item (\"\" and \"none\" are empty slots)");
            }
            Record record;
            if (!TextKey(attributes, "name", record.Name) || !attributes.Int("price", record.Price, Bound::NonNegative) ||
                !values(attributes, record) || !TextKey(attributes, "description", record.DescriptionKey) ||
                !attributes.Int("mission", record.RequiredMission, Bound::MissionNumber) || !attributes.Finish()) {
                return false;
            }
            if (!catalogue.Add(id, record)) {
                return Check.Fail(element, attributes.GetSubject(), "the id is given twice");
            }
            return true;
        });
    }

    bool ScoreTables(const TiXmlElement& section) {
        return ForEachChild(section, "table", Check, [&](const TiXmlElement& table) {
            const std::string what = "<table> " + std::to_string(Data.ScoreTables.size() + 1);
            Attributes tableAttributes(table, what, Check);
            if (!tableAttributes.Finish()) {
                return false;
            }
            std::vector<ScoreRecord> records;
            const bool read = ForEachChild(table, "score", Check, [&](const TiXmlElement& element) {
                Attributes attributes(element, "<score> in " + what, Check);
                ScoreRecord record;
                if (!attributes.Text("name", record.Name, true) ||
                    !attributes.Int("minutes", record.Minutes, Bound::NonNegative) ||
                    !attributes.Int("seconds", record.Seconds, Bound::NonNegative) ||
                    !attributes.Int("hundredths", record.Hundredths, Bound::NonNegative) || !attributes.Finish()) {
                    return false;
                }
                if (record.Seconds > 59) {
                    return attributes.Fail("seconds", std::to_string(record.Seconds) + " is above 59");
                }
                if (record.Hundredths > 99) {
                    return attributes.Fail("hundredths", std::to_string(record.Hundredths) + " is above 99");
                }
                if (records.size() == CampaignScoreTableSize) {
                    return Check.Fail(element, what, "holds more than " + std::to_string(CampaignScoreTableSize) +
                                                         " scores");
                }
                records.push_back(std::move(record));
                return true;
            });
            if (!read) {
                return false;
            }
            Data.ScoreTables.push_back(std::move(records));
            return true;
        });
    }

    template <class Record>
    bool Item(Attributes& attributes, const char* name, const Catalogue<Record>& catalogue, const char* kind,
              std::string& value) {
        if (!attributes.Text(name, value, false)) {
            return false;
        }
        if (!value.empty() && !catalogue.Contains(value)) {
            return attributes.Fail(name, Quoted(value) + " is not an item of <" + kind + ">");
        }
        return true;
    }

    bool Preset(const TiXmlElement& element, const std::string& what) {
        Attributes attributes(element, what, Check);
        CarSettings car;
        if (!Item(attributes, "weapon1", Data.Weapons, "weapons", car.Weapons[0]) ||
            !Item(attributes, "weapon2", Data.Weapons, "weapons", car.Weapons[1]) ||
            !Item(attributes, "weapon3", Data.Weapons, "weapons", car.Weapons[2]) ||
            !Item(attributes, "equipment1", Data.Equipment, "equipment", car.Equipment[0]) ||
            !Item(attributes, "equipment2", Data.Equipment, "equipment", car.Equipment[1]) ||
            !Item(attributes, "bumper", Data.Bumpers, "bumpers", car.Bumper) ||
            !Item(attributes, "engine", Data.Engines, "engines", car.Engine) ||
            !Item(attributes, "armor", Data.Armor, "armor", car.Armor) ||
            !Item(attributes, "superWeapon", Data.SuperWeapons, "superWeapons", car.SuperWeapon) ||
            !attributes.Int("charges", car.SuperWeaponCharges, Bound::NonNegative, false) ||
            !Item(attributes, "mine", Data.Mines, "mines", car.Mine) || !attributes.Finish()) {
            return false;
        }
        Data.CarPresets.push_back(std::move(car));
        return true;
    }

    bool CarPresets(const TiXmlElement& section) {
        int32_t expected = 1;
        return ForEachChild(section, "mission", Check, [&](const TiXmlElement& mission) {
            Attributes attributes(mission, "<mission>", Check);
            int32_t number = 0;
            if (!attributes.Int("number", number, Bound::Any) || !attributes.Finish()) {
                return false;
            }
            if (number != expected) {
                return attributes.Fail("number", std::to_string(number) + " where mission " + std::to_string(expected) +
                                                     " comes next (missions are numbered 1, 2, ... in order)");
            }
            const std::string what = "<mission> " + std::to_string(number);
            size_t presets = 0;
            const bool read = ForEachChild(mission, "preset", Check, [&](const TiXmlElement& element) {
                ++presets;
                return Preset(element, "<preset> " + std::to_string(presets) + " of " + what);
            });
            if (!read) {
                return false;
            }
            if (presets != 3) {
                return Check.Fail(mission, what, "holds " + std::to_string(presets) + " presets, 3 expected");
            }
            ++expected;
            return true;
        });
    }
};

bool ReadWeapon(Attributes& a, WeaponInfo& r) {
    return a.Int("shotCost", r.ShotCost, Bound::NonNegative) && a.Float("w1", r.W1, Bound::Any) &&
           a.Int("w2", r.W2, Bound::Any) && a.Float("damage", r.DamagePerShot, Bound::NonNegative) &&
           a.Float("w3", r.W3, Bound::Any) && a.Int("costDivisor", r.CostDivisor, Bound::Positive) &&
           a.Float("fireRate", r.FireRate, Bound::Positive) && a.Float("w4", r.W4, Bound::Any);
}

bool ReadMine(Attributes& a, MineInfo& r) {
    return a.Int("m1", r.M1, Bound::Any) && a.Float("m2", r.M2, Bound::Any) && a.Float("m3", r.M3, Bound::Any) &&
           a.Int("m4", r.M4, Bound::Any) && a.Float("m5", r.M5, Bound::Any) && a.Float("m6", r.M6, Bound::Any) &&
           a.Float("m7", r.M7, Bound::Any);
}

bool ReadSuperWeapon(Attributes&, SuperWeaponInfo&) { return true; }

bool ReadPart(Attributes& a, PartInfo& r) { return a.Float("value", r.Value, Bound::Any); }

bool ReadEngine(Attributes& a, EngineInfo& r) {
    static const char* const names[] = {"e1", "e2", "e3", "e4", "e5"};
    for (size_t i = 0; i < r.Values.size(); ++i) {
        if (!a.Float(names[i], r.Values[i], Bound::Any)) {
            return false;
        }
    }
    return true;
}

// The sections of the root, in the order they are read: texts first (items name their keys),
// catalogues before the presets that name their items.
struct Section {
    const char* Name;
    bool (*Read)(Reader& reader, const TiXmlElement& section);
};
const Section Sections[] = {
    {"texts", [](Reader& r, const TiXmlElement& e) { return r.Texts(e); }},
    {"weapons", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Weapons, ReadWeapon); }},
    {"mines", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Mines, ReadMine); }},
    {"superWeapons", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.SuperWeapons, ReadSuperWeapon); }},
    {"bumpers", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Bumpers, ReadPart); }},
    {"equipment", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Equipment, ReadPart); }},
    {"armor", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Armor, ReadPart); }},
    {"engines", [](Reader& r, const TiXmlElement& e) { return r.Items(e, r.Data.Engines, ReadEngine); }},
    {"scoreTables", [](Reader& r, const TiXmlElement& e) { return r.ScoreTables(e); }},
    {"carPresets", [](Reader& r, const TiXmlElement& e) { return r.CarPresets(e); }},
};
constexpr size_t SectionCount = sizeof(Sections) / sizeof(Sections[0]);

}  // namespace

bool ReadCampaignData(const TiXmlDocument& document, const std::string& fileName, CampaignData& data,
                      std::string& error) {
    Checker check(fileName, error);
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr) {
        error = fileName + ": holds no element";
        return false;
    }
    if (std::string(root->Value()) != "campaign") {
        return check.Fail(*root, "<" + std::string(root->Value()) + ">", "the root element must be <campaign>");
    }
    Attributes rootAttributes(*root, "<campaign>", check);
    if (!rootAttributes.Finish()) {
        return false;
    }
    const TiXmlElement* sections[SectionCount] = {};
    for (const TiXmlNode* node = root->FirstChild(); node != nullptr; node = node->NextSibling()) {
        if (node->ToText() != nullptr) {
            return check.Fail(*node, "<campaign>", "text outside an element");
        }
        const TiXmlElement* element = node->ToElement();
        if (element == nullptr) {
            continue;
        }
        const std::string name = element->Value();
        size_t index = 0;
        while (index < SectionCount && name != Sections[index].Name) {
            ++index;
        }
        if (index == SectionCount) {
            return check.Fail(*element, "<" + name + ">", "not a section of <campaign>");
        }
        if (sections[index] != nullptr) {
            return check.Fail(*element, "<" + name + ">", "the section is given twice");
        }
        Attributes attributes(*element, "<" + name + ">", check);
        if (!attributes.Finish()) {
            return false;
        }
        sections[index] = element;
    }

    CampaignData read;
    Reader reader{check, read};
    for (size_t index = 0; index < SectionCount; ++index) {
        if (sections[index] != nullptr && !Sections[index].Read(reader, *sections[index])) {
            return false;
        }
    }
    data = std::move(read);
    return true;
}

bool LoadCampaignDataFile(const std::string& fileName, CampaignData& data, std::string& error) {
    TiXmlDocument document;
    if (!LoadXmlFile(document, fileName)) {
        if (document.ErrorId() == TiXmlBase::TIXML_ERROR_OPENING_FILE) {
            error = fileName + ": cannot be read";
        } else if (document.ErrorId() == TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY) {
            error = fileName + ": is empty";
        } else {
            error = fileName + ":" + std::to_string(document.ErrorRow()) + ": not well-formed XML: " +
                    document.ErrorDesc();
        }
        return false;
    }
    return ReadCampaignData(document, fileName, data, error);
}
