-- A world-generator style pass over 2-D float grids: value noise summed over
-- octaves, smoothing passes and a histogram of the result.
local W, H = 320, 320
function hash(x, y)
  local n = (x * 374761393 + y * 668265263) & 0x7fffffff
  n = ((n ~ (n >> 13)) * 1274126177) & 0x7fffffff
  return (n & 0xffff) / 65535.0
end
function noise(x, y)
  local ix, iy = math.floor(x), math.floor(y)
  local fx, fy = x - ix, y - iy
  local a, b, c, d = hash(ix, iy), hash(ix + 1, iy), hash(ix, iy + 1), hash(ix + 1, iy + 1)
  local ux, uy = fx * fx * (3.0 - 2.0 * fx), fy * fy * (3.0 - 2.0 * fy)
  return a + (b - a) * ux + (c - a) * uy + (a - b - c + d) * ux * uy
end
local height = {}
for y = 0, H - 1 do
  local row = {}
  for x = 0, W - 1 do
    local v, amp, freq = 0.0, 1.0, 0.03
    for o = 0, 3 do
      v = v + noise(x * freq, y * freq) * amp
      amp = amp * 0.5
      freq = freq * 2.0
    end
    row[x + 1] = v
  end
  height[y + 1] = row
end
for pass = 0, 3 do
  local nxt = {}
  for y = 1, H do
    local row = {}
    local up, mid, down = height[y > 1 and y - 1 or y], height[y], height[y < H and y + 1 or y]
    for x = 1, W do
      local l, r = x > 1 and x - 1 or x, x < W and x + 1 or x
      row[x] = (up[x] + down[x] + mid[l] + mid[r] + mid[x] * 4.0) / 8.0
    end
    nxt[y] = row
  end
  height = nxt
end
local bins = {}
for i = 1, 8 do bins[i] = 0 end
local lo, hi = 1.0e9, -1.0e9
for _, row in ipairs(height) do
  for _, h in ipairs(row) do
    if h < lo then lo = h end
    if h > hi then hi = h end
    local b = math.floor(h * 4.0)
    b = b < 0 and 0 or (b > 7 and 7 or b)
    bins[b + 1] = bins[b + 1] + 1
  end
end
print(string.format("%.3f %.3f", lo, hi) .. " " .. bins[3] .. " " .. bins[4] .. " " .. bins[5])
