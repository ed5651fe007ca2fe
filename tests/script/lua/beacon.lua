-- The checkpoint beacon: shown from the level's first "chk" beacon once the race has started,
-- each call telling the category "main" (the inbox) "say_show" again.

local function drain() while SetNextCommand(inbox) do end end
local function said()
  local names = {}
  while SetNextCommand(inbox) do names[#names + 1] = GetCurrentCommand(inbox) end
  return table.concat(names, ",")
end

InitLevel("level1", false)
drain()
ShowCheckPoint()               -- before the start no beacon is next
assert(said() == "")
ChangeCheckpointPosition(5, 5) -- nothing shown: nothing moves

StartLevel()
drain()
ShowCheckPoint()
assert(said() == "say_show")
ShowCheckPoint()
assert(said() == "say_show")
ChangeCheckpointPosition(12, -3)
PlayerShot()
DeleteLevel()
ShowCheckPoint()
assert(said() == "")
