-- The level's life cycle and the race state, without a level and with the test level.

local function none(...) return select('#', ...) == 0 end

-- Without a level the rows that need one give nothing and change nothing.
assert(none(IsSingleMode()) and none(IsTimeMode()) and none(IsRaceStarted()))
assert(none(GetLevelSize()) and none(GetCheckpointTime()))
assert(IsDamageMsg() == false)
assert(none(StartLevel()) and none(StopLevel()) and none(DeleteLevel()))
assert(none(ShowCheckPoint()) and none(PlayerShot()) and none(ChangeCheckpointPosition(1, 2)))
assert(none(SetLevelTime(5)) and none(SetPlaceToFinish(2)) and none(SetReversed(true)))
assert(none(SetUpdateTime(true)) and none(ClearLevelTimers()))

-- With the level: its fields as the load left them, and the setters.
InitLevel("level1", true)
assert(IsSingleMode() == true and IsTimeMode() == false)
local x, y = GetLevelSize()
assert(x == 3000 and y == 3000)
assert(IsRaceStarted() == false)
SetUpdateTime(0)                  -- the number 0 is true
assert(IsRaceStarted() == true)
SetUpdateTime()
assert(IsRaceStarted() == false)
assert(IsDamageMsg() == false)
local m, s, h = GetCheckpointTime()
assert(m == 0 and s == 0 and h == 0)

-- Start, stop twice (the second does nothing), delete twice (the second does nothing).
StartLevel()
StopLevel()
StopLevel()
assert(IsSingleMode() == true)     -- a stopped level is still the current one
DeleteLevel()
assert(none(IsSingleMode()))
DeleteLevel()
assert(none(IsSingleMode()))

-- Time mode is read only when a third argument is given; 0 is true, nil false.
InitLevel("level1", false, 0)
assert(IsSingleMode() == false and IsTimeMode() == true)
InitLevel("level1", false, nil)    -- replaces the level before
assert(IsTimeMode() == false)
InitLevel("level1", false)
assert(IsTimeMode() == false)

-- A running level is stopped and replaced by the next InitLevel.
StartLevel()
InitLevel("level1", true, true)
assert(IsSingleMode() == true and IsTimeMode() == true)
DeleteLevel()

-- A level that fails to load is current but has no race: starting it does nothing.
InitLevel("no_such_level", false)
StartLevel()
StopLevel()
DeleteLevel()
assert(none(IsSingleMode()))
