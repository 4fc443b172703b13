-- Float arithmetic and comparisons in a loop.
local x, y, acc = 0.0, 1.0, 0.0
for i = 0, 11999999 do
  x = x * 0.999 + y * 0.001
  y = y + x * 0.5 - 0.25
  if y > 10.0 then y = y - 10.0
  elseif y < -10.0 then y = y + 10.0 end
  acc = acc + x * y / (1.0 + x * x)
end
print(string.format("%.3f %.3f %.1f", x, y, acc))
