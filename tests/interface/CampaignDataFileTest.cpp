#include "interface/CPGameData.h"
#include "interface/CampaignDataFile.h"
#include "interface/CampaignFiles.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string ShippedFile = std::string(TEST_DATA_DIR) + "/../../gamedir/Data/campaign.xml";

bool Read(const std::string& xml, CampaignData& data, std::string& error) {
    TiXmlDocument document;
    document.Parse(xml.c_str());
    EXPECT_FALSE(document.Error()) << document.ErrorDesc();
    return ReadCampaignData(document, "Data\\campaign.xml", data, error);
}

// A small complete campaign; the cases below damage one thing of it at a time.
const std::string Texts =
    "<texts>\n"
    "  <text key=\"w\">Gun</text>\n"
    "  <text key=\"d\">Shoots.</text>\n"
    "  <text key=\"empty\"/>\n"
    "</texts>\n";
const std::string Weapon =
    "<item id=\"mg\" name=\"w\" price=\"300\" shotCost=\"1\" w1=\"0.5\" w2=\"-200\" damage=\"2.5\" w3=\".25\" "
    "costDivisor=\"2\" fireRate=\"10\" w4=\"-1.5\" description=\"d\" mission=\"1\"/>\n";
const std::string Catalogues =
    "<weapons>\n" + Weapon +
    "</weapons>\n"
    "<mines><item id=\"spike\" name=\"w\" price=\"0\" m1=\"1\" m2=\"2\" m3=\"3\" m4=\"4\" m5=\"5\" m6=\"6\" m7=\"7\" "
    "description=\"d\" mission=\"2\"/></mines>\n"
    "<superWeapons><item id=\"quake\" name=\"w\" price=\"250\" description=\"empty\" mission=\"1\"/></superWeapons>\n"
    "<bumpers><item id=\"ram\" name=\"w\" price=\"1\" value=\"1.5\" description=\"d\" mission=\"1\"/></bumpers>\n"
    "<equipment><item id=\"nitro\" name=\"w\" price=\"2\" value=\"0\" description=\"d\" mission=\"1\"/>"
    "<item id=\"radar\" name=\"w\" price=\"3\" value=\"0\" description=\"d\" mission=\"3\"/></equipment>\n"
    "<armor><item id=\"plate\" name=\"w\" price=\"4\" value=\"-0.5\" description=\"d\" mission=\"1\"/></armor>\n"
    "<engines><item id=\"v8\" name=\"w\" price=\"5\" e1=\"1\" e2=\"2\" e3=\"3\" e4=\"4\" e5=\"5\" description=\"d\" "
    "mission=\"1\"/></engines>\n";
const std::string Scores =
    "<scoreTables>\n"
    "  <table><score name=\"Rook\" minutes=\"1\" seconds=\"59\" hundredths=\"99\"/></table>\n"
    "  <table/>\n"
    "</scoreTables>\n";
const std::string Presets =
    "<carPresets>\n"
    "  <mission number=\"1\">\n"
    "    <preset weapon1=\"mg\" engine=\"v8\"/>\n"
    "    <preset/>\n"
    "    <preset weapon3=\"mg\" equipment2=\"radar\" bumper=\"ram\" armor=\"plate\" superWeapon=\"quake\" "
    "charges=\"2\" mine=\"spike\" equipment1=\"nitro\" weapon2=\"mg\"/>\n"
    "  </mission>\n"
    "</carPresets>\n";

std::string Campaign(const std::string& body) { return "<?xml version=\"1.0\"?>\n<campaign>\n" + body + "</campaign>\n"; }
const std::string Complete = Campaign(Texts + Catalogues + Scores + Presets);

