-- The race display script: collects what the race shows the player (messages, the place,
-- checkpoints) and counts the laps it is told of.
local task = ...
local laps = 0
local place = nil
local lastMessage = nil

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "show_message" then
            lastMessage = GetCurrentParams(task)
            if lastMessage == "krug_proiden!" or lastMessage == "posledniy_krug!" then
                laps = laps + 1
            end
        elseif command == "place" then
            place = GetCurrentParams(task)
        elseif command == "race_started" then
            laps = 0
            place = nil
        end
    end
    coroutine.yield()
end
