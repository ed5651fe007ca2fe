-- The race display script: the HUD screen ("Data\Interface\game_interface1024.int"; without
-- the file the screen is empty and the calls change nothing) refreshed and drawn every frame
-- of the race, and what the race shows the player: messages, the laps it is told of, the place.
local task = ...
local hud = CreateInterface("game_interface", 0)
local racing = false
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
            elseif lastMessage == "finish!" or lastMessage == "lost!" then
                racing = false
            end
        elseif command == "place" then
            place = GetCurrentParams(task)
        elseif command == "race_started" then
            InitGameInterface(hud)
            racing = true
            laps = 0
            place = nil
        end
    end
    if racing then
        UpdateTime(hud)
        UpdateGameInterface(hud)
        UpdateInterface(hud)  -- drawn this frame
    end
    coroutine.yield()
end
