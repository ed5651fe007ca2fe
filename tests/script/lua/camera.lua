-- The race camera's functions, the sun light, the render temperature and the renderer's values.

local function none(...) return select('#', ...) == 0 end

-- Without a level.
assert(ChangeGameCamera() == -1)
assert(none(GetCameraPlayer()) and none(GetCameraZAngle()) and none(GetCameraPositions()))
assert(none(GetLight()))
assert(none(SetFOV(60)) and none(SetCameraPos(1, 2, 3)) and none(SetCamera(true)))
assert(none(SetCameraZAngle(1)) and none(SetCameraPlayer(true)) and none(SetLensFlare(1, 2, 3)))
assert(none(SetLight(1, 2, 3)))

-- The render temperature starts at 1.
assert(GetTemp() == 1)
SetTemp(0.25)
assert(GetTemp() == 0.25)
SetTemp("2")
assert(GetTemp() == 2)
SetTemp(1)

-- The renderer's values need no level.
SetDefaultCamera()
SetMotionBlur(0.5)
SetMotionBlur(0)
SetLightCoeff(0.75)
SetRadialBlur(0.5)
DrawLine(0, 0, 0, 1, 2, 3)

InitLevel("level1", false)
-- Three camera changes from mode 0 come back to 0.
assert(GetCameraPlayer() == 0)
assert(ChangeGameCamera() == 1 and GetCameraPlayer() == 1)
assert(ChangeGameCamera() == 2 and GetCameraPlayer() == 2)
assert(ChangeGameCamera() == 0 and GetCameraPlayer() == 0)
SetCameraPlayer(true)   assert(GetCameraPlayer() == 1)
SetCameraPlayer(0)      assert(GetCameraPlayer() == 1)
SetCameraPlayer()       assert(GetCameraPlayer() == 0)

SetCameraZAngle(1.25)
assert(GetCameraZAngle() == 1.25)
SetCameraPos(1, 2, 3)
local ex, ey, ez, lx, ly, lz = GetCameraPositions()
assert(type(ex) == "number" and lx == 1 and ly == 2 and lz == 3)

-- The sun light: fifteen values back as they were set (single precision).
local values = {0.5, 0.25, 0.125, 1, 0.75, 0.5, 0.25, 1, 0.1, 0.2, 0.3, 1, 0, 0.6, -0.8}
SetLight(unpack(values))
local back = {GetLight()}
assert(#back == 15)
for i = 1, 15 do
  assert(math.abs(back[i] - values[i]) < 1e-6, "light value " .. i)
end

SetLensFlare(1, 2, 3)
SetLensFlare()
SetFOV(70)
SetCamera(true)
SetCamera(true)
SetCamera(false)
DeleteLevel()
assert(ChangeGameCamera() == -1)
