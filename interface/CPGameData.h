// The campaign data singleton: everything of the campaign that outlives one race. The shop
// catalogues, the car settings (the shop's edited copy and the race's committed one), money,
// points and kills, names, mission and slot, the difficulty coefficients, the running race's
// lap state and the opponents', the ten track records, the score tables, the current mission's
// checkpoints and enemy sources, the interface's text table and the bonuses lying in the level.
//
// It lives with the interface because the interface reads its text table; the race, the
// scripts and the host reach it through CPGameData::Instance and use its fields directly.
// The host creates it and fills the catalogues, texts, score tables and car presets from our
// campaign data file (LoadCampaignData, see docs/CampaignData.md).
//
// The campaign files ("DATA\player.dat", "DATA\coeff.dat", the mission files, "Data\scores.dat")
// are read whole and parsed by the pure functions of CampaignFiles.h before anything is
// applied: a file that is short or damaged changes nothing and is reported to the log with
// its name and line.
#pragma once

#include "interface/CampaignRecords.h"

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

struct CampaignData;

class CPGameData {
public:
    // The file names the campaign operations use.
    static constexpr const char* PlayerFileName = "DATA\\player.dat";
    static constexpr const char* CoefficientsFileName = "DATA\\coeff.dat";
    static constexpr const char* ScoresFileName = "Data\\scores.dat";
    static constexpr const char* MissionFolder = "Data\\Levels";
    static constexpr const char* CampaignDataFileName = "Data\\campaign.xml";
    // Records a score table keeps.
    static constexpr size_t ScoreTableSize = 7;
    static constexpr size_t TrackCount = 10;

    CPGameData();
    ~CPGameData();
    CPGameData(const CPGameData&) = delete;
    CPGameData& operator=(const CPGameData&) = delete;

    // The text of key; a missing key is inserted with the empty text, which is returned
    // (later searches find the entry).
    const std::string& GetText(const std::string& key) { return TextTable[key]; }

    void SetCarSettings(const CarSettings& settings) { EditedCarSettings = settings; }
    void CommitCarSettings() { ActiveCarSettings = EditedCarSettings; }
    // The price of the car's equipment: each named item at its catalogue price, the super
    // weapon once per charge. A name that is not in its catalogue adds nothing.
    double GetCarSettingsPrice(const CarSettings& settings) const;
    // Money := money, and "change_money" with it as "%.2f" goes to "gamemenu".
    void UpdateMoney(float money);

    // Enters a record into score table number `table` (1-based). A table that has never been
    // full takes records in arrival order; a full one is sorted and takes the record only
    // when it is strictly faster than one of them, the slowest then falling out. False when
    // the record did not enter; a table number outside the tables changes nothing.
    bool AddRecord(int table, const ScoreRecord& record);

    void AddBonus(const CPtr<CPGameObject>& bonus, int value);
    // Removes the first entry of that object; nothing when there is none.
    void EraseBonus(const CPtr<CPGameObject>& bonus);

    // A new race: the player's lap state is new (round 1, twenty zero laps, no progress), the
    // computer cars' positions and lap states are emptied, the bonuses released. Money, names,
    // records, settings and mission data stay.
    void Clear();

    // The catalogues, text table, score tables and car presets, replaced whole.
    void SetCampaignData(CampaignData data);
    // Reads our campaign data file and applies it. On failure nothing changes and `error`
    // says why, with the file and line ("Data\campaign.xml:12: weapon "mg": ...").
    bool LoadCampaignData(const std::string& fileName, std::string& error);

    // "DATA\player.dat" into the edited and the committed car. A missing file gives the empty
    // car; a short or damaged one, or one naming an item that is not in its catalogue,
    // changes nothing and is logged. True when the file was applied.
    bool LoadPlayerFile();
    // The four difficulty coefficients: 1.0 each while "cam_speed" is not 0 and DifficultyFlag
    // is set; otherwise from "DATA\coeff.dat" when it can be read (values missing at its end
    // read as 0.0, logged), else unchanged.
    void LoadCoefficients();
    // Loads "Data\Levels\" + name: its checkpoint lines into MissionSources, its source lines
    // into EnemySources at the positions `sources` gives by name (the level's source
    // positions). A source whose position is not there is skipped and logged. A missing file
    // empties MissionSources only; a damaged one changes nothing and is logged. True when the
    // file was applied.
    bool LoadMissionInfo(const std::string& name, const std::unordered_map<std::string, D3DXVECTOR3>& sources);
    // Writes the score tables to "Data\scores.dat", scrambled. False when it cannot be written
    // (the old file then stays as it was).
    bool SaveScores() const;
    // Reads "Data\scores.dat" back into the score tables there are; a missing file changes
    // nothing (false), a damaged one or one naming a table that does not exist changes
    // nothing and is logged (false).
    bool LoadScores();

    int32_t LevelTransportCount = 0;
    std::list<BonusEntry> Bonuses;
    // Table number n (1-based) is entry n - 1.
    std::vector<std::vector<ScoreRecord>> ScoreTables;
    Catalogue<WeaponInfo> Weapons;
    Catalogue<MineInfo> Mines;
    Catalogue<SuperWeaponInfo> SuperWeapons;
    Catalogue<PartInfo> Bumpers;
    Catalogue<PartInfo> Equipment;
    Catalogue<PartInfo> Armor;
    Catalogue<EngineInfo> Engines;
    CarSettings EditedCarSettings;
    CarSettings ActiveCarSettings;
    float Money = 0.0f;
    std::vector<MissionSource> MissionSources;
    std::unordered_map<std::string, std::vector<EnemySourcePoint>> EnemySources;
    std::unordered_map<std::string, std::string> TextTable;
    int32_t CurrentMission = 1;
    // Three per mission: entries 3 (m - 1) .. 3 m - 1 belong to mission m.
    std::vector<CarSettings> CarPresets;
    float Coefficient1 = 0.0f;
    float BonusCoefficient = 0.0f;
    float DamageCoefficient = 0.0f;
    float LevelTimeCoefficient = 0.0f;
    int32_t Kills = 0;
    bool DifficultyFlag = false;
    int32_t SaveSlot = -1;  // 0..5, -1 while none is chosen
    int32_t RacesPassed = 0;
    // The player's lap state (a LapRecord's three fields).
    int32_t CurrentRound = 1;
    std::vector<float> LapTimes = std::vector<float>(LapRecord::LapSlots, 0.0f);
    int32_t PlayerProgress = -1;
    std::string PlayerName;
    std::string ProfileName;
    // Keys "0" to "4": the first five computer cars.
    std::unordered_map<std::string, AiPosition> AiPositions;
    std::unordered_map<std::string, LapRecord> LapRecords;
    int32_t Rounds = 0;
    int32_t PlayerType = 0;
    float RoundTime = 0.0f;  // s per round
    float RaceTimer = 0.0f;  // s since the race started
    int32_t MaxAbilityCount = 0;
    int32_t PlayerMana = 0;
    bool LevelStarted = false;
    // Entry LevelNumber - 1 of a level.
    std::array<TrackRecord, TrackCount> Records;
    int32_t Points = 0;

    static CPGameData* Instance;  // set by the host
};
