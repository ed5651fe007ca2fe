// Our campaign data file: any bytes are loaded through the file layer and either refused with
// the file's name, or give catalogues whose two halves agree, presets naming only known items
// and items naming only known texts; the game data then takes them.
#include "FuzzFiles.h"

#include "interface/CPGameData.h"
#include "interface/CampaignDataFile.h"

namespace {

template <class Record>
void CheckCatalogue(const Catalogue<Record>& catalogue, const CampaignData& data) {
    Fuzz::Check(catalogue.ByName.size() == catalogue.InOrder.size(), "both halves hold as many items");
    for (const auto& [name, record] : catalogue.InOrder) {
        const Record* found = catalogue.Find(name);
        Fuzz::Check(found != nullptr && *found == record, "both halves hold the same items");
        Fuzz::Check(record.Price >= 0 && record.RequiredMission >= 1, "prices and missions are checked");
        Fuzz::Check(data.TextTable.count(record.Name) == 1 && data.TextTable.count(record.DescriptionKey) == 1,
                    "items name known texts");
    }
}

void CheckItem(const auto& catalogue, const std::string& name) {
    Fuzz::Check(name.empty() || catalogue.Contains(name), "presets name known items");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::WriteFile("campaign.xml", data, size);
    CampaignData read;
    std::string error;
    if (!LoadCampaignDataFile(path, read, error)) {
        Fuzz::Check(error.rfind(path, 0) == 0, "a refused file is named in the error");
        Fuzz::Check(read.TextTable.empty() && read.Weapons.Size() == 0, "a refused file fills nothing");
        return 0;
    }
    CheckCatalogue(read.Weapons, read);
    CheckCatalogue(read.Mines, read);
    CheckCatalogue(read.SuperWeapons, read);
    CheckCatalogue(read.Bumpers, read);
    CheckCatalogue(read.Equipment, read);
    CheckCatalogue(read.Armor, read);
    CheckCatalogue(read.Engines, read);
    Fuzz::Check(read.CarPresets.size() % 3 == 0, "three presets per mission");
    for (const CarSettings& car : read.CarPresets) {
        for (const std::string& weapon : car.Weapons) {
            CheckItem(read.Weapons, weapon);
        }
        for (const std::string& item : car.Equipment) {
            CheckItem(read.Equipment, item);
        }
        CheckItem(read.Bumpers, car.Bumper);
        CheckItem(read.Engines, car.Engine);
        CheckItem(read.Armor, car.Armor);
        CheckItem(read.SuperWeapons, car.SuperWeapon);
        CheckItem(read.Mines, car.Mine);
        Fuzz::Check(car.SuperWeaponCharges >= 0, "charges are never negative");
    }
    for (const auto& table : read.ScoreTables) {
        Fuzz::Check(table.size() <= CampaignScoreTableSize, "score tables fit");
    }
    CPGameData game;
    game.SetCampaignData(read);
    for (const CarSettings& car : game.CarPresets) {
        Fuzz::Check(game.GetCarSettingsPrice(car) >= 0.0, "presets cost nothing negative");
    }
    return 0;
}
