// The catalogue entries a car takes for a race: the engine (its heating and cooling rates
// drive the engine temperature) and the mine (its count is shown by the interface). Only the
// player's car has equipment; computer cars keep empty entries, whose rates are 0.
#include "game/CPPlayer.h"

#include "interface/CPGameData.h"

void CPPlayer::LoadCarRecords(const CPGameData& game) {
    const CarSettings& settings = game.ActiveCarSettings;
    const EngineInfo* engine = settings.Engine.empty() ? nullptr : game.Engines.Find(settings.Engine);
    EngineRecord = engine != nullptr ? *engine : EngineInfo();
    const MineInfo* mine = settings.Mine.empty() ? nullptr : game.Mines.Find(settings.Mine);
    MineRecord = mine != nullptr ? *mine : MineInfo();
    HasMines = mine != nullptr;
}
