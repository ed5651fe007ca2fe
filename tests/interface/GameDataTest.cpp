#include "interface/CPGameData.h"

#include "core/CPCommandDispatcher.h"
#include "core/CPScriptTask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

WeaponInfo Weapon(int32_t price) {
    WeaponInfo weapon;
    weapon.Price = price;
    return weapon;
}

PartInfo Part(int32_t price) {
    PartInfo part;
    part.Price = price;
    return part;
}

// A shop with one item of each kind, priced in distinct powers of two so a sum shows which
// items it counted.
void FillShop(CPGameData& data) {
    data.Weapons.Add("mg", Weapon(1));
    data.Weapons.Add("rocket", Weapon(2));
    data.Equipment.Add("nitro", Part(4));
    data.Equipment.Add("radar", Part(8));
    data.Armor.Add("plate", Part(16));
    data.Bumpers.Add("ram", Part(32));
    EngineInfo engine;
    engine.Price = 64;
    data.Engines.Add("v8", engine);
    MineInfo mine;
    mine.Price = 128;
    data.Mines.Add("spike", mine);
    SuperWeaponInfo super;
    super.Price = 250;
    data.SuperWeapons.Add("nuke", super);
}

ScoreRecord Score(const std::string& name, int32_t minutes, int32_t seconds, int32_t hundredths) {
    return {name, minutes, seconds, hundredths};
}

std::vector<std::string> Names(const std::vector<ScoreRecord>& records) {
    std::vector<std::string> names;
    for (const ScoreRecord& record : records) {
        names.push_back(record.Name);
    }
    return names;
}

}  // namespace

TEST(GameData, StartsWithANewLapStateAndNoSlot) {
    const CPGameData data;
    EXPECT_EQ(data.CurrentRound, 1);
    EXPECT_EQ(data.LapTimes, std::vector<float>(20, 0.0f));
    EXPECT_EQ(data.PlayerProgress, -1);
    EXPECT_EQ(data.SaveSlot, -1);
    EXPECT_EQ(data.CurrentMission, 1);
    EXPECT_EQ(data.Money, 0.0f);
    EXPECT_TRUE(data.ScoreTables.empty());
    EXPECT_EQ(data.Records.size(), 10u);
}

