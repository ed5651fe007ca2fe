// "DATA\player.dat": any text is parsed into a car or refused with its line, and a parsed car
// is checked against a small shop without changing it.
#include "FuzzFiles.h"

#include "interface/CampaignFiles.h"
#include "interface/CPGameData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CPGameData* shop = [] {
        auto* data = new CPGameData;
        data->Weapons.Add("mg", WeaponInfo());
        data->Mines.Add("spike", MineInfo());
        data->Armor.Add("plate", PartInfo());
        data->Engines.Add("v8", EngineInfo());
        return data;
    }();
    PlayerFile file;
    CampaignFileError error;
    if (!ParsePlayerFile(reinterpret_cast<const char*>(data), static_cast<int>(size), file, error)) {
        Fuzz::Check(!error.Reason.empty(), "a refused file says why");
        return 0;
    }
    Fuzz::Check(file.Car.SuperWeaponCharges >= 0, "charges are never negative");
    for (size_t i = 1; i < file.Lines.size(); ++i) {
        Fuzz::Check(file.Lines[i] >= file.Lines[i - 1] && file.Lines[i - 1] >= 1, "fields come in text order");
    }
    for (const std::string& name : {file.Car.Weapons[0], file.Car.Mine, file.Car.Equipment[1]}) {
        Fuzz::Check(name != "none", "\"none\" is an empty slot");
    }
    if (!CheckPlayerFileItems(file, *shop, error)) {
        Fuzz::Check(error.Line >= 1, "an unknown item names its line");
    }
    Fuzz::Check(shop->Weapons.Size() == 1 && shop->Weapons.ByName.size() == 1 && shop->Equipment.ByName.empty(),
                "checking never inserts");
    return 0;
}
