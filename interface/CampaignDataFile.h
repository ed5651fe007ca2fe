// Our campaign data file ("Data\campaign.xml", see docs/CampaignData.md): the shop catalogues,
// the interface text table, the starting score tables and the car presets the game data is
// filled with at start-up. Every value is checked as it is read; the first fault found refuses
// the whole file with "file:line: what is wrong", so the game never starts on half a campaign.
#pragma once

#include "interface/CampaignRecords.h"

#include <string>
#include <unordered_map>
#include <vector>

class TiXmlDocument;

struct CampaignData {
    Catalogue<WeaponInfo> Weapons;
    Catalogue<MineInfo> Mines;
    Catalogue<SuperWeaponInfo> SuperWeapons;
    Catalogue<PartInfo> Bumpers;
    Catalogue<PartInfo> Equipment;
    Catalogue<PartInfo> Armor;
    Catalogue<EngineInfo> Engines;
    std::unordered_map<std::string, std::string> TextTable;
    std::vector<std::vector<ScoreRecord>> ScoreTables;
    std::vector<CarSettings> CarPresets;  // three per mission, mission 1 first
};

// Records a score table of the file may hold (as many as the game keeps).
constexpr size_t CampaignScoreTableSize = 7;

// Reads a parsed document; fileName only names the file in the error. On failure `data` is
// left as it was.
bool ReadCampaignData(const TiXmlDocument& document, const std::string& fileName, CampaignData& data,
                      std::string& error);
// Loads the file through the engine's file layer (disk, then packs) and reads it.
bool LoadCampaignDataFile(const std::string& fileName, CampaignData& data, std::string& error);