TEST(GameData, CarPrices) {
    CPGameData data;
    FillShop(data);
    struct Case {
        const char* name;
        CarSettings car;
        double price;
    };
    CarSettings full;
    full.Weapons = {"mg", "rocket", "mg"};
    full.Equipment = {"nitro", "radar"};
    full.Armor = "plate";
    full.Bumper = "ram";
    full.Engine = "v8";
    full.Mine = "spike";
    full.SuperWeapon = "nuke";
    full.SuperWeaponCharges = 2;
    CarSettings super;
    super.SuperWeapon = "nuke";
    super.SuperWeaponCharges = 3;
    CarSettings unknown;
    unknown.Weapons = {"laser", "mg", ""};
    unknown.Equipment = {"mg", ""};  // a weapon's name is no equipment
    unknown.Engine = "warp";
    unknown.SuperWeapon = "bomb";
    unknown.SuperWeaponCharges = 5;
    const Case cases[] = {
        {"empty car", CarSettings(), 0.0},
        {"super weapon counts once per charge", super, 750.0},
        {"every slot", full, 1 + 2 + 1 + 4 + 8 + 16 + 32 + 64 + 128 + 500},
        {"unknown names add nothing", unknown, 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(data.GetCarSettingsPrice(c.car), c.price) << c.name;
    }
    // Lookups never insert: the catalogues hold what they held.
    EXPECT_EQ(data.Weapons.ByName.size(), 2u);
    EXPECT_EQ(data.Weapons.InOrder.size(), 2u);
    EXPECT_EQ(data.Equipment.ByName.size(), 2u);
    EXPECT_EQ(data.Engines.ByName.size(), 1u);
    EXPECT_EQ(data.SuperWeapons.ByName.size(), 1u);
}

TEST(GameData, CatalogueLookupsAndOrder) {
    Catalogue<PartInfo> armour;
    EXPECT_TRUE(armour.Add("light", Part(10)));
    EXPECT_TRUE(armour.Add("heavy", Part(30)));
    EXPECT_FALSE(armour.Add("light", Part(99)));  // taken: nothing changes
    ASSERT_NE(armour.Find("heavy"), nullptr);
    EXPECT_EQ(armour.Find("heavy")->Price, 30);
    EXPECT_EQ(armour.Find("medium"), nullptr);
    EXPECT_EQ(armour.PriceOf("light"), 10);
    EXPECT_EQ(armour.PriceOf("medium"), 0);
    EXPECT_EQ(armour.PriceOf(""), 0);
    EXPECT_FALSE(armour.Contains("medium"));
    ASSERT_EQ(armour.InOrder.size(), 2u);
    EXPECT_EQ(armour.InOrder[0].first, "light");
    EXPECT_EQ(armour.InOrder[0].second.Price, 10);
    EXPECT_EQ(armour.InOrder[1].first, "heavy");
    EXPECT_EQ(armour.ByName.size(), 2u);
}

TEST(GameData, ScoreTablesKeepArrivalOrderUntilFull) {
    CPGameData data;
    data.ScoreTables.resize(2);
    const int order[] = {5, 3, 6, 1, 4, 2, 7};
    for (int i : order) {
        EXPECT_TRUE(data.AddRecord(2, Score("r" + std::to_string(i), 1, i, 0)));
    }
    EXPECT_EQ(Names(data.ScoreTables[1]), (std::vector<std::string>{"r5", "r3", "r6", "r1", "r4", "r2", "r7"}));
    EXPECT_TRUE(data.ScoreTables[0].empty());

    // The eighth sorts the table; a faster one enters before the first slower, the slowest falls out.
    EXPECT_TRUE(data.AddRecord(2, Score("new", 1, 3, 50)));
    EXPECT_EQ(Names(data.ScoreTables[1]), (std::vector<std::string>{"r1", "r2", "r3", "new", "r4", "r5", "r6"}));

    // A tie with the slowest does not enter, and the table stays sorted.
    EXPECT_FALSE(data.AddRecord(2, Score("tie", 1, 6, 0)));
    EXPECT_EQ(data.ScoreTables[1].size(), 7u);
    EXPECT_EQ(data.ScoreTables[1].back().Name, "r6");

    // A tie with a middle record goes behind it.
    EXPECT_TRUE(data.AddRecord(2, Score("same", 1, 2, 0)));
    EXPECT_EQ(Names(data.ScoreTables[1]), (std::vector<std::string>{"r1", "r2", "same", "r3", "new", "r4", "r5"}));
}

TEST(GameData, ScoreTablesFilledPastTheirSizeKeepTheSevenFastest) {
    CPGameData data;
    data.ScoreTables.resize(1);
    // Minutes first, then seconds, then hundredths.
    for (int i = 0; i < 40; ++i) {
        data.AddRecord(1, Score(std::to_string(i), (i * 7) % 5, (i * 11) % 60, (i * 13) % 100));
    }
    std::vector<ScoreRecord> all;
    for (int i = 0; i < 40; ++i) {
        all.push_back(Score(std::to_string(i), (i * 7) % 5, (i * 11) % 60, (i * 13) % 100));
    }
    std::stable_sort(all.begin(), all.end(), ScoreOrdersBefore);
    all.resize(7);
    EXPECT_EQ(data.ScoreTables[0], all);
}

TEST(GameData, RecordsForTablesThatDoNotExistChangeNothing) {
    CPGameData data;
    data.ScoreTables = {{Score("a", 1, 0, 0)}, {}};
    const auto before = data.ScoreTables;
    for (int table : {0, -1, 3, 1000, INT32_MIN}) {
        EXPECT_FALSE(data.AddRecord(table, Score("x", 0, 0, 1))) << table;
    }
    EXPECT_EQ(data.ScoreTables, before);
    CPGameData none;
    EXPECT_FALSE(none.AddRecord(1, Score("x", 0, 0, 1)));
    EXPECT_TRUE(none.ScoreTables.empty());
}

TEST(GameData, MoneyGoesToTheGameMenuWithTwoDecimals) {
    CPCommandDispatcher dispatcher;
    CPCommandDispatcher::Instance = &dispatcher;
    CPScriptTask gamemenu;
    gamemenu.Start();
    dispatcher.RegisterName("gamemenu", &gamemenu);
    CPGameData data;
    data.UpdateMoney(1234.5f);
    data.UpdateMoney(-0.125f);
    data.UpdateMoney(7.0f);
    EXPECT_EQ(data.Money, 7.0f);
    std::vector<std::string> sent;
    while (gamemenu.NextCommand()) {
        ASSERT_EQ(gamemenu.Current->Name, "change_money");
        ASSERT_EQ(gamemenu.Current->Params.size(), 1u);
        sent.push_back(gamemenu.Current->Params[0]);
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"1234.50", "-0.12", "7.00"}));
    dispatcher.Unregister(&gamemenu);
    CPCommandDispatcher::Instance = nullptr;
}

