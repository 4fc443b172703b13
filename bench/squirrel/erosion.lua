-- Erosion-style float code: droplets run downhill over a height grid stored in
-- one flat array, picking up and dropping sediment; sqrt and tointeger on every step.
local N = 128
local h = {}
for z = 0, N - 1 do
  for x = 0, N - 1 do
    h[z * N + x + 1] = math.sin(x * 0.09) * math.cos(z * 0.07) * 8.0 + (x + z) * 0.05
  end
end
local seed = 12345
function rnd()
  seed = (seed * 1103515245 + 12345) % 2147483648
  return seed / 2147483648.0
end
local moved, steps = 0.0, 0
for d = 0, 39999 do
  local px, pz = 1.0 + rnd() * (N - 3), 1.0 + rnd() * (N - 3)
  local vx, vz, water, sed = 0.0, 0.0, 1.0, 0.0
  for s = 0, 31 do
    local ix, iz = math.floor(px), math.floor(pz)
    local fx, fz = px - ix, pz - iz
    local i = iz * N + ix + 1
    local h00, h10, h01, h11 = h[i], h[i + 1], h[i + N], h[i + N + 1]
    local gx = (h10 - h00) * (1.0 - fz) + (h11 - h01) * fz
    local gz = (h01 - h00) * (1.0 - fx) + (h11 - h10) * fx
    vx = vx * 0.8 - gx
    vz = vz * 0.8 - gz
    local speed = math.sqrt(vx * vx + vz * vz)
    if speed < 0.0001 then break end
    local nx, nz = px + vx / speed, pz + vz / speed
    if nx < 1.0 or nz < 1.0 or nx >= N - 2 or nz >= N - 2 then break end
    local here = h00
    local there = h[math.floor(nz) * N + math.floor(nx) + 1]
    local dh = there - here
    local cap = (dh < 0.0 and -dh or 0.01) * (speed < 4.0 and speed or 4.0) * water
    if sed > cap or dh > 0.0 then
      local drop = dh > 0.0 and (dh * 0.5 < sed and dh * 0.5 or sed) or (sed - cap) * 0.2
      sed = sed - drop
      h[i] = h[i] + drop
      moved = moved + drop
    else
      local take = (cap - sed) * 0.2
      if take > -dh * 0.5 then take = -dh * 0.5 end
      sed = sed + take
      h[i] = h[i] - take
      moved = moved + take
    end
    px = nx
    pz = nz
    water = water * 0.98
    steps = steps + 1
  end
end
local sum = 0.0
for _, v in ipairs(h) do sum = sum + v end
print(string.format("%d %.2f %.2f", steps, moved, sum))
