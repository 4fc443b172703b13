-- Integer arithmetic in a tight loop.
local sum = 0
for i = 0, 24999999 do
  sum = sum + (i * i) % 7 + (i >> 3) - (i & 5)
end
print(sum)
