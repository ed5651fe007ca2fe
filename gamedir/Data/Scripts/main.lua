-- The game's main script: the game ends when it returns. The program says first how it was
-- started: "start" with the level to race and its laps, or nothing for the menus. The race is
-- started as the menu's race start does it and ends on "race_over" from the car script, with
-- the level stopped and deleted; "quit" ends the game at any time.
local task = ...

-- The car raced when the campaign names none, and the Solmar side (SetPlayerType(false)).
local raceCar = "hauler_"

local function startRace(level, laps)
    SetNumRounds(laps)
    if GetPlayerName() == "" then
        SetPlayerName(raceCar)
    end
    SetPlayerType(false)
    InitLevel(level, false, false)
    StartLevel()
    SetPlaceToFinish(2)  -- any place on the podium finishes the race
    SetUpdateTime(true)
    SetLevelStarted(true)
end

local function endRace()
    SetLevelStarted(false)
    StopLevel()
    DeleteLevel()
end

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "start" then
            local level, laps = GetCurrentParams(task)
            if level == nil then
                print("The menus need a window and input, which this build has not: race the sample track with"
                      .. " \"./_Tarnwick.exe --race level1\".")
                return
            end
            startRace(level, tonumber(laps) or 3)
        elseif command == "race_over" then
            endRace()
            return
        elseif command == "quit" then
            return
        elseif command == "level_failed" then
            SendCommandByName("game_interface", "show_result", "failed")
        end
    end
    coroutine.yield()
end
