// Shop catalogue functions through scripts: item records and their texts, items on sale by
// mission and fitted equipment, the car settings and the car presets bought with the money.
#include "ScriptFixture.h"

#include "core/CPScriptTask.h"

namespace {

template <class Record>
Record Item(const std::string& name, int32_t price, int32_t mission) {
    Record r;
    r.Name = name;
    r.Price = price;
    r.DescriptionKey = name + "_desc";
    r.RequiredMission = mission;
    return r;
}

CarSettings Car(const std::string& weapon, int charges = 0) {
    CarSettings car;
    car.Weapons[0] = weapon;
    car.SuperWeapon = charges > 0 ? "nuke" : "";
    car.SuperWeaponCharges = charges;
    return car;
}

}  // namespace

class ScriptShop : public ScriptTest {
protected:
    CPGameData& Data() { return *CPGameData::Instance; }

    void SetUp() override {
        ScriptTest::SetUp();
        CPGameData& d = Data();
        WeaponInfo mg = Item<WeaponInfo>("mg", 100, 1);
        mg.ShotCost = 2;
        mg.W1 = 0.5f;
        mg.W2 = 7;
        mg.DamagePerShot = 12.5f;
        mg.W3 = 1.25f;
        mg.CostDivisor = 4;
        mg.FireRate = 8.0f;
        mg.W4 = -1.5f;
        d.Weapons.Add("mg", mg);
        d.Weapons.Add("rocket", Item<WeaponInfo>("rocket", 300, 2));
        d.Weapons.Add("plasma", Item<WeaponInfo>("plasma", 500, 3));
        d.Weapons.Add("laser", Item<WeaponInfo>("laser", 900, 16));
        d.Weapons.Add("flame", Item<WeaponInfo>("flame", 200, 1));
        MineInfo mine = Item<MineInfo>("spike", 40, 1);
        mine.M1 = 3;
        mine.M2 = 0.25f;
        mine.M3 = 0.5f;
        mine.M4 = -2;
        mine.M5 = 1.0f;
        mine.M6 = 2.0f;
        mine.M7 = 4.0f;
        d.Mines.Add("spike", mine);
        d.SuperWeapons.Add("nuke", Item<SuperWeaponInfo>("nuke", 250, 1));
        PartInfo bumper = Item<PartInfo>("ram", 60, 1);
        bumper.Value = 1.5f;
        d.Bumpers.Add("ram", bumper);
        d.Equipment.Add("radar", Item<PartInfo>("radar", 10, 1));
        d.Equipment.Add("jammer", Item<PartInfo>("jammer", 20, 1));
        d.Equipment.Add("shield", Item<PartInfo>("shield", 30, 1));
        d.Armor.Add("plate", Item<PartInfo>("plate", 70, 1));
        EngineInfo engine = Item<EngineInfo>("v8", 400, 1);
        engine.Values = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
        d.Engines.Add("v8", engine);
        d.TextTable["mg"] = "Machine gun";
        d.TextTable["mg_desc"] = "Fires fast.";
        d.CurrentMission = 2;
        d.DifficultyFlag = false;

        gamemenu = std::make_unique<CPScriptTask>();
        gamemenu->Start();
        host->RegisterScriptTask(gamemenu.get(), "gamemenu", {});
    }
    void TearDown() override {
        host->UnregisterScriptTask(gamemenu.get());
        ScriptTest::TearDown();
    }
    std::vector<std::string> MoneySent() {
        std::vector<std::string> sent;
        while (gamemenu->NextCommand()) {
            EXPECT_EQ(gamemenu->Current->Name, "change_money");
            sent.push_back(gamemenu->Current->Params.empty() ? "" : gamemenu->Current->Params[0]);
        }
        return sent;
    }

    std::unique_ptr<CPScriptTask> gamemenu;
};

