// Profile and save-game functions: the profile's and the player's names, the six save slots,
// mission, races passed and points, the track records and score tables, and the difficulty
// settings. The state is the game data's; the save files are script/SaveGame.h's.
//
// Save names from scripts are bare file names (SaveGame::IsBareName); anything else is refused
// and logged. Table numbers and round counts are clamped to the tables and laps there are; with
// no score table at all CheckPlayerRecords answers false and GetRecords an empty table.
#include "script/ScriptAreas.h"

#include "script/SaveGame.h"
#include "script/ScriptApi.h"

#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "game/CPLevel.h"
#include "game/CPPlayer.h"
#include "interface/CPGameData.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace Script {

namespace {

CPGameData* Data() { return CPGameData::Instance; }

// The score table a script's table number (1-based) stands for, clamped to the tables there
// are; null when there is none.
std::vector<ScoreRecord>* ScoreTable(CPGameData& data, int32_t number) {
    if (data.ScoreTables.empty()) {
        return nullptr;
    }
    const int64_t last = static_cast<int64_t>(data.ScoreTables.size());
    return &data.ScoreTables[static_cast<size_t>(std::clamp<int64_t>(number, 1, last) - 1)];
}

// Profile and names.

int SetPlayerName(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->PlayerName = Text(L, 1);
    }
    return 0;
}

int GetPlayerName(lua_State* L) {
    if (lua_gettop(L) >= 1) {
        const CPPlayer* car = Handle<CPPlayer>(L, 1, "GetPlayerName");
        lua_pushstring(L, car != nullptr ? car->CarName.c_str() : "");
        return 1;
    }
    const CPGameData* data = Data();
    lua_pushstring(L, data != nullptr ? data->PlayerName.c_str() : "");
    return 1;
}

int SetProfileName(lua_State* L) {
    if (CPGameData* data = Data()) {
        SaveGame::CheckSaveProfile(*data, Text(L, 1));
    }
    return 0;
}

int GetProfileName(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushstring(L, data != nullptr ? data->ProfileName.c_str() : "");
    return 1;
}

int NewPlayer(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->PlayerName = Text(L, 1);
        SaveGame::WriteSaveFile(*data, SaveGame::SlotFileName(0));
    }
    return 0;
}

int InitPlayer(lua_State*) {
    if (CPGameData* data = Data()) {
        data->LoadPlayerFile();
    }
    return 0;
}

// Save games.

int SaveGameFunction(lua_State*) {
    if (CPGameData* data = Data()) {
        SaveGame::SaveToSlot(*data);
    }
    return 0;
}

int LoadGame(lua_State* L) {
    if (CPGameData* data = Data()) {
        SaveGame::LoadGame(*data, Text(L, 1));
    }
    return 0;
}

int GetSaves(lua_State* L) {
    int count = 0;
    {
        std::vector<std::string> profiles(SaveGame::SlotCount);
        for (int slot = 0; slot < SaveGame::SlotCount; ++slot) {
            SaveGame::Record record;
            std::string reason;
            if (SaveGame::ReadFile(SaveGame::SlotFileName(slot), record, reason) == SaveGame::FileState::Read) {
                profiles[static_cast<size_t>(slot)] = record.ProfileName;
            }
        }
        count = PushProtected(L, [&profiles](lua_State* S) {
            lua_pushnumber(S, SaveGame::SlotCount);
            lua_createtable(S, SaveGame::SlotCount, 0);
            int index = 1;
            for (const std::string& profile : profiles) {
                lua_pushlstring(S, profile.data(), profile.size());
                lua_rawseti(S, -2, index++);
            }
            return 2;
        });
    }
    return Results(L, count);
}

int DeleteSave(lua_State* L) {
    SaveGame::DeleteSave(Text(L, 1));
    return 0;
}

// Mission, races, points.

int SetCurrentMission(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->CurrentMission = Int(L, 1);
    }
    return 0;
}

int GetCurrentMission(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushnumber(L, data != nullptr ? data->CurrentMission : 0);
    return 1;
}

int GetNumRacesPassed(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushnumber(L, data != nullptr ? data->RacesPassed : 0);
    return 1;
}

int SetNumRacesPassed(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->RacesPassed = Int(L, 1);
    }
    return 0;
}

int GetPoints(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushnumber(L, data != nullptr ? data->Points : 0);
    return 1;
}

int SetPoints(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->Points = Int(L, 1);
    }
    return 0;
}

int ClearGameData(lua_State*) {
    if (CPGameData* data = Data()) {
        data->Clear();
    }
    return 0;
}

// Records and scores.

int GetBestTimeAttack(lua_State* L) {
    float best = 0.0f;
    const CPGameData* data = Data();
    const int32_t level = CPLevel::Current != nullptr ? CPLevel::Current->GetLevelNumber() : 0;
    // Level 0 (and anything outside the ten tracks) has no record: 0, 0, 0.
    if (data != nullptr && level >= 1 && static_cast<size_t>(level) <= data->Records.size()) {
        best = data->Records[static_cast<size_t>(level) - 1].BestTime;
    }
    PushSplitTime(L, best);
    return 3;
}

