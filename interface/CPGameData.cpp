#include "interface/CPGameData.h"

#include "core/CPCommandDispatcher.h"
#include "core/Singletons.h"
#include "interface/CampaignDataFile.h"

#include <algorithm>
#include <charconv>
#include <utility>

CPGameData* CPGameData::Instance = nullptr;

CPGameData* GetGameData() { return CPGameData::Instance; }

bool ScoreOrdersBefore(const ScoreRecord& a, const ScoreRecord& b) {
    if (a.Minutes != b.Minutes) {
        return a.Minutes < b.Minutes;
    }
    if (a.Seconds != b.Seconds) {
        return a.Seconds < b.Seconds;
    }
    return a.Hundredths < b.Hundredths;
}

CPGameData::CPGameData() {
    // The engine's hash maps start with 100 buckets.
    TextTable.reserve(100);
    EnemySources.reserve(100);
    AiPositions.reserve(100);
    LapRecords.reserve(100);
}

CPGameData::~CPGameData() {
    if (Instance == this) {
        Instance = nullptr;
    }
}

double CPGameData::GetCarSettingsPrice(const CarSettings& settings) const {
    double price = 0.0;
    for (const std::string& weapon : settings.Weapons) {
        price += Weapons.PriceOf(weapon);
    }
    for (const std::string& item : settings.Equipment) {
        price += Equipment.PriceOf(item);
    }
    price += Armor.PriceOf(settings.Armor);
    price += Bumpers.PriceOf(settings.Bumper);
    price += Engines.PriceOf(settings.Engine);
    price += Mines.PriceOf(settings.Mine);
    // An integer product, as the shop has always priced charges (no overflow in 64 bits).
    price += static_cast<double>(static_cast<int64_t>(SuperWeapons.PriceOf(settings.SuperWeapon)) *
                                 settings.SuperWeaponCharges);
    return price;
}

void CPGameData::UpdateMoney(float money) {
    Money = money;
    // "%.2f" whatever the process locale is.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof(text), static_cast<double>(money), std::chars_format::fixed, 2);
    if (CPCommandDispatcher* dispatcher = GetCommandDispatcher()) {
        dispatcher->SendCommandByName("gamemenu", "change_money", std::string(text, written.ptr));
    }
}

bool CPGameData::AddRecord(int table, const ScoreRecord& record) {
    if (table < 1 || static_cast<size_t>(table) > ScoreTables.size()) {
        return false;
    }
    std::vector<ScoreRecord>& records = ScoreTables[static_cast<size_t>(table) - 1];
    if (records.size() < ScoreTableSize) {
        records.push_back(record);
        return true;
    }
    std::stable_sort(records.begin(), records.end(), ScoreOrdersBefore);
    const auto slower = std::find_if(records.begin(), records.end(),
                                     [&](const ScoreRecord& entry) { return ScoreOrdersBefore(record, entry); });
    if (slower == records.end()) {
        return false;
    }
    records.insert(slower, record);
    records.resize(ScoreTableSize);
    return true;
}

void CPGameData::AddBonus(const CPtr<CPGameObject>& bonus, int value) { Bonuses.push_back({bonus, value}); }

void CPGameData::EraseBonus(const CPtr<CPGameObject>& bonus) {
    const auto found =
        std::find_if(Bonuses.begin(), Bonuses.end(), [&](const BonusEntry& entry) { return entry.Bonus == bonus; });
    if (found != Bonuses.end()) {
        found->Bonus = nullptr;
        Bonuses.erase(found);
    }
}

void CPGameData::Clear() {
    const LapRecord fresh;
    CurrentRound = fresh.Round;
    LapTimes = fresh.LapTimes;
    PlayerProgress = fresh.Progress;
    AiPositions.clear();
    LapRecords.clear();
    for (BonusEntry& entry : Bonuses) {
        entry.Bonus = nullptr;
    }
    Bonuses.clear();
}

void CPGameData::SetCampaignData(CampaignData data) {
    Weapons = std::move(data.Weapons);
    Mines = std::move(data.Mines);
    SuperWeapons = std::move(data.SuperWeapons);
    Bumpers = std::move(data.Bumpers);
    Equipment = std::move(data.Equipment);
    Armor = std::move(data.Armor);
    Engines = std::move(data.Engines);
    TextTable = std::move(data.TextTable);
    ScoreTables = std::move(data.ScoreTables);
    CarPresets = std::move(data.CarPresets);
}

bool CPGameData::LoadCampaignData(const std::string& fileName, std::string& error) {
    CampaignData data;
    if (!LoadCampaignDataFile(fileName, data, error)) {
        return false;
    }
    SetCampaignData(std::move(data));
    return true;
}