TEST_F(ScriptShop, ItemRecordsWithTheirTexts) {
    Run(R"(
        local r = {GetWeaponInfo("mg")}
        local expected = {"Machine gun", 100, 2, 0.5, 7, 12.5, 1.25, 4, 8, -1.5, "Fires fast.", 1}
        assert(#r == 12)
        for i = 1, 12 do assert(r[i] == expected[i], i) end
        r = {GetMineInfo("spike")}
        expected = {"", 40, 3, 0.25, 0.5, -2, 1, 2, 4, "", 1}
        assert(#r == 11)
        for i = 1, 11 do assert(r[i] == expected[i], i) end
        r = {GetSuperWeaponInfo("nuke")} assert(#r == 4 and r[2] == 250 and r[4] == 1)
        r = {GetBumperInfo("ram")} assert(#r == 5 and r[2] == 60 and r[3] == 1.5)
        r = {GetEquipmentInfo("jammer")} assert(#r == 5 and r[2] == 20)
        r = {GetArmorInfo("plate")} assert(#r == 5 and r[2] == 70)
        r = {GetEngineInfo("v8")}
        assert(#r == 9 and r[2] == 400 and r[3] == 1 and r[7] == 5 and r[8] == "" and r[9] == 1)
        -- a name of another catalogue, or of none, gives nothing
        assert(select("#", GetWeaponInfo("spike")) == 0)
        assert(select("#", GetArmorInfo("ram")) == 0)
        assert(select("#", GetEngineInfo(nil)) == 0)
        assert(IsValidGameDataName("v8") and IsValidGameDataName("radar") and IsValidGameDataName("nuke"))
        assert(IsValidGameDataName("nothing") == false and IsValidGameDataName() == false)
    )");
    // Missing texts of known items are added empty; unknown names add nothing.
    EXPECT_EQ(Data().TextTable.count("spike"), 1u);
    EXPECT_EQ(Data().TextTable.count("spike_desc"), 1u);
    EXPECT_EQ(Data().TextTable.count("nothing"), 0u);
    EXPECT_EQ(Data().TextTable.count("ram"), 1u);
}

TEST_F(ScriptShop, ItemsOnSale) {
    Data().EditedCarSettings.Weapons = {"", "flame", ""};
    Data().EditedCarSettings.Equipment = {"jammer", ""};
    Data().EditedCarSettings.Bumper = "ram";
    Run(R"(
        local function same(expected, n, t)
            assert(n == #expected, n)
            for i = 1, #expected do assert(t[i] == expected[i], tostring(t[i])) end
            assert(t[#expected + 1] == nil)
        end
        -- mission 2: mission 3 and 16 are not on sale; the fitted weapon of slot 2 is left out
        same({"mg", "rocket"}, GetWeaponNames())
        assert(#{GetWeaponInfo("flame")} == 12)
        same({"radar", "shield"}, GetEquipmentNames())
        same({}, GetBumperNames())
        same({"spike"}, GetMineNames())
        same({"plate"}, GetArmorNames())
        same({"v8"}, GetEngineNames())
        same({"nuke"}, GetSuperWeaponNames())
    )");
    Data().DifficultyFlag = true;
    Data().EditedCarSettings.SuperWeapon = "nuke";
    Data().EditedCarSettings.SuperWeaponCharges = 3;
    Data().EditedCarSettings.Engine = "v8";
    Run(R"(
        local n, t = GetWeaponNames()
        assert(n == 3 and t[1] == "mg" and t[2] == "rocket" and t[3] == "plasma")
        n, t = GetSuperWeaponNames() assert(n == 0 and next(t) == nil)
        n, t = GetEngineNames() assert(n == 0 and next(t) == nil)
    )");
}

TEST_F(ScriptShop, CarSettingsAndMoney) {
    Run(R"(
        SetCarInfo("mg", "rocket", "", "radar", "", "ram", "v8", "plate", "nuke", 2.9, "spike")
        local r = {GetCarInfo()}
        local expected = {"mg", "rocket", "", "radar", "", "ram", "v8", "plate", "nuke", 2, "spike"}
        assert(#r == 11)
        for i = 1, 11 do assert(r[i] == expected[i], i) end
        r = {GetRealCarInfo()} assert(#r == 11 and r[1] == "" and r[10] == 0)
        CommitCarSettings()
        r = {GetRealCarInfo()}
        for i = 1, 11 do assert(r[i] == expected[i], i) end
        SetMoney(1234.5) assert(GetMoney() == 1234.5)
        SetMoney("12") assert(GetMoney() == 12)
    )");
    EXPECT_EQ(Data().ActiveCarSettings, Data().EditedCarSettings);
    EXPECT_EQ(MoneySent(), (std::vector<std::string>{"1234.50", "12.00"}));
}

TEST_F(ScriptShop, AutoSettingBuysTheBestPresetTheMoneyAllows) {
    struct Case {
        const char* what;
        int32_t mission;
        std::vector<int> presetPrices;  // of the preset's weapon
        int taken;                      // -1: none
        std::vector<std::string> sent;
    };
    const std::vector<Case> cases = {
        {"the dearest affordable preset of the mission", 1, {300, 600, 500}, 2, {"0.00"}},
        {"a cheaper one when the last is too dear", 1, {300, 450, 501}, 1, {"50.00"}},
        {"none affordable", 1, {501, 502, 503}, -1, {}},
        {"mission 0 searches nothing", 0, {1, 1, 1}, -1, {}},
        {"a mission beyond the presets starts at the last", 9, {300, 450, 501}, 1, {"50.00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPGameData& d = Data();
        d.Weapons.Clear();
        d.Weapons.Add("old", Item<WeaponInfo>("old", 400, 1));
        d.CarPresets.clear();
        for (size_t i = 0; i < c.presetPrices.size(); ++i) {
            const std::string name = "w" + std::to_string(i);
            d.Weapons.Add(name, Item<WeaponInfo>(name, c.presetPrices[i], 1));
            d.CarPresets.push_back(Car(name));
        }
        d.CurrentMission = c.mission;
        d.Money = 100.0f;
        d.EditedCarSettings = Car("old");
        d.ActiveCarSettings = Car("old");
        Run("AutoSetting()");
        if (c.taken >= 0) {
            EXPECT_EQ(d.EditedCarSettings, d.CarPresets[static_cast<size_t>(c.taken)]);
        } else {
            EXPECT_EQ(d.EditedCarSettings, Car("old"));
            EXPECT_EQ(d.Money, 100.0f);
        }
        EXPECT_EQ(d.ActiveCarSettings, Car("old"));
        EXPECT_EQ(MoneySent(), c.sent);
    }
    // Super-weapon charges count once each; unknown names cost nothing.
    CPGameData& d = Data();
    d.CurrentMission = 1;
    d.Money = 0.0f;
    d.EditedCarSettings = Car("unknown", 3);  // 750 in charges
    d.CarPresets = {Car("w0"), Car("w1"), Car("w2")};  // 300, 450, 501
    Run("AutoSetting()");
    EXPECT_EQ(d.EditedCarSettings, Car("w2"));
    EXPECT_EQ(MoneySent(), std::vector<std::string>{"249.00"});
}
