-- Race settings, round times and the score stubs through the game data.

local function none(...) return select('#', ...) == 0 end

-- Integers truncate toward zero; numeric strings convert.
SetNumRounds(2.9)   assert(GetRoundsNumber() == 2)
SetNumRounds(-1.5)  assert(GetRoundsNumber() == -1)
SetNumRounds("3")   assert(GetRoundsNumber() == 3)
SetKills("12")      assert(GetScore() == 12)
SetKills({})        assert(GetScore() == 0)
SetRoundTime(90.5)  assert(GetRoundTime() == 90.5)
SetLevelStarted(0)  assert(IsLevelStarted() == true)
SetLevelStarted()   assert(IsLevelStarted() == false)
assert(GetCurrentRound() == 1)
assert(IsWeather() == true)
assert(type(GetFullTime()) == "number")

-- Score stubs: AddScore gives back its argument whatever else it is given.
assert(AddScore(7) == 7)
assert(select('#', AddScore(7, 8, 9)) == 1 and AddScore(7, 8, 9) == 7)
assert(AddScore("x") == "x")
assert(IsInTable(3) == false)
local text, n = GetScoreLine(3)
assert(text == "" and n == 0)
assert(none(SetScoreLine("a", 1, 2)))

-- Every round time is 0 before a race.
local m, s, h = GetTime()
assert(m == 0 and s == 0 and h == 0)
m, s, h = GetTimeBest()
assert(m == 0 and s == 0 and h == 0)
local count, t = UpdateRoundsTime()
assert(count == 40 and type(t) == "table")
for r = 1, 10 do
  local base = 4 * (r - 1)
  assert(t[base + 1] == 0 and t[base + 2] == 0 and t[base + 3] == 0)
  assert(t[base + 4] == (r == 1))
end
-- Arguments before it do not move the table: it is still the second result.
local count2, t2 = UpdateRoundsTime(1, "two", {})
assert(count2 == 40 and type(t2) == "table" and t2[4] == true and t2[8] == false)

-- The level's settings, with the level.
InitLevel("level1", false)
SetLevelTime(10)
SetPlaceToFinish(2.7)
SetReversed(0)
PlayerShot()
ClearLevelTimers()
DeleteLevel()