TEST(GameData, ClearStartsANewRaceAndKeepsTheCampaign) {
    CPGameData data;
    CPGameObject crate("crate");
    CPGameObject barrel("barrel");
    data.AddBonus(CPtr<CPGameObject>(&crate), 10);
    data.AddBonus(CPtr<CPGameObject>(&barrel), 20);
    data.CurrentRound = 4;
    data.LapTimes = {61.0f, 62.0f, 63.0f};
    data.PlayerProgress = 17;
    data.Rounds = 3;
    data.AiPositions["0"] = {1.0f, 2.0f};
    data.LapRecords["1"].Round = 3;
    data.Money = 500.0f;
    data.PlayerName = "jeep";
    data.Records[2].BestTime = 80.0f;
    data.EditedCarSettings.Engine = "v8";
    data.MissionSources.resize(2);

    data.Clear();
    EXPECT_EQ(data.CurrentRound, 1);
    EXPECT_EQ(data.LapTimes, std::vector<float>(20, 0.0f));
    EXPECT_EQ(data.PlayerProgress, -1);
    EXPECT_TRUE(data.AiPositions.empty());
    EXPECT_TRUE(data.LapRecords.empty());
    EXPECT_TRUE(data.Bonuses.empty());
    EXPECT_EQ(data.Rounds, 3);
    EXPECT_EQ(data.Money, 500.0f);
    EXPECT_EQ(data.PlayerName, "jeep");
    EXPECT_EQ(data.Records[2].BestTime, 80.0f);
    EXPECT_EQ(data.EditedCarSettings.Engine, "v8");
    EXPECT_EQ(data.MissionSources.size(), 2u);
}

TEST(GameData, BonusesEraseTheFirstEntryOfTheirObject) {
    CPGameData data;
    CPGameObject crate("crate");
    CPGameObject barrel("barrel");
    CPGameObject stray("stray");
    data.AddBonus(CPtr<CPGameObject>(&crate), 1);
    data.AddBonus(CPtr<CPGameObject>(&barrel), 2);
    data.AddBonus(CPtr<CPGameObject>(&crate), 3);
    data.EraseBonus(CPtr<CPGameObject>(&stray));
    EXPECT_EQ(data.Bonuses.size(), 3u);
    data.EraseBonus(CPtr<CPGameObject>(&crate));
    std::vector<int32_t> values;
    for (const BonusEntry& entry : data.Bonuses) {
        values.push_back(entry.Value);
    }
    EXPECT_EQ(values, (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(data.Bonuses.back().Bonus.Get(), &crate);
    data.Clear();
}

TEST(GameData, CarSettingsAreEditedThenCommitted) {
    CPGameData data;
    CarSettings car;
    car.Weapons[1] = "mg";
    car.SuperWeaponCharges = 2;
    data.SetCarSettings(car);
    EXPECT_EQ(data.EditedCarSettings, car);
    EXPECT_EQ(data.ActiveCarSettings, CarSettings());
    data.CommitCarSettings();
    EXPECT_EQ(data.ActiveCarSettings, car);
}
