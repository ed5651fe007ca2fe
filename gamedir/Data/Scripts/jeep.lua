-- The player's car script: takes the car's parameters and the end of the race. Once the race
-- sends "game_over" it waits a few frames for the last messages and tells the main script.
local task = ...
local params = {}
local overIn = nil

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "set_car_params" then
            params.speed, params.armour, params.handling, params.power = GetCurrentParams(task)
        elseif command == "set_car_params2" then
            params.mass, params.grip = GetCurrentParams(task)
        elseif command == "game_over" and overIn == nil then
            overIn = 3
        end
    end
    if overIn ~= nil then
        overIn = overIn - 1
        if overIn == 0 then
            SendCommandByName("main", "race_over", "")
        end
    end
    coroutine.yield()
end
