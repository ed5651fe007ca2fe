-- The game menu script: keeps the money the race reports and builds the race interface when
-- the level starts. The menus themselves need a screen and input, which a headless run has not.
local task = ...
local money = "0.00"
local interfaceReady = false

while true do
    while SetNextCommand(task) do
        local command = GetCurrentCommand(task)
        if command == "set_money" or command == "change_money" then
            money = GetCurrentParams(task) or money
        elseif command == "init_game_interface" then
            interfaceReady = true
            SendCommandByName("game_interface", "race_started", money)
        end
    end
    coroutine.yield()
end
