-- The game's main script: the game ends when it returns. The program says first how it was
-- started ("start" with the level raced, or nothing for the menus); a race ends on "race_over"
-- from the car script, and "quit" ends the game at any time.
local task = ...

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "start" then
            local race = GetCurrentParams(task)
            if race == nil then
                print("The menus need a window and input, which this build has not: race the sample track with"
                      .. " \"./_Tarnwick.exe --race level1\".")
                return
            end
        elseif command == "race_over" or command == "quit" then
            return
        elseif command == "level_failed" then
            SendCommandByName("game_interface", "show_result", "failed")
        end
    end
    coroutine.yield()
end
