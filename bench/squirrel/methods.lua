-- Method calls on class instances: field reads and writes, methods calling
-- methods, and instances created in the loop.
local Vec = {}
Vec.__index = Vec
function Vec.new(ax, ay) return setmetatable({ x = ax, y = ay }, Vec) end
function Vec:dot(o) return self.x * o.x + self.y * o.y end
function Vec:add(o) return Vec.new(self.x + o.x, self.y + o.y) end
function Vec:len2() return self:dot(self) end
local Body = {}
Body.__index = Body
function Body.new(p, v) return setmetatable({ pos = p, vel = v, steps = 0 }, Body) end
function Body:step(dt)
  self.pos.x = self.pos.x + self.vel.x * dt
  self.pos.y = self.pos.y + self.vel.y * dt
  self.steps = self.steps + 1
  return self.pos:len2()
end
local a, b = Vec.new(1.0, 2.0), Vec.new(0.5, 0.25)
local acc = 0.0
for i = 0, 1599999 do acc = acc + a:dot(b) + b:len2() end
local sum = Vec.new(0.0, 0.0)
for i = 0, 799999 do sum = sum:add(b) end
local body = Body.new(Vec.new(0.0, 0.0), Vec.new(0.001, 0.002))
local e = 0.0
for i = 0, 1599999 do e = e + body:step(0.5) end
print(string.format("%.1f %.1f %.3f %d", acc, sum.x, e, body.steps))
