-- The scene ray and the screen ray.

-- Without a level the scene ray is never clear and gives the unit direction.
local clear, x, y, z = CrossPlayerRay(0, 0, 5, 0, 0, -10)
assert(clear == false and x == 0 and y == 0 and z == -1)
-- A zero direction normalises to zero.
clear, x, y, z = CrossPlayerRay(1, 2, 3)
assert(clear == false and x == 0 and y == 0 and z == 0)
assert(select('#', CrossInterfaceRay(0.5, 0.5)) == 0)

InitLevel("level1", false)
-- Nothing in between: clear, and the given direction.
clear, x, y, z = CrossPlayerRay(300, 300, 5, 0, 0, -10)
assert(clear == true and x == 0 and y == 0 and z == -10)
-- Straight down onto the first crate: not clear, and the unit direction.
clear, x, y, z = CrossPlayerRay(40, 20, 50, 0, 0, -100)
assert(clear == false and x == 0 and y == 0 and z == -1)
-- A ray that ends above the crate is clear.
clear = CrossPlayerRay(40, 20, 50, 0, 0, -10)
assert(clear == true)
DeleteLevel()
