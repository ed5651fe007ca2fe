// Shop catalogue functions: the items of the seven catalogues with their texts, the items on
// sale, the edited and the committed car settings, the car presets and the money.
//
// An item function given a name that is not in its catalogue returns nothing and adds nothing
// to the text table; texts of items that are there are looked up as the interface does (a
// missing key is added with the empty text). An item is on sale up to the current mission, or
// up to mission 15 while the difficulty flag is set.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "interface/CPGameData.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace Script {

namespace {

// Every item of missions up to this one is on sale while the difficulty flag is set.
constexpr int32_t DifficultSaleLimit = 15;

CPGameData* Data() { return CPGameData::Instance; }

// The display name of an item, then its price: the two results every item function starts with.
template <class Record>
void PushNameAndPrice(lua_State* L, CPGameData& data, const Record& item) {
    lua_pushstring(L, data.GetText(item.Name).c_str());
    lua_pushnumber(L, item.Price);
}

// Its description and required mission: the two results every item function ends with.
template <class Record>
void PushDescriptionAndMission(lua_State* L, CPGameData& data, const Record& item) {
    lua_pushstring(L, data.GetText(item.DescriptionKey).c_str());
    lua_pushnumber(L, item.RequiredMission);
}

// Item records.

int GetWeaponInfo(lua_State* L) {
    CPGameData* data = Data();
    const WeaponInfo* found = data != nullptr ? data->Weapons.Find(Text(L, 1)) : nullptr;
    if (found == nullptr) {
        return 0;
    }
    const WeaponInfo& item = *found;
    PushNameAndPrice(L, *data, item);
    lua_pushnumber(L, item.ShotCost);
    lua_pushnumber(L, item.W1);
    lua_pushnumber(L, item.W2);
    lua_pushnumber(L, item.DamagePerShot);
    lua_pushnumber(L, item.W3);
    lua_pushnumber(L, item.CostDivisor);
    lua_pushnumber(L, item.FireRate);
    lua_pushnumber(L, item.W4);
    PushDescriptionAndMission(L, *data, item);
    return 12;
}

int GetMineInfo(lua_State* L) {
    CPGameData* data = Data();
    const MineInfo* found = data != nullptr ? data->Mines.Find(Text(L, 1)) : nullptr;
    if (found == nullptr) {
        return 0;
    }
    const MineInfo& item = *found;
    PushNameAndPrice(L, *data, item);
    lua_pushnumber(L, item.M1);
    lua_pushnumber(L, item.M2);
    lua_pushnumber(L, item.M3);
    lua_pushnumber(L, item.M4);
    lua_pushnumber(L, item.M5);
    lua_pushnumber(L, item.M6);
    lua_pushnumber(L, item.M7);
    PushDescriptionAndMission(L, *data, item);
    return 11;
}

int GetSuperWeaponInfo(lua_State* L) {
    CPGameData* data = Data();
    const SuperWeaponInfo* found = data != nullptr ? data->SuperWeapons.Find(Text(L, 1)) : nullptr;
    if (found == nullptr) {
        return 0;
    }
    const SuperWeaponInfo& item = *found;
    PushNameAndPrice(L, *data, item);
    PushDescriptionAndMission(L, *data, item);
    return 4;
}

int PushPartInfo(lua_State* L, Catalogue<PartInfo> CPGameData::*catalogue) {
    CPGameData* data = Data();
    const PartInfo* found = data != nullptr ? (data->*catalogue).Find(Text(L, 1)) : nullptr;
    if (found == nullptr) {
        return 0;
    }
    const PartInfo& item = *found;
    PushNameAndPrice(L, *data, item);
    lua_pushnumber(L, item.Value);
    PushDescriptionAndMission(L, *data, item);
    return 5;
}

int GetBumperInfo(lua_State* L) { return PushPartInfo(L, &CPGameData::Bumpers); }
int GetEquipmentInfo(lua_State* L) { return PushPartInfo(L, &CPGameData::Equipment); }
int GetArmorInfo(lua_State* L) { return PushPartInfo(L, &CPGameData::Armor); }

int GetEngineInfo(lua_State* L) {
    CPGameData* data = Data();
    const EngineInfo* found = data != nullptr ? data->Engines.Find(Text(L, 1)) : nullptr;
    if (found == nullptr) {
        return 0;
    }
    const EngineInfo& item = *found;
    PushNameAndPrice(L, *data, item);
    for (const float value : item.Values) {
        lua_pushnumber(L, value);
    }
    PushDescriptionAndMission(L, *data, item);
    return 9;
}

int IsValidGameDataName(lua_State* L) {
    const CPGameData* data = Data();
    const std::string name = Text(L, 1);
    const bool valid = data != nullptr &&
                       (data->Weapons.Contains(name) || data->Mines.Contains(name) ||
                        data->SuperWeapons.Contains(name) || data->Bumpers.Contains(name) ||
                        data->Equipment.Contains(name) || data->Armor.Contains(name) || data->Engines.Contains(name));
    lua_pushboolean(L, valid);
    return 1;
}

// Items on sale: the count, then a table {1..n} of the names in shop order, leaving out items
// above the sale limit and those `leftOut` names.
template <class Record, class LeftOut>
int PushItemsOnSale(lua_State* L, const Catalogue<Record>& catalogue, const CPGameData& data, LeftOut leftOut) {
    const int32_t limit = data.DifficultyFlag ? DifficultSaleLimit : data.CurrentMission;
    const auto onSale = [&](const std::pair<std::string, Record>& entry) {
        return entry.second.RequiredMission <= limit && !leftOut(entry.first);
    };
    // The names are copied first and pushed from the copy (see PushProtected).
    int count = 0;
    {
        std::vector<std::string> names;
        for (const auto& entry : catalogue.InOrder) {
            if (onSale(entry)) {
                names.push_back(entry.first);
            }
        }
        count = PushProtected(L, [&names](lua_State* S) {
            lua_pushnumber(S, static_cast<double>(names.size()));
            lua_createtable(S, static_cast<int>(std::min<size_t>(names.size(), INT_MAX)), 0);
            int index = 1;
            for (const std::string& name : names) {
                lua_pushlstring(S, name.data(), name.size());
                lua_rawseti(S, -2, index++);
            }
            return 2;
        });
    }
    return Results(L, count);
}

int PushNoItems(lua_State* L) {
    lua_pushnumber(L, 0);
    lua_newtable(L);
    return 2;
}

int GetWeaponNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    const auto& fitted = data->EditedCarSettings.Weapons;
    return PushItemsOnSale(L, data->Weapons, *data, [&](const std::string& name) {
        return std::find(fitted.begin(), fitted.end(), name) != fitted.end();
    });
}

int GetMineNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    return PushItemsOnSale(L, data->Mines, *data,
                           [&](const std::string& name) { return name == data->EditedCarSettings.Mine; });
}

int GetSuperWeaponNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    // A car carries at most three charges: with three, nothing more is sold.
    const bool full = data->EditedCarSettings.SuperWeaponCharges >= 3;
    return PushItemsOnSale(L, data->SuperWeapons, *data, [&](const std::string&) { return full; });
}

int GetBumperNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    return PushItemsOnSale(L, data->Bumpers, *data,
                           [&](const std::string& name) { return name == data->EditedCarSettings.Bumper; });
}

int GetEquipmentNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    const auto& fitted = data->EditedCarSettings.Equipment;
    return PushItemsOnSale(L, data->Equipment, *data, [&](const std::string& name) {
        return std::find(fitted.begin(), fitted.end(), name) != fitted.end();
    });
}

int GetArmorNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    return PushItemsOnSale(L, data->Armor, *data,
                           [&](const std::string& name) { return name == data->EditedCarSettings.Armor; });
}

int GetEngineNames(lua_State* L) {
    const CPGameData* data = Data();
    if (data == nullptr) {
        return PushNoItems(L);
    }
    return PushItemsOnSale(L, data->Engines, *data,
                           [&](const std::string& name) { return name == data->EditedCarSettings.Engine; });
}

// Car settings and money.

void PushString(lua_State* L, const std::string& text) { lua_pushlstring(L, text.data(), text.size()); }