int CheckPlayerRecords(lua_State* L) {
    const int32_t number = Int(L, 1);
    CPGameData* data = Data();
    if (data == nullptr || data->LapTimes.empty() || ScoreTable(*data, number) == nullptr) {
        lua_pushboolean(L, false);
        return 1;
    }
    const auto key = [](const SplitTimeValue& t) { return std::tie(t.Minutes, t.Seconds, t.Hundredths); };
    SplitTimeValue best = SplitTime(data->LapTimes[0]);
    const size_t laps = std::min(static_cast<size_t>(std::max(data->Rounds, 1)), data->LapTimes.size());
    for (size_t i = 1; i < laps; ++i) {
        const SplitTimeValue lap = SplitTime(data->LapTimes[i]);
        if (key(lap) < key(best)) {
            best = lap;
        }
    }
    const int32_t table = static_cast<int32_t>(ScoreTable(*data, number) - data->ScoreTables.data()) + 1;
    const bool entered = data->AddRecord(table, {data->ProfileName, best.Minutes, best.Seconds, best.Hundredths});
    lua_pushboolean(L, entered);
    return 1;
}

int GetRecords(lua_State* L) {
    const int32_t number = Int(L, 1);
    // A copy of the table's names and times first: the pushes may run the collector.
    struct Row {
        std::string Name;
        char Time[48] = "";
    };
    int count = 0;
    {
        std::vector<Row> rows;
        CPGameData* data = Data();
        if (const std::vector<ScoreRecord>* table = data != nullptr ? ScoreTable(*data, number) : nullptr) {
            rows.resize(table->size());
            for (size_t i = 0; i < table->size(); ++i) {
                const ScoreRecord& record = (*table)[i];
                rows[i].Name = record.Name;
                if (!record.Name.empty()) {
                    std::snprintf(rows[i].Time, sizeof(rows[i].Time), "%02d:%02d:%02d", record.Minutes, record.Seconds,
                                  record.Hundredths);
                }
            }
        }
        count = PushProtected(L, [&rows](lua_State* S) {
            lua_createtable(S, static_cast<int>(std::min<size_t>(rows.size(), INT_MAX)), 0);
            int index = 1;
            for (const Row& row : rows) {
                lua_createtable(S, 2, 0);
                lua_pushlstring(S, row.Name.data(), row.Name.size());
                lua_rawseti(S, -2, 1);
                lua_pushstring(S, row.Time);
                lua_rawseti(S, -2, 2);
                lua_rawseti(S, -2, index++);
            }
            return 1;
        });
    }
    return Results(L, count);
}

int SaveScore(lua_State*) {
    if (const CPGameData* data = Data(); data != nullptr && !data->SaveScores()) {
        CPLog::GetInstance().Write(0, "SaveScore: %s: cannot be written, the old file stays\n",
                                   CPGameData::ScoresFileName);
    }
    return 0;
}

// Difficulty.

int SetDifficulty(lua_State* L) {
    Cfg::cam_speed = Int(L, 1);
    return 0;
}

int GetDifficulty(lua_State* L) {
    lua_pushboolean(L, Cfg::cam_speed != 0);
    return 1;
}

int SetDifficult(lua_State* L) {
    if (CPGameData* data = Data()) {
        data->DifficultyFlag = Flag(L, 1);
        data->LoadCoefficients();
    }
    return 0;
}

int GetDifficult(lua_State* L) {
    const CPGameData* data = Data();
    lua_pushnumber(L, data != nullptr && data->DifficultyFlag ? 1 : 0);
    return 1;
}

}  // namespace

extern const luaL_Reg SaveFunctionsA[] = {
    {"SetPlayerName", SetPlayerName},
    {"GetPlayerName", GetPlayerName},
    {"SetProfileName", SetProfileName},
    {"GetProfileName", GetProfileName},
    {"NewPlayer", NewPlayer},
    {"InitPlayer", InitPlayer},
    {"SaveGame", SaveGameFunction},
    {"LoadGame", LoadGame},
    {"GetSaves", GetSaves},
    {"DeleteSave", DeleteSave},
    {"SetCurrentMission", SetCurrentMission},
    {"SetCurrentRace", SetCurrentMission},
    {"GetCurrentMission", GetCurrentMission},
    {"GetCurrentRace", GetCurrentMission},
    {"GetNumRacesPassed", GetNumRacesPassed},
    {"SetNumRacesPassed", SetNumRacesPassed},
    {"GetPoints", GetPoints},
    {"SetPoints", SetPoints},
    {"ClearGameData", ClearGameData},
    {"GetBestTimeAttack", GetBestTimeAttack},
    {"CheckPlayerRecords", CheckPlayerRecords},
    {"GetRecords", GetRecords},
    {"SaveScore", SaveScore},
    {"SetDifficulty", SetDifficulty},
    {"GetDifficult", GetDifficult},
    {nullptr, nullptr},
};

extern const luaL_Reg SaveFunctionsB[] = {
    {"GetDifficulty", GetDifficulty},
    {"SetDifficult", SetDifficult},
    {nullptr, nullptr},
};

}  // namespace Script
