// The names of the three registration tables, in table order, as data: table A (230, the menu,
// profile and world scripts), table B (51, the race-side and HUD scripts) and table E (30, the
// engine binding module). A name may stand in A and B with two functions (SetCursor,
// GetWindowPosition); registration puts B's last, so B's is the one scripts see.
#include "script/ScriptTables.h"

#include <array>

namespace Script {

namespace {

constexpr std::array<const char*, 230> NamesA{
    "SetPlayerName", "ChangeGameCamera", "GetPlayerName", "PlayerApplyImpulse", "PlayerNitro", "SetTemp",
    "SetFOV", "GetPlayerSpeed", "SetMotionBlur", "SetCamera", "SetKills", "GetAICount", "InitPlayer", "Shot",
    "GetEnemyData", "StopScript", "CrossPlayerRay", "ClearTimer", "SetActions", "PlaySpecialSound3D",
    "PlaySpecialSound", "UpdateInterface", "CreateInterface", "ActivateInterface", "DeactivateInterface",
    "SetDefaultCamera", "InitLevel", "StartLevel", "StopLevel", "DeleteLevel", "SetCameraPos",
    "SetCameraZAngle", "SetCarParams", "SetWeaponPos", "CrossInterfaceRay", "GetWeaponInfo", "GetMineInfo",
    "GetSuperWeaponInfo", "GetBumperInfo", "GetEquipmentInfo", "GetArmorInfo", "GetEngineInfo",
    "GetWeaponNames", "GetMineNames", "GetSuperWeaponNames", "GetBumperNames", "GetEquipmentNames",
    "GetArmorNames", "GetEngineNames", "SetWindowVisible", "SetWindowPosition", "GetWindowPosition",
    "SetText", "SetTextString", "SaveLog", "GetCarInfo", "SetCarInfo", "SetMoney", "GetMoney",
    "IsValidGameDataName", "AddEnemy", "GetPlayerPosition", "GetPositionForEnemy", "GetEnemyType",
    "LoadMissionInfo", "GetCheckPointInfo", "IsEnemySourceNear", "GetCheckPointsCount",
    "UpdateInterfaceBuffers", "SetLevelTime", "SetBonus", "CommitCarSettings", "SmartBomb",
    "SetWindowPositionShop", "StopSounds", "PlayMusicNoLoop", "GetSoundVolume", "SetSoundVolume",
    "GetMusicVolume", "SetMusicVolume", "GetMouse", "SetMouse", "GetBrightness", "SetBrightness",
    "GetMusicName", "GetActionNames", "SetCursor", "SetAssignKey", "SetAction", "GetCurrentMission",
    "SetCurrentMission", "SaveGame", "LoadGame", "GetSaves", "DeleteSave", "ChangeCheckpointPosition",
    "AutoSetting", "GetCurrentResolution", "DumpAIInfo", "SetDifficulty", "GetDifficult", "GetActiveCar",
    "ActivateAbilities", "SetPlayersPanel", "NewPlayer", "IMenuRight", "IMenuLeft", "GetRoundsNumber",
    "GetCurrentRound", "SetNumRounds", "SetEditBoxText", "EditBoxTextLength", "EditBoxProcessKey",
    "GetEditBoxText", "UpdateRoundsTime", "GetTime", "CreateArrow", "DrawArrow", "GetAIPositions",
    "SaveActions", "LoadActions", "SetPosition", "GetPosition", "SetRotation", "GetBBoxInfo", "Explosion",
    "GetLevelSize", "CheckVisible", "SetFont", "SetFontString", "DeselectCurrentButton", "GetCameraPositions",
    "GetCameraZAngle", "IsPlayerMoveForward", "GetLight", "SetLight", "SilentActivateInterface",
    "GetPlayerSplineAngle", "SetProfileName", "GetProfileName", "UpdateSoundPosition", "GetSplineLinePoint",
    "GetSplineLineCount", "AddBonus", "EraseBonus", "GetBonusList", "GetClosestLineCenter",
    "DirectionalExplosion", "StartLighting", "UpdateTrasser", "DrawLine", "StopPlayerCar",
    "GetPlayerDirection", "GetPlayerMass", "SetAbilitiesCount", "LockPlayers", "LockPlayer",
    "CheckIntersection", "ThrowPlayer", "GetNearestSolmarPlayer", "GetNearestDrevikPlayer", "ApplyImpulse",
    "GetBonusesCount", "ClearBonuses", "ClearLevelTimers", "SetUpdateTime", "SetPlayerType",
    "GetNumRacesPassed", "SetNumRacesPassed", "ClearGameData", "GetRecords", "GetCurrentRace",
    "SetCurrentRace", "CheckPlayerRecords", "SaveScore", "SetRoundTime", "GetRoundTime", "SetWindowSize",
    "GetPlayerDamage", "GetAIDamage", "SetMaxAbilityCount", "GetPlayerMana", "SetPlayerMana", "Clone",
    "IsPlayerDead", "GetHelthBarCoord", "SetLevelStarted", "SetLensFlare", "SetTimeBonus", "GetFullTime",
    "Pup", "Pdown", "Pleft", "Pright", "GetObjectSpeed", "StopSpecialSound", "IsSpecialSoundPlaying",
    "IsRaceStarted", "IsWeather", "IsLightLeft", "IsDarkLeft", "GetTemp", "IsPlayerMovingBackwards",
    "SetLevelTransportCount", "StopPlayingMusic", "IsDead", "UpdateActions", "IsInGloom", "IsDamageMsg",
    "GetPlayerSlide", "InitWarning", "GetNitro", "IsNitro", "SetReversed", "IsLevelStarted",
    "SetPlaceToFinish", "GetTimeBest", "GetCheckpointTime", "GetPoints", "SetPoints", "GetTextPosition",
    "SetTextPosition", "IsSingleMode", "IsFileExists", "GetTextureSize", "GoURL", "IsTimeMode",
    "GetBestTimeAttack", "GetTimeAttack", "GoURLlink",
};

constexpr std::array<const char*, 51> NamesB{
    "SetRadialBlur", "SetCameraPlayer", "SetBrake", "AddScore", "GetScore", "IsInTable", "SetScoreLine",
    "GetScoreLine", "PlayerShot", "Jump", "SetCursor", "EngineState", "GetCursor", "PlayVideo",
    "PlayVideoNoSound", "PlayVideo1", "StopVideo", "StopVideo1", "UpdateScore", "UpdateTime",
    "ShowCheckPoint", "KillPlayer", "DamagePlayer", "SetShot", "SetMineShot", "IsRigid", "StartAnimation",
    "FindObject", "SetCurrentWeapon", "SetPrevWeapon", "SetNextWeapon", "GetRealCarInfo", "GetWindowPosition",
    "InitGameInterface", "UpdateGameInterface", "StopGlobalTimer", "StartGlobalTimer", "ClearGlobalTimer",
    "SetDifficult", "GetDifficulty", "SetObjectVisible", "ActivateAbilitiesAI", "GetPlayerSpeedAI",
    "PlayerNitroAI", "SetAbilitiesCountAI", "GetPlayerDirectionAI", "SetLightCoeff", "GetCameraPlayer",
    "Spawn", "GetFov1", "GetFov2",
};

constexpr std::array<const char*, 30> NamesE{
    "GetDeltaTime", "AddRef", "DumpObjects", "Release", "SendCommandByName", "SendCommandByObject",
    "SendCommandByCategory", "SetNextCommand", "GetCurrentCommand", "GetCurrentParams", "PointerToString",
    "StringToPointer", "SetPTransformation", "CheckString", "GetChildObject", "SetVisible", "SetCollision",
    "SplitString", "LoadRenderObject", "DrawDynamicObject", "SetAnimation", "GetParentObject",
    "ActivateObject", "DeactivateObject", "SetFade", "LockButton", "UnlockButton", "KillAllTasks", "ToInt",
    "PlayMusic",
};

}  // namespace

std::span<const char* const> TableNames(Table table) {
    switch (table) {
    case Table::A: return NamesA;
    case Table::B: return NamesB;
    case Table::E: return NamesE;
    }
    return {};
}

}  // namespace Script