// `from` replaced by `to` once in the complete campaign.
std::string Damaged(const std::string& from, const std::string& to) {
    std::string text = Complete;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(CampaignDataFile, EveryValueOfACompleteFile) {
    CampaignData data;
    std::string error;
    ASSERT_TRUE(Read(Complete, data, error)) << error;
    EXPECT_EQ(data.TextTable.size(), 3u);
    EXPECT_EQ(data.TextTable.at("w"), "Gun");
    EXPECT_EQ(data.TextTable.at("empty"), "");

    ASSERT_EQ(data.Weapons.Size(), 1u);
    const WeaponInfo expected{"w", 300, 1, 0.5f, -200, 2.5f, 0.25f, 2, 10.0f, -1.5f, "d", 1};
    EXPECT_EQ(*data.Weapons.Find("mg"), expected);
    EXPECT_EQ(*data.Mines.Find("spike"), (MineInfo{"w", 0, 1, 2.0f, 3.0f, 4, 5.0f, 6.0f, 7.0f, "d", 2}));
    EXPECT_EQ(*data.SuperWeapons.Find("quake"), (SuperWeaponInfo{"w", 250, "empty", 1}));
    EXPECT_EQ(data.Bumpers.Find("ram")->Value, 1.5f);
    ASSERT_EQ(data.Equipment.InOrder.size(), 2u);
    EXPECT_EQ(data.Equipment.InOrder[0].first, "nitro");
    EXPECT_EQ(data.Equipment.InOrder[1].first, "radar");
    EXPECT_EQ(data.Equipment.InOrder[1].second.RequiredMission, 3);
    EXPECT_EQ(data.Armor.Find("plate")->Value, -0.5f);
    EXPECT_EQ(data.Engines.Find("v8")->Values, (std::array<float, 5>{1, 2, 3, 4, 5}));

    EXPECT_EQ(data.ScoreTables, (std::vector<std::vector<ScoreRecord>>{{{"Rook", 1, 59, 99}}, {}}));

    ASSERT_EQ(data.CarPresets.size(), 3u);
    CarSettings first;
    first.Weapons[0] = "mg";
    first.Engine = "v8";
    EXPECT_EQ(data.CarPresets[0], first);
    EXPECT_EQ(data.CarPresets[1], CarSettings());
    const CarSettings& full = data.CarPresets[2];
    EXPECT_EQ(full.Weapons, (std::array<std::string, 3>{"", "mg", "mg"}));
    EXPECT_EQ(full.Equipment, (std::array<std::string, 2>{"nitro", "radar"}));
    EXPECT_EQ(full.SuperWeapon, "quake");
    EXPECT_EQ(full.SuperWeaponCharges, 2);
    EXPECT_EQ(full.Mine, "spike");
}

TEST(CampaignDataFile, SectionsAreOptional) {
    CampaignData data;
    std::string error;
    ASSERT_TRUE(Read("<campaign><!-- nothing yet --></campaign>", data, error)) << error;
    EXPECT_TRUE(data.TextTable.empty());
    EXPECT_TRUE(data.CarPresets.empty());
    EXPECT_TRUE(data.ScoreTables.empty());
}

TEST(CampaignDataFile, FaultsNameTheFileLineAndWhat) {
    struct Case {
        const char* name;
        std::string xml;
        std::string error;
    };
    const Case cases[] = {
        {"negative price", Damaged("price=\"300\"", "price=\"-5\""),
         "Data\\campaign.xml:9: <item> \"mg\" in <weapons>: attribute \"price\": -5 is negative"},
        {"price not a number", Damaged("price=\"300\"", "price=\"3e2\""), ":9: <item> \"mg\" in <weapons>: attribute \"price\": \"3e2\" is not a whole number"},
        {"price with trailing text", Damaged("price=\"300\"", "price=\"300 gold\""), "is not a whole number"},
        {"price beyond 32 bits", Damaged("price=\"300\"", "price=\"4294967296\""), "is not a whole number"},
        {"decimal with exponent", Damaged("w1=\"0.5\"", "w1=\"5e-1\""), "attribute \"w1\": \"5e-1\" is not a decimal number"},
        {"decimal out of range", Damaged("w1=\"0.5\"", "w1=\"1" + std::string(50, '0') + "\""), "is not a decimal number"},
        {"empty number", Damaged("w1=\"0.5\"", "w1=\"\""), "is not a decimal number"},
        {"zero cost divisor", Damaged("costDivisor=\"2\"", "costDivisor=\"0\""), "attribute \"costDivisor\": 0 must be above 0"},
        {"zero fire rate", Damaged("fireRate=\"10\"", "fireRate=\"0\""), "attribute \"fireRate\": 0 must be above 0"},
        {"negative damage", Damaged("damage=\"2.5\"", "damage=\"-1\""), "attribute \"damage\": -1 is negative"},
        {"mission 0", Damaged("mission=\"2\"", "mission=\"0\""), "<item> \"spike\" in <mines>: attribute \"mission\": 0 is not a mission number"},
        {"missing attribute", Damaged(" w4=\"-1.5\"", ""), "<item> \"mg\" in <weapons>: attribute \"w4\" is missing"},
        {"missing id", Damaged("<item id=\"ram\"", "<item"), ":13: <item> in <bumpers>: attribute \"id\" is missing"},
        {"unknown attribute", Damaged("value=\"1.5\"", "value=\"1.5\" colour=\"red\""), "<item> \"ram\" in <bumpers>: unknown attribute \"colour\""},
        {"id none", Damaged("id=\"ram\"", "id=\"none\""), "attribute \"id\": \"none\" cannot name an item"},
        {"empty id", Damaged("id=\"ram\"", "id=\"\""), "attribute \"id\": \"\" cannot name an item"},
        {"two halves would differ", Damaged("id=\"radar\"", "id=\"nitro\""), ":14: <item> \"nitro\" in <equipment>: the id is given twice"},
        {"unknown text key", Damaged("description=\"d\" mission=\"1\"/></bumpers>", "description=\"dd\" mission=\"1\"/></bumpers>"),
         "<item> \"ram\" in <bumpers>: attribute \"description\": text key \"dd\" is not in <texts>"},
        {"duplicate text", Damaged("<text key=\"empty\"/>", "<text key=\"w\"/>"), ":6: <text> \"w\": the key is given twice"},
        {"markup in a text", Damaged(">Gun<", "><b>Gun</b><"), "<text> \"w\": holds markup"},
        {"empty text key", Damaged("key=\"empty\"", "key=\"\""), "<text>: attribute \"key\": is empty"},
        {"unknown element in a catalogue", Damaged("<armor><item", "<armor><armour"), "<armor>: holds <armour>, where only <item> belongs"},
        {"text in a catalogue", Damaged("<engines>", "<engines>v8"), "<engines>: text outside an element"},
        {"unknown section", Damaged("<scoreTables>", "<scores/><scoreTables>"), ":17: <scores>: not a section of <campaign>"},
        {"section twice", Damaged("<scoreTables>", "<texts/><scoreTables>"), "<texts>: the section is given twice"},
        {"attribute on a section", Damaged("<scoreTables>", "<scoreTables size=\"2\">"), "<scoreTables>: unknown attribute \"size\""},
        {"wrong root", "<campain/>", "Data\\campaign.xml:1: <campain>: the root element must be <campaign>"},
        {"sixty seconds", Damaged("seconds=\"59\"", "seconds=\"60\""), "<score> in <table> 1: attribute \"seconds\": 60 is above 59"},
        {"hundredths", Damaged("hundredths=\"99\"", "hundredths=\"100\""), "attribute \"hundredths\": 100 is above 99"},
        {"negative minutes", Damaged("minutes=\"1\"", "minutes=\"-1\""), "attribute \"minutes\": -1 is negative"},
        {"eight scores", Damaged("<table/>", "<table>" + [] {
                                     std::string s;
                                     for (int i = 0; i < 8; ++i) s += "<score name=\"a\" minutes=\"1\" seconds=\"1\" hundredths=\"1\"/>";
                                     return s;
                                 }() + "</table>"),
         "<table> 2: holds more than 7 scores"},
        {"preset names an unknown weapon", Damaged("weapon1=\"mg\"", "weapon1=\"laser\""),
         ":23: <preset> 1 of <mission> 1: attribute \"weapon1\": \"laser\" is not an item of <weapons>"},
        {"preset names an item of another catalogue", Damaged("equipment2=\"radar\"", "equipment2=\"mg\""),
         "<preset> 3 of <mission> 1: attribute \"equipment2\": \"mg\" is not an item of <equipment>"},
        {"negative charges", Damaged("charges=\"2\"", "charges=\"-2\""), "attribute \"charges\": -2 is negative"},
        {"empty charges", Damaged("charges=\"2\"", "charges=\"\""), "attribute \"charges\": \"\" is not a whole number"},
        {"two presets", Damaged("<preset/>", ""), ":22: <mission> 1: holds 2 presets, 3 expected"},
        {"mission numbered 2 first", Damaged("number=\"1\"", "number=\"2\""), "<mission>: attribute \"number\": 2 where mission 1 comes next"},
        {"unknown preset attribute", Damaged("<preset/>", "<preset weapon=\"mg\"/>"), "<preset> 2 of <mission> 1: unknown attribute \"weapon\""},
    };
    for (const Case& c : cases) {
        CampaignData data;
        data.TextTable["kept"] = "yes";
        std::string error;
        EXPECT_FALSE(Read(c.xml, data, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << "\n  got: " << error;
        EXPECT_EQ(error.rfind("Data\\campaign.xml:", 0), 0u) << c.name << "\n  got: " << error;
        EXPECT_EQ(data.TextTable.size(), 1u) << c.name;
    }
}

TEST(CampaignDataFile, FilesThatCannotBeUsedSayWhy) {
    CampaignData data;
    std::string error;
    EXPECT_FALSE(LoadCampaignDataFile("Data\\no-such-campaign.xml", data, error));
    EXPECT_EQ(error, "Data\\no-such-campaign.xml: cannot be read");

    CPGameData game;
    game.TextTable["kept"] = "yes";
    game.Weapons.Add("kept", WeaponInfo());
    EXPECT_FALSE(game.LoadCampaignData(std::string(TEST_DATA_DIR) + "/interface/no-such-file.xml", error));
    EXPECT_EQ(game.TextTable.size(), 1u);
    EXPECT_EQ(game.Weapons.Size(), 1u);
}

TEST(CampaignDataFile, TheShippedCampaignLoadsAndFitsItsOwnFiles) {
    CPGameData game;
    std::string error;
    ASSERT_TRUE(game.LoadCampaignData(ShippedFile, error)) << error;
    EXPECT_GE(game.Weapons.Size(), 3u);
    EXPECT_GE(game.Engines.Size(), 1u);
    EXPECT_GE(game.Armor.Size(), 1u);
    EXPECT_EQ(game.CarPresets.size() % 3, 0u);
    EXPECT_GE(game.CarPresets.size(), 3u);
    EXPECT_FALSE(game.ScoreTables.empty());
    EXPECT_FALSE(game.GetText("title1").empty());
    for (const CarSettings& preset : game.CarPresets) {
        EXPECT_GT(game.GetCarSettingsPrice(preset), 0.0);
    }
    // The shipped player file names only items of the shipped catalogues.
    std::ifstream in(std::string(TEST_DATA_DIR) + "/../../gamedir/Data/player.dat", std::ios::binary);
    const std::string player((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PlayerFile file;
    CampaignFileError fileError;
    ASSERT_TRUE(ParsePlayerFile(player.data(), static_cast<int>(player.size()), file, fileError));
    EXPECT_TRUE(CheckPlayerFileItems(file, game, fileError)) << fileError.Reason;
}

}  // namespace
