// The campaign files applied to the game data: each file is read whole and parsed first
// (CampaignFiles.h); only a file that made sense changes anything.
#include "interface/CPGameData.h"

#include "core/CPFileReader.h"
#include "core/CPFileWriter.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "interface/CampaignFiles.h"

#include <utility>

namespace {

const char* TextOf(const CPFileReader& reader) { return reinterpret_cast<const char*>(reader.GetData()); }

void LogRefused(const std::string& fileName, const CampaignFileError& error, const char* consequence) {
    CPLog::GetInstance().Write(0, "%s (%s)\n", FormatFileError(fileName, error).c_str(), consequence);
}

}  // namespace

bool CPGameData::LoadPlayerFile() {
    CPFileReader reader(PlayerFileName, false);
    if (FAILED(reader.Load())) {
        SetCarSettings(CarSettings());
        CommitCarSettings();
        return false;
    }
    PlayerFile file;
    CampaignFileError error;
    if (!ParsePlayerFile(TextOf(reader), reader.GetLength(), file, error) || !CheckPlayerFileItems(file, *this, error)) {
        LogRefused(PlayerFileName, error, "the car is left as it was");
        return false;
    }
    SetCarSettings(file.Car);
    CommitCarSettings();
    return true;
}

void CPGameData::LoadCoefficients() {
    if (Cfg::cam_speed != 0 && DifficultyFlag) {
        Coefficient1 = 1.0f;
        DamageCoefficient = 1.0f;
        BonusCoefficient = 1.0f;
        LevelTimeCoefficient = 1.0f;
        return;
    }
    CPFileReader reader(CoefficientsFileName, false);
    if (FAILED(reader.Load())) {
        return;
    }
    const CoefficientsFile file = ParseCoefficients(TextOf(reader), reader.GetLength());
    if (file.LinesRead < static_cast<int>(file.Values.size())) {
        CampaignFileError error;
        error.Reason = "holds " + std::to_string(file.LinesRead) + " of its 4 coefficients";
        LogRefused(CoefficientsFileName, error, "the missing ones are 0.0");
    }
    Coefficient1 = file.Values[0];
    DamageCoefficient = file.Values[1];
    BonusCoefficient = file.Values[2];
    LevelTimeCoefficient = file.Values[3];
}

bool CPGameData::LoadMissionInfo(const std::string& name,
                                 const std::unordered_map<std::string, D3DXVECTOR3>& sources) {
    const std::string fileName = std::string(MissionFolder) + "\\" + name;
    CPFileReader reader(fileName, false);
    if (FAILED(reader.Load())) {
        MissionSources.clear();
        return false;
    }
    MissionFile file;
    CampaignFileError error;
    if (!ParseMissionFile(TextOf(reader), reader.GetLength(), file, error)) {
        LogRefused(fileName, error, "the mission is left as it was");
        return false;
    }
    MissionSources = std::move(file.Checkpoints);
    EnemySources.clear();
    for (MissionSourceLine& line : file.Sources) {
        const auto position = sources.find(line.PositionName);
        if (position == sources.end()) {
            CampaignFileError missing{line.Line, "the level has no source position \"" + line.PositionName + "\""};
            LogRefused(fileName, missing, "the source is skipped");
            continue;
        }
        EnemySourcePoint point;
        point.Position = position->second;
        point.Kind = line.Kind;
        point.Value = line.Value;
        point.EnemyRanges = std::move(line.EnemyRanges);
        EnemySources[line.Group].push_back(std::move(point));
    }
    return true;
}

bool CPGameData::SaveScores() const {
    CPFileWriter writer(ScoresFileName, true);
    WriteScoreTables(ScoreTables, writer);
    return SUCCEEDED(writer.Save());
}

bool CPGameData::LoadScores() {
    CPFileReader reader(ScoresFileName, true);
    if (FAILED(reader.Load())) {
        return false;
    }
    std::vector<std::vector<ScoreRecord>> tables;
    CampaignFileError error;
    if (!ReadScoreTables(reader.GetData(), static_cast<size_t>(reader.GetLength()), ScoreTables.size(), ScoreTableSize,
                         tables, error)) {
        LogRefused(ScoresFileName, error, "the score tables are left as they were");
        return false;
    }
    ScoreTables = std::move(tables);
    return true;
}
