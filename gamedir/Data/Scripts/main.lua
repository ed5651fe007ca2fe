-- The game's main script: the game ends when it returns. It returns when the race is over
-- ("race_over" from the car script) or when asked to ("quit").
local task = ...

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "race_over" or command == "quit" then
            return
        elseif command == "level_failed" then
            SendCommandByName("game_interface", "show_result", "failed")
        end
    end
    coroutine.yield()
end