// The eleven values in record order: weapons 1..3, equipment 1..2, bumper, engine, armour,
// super weapon, its charges, mine. Pushed from a copy, under protection.
int PushCarSettings(lua_State* L, const CarSettings* settings) {
    int count = 0;
    {
        const CarSettings car = settings != nullptr ? *settings : CarSettings();
        count = PushProtected(L, [&car](lua_State* S) {
            for (const std::string& weapon : car.Weapons) {
                PushString(S, weapon);
            }
            for (const std::string& item : car.Equipment) {
                PushString(S, item);
            }
            PushString(S, car.Bumper);
            PushString(S, car.Engine);
            PushString(S, car.Armor);
            PushString(S, car.SuperWeapon);
            lua_pushnumber(S, car.SuperWeaponCharges);
            PushString(S, car.Mine);
            return 11;
        });
    }
    return Results(L, count);
}

int GetCarInfo(lua_State* L) {
    const CPGameData* data = Data();
    return PushCarSettings(L, data != nullptr ? &data->EditedCarSettings : nullptr);
}

int GetRealCarInfo(lua_State* L) {
    const CPGameData* data = Data();
    return PushCarSettings(L, data != nullptr ? &data->ActiveCarSettings : nullptr);
}

int SetCarInfo(lua_State* L) {
    CPGameData* data = Data();
    if (data == nullptr) {
        return 0;
    }
    CarSettings car;
    car.Weapons = {Text(L, 1), Text(L, 2), Text(L, 3)};
    car.Equipment = {Text(L, 4), Text(L, 5)};
    car.Bumper = Text(L, 6);
    car.Engine = Text(L, 7);
    car.Armor = Text(L, 8);
    car.SuperWeapon = Text(L, 9);
    car.SuperWeaponCharges = Int(L, 10);
    car.Mine = Text(L, 11);
    data->SetCarSettings(car);
    return 0;
}

int CommitCarSettings(lua_State*) {
    if (CPGameData* data = Data()) {
        data->CommitCarSettings();
    }
    return 0;
}

int AutoSetting(lua_State*) {
    CPGameData* data = Data();
    if (data == nullptr || data->CurrentMission <= 0 || data->CarPresets.empty()) {
        return 0;
    }
    // The equipment on the car counts at its full price.
    const float budget = static_cast<float>(data->Money + data->GetCarSettingsPrice(data->EditedCarSettings));
    // The mission's last preset, clamped to the presets there are.
    const int64_t last = std::min<int64_t>(int64_t{3} * data->CurrentMission - 1,
                                           static_cast<int64_t>(data->CarPresets.size()) - 1);
    for (int64_t i = last; i >= 0; --i) {
        const CarSettings& preset = data->CarPresets[static_cast<size_t>(i)];
        const double price = data->GetCarSettingsPrice(preset);
        if (price <= budget) {
            data->EditedCarSettings = preset;
            data->UpdateMoney(static_cast<float>(budget - price));
            break;
        }
    }
    return 0;
}

int SetMoney(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->UpdateMoney(Number(L, 1));
    }
    return 0;
}

int GetMoney(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushnumber(L, data != nullptr ? data->Money : 0.0f);
    return 1;
}

}  // namespace

extern const luaL_Reg ShopFunctionsA[] = {
    {"GetWeaponInfo", GetWeaponInfo},
    {"GetMineInfo", GetMineInfo},
    {"GetSuperWeaponInfo", GetSuperWeaponInfo},
    {"GetBumperInfo", GetBumperInfo},
    {"GetEquipmentInfo", GetEquipmentInfo},
    {"GetArmorInfo", GetArmorInfo},
    {"GetEngineInfo", GetEngineInfo},
    {"GetWeaponNames", GetWeaponNames},
    {"GetMineNames", GetMineNames},
    {"GetSuperWeaponNames", GetSuperWeaponNames},
    {"GetBumperNames", GetBumperNames},
    {"GetEquipmentNames", GetEquipmentNames},
    {"GetArmorNames", GetArmorNames},
    {"GetEngineNames", GetEngineNames},
    {"GetCarInfo", GetCarInfo},
    {"SetCarInfo", SetCarInfo},
    {"SetMoney", SetMoney},
    {"GetMoney", GetMoney},
    {"IsValidGameDataName", IsValidGameDataName},
    {"CommitCarSettings", CommitCarSettings},
    {"AutoSetting", AutoSetting},
    {nullptr, nullptr},
};

extern const luaL_Reg ShopFunctionsB[] = {
    {"GetRealCarInfo", GetRealCarInfo},
    {nullptr, nullptr},
};

}  // namespace Script
